// Bytecode of the register machine. Registers are frame-relative (reg 0 = `this`).
// Instruction: op, a, b, c (8 bits each) and x (32 bits).
#pragma once
#include <cstdint>

#define SQ_OPCODES(X)                                                                              \
    X(LINE)      /* x = line: debug hook event 'l' */                                              \
    X(LOAD)      /* R[a] = literal[x] */                                                           \
    X(LOADINT)   /* R[a] = x */                                                                    \
    X(LOADFLOAT) /* R[a] = float bits x */                                                         \
    X(LOADNULLS) /* R[a .. a+x-1] = null */                                                        \
    X(LOADBOOL)  /* R[a] = x != 0 */                                                               \
    X(LOADROOT)  /* R[a] = root table */                                                           \
    X(MOVE)      /* R[a] = R[b] */                                                                 \
    X(GETOUTER)  /* R[a] = outer[x] */                                                             \
    X(SETOUTER)  /* outer[x] = R[b]; if a != 255 R[a] = R[b] */                                    \
    X(GETVAR)    /* R[a] = this[lit x] falling back to the root table */                           \
    X(SETVAR)    /* this[lit x] (or root) = R[b]; if a != 255 R[a] = R[b] */                       \
    X(GETK)      /* R[a] = R[b][lit x] */                                                          \
    X(GET)       /* R[a] = R[b][R[c]] */                                                           \
    X(SET)       /* R[b][R[c]] = R[x]; if a != 255 R[a] = R[x] */                                  \
    X(NEWSLOT) /* R[b][R[c]] <- R[x & 255]; attrs reg (x>>8 & 255)-1; static bit 16; class member  \
                  bit 17 */                                                                        \
    X(DELETE)  /* R[a] = delete R[b][R[c]] */                                                      \
    X(ADD)                                                                                         \
    X(SUB)                                                                                         \
    X(MUL)                                                                                         \
    X(DIV)                                                                                         \
    X(MOD) X(ADDK) /* R[a] = R[b] + literal-int x (fast increments) */                             \
        X(BAND) X(BOR) X(BXOR) X(SHL) X(SHR) X(USHR) X(UNM) X(NOT) X(BNOT) X(EQ) X(NE) X(LT) X(LE) \
            X(GT) X(GE) X(CMP3) X(JMP) /* ip += x */                                               \
        X(JZ)                          /* if !R[a] ip += x */                                      \
        X(JNZ)                         /* if R[a] ip += x */                                       \
        X(JCMP)      /* if !(R[b] <cmp a> R[c]) ip += x; a = 0 lt, 1 le, 2 gt, 3 ge, 4 eq, 5 ne */ \
        X(CALL)      /* R[a] = R[b](R[b+1] .. R[b+c]) ; a = 255 discards */                        \
        X(TAILCALL)  /* as CALL, reusing the frame when the callee is a script function */         \
        X(PREPCALL)  /* t = R[b][R[c]]; R[a+1] = R[b]; R[a] = t */                                 \
        X(PREPCALLK) /* t = R[b][lit x]; R[a+1] = R[b]; R[a] = t */                                \
        X(CLOSURE)   /* R[a] = closure of function x, defaults from R[a..] */                      \
        X(NEWTABLE)  /* R[a] = {} */                                                               \
        X(NEWARRAY)  /* R[a] = [] with capacity x */                                               \
        X(APPENDARRAY) /* R[a].append(R[b]) */                                                     \
        X(RETURN)      /* return b ? R[a] : null */                                                \
        X(YIELD)       /* yield c ? R[b] : null; resumed value to R[a] */                          \
        X(RESUME)      /* R[a] = resume R[b] */                                                    \
        X(FOREACH) /* iterate R[a]; key R[b], value R[b+1], iterator R[b+2]; at the end ip += x */ \
        X(CLOSE)   /* close outers at registers >= a */                                            \
        X(TYPEOF) X(INSTANCEOF) X(IN) X(CLONE)                                                     \
            X(CLASS) /* R[a] = class, base R[b] (255 none), attributes R[c] (255 none) */          \
        X(THROW)     /* throw R[a] */                                                              \
        X(PUSHTRAP)  /* error goes to R[a], handler at ip + x */                                   \
        X(POPTRAP)   /* drop x traps */                                                            \
        X(GETBASE)   /* R[a] = base class of the running method */                                 \
        X(INCL)      /* R[b] += x; R[a] = new value (a = 255: none) */                             \
        X(PINCL)     /* R[a] = R[b]; R[b] += x */                                                  \
        X(NEWSLOTK)  /* R[b][lit x] <- R[c] (table constructors) */                                \
        X(SUBK)      /* R[a] = R[b] op integer x, for SUBK .. USHRK */                             \
        X(MULK) X(DIVK) X(MODK) X(BANDK) X(BORK) X(BXORK) X(SHLK) X(SHRK) X(USHRK)                 \
            X(EQK) /* R[a] = R[b] cmp integer x, for EQK .. GEK */                                 \
        X(NEK) X(LTK) X(LEK) X(GTK) X(GEK)                                                         \
            X(JCMPK) /* if !(R[b] <cmp a> c as int8) ip += x; kinds as JCMP */                     \
        X(JCMPT)     /* as JCMP, jumping when the compare holds (loop tests at the bottom) */      \
        X(JCMPKT)    /* as JCMPK, jumping when the compare holds */                                \
        X(ADD3) /* R[a] = (R[b] + R[c]) + R[x]: a joined string is built once, without the middle  \
                 */

enum SQOpcode : uint8_t {
#define SQ_OPENUM(n) OP_##n,
    SQ_OPCODES(SQ_OPENUM)
#undef SQ_OPENUM
        OP__COUNT
};

#define NOREG 255
