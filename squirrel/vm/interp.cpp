// The interpreter loop: threaded dispatch over the register code of opcodes.h.
#include "vm.h"
#include <cmath>
#include <stdexcept>

// With GCC and Clang every handler jumps straight to the next one through a label table, so
// each has its own indirect branch to predict; elsewhere the loop's switch dispatches.
// A computed goto skips the destructors of the locals it leaves, so a handler with an object
// in scope ends with NEXT_SCOPED(), which goes round the loop instead.
#if defined(__GNUC__) || defined(__clang__)
#define SQ_THREADED_DISPATCH 1
#define CASE(op)                                                                                   \
    case OP_##op:                                                                                  \
        L_##op
#define NEXT()                                                                                     \
    {                                                                                              \
        i = vm_fetch(ip++);                                                                        \
        goto* kLabels[I_OP];                                                                       \
    }
#define NEXT_SCOPED() continue
#else
#define SQ_THREADED_DISPATCH 0
#define NEXT_SCOPED() continue
#define CASE(op) case OP_##op
#define NEXT() continue
#endif

// The instruction word stays in one register; handlers take its fields by shifting, so the
// dispatch does not decode (and spill) every field of every instruction.
static inline uint64_t vm_fetch(const SQInstruction* p) {
    uint64_t w;
    memcpy(&w, p, sizeof w);
    return w;
}
static_assert(sizeof(SQInstruction) == 8 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the fields are taken from the word by position");
#define I_OP ((uint8_t)i)
#define I_A ((uint8_t)(i >> 8))
#define I_B ((uint8_t)(i >> 16))
#define I_C ((uint8_t)(i >> 24))
#define I_X ((int32_t)(i >> 32))

// The frame's saved position is written only before something that can look at it: a call
// out of the loop, an error, a frame change. The plain fast paths skip the store.
#define SAVEIP() (lci->_ip = ip)

#define ARITH_INT_FAST(OPER)                                                                       \
    {                                                                                              \
        const SQObjectPtr& x = R[I_B];                                                             \
        const SQObjectPtr& y = R[I_C];                                                             \
        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {                                \
            R[I_A] = (SQInteger)((uint32_t)_integer(x) OPER(uint32_t) _integer(y));                \
            NEXT();                                                                                \
        }                                                                                          \
        if (sq_type(x) == OT_FLOAT && sq_type(y) == OT_FLOAT) {                                    \
            R[I_A] = (SQFloat)(_float(x) OPER _float(y));                                          \
            NEXT();                                                                                \
        }                                                                                          \
        SAVEIP();                                                                                  \
        SQObjectPtr tmp;                                                                           \
        if (!ArithOp((SQOpcode)I_OP, tmp, x, y)) goto exception_trap;                              \
        R[I_A] = std::move(tmp);                                                                   \
        NEXT_SCOPED();                                                                             \
    }

// Arithmetic with an integer constant operand (x); floats on the left stay on the fast path.
#define ARITHK_FAST(OPER, BASEOP)                                                                  \
    {                                                                                              \
        const SQObjectPtr& x = R[I_B];                                                             \
        if (sq_type(x) == OT_INTEGER) {                                                            \
            R[I_A] = (SQInteger)((uint32_t)_integer(x) OPER(uint32_t) I_X);                        \
            NEXT();                                                                                \
        }                                                                                          \
        if (sq_type(x) == OT_FLOAT) {                                                              \
            R[I_A] = (SQFloat)(_float(x) OPER(SQFloat) I_X);                                       \
            NEXT();                                                                                \
        }                                                                                          \
        SAVEIP();                                                                                  \
        SQObjectPtr tmp, k((SQInteger)I_X);                                                        \
        if (!ArithOp(BASEOP, tmp, x, k)) goto exception_trap;                                      \
        R[I_A] = std::move(tmp);                                                                   \
        NEXT_SCOPED();                                                                             \
    }

// A backward jump spends one unit of the fuzz harness's budget (unlimited when negative).
#define LOOP_BUDGET()                                                                              \
    if (_opbudget >= 0 && --_opbudget < 0) {                                                       \
        _opbudget = 0;                                                                             \
        SAVEIP();                                                                                  \
        FailWith("instruction budget exhausted");                                                  \
        goto exception_trap;                                                                       \
    }

// Compare kinds of the compare-and-jump forms: 0 lt, 1 le, 2 gt, 3 ge, 4 eq, 5 ne. Integers
// compare without a branch: the outcome (0 less, 1 equal, 2 greater) picks a bit of the kind's
// nibble in kIntCmpSel (lt 0b001, le 0b011, gt 0b100, ge 0b110, eq 0b010, ne 0b101).
static inline bool vm_int_compare(unsigned kind, SQInteger p, SQInteger q) {
    constexpr uint32_t kIntCmpSel = 0x526431;
    unsigned outcome = (unsigned)(p >= q) + (unsigned)(p > q);
    return (kIntCmpSel >> (kind * 4 + outcome)) & 1;
}

#define JCMP_REG(TAKE)                                                                             \
    {                                                                                              \
        const SQObjectPtr& x = R[I_B];                                                             \
        const SQObjectPtr& y = R[I_C];                                                             \
        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {                                \
            bool r = vm_int_compare(I_A, _integer(x), _integer(y));                                \
            TAKE;                                                                                  \
            NEXT();                                                                                \
        }                                                                                          \
        bool r;                                                                                    \
        if (I_A >= 4) {                                                                            \
            r = IsEqual(x, y);                                                                     \
            if (I_A == 5) r = !r;                                                                  \
        } else {                                                                                   \
            static const SQOpcode ops[] = {OP_LT, OP_LE, OP_GT, OP_GE};                            \
            SAVEIP();                                                                              \
            if (!CmpOp(ops[I_A], x, y, r)) goto exception_trap;                                    \
        }                                                                                          \
        TAKE;                                                                                      \
        NEXT();                                                                                    \
    }

#define JCMP_CONST(TAKE)                                                                           \
    {                                                                                              \
        const SQObjectPtr& x = R[I_B];                                                             \
        SQInteger q = (int8_t)I_C;                                                                 \
        if (sq_type(x) == OT_INTEGER) {                                                            \
            bool r = vm_int_compare(I_A, _integer(x), q);                                          \
            TAKE;                                                                                  \
            NEXT();                                                                                \
        }                                                                                          \
        bool r;                                                                                    \
        SAVEIP();                                                                                  \
        SQObjectPtr k(q);                                                                          \
        if (I_A >= 4) {                                                                            \
            r = IsEqual(x, k);                                                                     \
            if (I_A == 5) r = !r;                                                                  \
        } else {                                                                                   \
            static const SQOpcode ops[] = {OP_LT, OP_LE, OP_GT, OP_GE};                            \
            if (!CmpOp(ops[I_A], x, k, r)) goto exception_trap;                                    \
        }                                                                                          \
        TAKE;                                                                                      \
        NEXT_SCOPED();                                                                             \
    }

bool SQVM::Execute(SQObjectPtr& closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& outres,
                   bool raiseerror, SQExecType et) {
    if (NativeDepthExhausted()) {
        FailWith("Native stack overflow");
        if (raiseerror) ReportCallFailure();
        return false;
    }
    SQCStackGuard cstack;
    bool transparent = _transparent_pending;
    _transparent_pending = false;
    _cdepth++;
    _nexecs++;
    struct ExecGuard {
        SQVM* v;
        bool pushed = false;
        ~ExecGuard() {
            v->_cdepth--;
            v->_nexecs--;
            if (pushed) v->_execs.pop_back();
        }
    } guard{this};

    SQInteger rootidx;
    switch (et) {
    case ET_CALL: {
        SQClosure* c = _closure(closure);
        SQFunctionProto* fp = c->_function;
        if (PlainCall(c, fp, nargs)) {
            // as the interpreter's own call: nothing of StartCall's other work applies
            if (!EnterFrame(stackbase, stackbase + fp->_stacksize, false)) {
                if (raiseerror) ReportCallFailure();
                return false;
            }
            SQCallInfo* const nci = ci;
            vm_set_frame_closure(nci, closure);
            nci->_ip = fp->_code.data();
            nci->_literals = fp->_literals.data();
            nci->_root = true;
            rootidx = (SQInteger)_callstack.size() - 1;
            break;
        }
        if (fp->_generator) {
            if (!StartCall(c, stackbase, nargs, stackbase, false)) {
                if (raiseerror) ReportCallFailure();
                return false;
            }
            outres = _stack[stackbase];
            return true;
        }
        if (!StartCall(c, -1, nargs, stackbase, false)) {
            if (raiseerror) ReportCallFailure();
            return false;
        }
        ci->_root = true;
        rootidx = (SQInteger)_callstack.size() - 1;
        break;
    }
    case ET_RESUME_GENERATOR:
        rootidx = (SQInteger)_callstack.size() - 1;
        break;
    case ET_RESUME_VM:
    case ET_RESUME_THROW_VM:
        rootidx = _suspended_rootidx;
        _suspended = 0;
        if (et == ET_RESUME_THROW_VM) goto exception_trap;
        break;
    default:
        return false;
    }
    _execs.push_back({rootidx, raiseerror, transparent});
    guard.pushed = true;
#if SQ_THREADED_DISPATCH
#define SQ_LABEL(n) &&L_##n,
    static const void* const kLabels[OP__COUNT] = {SQ_OPCODES(SQ_LABEL)};
#undef SQ_LABEL
#endif

    for (;;) {
        // An allocation that fails inside an instruction (a string or container past its
        // limit, memory exhausted) becomes the script error "not enough memory"; every
        // instruction allocates before it changes anything.
        try {
            SQCallInfo* const lci = ci;
            const SQInstruction* ip = lci->_ip;
            SQObjectPtr* R = _stack + lci->_base;
            SQObjectPtr* lits = lci->_literals;
            // Outers are read in hot loops: keep the running closure's list at hand rather
            // than chasing frame, closure and list per access (the list is fixed once made).
            SQOuter* const* const outers = sq_type(lci->_closure) == OT_CLOSURE
                                               ? _closure(lci->_closure)->_outers.begin()
                                               : nullptr;
            for (;;) {
                uint64_t i = vm_fetch(ip++);
#if SQ_THREADED_DISPATCH
                goto* kLabels[I_OP];
#endif
                switch (I_OP) {
                    CASE(LINE) : SAVEIP();
                    if (sq_type(_sharedstate->_debughook) != OT_NULL || _sharedstate->_nativehook)
                        CallDebugHook('l', I_X);
                    NEXT();
                    CASE(LOAD) : R[I_A] = lits[I_X];
                    NEXT();
                    CASE(LOADINT) : R[I_A] = (SQInteger)I_X;
                    NEXT();
                    CASE(LOADFLOAT) : {
                        SQFloat f;
                        int32_t bits = I_X;
                        memcpy(&f, &bits, 4);
                        R[I_A] = f;
                        NEXT();
                    }
                    CASE(LOADNULLS) : for (int32_t k = 0; k < I_X; k++) R[I_A + k].Null();
                    NEXT();
                    CASE(LOADBOOL) : R[I_A] = (bool)(I_X != 0);
                    NEXT();
                    CASE(LOADROOT) : R[I_A] = _roottable;
                    NEXT();
                    CASE(MOVE) : R[I_A] = R[I_B];
                    NEXT();
                    CASE(GETOUTER) : {
                        SQOuter* o = outers[I_X];
                        R[I_A] = *o->_valptr;
                        NEXT();
                    }
                    CASE(SETOUTER) : {
                        SQOuter* o = outers[I_X];
                        *o->_valptr = R[I_B];
                        if (I_A != NOREG) R[I_A] = R[I_B];
                        NEXT();
                    }
                    CASE(GETVAR) : {
                        const SQObjectPtr& key = lits[I_X];
                        if (sq_type(R[0]) == OT_TABLE) {
                            SQTable::Node* n = _table(R[0])->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                R[I_A] = n->val;
                                NEXT();
                            }
                        } else if (sq_type(R[0]) == OT_INSTANCE) {
                            // a member, or (no _get, not an instance built-in) a root slot:
                            // GetVar's order without its calls
                            SQInstance* inst = _instance(R[0]);
                            SQClass* cls = inst->_class;
                            SQTable::Node* n = cls->_members->FindNode(key);
                            if (n) {
                                const SQObjectPtr& val =
                                    MEMBER_TYPE(n->val) == MEMBER_FIELD
                                        ? inst->_values[MEMBER_INDEX(n->val)]
                                        : cls->_methods[MEMBER_INDEX(n->val)].val;
                                if (sq_type(val) != OT_WEAKREF) {
                                    R[I_A] = val;
                                    NEXT();
                                }
                            } else if (sq_type(cls->_metamethods[MT_GET]) == OT_NULL &&
                                       sq_type(_sharedstate->_instance_dd) == OT_TABLE &&
                                       !_table(_sharedstate->_instance_dd)->FindNode(key) &&
                                       sq_type(_roottable) == OT_TABLE) {
                                SQTable::Node* rn = _table(_roottable)->FindNode(key);
                                if (rn && sq_type(rn->val) != OT_WEAKREF) {
                                    R[I_A] = rn->val;
                                    NEXT();
                                }
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!GetVar(R[0], key, tmp)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(SETVAR) : SAVEIP();
                    {
                        const SQObjectPtr& key = lits[I_X];
                        SQObjectPtr val = R[I_B];
                        bool done = false;
                        if (sq_type(R[0]) == OT_TABLE)
                            done = _table(R[0])->Set(key, val);
                        else if (sq_type(R[0]) == OT_INSTANCE)
                            done = _instance(R[0])->Set(key, val);
                        else if (sq_type(R[0]) == OT_CLASS && _class(R[0])->_members->FindNode(key))
                            done = Set(R[0], key, val, false);
                        if (!done && sq_type(_roottable) == OT_TABLE)
                            done = _table(_roottable)->Set(key, val);
                        if (!done) {
                            FailNoIndex(key);
                            goto exception_trap;
                        }
                        if (I_A != NOREG) R[I_A] = val;
                        NEXT_SCOPED();
                    }
                    CASE(GETK) : {
                        const SQObjectPtr& obj = R[I_B];
                        const SQObjectPtr& key = lits[I_X];
                        if (sq_type(obj) == OT_TABLE) {
                            SQTable::Node* n = _table(obj)->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                R[I_A] = n->val;
                                NEXT();
                            }
                        } else if (sq_type(obj) == OT_INSTANCE) {
                            SQInstance* inst = _instance(obj);
                            SQTable::Node* n = inst->_class->_members->FindNode(key);
                            if (n) {
                                const SQObjectPtr& val =
                                    MEMBER_TYPE(n->val) == MEMBER_FIELD
                                        ? inst->_values[MEMBER_INDEX(n->val)]
                                        : inst->_class->_methods[MEMBER_INDEX(n->val)].val;
                                if (sq_type(val) != OT_WEAKREF) {
                                    R[I_A] = val;
                                    NEXT();
                                }
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Get(obj, key, tmp, false)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(GET) : {
                        const SQObjectPtr& obj = R[I_B];
                        const SQObjectPtr& key = R[I_C];
                        if (sq_type(obj) == OT_ARRAY && sq_type(key) == OT_INTEGER) {
                            SQArray* a = _array(obj);
                            SQInteger k = _integer(key);
                            if (k >= 0 && k < a->Size() && sq_type(a->_values[k]) != OT_WEAKREF) {
                                R[I_A] = a->_values[k];
                                NEXT();
                            }
                        } else if (sq_type(obj) == OT_TABLE) {
                            SQTable::Node* n = _table(obj)->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                R[I_A] = n->val;
                                NEXT();
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Get(obj, key, tmp, false)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(SET) : {
                        const SQObjectPtr& obj = R[I_B];
                        const SQObjectPtr& key = R[I_C];
                        if (sq_type(obj) == OT_ARRAY && sq_type(key) == OT_INTEGER) {
                            SQArray* a = _array(obj);
                            SQInteger k = _integer(key);
                            if (k >= 0 && k < a->Size()) {
                                // the register keeps the value alive through the old one's
                                // release, and the stack does not move
                                const SQObjectPtr& v = R[I_X];
                                vm_store(a->_values[k], v);
                                if (I_A != NOREG) vm_store(R[I_A], v);
                                NEXT();
                            }
                        }
                        SQObjectPtr val = R[I_X];
                        SAVEIP();
                        if (sq_type(obj) == OT_TABLE) {
                            if (_table(obj)->Set(key, val)) {
                                if (I_A != NOREG) R[I_A] = std::move(val);
                                NEXT_SCOPED();
                            }
                        }
                        {
                            SQObjectPtr o = obj, k = key;
                            if (!Set(o, k, val, false)) goto exception_trap;
                        }
                        if (I_A != NOREG) R[I_A] = std::move(val);
                        NEXT_SCOPED();
                    }
                    CASE(NEWSLOT) : SAVEIP();
                    {
                        SQObjectPtr obj = R[I_B], key = R[I_C];
                        int vr = I_X & 255;
                        int ar = ((I_X >> 8) & 255) - 1;
                        bool bstatic = (I_X >> 16) & 1;
                        bool cls = (I_X >> 17) & 1;
                        SQObjectPtr val = R[vr];
                        if (cls) {
                            SQObjectPtr attrs;
                            if (ar >= 0) attrs = R[ar];
                            if (!NewSlotWithAttributes(obj, key, val, attrs, bstatic, false))
                                goto exception_trap;
                        } else {
                            if (!NewSlot(obj, key, val, bstatic, false)) goto exception_trap;
                        }
                        if (I_A != NOREG) R[I_A] = val;
                        NEXT_SCOPED();
                    }
                    CASE(NEWSLOTK) : SAVEIP();
                    {
                        if (sq_type(R[I_B]) != OT_TABLE) {
                            FailWith("invalid table constructor");
                            goto exception_trap;
                        }
                        _table(R[I_B])->NewSlot(lits[I_X], R[I_C]);
                        NEXT();
                    }
                    CASE(DELETE) : SAVEIP();
                    {
                        SQObjectPtr obj = R[I_B], key = R[I_C], tmp;
                        if (!DeleteSlot(obj, key, tmp, false)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(ADD)
                        : ARITH_INT_FAST(+) CASE(SUB)
                        : ARITH_INT_FAST(-) CASE(MUL) : ARITH_INT_FAST(*) CASE(DIV) : CASE(MOD) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER &&
                            _integer(y) > 0) {
                            R[I_A] = I_OP == OP_DIV ? _integer(x) / _integer(y)
                                                    : _integer(x) % _integer(y);
                            NEXT();
                        }
                        if (I_OP == OP_DIV && sq_type(x) == OT_FLOAT && sq_type(y) == OT_FLOAT) {
                            R[I_A] = (SQFloat)(_float(x) / _float(y));
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!ArithOp((SQOpcode)I_OP, tmp, R[I_B], R[I_C])) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(ADDK)
                        : ARITHK_FAST(+, OP_ADD) CASE(BAND)
                        : CASE(BOR) : CASE(BXOR) : CASE(SHL) : CASE(SHR) : CASE(USHR) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {
                            R[I_A] = vm_bitwise((SQOpcode)I_OP, _integer(x), _integer(y));
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!BitwOp((SQOpcode)I_OP, tmp, R[I_B], R[I_C])) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(UNM) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!NegOp(tmp, R[I_B])) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(NOT) : R[I_A] = vm_isfalse(R[I_B]);
                    NEXT();
                    CASE(BNOT) : SAVEIP();
                    if (sq_type(R[I_B]) != OT_INTEGER) {
                        FailWith("attempt to perform a bitwise op on a %s",
                                 vm_typename_ascii(sq_type(R[I_B])));
                        goto exception_trap;
                    }
                    R[I_A] = (SQInteger)~_integer(R[I_B]);
                    NEXT();
                    CASE(EQ) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        R[I_A] =
                            sq_type(x) == sq_type(y) ? _rawval(x) == _rawval(y) : IsEqual(x, y);
                        NEXT();
                    }
                    CASE(NE) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        R[I_A] =
                            sq_type(x) == sq_type(y) ? _rawval(x) != _rawval(y) : !IsEqual(x, y);
                        NEXT();
                    }
                    CASE(LT) : CASE(LE) : CASE(GT) : CASE(GE) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {
                            SQInteger p = _integer(x), q = _integer(y);
                            bool r = I_OP == OP_LT   ? p < q
                                     : I_OP == OP_LE ? p <= q
                                     : I_OP == OP_GT ? p > q
                                                     : p >= q;
                            R[I_A] = r;
                            NEXT();
                        }
                        SAVEIP();
                        bool r;
                        if (!CmpOp((SQOpcode)I_OP, R[I_B], R[I_C], r)) goto exception_trap;
                        R[I_A] = r;
                        NEXT();
                    }
                    CASE(CMP3) : SAVEIP();
                    {
                        SQInteger r;
                        SQObjectPtr a = R[I_B], b = R[I_C];
                        if (!Compare3(a, b, r)) goto exception_trap;
                        R[I_A] = r;
                        NEXT_SCOPED();
                    }
                    CASE(JMP) : if (I_X < 0) LOOP_BUDGET();
                    ip += I_X;
                    NEXT();
                    CASE(JZ) : if (vm_isfalse(R[I_A])) ip += I_X;
                    NEXT();
                    CASE(JNZ) : if (!vm_isfalse(R[I_A])) {
                        if (I_X < 0) LOOP_BUDGET();
                        ip += I_X;
                    }
                    NEXT();
                    CASE(JCMP) : JCMP_REG(if (!r) ip += I_X);
                    CASE(JCMPT)
                        : JCMP_REG(if (r) {
                              if (I_X < 0) LOOP_BUDGET();
                              ip += I_X;
                          });
                    CASE(PREPCALLK) : SAVEIP();
                    if (sq_type(R[I_B]) == OT_INSTANCE) {
                        // a member found through the member cache when the instance's class has
                        // the layout remembered, else through the class's table (and
                        // remembered); whatever else (no such member, a weak reference) takes
                        // the general path below
                        SQInstance* inst = _instance(R[I_B]);
                        SQClass* cls = inst->_class;
                        SQFunctionProto* fp = _closure(lci->_closure)->_function;
                        SQInteger member;
                        if (!fp->_membercache.empty() &&
                            fp->_membercache[I_X].stamp == cls->_stamp) {
                            member = fp->_membercache[I_X].member;
                        } else if (SQTable::Node* n = cls->_members->FindNode(lits[I_X])) {
                            member = _integer(n->val);
                            if (fp->_membercache.empty())
                                fp->_membercache.resize(fp->_literals.size());
                            fp->_membercache[I_X] = {cls->_stamp, member};
                        } else {
                            goto prepcall;
                        }
                        // `this` first: it keeps the class (and so the member) alive when the
                        // callee's register held the only reference
                        R[I_A + 1] = R[I_B];
                        const SQObjectPtr& val = (member & 3) == MEMBER_FIELD
                                                     ? inst->_values[member >> 2]
                                                     : cls->_methods[member >> 2].val;
                        if (sq_type(val) != OT_WEAKREF) {
                            R[I_A] = val;
                            NEXT();
                        }
                    }
                prepcall:
                    [[fallthrough]];
                    CASE(PREPCALL) : SAVEIP();
                    {
                        SQObjectPtr obj = R[I_B];
                        const SQObjectPtr& key = I_OP == OP_PREPCALLK ? lits[I_X] : R[I_C];
                        SQObjectPtr tmp;
                        bool found = false;
                        if (sq_type(obj) == OT_TABLE) {
                            SQTable::Node* n = _table(obj)->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                tmp = n->val;
                                found = true;
                            }
                        } else if (sq_type(obj) == OT_INSTANCE) {
                            found = _instance(obj)->Get(key, tmp) && sq_type(tmp) != OT_WEAKREF;
                        } else {
                            // a built-in method of a number, string, array, function, generator
                            // or thread: Get would find no metamethod and end in the type's
                            // default delegate
                            const SQObjectPtr* dd = nullptr;
                            switch (sq_type(obj)) {
                            case OT_INTEGER:
                            case OT_FLOAT:
                            case OT_BOOL:
                                dd = &_sharedstate->_number_dd;
                                break;
                            case OT_STRING:
                                if (!vm_isnumber(key)) dd = &_sharedstate->_string_dd;
                                break;
                            case OT_ARRAY:
                                if (!vm_isnumber(key)) dd = &_sharedstate->_array_dd;
                                break;
                            case OT_CLOSURE:
                            case OT_NATIVECLOSURE:
                                dd = &_sharedstate->_closure_dd;
                                break;
                            case OT_GENERATOR:
                                dd = &_sharedstate->_generator_dd;
                                break;
                            case OT_THREAD:
                                dd = &_sharedstate->_thread_dd;
                                break;
                            default:
                                break;
                            }
                            if (dd && sq_type(*dd) == OT_TABLE) {
                                if (SQTable::Node* n = _table(*dd)->FindNode(key)) {
                                    tmp = n->val;
                                    found = true;
                                }
                            }
                        }
                        if (!found && !Get(obj, key, tmp, false)) goto exception_trap;
                        R[I_A + 1] = std::move(obj);
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(TAILCALL) : SAVEIP();
                    {
                        SQObjectPtr& tfn = R[I_B];
                        if (sq_type(tfn) == OT_CLOSURE && !_closure(tfn)->_function->_generator &&
                            !ci->_generator && !ci->_isctor &&
                            sq_type(_sharedstate->_debughook) == OT_NULL &&
                            !_sharedstate->_nativehook) {
                            SQObjectPtr fnobj = tfn;
                            SQFunctionProto* fp = _closure(fnobj)->_function;
                            SQInteger nargs = I_C;
                            bool okargs = fp->_varparams ? nargs >= fp->_nparams
                                                         : (nargs <= fp->_nparams &&
                                                            fp->_nparams - nargs <= fp->_ndefaults);
                            if (!okargs) {
                                FailWith("wrong number of parameters");
                                goto exception_trap;
                            }
                            SQInteger base = ci->_base, sbase = base + I_B + 1;
                            if (_openouters) CloseOuters(&_stack[base]);
                            for (SQInteger k = 0; k < nargs; k++)
                                _stack[base + k] = std::move(_stack[sbase + k]);
                            for (SQInteger k = base + nargs; k < _top; k++) _stack[k].Null();
                            SQInteger target = ci->_target, prevtop = ci->_prevtop,
                                      etr = ci->_etraps;
                            bool root = ci->_root;
                            if ((SQInteger)_etraps.size() > etr) _etraps.resize(etr);
                            _top = base + nargs;
                            _callstack.pop_back();
                            ci = _callstack.empty() ? nullptr : &_callstack.back();
                            if (!StartCall(_closure(fnobj), target, nargs, base, false)) {
                                // only a stack overflow gets here; the frame is already gone
                                ci = &_callstack.back();
                                goto exception_trap;
                            }
                            ci->_root = root;
                            ci->_prevtop = prevtop;
                            goto frame_changed;
                        }
                    }
                    [[fallthrough]];
                    CASE(CALL) : SAVEIP();
                    {
                        SQObjectPtr& fn = R[I_B];
                        SQInteger nargs = I_C;
                        SQInteger sbase = ci->_base + I_B + 1;
                        SQInteger target = I_A == NOREG ? -1 : ci->_base + I_A;
                        switch (sq_type(fn)) {
                        case OT_CLOSURE: {
                            SQClosure* c = _closure(fn);
                            SQFunctionProto* fp = c->_function;
                            // the common call: exact arguments, no varargs, no generator, no bound
                            // weak environment, no hooks; StartCall's other work does not apply
                            if (PlainCall(c, fp, nargs)) {
                                if (!EnterFrame(sbase, sbase + fp->_stacksize, false))
                                    goto exception_trap;
                                SQCallInfo* const nci = ci;
                                vm_set_frame_closure(nci, fn);
                                nci->_ip = fp->_code.data();
                                nci->_literals = fp->_literals.data();
                                nci->_target = target;
                                goto frame_changed;
                            }
                            if (fp->_generator) {
                                SQObjectPtr keep(fn);
                                if (!StartCall(c, target, nargs, sbase, false)) goto exception_trap;
                                for (SQInteger k = sbase; k < sbase + nargs; k++)
                                    if (k != target) _stack[k].Null();
                                NEXT_SCOPED();
                            }
                            if (!StartCall(c, target, nargs, sbase, false)) goto exception_trap;
                            goto frame_changed;
                        }
                        case OT_NATIVECLOSURE: {
                            SQNativeClosure* nc = _nativeclosure(fn);
                            if (nc->_fastfn) {
                                // len, tointeger, push ...: no frame; the result is not counted
                                SQObject r;
                                SQObjectPtr* args = &_stack[sbase];
                                if (nc->_fastfn(args, nargs, r)) {
                                    args[0].Null(); // the fast methods take one or two
                                    if (nargs > 1) args[1].Null();
                                    if (target >= 0) vm_store(_stack[target], r);
                                    NEXT();
                                }
                            }
                            // sqrt, sin ... of a number: no frame, nothing to check or guard
                            if (nc->_floatfn && nargs == 2) {
                                SQObjectPtr* args = &_stack[sbase];
                                if (vm_isnumber(args[1])) {
                                    SQFloat r = (SQFloat)nc->_floatfn((double)tofloat(args[1]));
                                    args[0].Null();
                                    args[1].Null();
                                    if (target >= 0) _stack[target] = r;
                                    NEXT();
                                }
                            }
                            SQObjectPtr keep(fn), ret;
                            bool suspend;
                            if (!CallNative(_nativeclosure(keep), nargs, sbase, ret, suspend))
                                goto exception_trap;
                            if (suspend) {
                                if (_nexecs != 1 || _nmetacalls > 0) {
                                    FailWith("cannot suspend through native calls/metamethods");
                                    goto exception_trap;
                                }
                                _suspended = 1;
                                _suspended_target = target;
                                _suspended_rootidx = rootidx;
                                outres = ret;
                                return true;
                            }
                            // the native's frame release has already cleared the arguments
                            if (target >= 0) _stack[target] = std::move(ret);
                            NEXT_SCOPED();
                        }
                        case OT_CLASS: {
                            SQClass* cls = _class(fn);
                            if (sq_type(cls->_constructor) == OT_CLOSURE &&
                                !_closure(cls->_constructor)->_function->_generator) {
                                SQObjectPtr inst(cls->CreateInstance());
                                SQObjectPtr ctor = cls->_constructor;
                                _stack[sbase] = inst;
                                if (!StartCall(_closure(ctor), target, nargs, sbase, false))
                                    goto exception_trap;
                                ci->_isctor = true;
                                goto frame_changed;
                            }
                        }
                            [[fallthrough]];
                        default: {
                            SQObjectPtr keep(fn), ret;
                            _transparent_pending = true;
                            bool ok = Call(keep, nargs, sbase, ret, false);
                            _transparent_pending = false;
                            if (!ok) goto exception_trap;
                            for (SQInteger k = sbase; k < sbase + nargs; k++) _stack[k].Null();
                            if (target >= 0) _stack[target] = std::move(ret);
                            NEXT_SCOPED();
                        }
                        }
                    }
                    CASE(CLOSURE) : SAVEIP();
                    {
                        SQClosure* cur = _closure(ci->_closure);
                        SQFunctionProto* fp = _funcproto(cur->_function->_functions[I_X]);
                        SQClosure* nc = SQClosure::Create(_sharedstate, fp);
                        SQObjectPtr ncobj(nc);
                        nc->_outers.reserve(fp->_outers.size());
                        for (auto& ov : fp->_outers) {
                            SQOuter* o =
                                ov.fromlocal ? FindOuter(&R[ov.index]) : cur->_outers[ov.index];
                            o->_uiRef++;
                            nc->_outers.push_back(o);
                        }
                        for (SQInteger k = 0; k < fp->_ndefaults; k++)
                            nc->_defaults.push_back(R[I_A + k]);
                        R[I_A] = std::move(ncobj);
                        NEXT_SCOPED();
                    }
                    CASE(NEWTABLE) : SAVEIP();
                    R[I_A] = SQObjectPtr(SQTable::Create(_sharedstate, I_X));
                    NEXT();
                    CASE(NEWARRAY) : SAVEIP();
                    {
                        SQArray* a = SQArray::Create(_sharedstate, 0);
                        a->_values.reserve(I_X);
                        R[I_A] = SQObjectPtr(a);
                        NEXT();
                    }
                    CASE(APPENDARRAY) : SAVEIP();
                    if (sq_type(R[I_A]) != OT_ARRAY) {
                        FailWith("invalid array constructor");
                        goto exception_trap;
                    }
                    if (_array(R[I_A])->Size() >= SQLimits::maxelements) throw std::bad_alloc();
                    _array(R[I_A])->_values.push_back(R[I_B]);
                    NEXT();
                    CASE(RETURN) : SAVEIP();
                    {
                        SQObjectPtr ret;
                        if (lci->_isctor)
                            ret = R[0];
                        else if (I_B)
                            ret = R[I_A];
                        if (_sharedstate->_hooked) CallDebugHook('r');
                        bool root = ci->_root;
                        SQInteger target = ci->_target;
                        if (ci->_generator) ci->_generator->_state = SQGenerator::eDead;
                        LeaveFrame();
                        if (root) {
                            outres = std::move(ret);
                            return true;
                        }
                        if (target >= 0) _stack[target] = std::move(ret);
                        goto frame_changed;
                    }
                    CASE(YIELD) : SAVEIP();
                    {
                        SQGenerator* gen = ci->_generator;
                        if (!gen) {
                            FailWith("internal error: yield outside a generator");
                            goto exception_trap;
                        }
                        SQObjectPtr ret;
                        if (I_C) ret = R[I_B];
                        Yield(gen, nullptr);
                        bool root = ci->_root;
                        LeaveFrame();
                        if (root) {
                            outres = std::move(ret);
                            return true;
                        }
                        goto frame_changed;
                    }
                    CASE(RESUME) : SAVEIP();
                    {
                        SQObjectPtr g = R[I_B];
                        if (sq_type(g) != OT_GENERATOR) {
                            FailWith("trying to resume a '%s',only genenerator can be resumed",
                                     vm_typename_ascii(sq_type(g)));
                            goto exception_trap;
                        }
                        if (!Resume(_generator(g), ci->_base + I_A)) goto exception_trap;
                        NEXT_SCOPED();
                    }
                    CASE(FOREACH) : SAVEIP();
                    {
                        bool finished;
                        if (!IterateStep(R[I_A], R[I_B], R[I_B + 1], R[I_B + 2], finished))
                            goto exception_trap;
                        if (finished) ip += I_X;
                        NEXT();
                    }
                    CASE(CLOSE) : if (_openouters) CloseOuters(&R[I_A]);
                    NEXT();
                    CASE(TYPEOF) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!TypeOf(R[I_B], tmp)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(INSTANCEOF) : SAVEIP();
                    {
                        if (sq_type(R[I_C]) != OT_CLASS) {
                            FailWith("cannot apply instanceof between a %s and a %s",
                                     vm_typename_ascii(sq_type(R[I_C])),
                                     vm_typename_ascii(sq_type(R[I_B])));
                            goto exception_trap;
                        }
                        bool r = sq_type(R[I_B]) == OT_INSTANCE &&
                                 _instance(R[I_B])->InstanceOf(_class(R[I_C]));
                        R[I_A] = r;
                        NEXT();
                    }
                    CASE(IN) : SAVEIP();
                    {
                        const SQObjectPtr& obj = R[I_C];
                        const SQObjectPtr& key = R[I_B];
                        bool r = false;
                        switch (sq_type(obj)) {
                        case OT_TABLE:
                            r = _table(obj)->FindNode(key) != nullptr;
                            break;
                        case OT_INSTANCE:
                            r = _instance(obj)->_class->_members->FindNode(key) != nullptr;
                            break;
                        case OT_CLASS:
                            r = _class(obj)->_members->FindNode(key) != nullptr;
                            break;
                        case OT_ARRAY:
                            r = vm_isnumber(key) && tointeger(key) >= 0 &&
                                tointeger(key) < _array(obj)->Size();
                            break;
                        case OT_STRING:
                            r = vm_isnumber(key) && tointeger(key) >= 0 &&
                                tointeger(key) < _string(obj)->_len;
                            break;
                        case OT_USERDATA: {
                            int guard = 0;
                            for (SQTable* t = _userdata(obj)->_delegate; t && guard < 1000;
                                 t = t->_delegate, guard++)
                                if (t->FindNode(key)) {
                                    r = true;
                                    break;
                                }
                            break;
                        }
                        default:
                            break;
                        }
                        R[I_A] = r;
                        NEXT();
                    }
                    CASE(CLONE) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!Clone(R[I_B], tmp)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(CLASS) : SAVEIP();
                    {
                        SQClass* base = nullptr;
                        if (I_B != NOREG) {
                            if (sq_type(R[I_B]) != OT_CLASS) {
                                FailWith("trying to inherit from a %s",
                                         vm_typename_ascii(sq_type(R[I_B])));
                                goto exception_trap;
                            }
                            base = _class(R[I_B]);
                        }
                        SQClass* c = SQClass::Create(_sharedstate, base);
                        SQObjectPtr cobj(c);
                        if (I_C != NOREG) c->_attributes = R[I_C];
                        if (base && sq_type(base->_metamethods[MT_INHERITED]) != OT_NULL) {
                            SQObjectPtr mm = base->_metamethods[MT_INHERITED];
                            if (!CheckStack(3)) {
                                FailWith("stack overflow");
                                goto exception_trap;
                            }
                            Push(cobj);
                            Push(c->_attributes);
                            SQObjectPtr r;
                            if (!CallMetaMethod(mm, MT_INHERITED, 2, r)) goto exception_trap;
                        }
                        R[I_A] = std::move(cobj);
                        NEXT_SCOPED();
                    }
                    CASE(THROW) : SAVEIP();
                    _lasterror = R[I_A];
                    goto exception_trap;
                    CASE(PUSHTRAP) : SAVEIP();
                    {
                        SQExceptionTrap t;
                        t.stackbase = ci->_base;
                        t.ip = ci->_ip + I_X;
                        t.extarget = I_A;
                        t.frame = (SQInteger)_callstack.size() - 1;
                        _etraps.push_back(t);
                        NEXT();
                    }
                    CASE(POPTRAP)
                        : for (int32_t k = 0; k < I_X && (SQInteger)_etraps.size() > ci->_etraps;
                               k++) _etraps.pop_back();
                    NEXT();
                    CASE(GETBASE) : {
                        SQClosure* c = _closure(ci->_closure);
                        if (c->_base && c->_base->_base)
                            R[I_A] = SQObjectPtr(c->_base->_base);
                        else
                            R[I_A].Null();
                        NEXT();
                    }
                    CASE(INCL) : {
                        SQObjectPtr& x = R[I_B];
                        if (sq_type(x) == OT_INTEGER)
                            x = (SQInteger)((uint32_t)_integer(x) + (uint32_t)I_X);
                        else {
                            SAVEIP();
                            SQObjectPtr tmp, k((SQInteger)I_X);
                            if (!ArithOp(OP_ADD, tmp, x, k)) goto exception_trap;
                            x = std::move(tmp);
                        }
                        if (I_A != NOREG) R[I_A] = R[I_B];
                        NEXT();
                    }
                    CASE(PINCL) : {
                        SQObjectPtr old = R[I_B];
                        SQObjectPtr& x = R[I_B];
                        if (sq_type(x) == OT_INTEGER)
                            x = (SQInteger)((uint32_t)_integer(x) + (uint32_t)I_X);
                        else {
                            SAVEIP();
                            SQObjectPtr tmp, k((SQInteger)I_X);
                            if (!ArithOp(OP_ADD, tmp, x, k)) goto exception_trap;
                            x = std::move(tmp);
                        }
                        R[I_A] = std::move(old);
                        NEXT_SCOPED();
                    }
                    CASE(SUBK)
                        : ARITHK_FAST(-, OP_SUB) CASE(MULK)
                        : ARITHK_FAST(*, OP_MUL) CASE(DIVK) : CASE(MODK) : {
                        const SQObjectPtr& x = R[I_B];
                        if (sq_type(x) == OT_INTEGER && I_X > 0) {
                            R[I_A] = I_OP == OP_DIVK ? _integer(x) / (SQInteger)I_X
                                                     : _integer(x) % (SQInteger)I_X;
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp, k((SQInteger)I_X);
                        if (!ArithOp(I_OP == OP_DIVK ? OP_DIV : OP_MOD, tmp, x, k))
                            goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(BANDK)
                        : CASE(BORK) : CASE(BXORK) : CASE(SHLK) : CASE(SHRK) : CASE(USHRK) : {
                        const SQObjectPtr& x = R[I_B];
                        if (sq_type(x) == OT_INTEGER) {
                            R[I_A] =
                                vm_bitwise((SQOpcode)(I_OP - OP_BANDK + OP_BAND), _integer(x), I_X);
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp, k((SQInteger)I_X);
                        if (!BitwOp((SQOpcode)(I_OP - OP_BANDK + OP_BAND), tmp, x, k))
                            goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(EQK) : CASE(NEK) : {
                        const SQObjectPtr& x = R[I_B];
                        bool r;
                        if (sq_type(x) == OT_INTEGER)
                            r = _integer(x) == (SQInteger)I_X;
                        else {
                            SQObjectPtr k((SQInteger)I_X);
                            r = IsEqual(x, k);
                        }
                        R[I_A] = I_OP == OP_EQK ? r : !r;
                        NEXT();
                    }
                    CASE(LTK) : CASE(LEK) : CASE(GTK) : CASE(GEK) : {
                        const SQObjectPtr& x = R[I_B];
                        bool r;
                        if (sq_type(x) == OT_INTEGER) {
                            SQInteger p = _integer(x), q = I_X;
                            r = I_OP == OP_LTK   ? p < q
                                : I_OP == OP_LEK ? p <= q
                                : I_OP == OP_GTK ? p > q
                                                 : p >= q;
                        } else {
                            SAVEIP();
                            SQObjectPtr k((SQInteger)I_X);
                            if (!CmpOp((SQOpcode)(I_OP - OP_LTK + OP_LT), x, k, r))
                                goto exception_trap;
                        }
                        R[I_A] = r;
                        NEXT_SCOPED();
                    }
                    CASE(JCMPK) : JCMP_CONST(if (!r) ip += I_X);
                    CASE(JCMPKT)
                        : JCMP_CONST(if (r) {
                              if (I_X < 0) LOOP_BUDGET();
                              ip += I_X;
                          });
                    CASE(ADD3) : {
                        const SQObjectPtr& x = R[I_B];
                        const SQObjectPtr& y = R[I_C];
                        const SQObjectPtr& z = R[I_X];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER &&
                            sq_type(z) == OT_INTEGER) {
                            R[I_A] = (SQInteger)((uint32_t)_integer(x) + (uint32_t)_integer(y) +
                                                 (uint32_t)_integer(z));
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Add3(x, y, z, tmp)) goto exception_trap;
                        R[I_A] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                default:
                    __builtin_unreachable(); // opcodes are checked when bytecode is loaded
                }
            }
        } catch (const std::bad_alloc&) {
            FailMemory();
            goto exception_trap;
        } catch (const std::length_error&) {
            FailMemory();
            goto exception_trap;
        }
    frame_changed:
        continue;

    exception_trap : {
        SQObjectPtr currerror = _lasterror;
        bool trapped = (SQInteger)_etraps.size() > _callstack[rootidx]._etraps;
        if (_sharedstate->_notifyallexceptions) {
            if (!_error_reported) ReportToHandler(currerror);
            _error_reported = false;
        } else if (!trapped && raiseerror) {
            if (!_error_reported) ReportToHandler(currerror);
            _error_reported = false;
        } else if (!trapped && transparent && !_error_reported && sq_type(currerror) != OT_NULL) {
            // find the execution that decides: the first enclosing one that is not transparent.
            // A null error is left to the caller: from _get it means "not found", and whatever
            // the caller raises instead is reported where it is raised.
            SQInteger inner = rootidx;
            for (SQInteger k = (SQInteger)_execs.size() - 2; k >= 0; k--) {
                const ExecRec& a = _execs[k];
                if (_callstack[inner]._etraps > _callstack[a.rootidx]._etraps)
                    break; // caught there
                if (a.raiseerror) {
                    ReportToHandler(currerror);
                    _error_reported = true;
                    break;
                }
                if (!a.transparent) break;
                inner = a.rootidx;
            }
        }
        for (;;) {
            if ((SQInteger)_etraps.size() > ci->_etraps) {
                SQExceptionTrap t = _etraps.back();
                _etraps.pop_back();
                ci->_ip = t.ip;
                _stack[ci->_base + t.extarget] = currerror;
                break;
            }
            bool root = ci->_root;
            if (ci->_generator) {
                SQGenerator* g = ci->_generator;
                SQObjectPtr keep(g);
                LeaveFrame();
                g->Kill();
            } else {
                LeaveFrame();
            }
            if (root || (SQInteger)_callstack.size() <= rootidx) {
                _lasterror = currerror;
                return false;
            }
        }
        continue;
    }
    }
}
