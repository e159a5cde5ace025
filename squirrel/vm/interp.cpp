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
        i = *ip++;                                                                                 \
        goto* kLabels[i.op];                                                                       \
    }
#define NEXT_SCOPED() continue
#else
#define SQ_THREADED_DISPATCH 0
#define NEXT_SCOPED() continue
#define CASE(op) case OP_##op
#define NEXT() continue
#endif

// The frame's saved position is written only before something that can look at it: a call
// out of the loop, an error, a frame change. The plain fast paths skip the store.
#define SAVEIP() (lci->_ip = ip)

#define ARITH_INT_FAST(OPER)                                                                       \
    {                                                                                              \
        const SQObjectPtr& x = R[i.b];                                                             \
        const SQObjectPtr& y = R[i.c];                                                             \
        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {                                \
            R[i.a] = (SQInteger)((uint32_t)_integer(x) OPER(uint32_t) _integer(y));                \
            NEXT();                                                                                \
        }                                                                                          \
        if (sq_type(x) == OT_FLOAT && sq_type(y) == OT_FLOAT) {                                    \
            R[i.a] = (SQFloat)(_float(x) OPER _float(y));                                          \
            NEXT();                                                                                \
        }                                                                                          \
        SAVEIP();                                                                                  \
        SQObjectPtr tmp;                                                                           \
        if (!ArithOp((SQOpcode)i.op, tmp, x, y)) goto exception_trap;                              \
        R[i.a] = std::move(tmp);                                                                   \
        NEXT_SCOPED();                                                                             \
    }

// Arithmetic with an integer constant operand (x); floats on the left stay on the fast path.
#define ARITHK_FAST(OPER, BASEOP)                                                                  \
    {                                                                                              \
        const SQObjectPtr& x = R[i.b];                                                             \
        if (sq_type(x) == OT_INTEGER) {                                                            \
            R[i.a] = (SQInteger)((uint32_t)_integer(x) OPER(uint32_t) i.x);                        \
            NEXT();                                                                                \
        }                                                                                          \
        if (sq_type(x) == OT_FLOAT) {                                                              \
            R[i.a] = (SQFloat)(_float(x) OPER(SQFloat) i.x);                                       \
            NEXT();                                                                                \
        }                                                                                          \
        SAVEIP();                                                                                  \
        SQObjectPtr tmp, k((SQInteger)i.x);                                                        \
        if (!ArithOp(BASEOP, tmp, x, k)) goto exception_trap;                                      \
        R[i.a] = std::move(tmp);                                                                   \
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

// Compare kinds of the compare-and-jump forms: 0 lt, 1 le, 2 gt, 3 ge, 4 eq, 5 ne.
#define INT_COMPARE(p, q)                                                                          \
    switch (i.a) {                                                                                 \
    case 0:                                                                                        \
        r = p < q;                                                                                 \
        break;                                                                                     \
    case 1:                                                                                        \
        r = p <= q;                                                                                \
        break;                                                                                     \
    case 2:                                                                                        \
        r = p > q;                                                                                 \
        break;                                                                                     \
    case 3:                                                                                        \
        r = p >= q;                                                                                \
        break;                                                                                     \
    case 4:                                                                                        \
        r = p == q;                                                                                \
        break;                                                                                     \
    default:                                                                                       \
        r = p != q;                                                                                \
        break;                                                                                     \
    }

#define JCMP_REG(TAKE)                                                                             \
    {                                                                                              \
        const SQObjectPtr& x = R[i.b];                                                             \
        const SQObjectPtr& y = R[i.c];                                                             \
        bool r;                                                                                    \
        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {                                \
            SQInteger p = _integer(x), q = _integer(y);                                            \
            INT_COMPARE(p, q)                                                                      \
        } else if (i.a >= 4) {                                                                     \
            r = IsEqual(x, y);                                                                     \
            if (i.a == 5) r = !r;                                                                  \
        } else {                                                                                   \
            static const SQOpcode ops[] = {OP_LT, OP_LE, OP_GT, OP_GE};                            \
            SAVEIP();                                                                              \
            if (!CmpOp(ops[i.a], x, y, r)) goto exception_trap;                                    \
        }                                                                                          \
        TAKE;                                                                                      \
        NEXT();                                                                                    \
    }

#define JCMP_CONST(TAKE)                                                                           \
    {                                                                                              \
        const SQObjectPtr& x = R[i.b];                                                             \
        SQInteger q = (int8_t)i.c;                                                                 \
        bool r;                                                                                    \
        if (sq_type(x) == OT_INTEGER) {                                                            \
            SQInteger p = _integer(x);                                                             \
            INT_COMPARE(p, q)                                                                      \
        } else {                                                                                   \
            SAVEIP();                                                                              \
            SQObjectPtr k(q);                                                                      \
            if (i.a >= 4) {                                                                        \
                r = IsEqual(x, k);                                                                 \
                if (i.a == 5) r = !r;                                                              \
            } else {                                                                               \
                static const SQOpcode ops[] = {OP_LT, OP_LE, OP_GT, OP_GE};                        \
                if (!CmpOp(ops[i.a], x, k, r)) goto exception_trap;                                \
            }                                                                                      \
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
            ci->_closure = closure;
            ci->_ip = fp->_code.data();
            ci->_literals = fp->_literals.data();
            ci->_root = true;
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
            for (;;) {
                SQInstruction i = *ip++;
#if SQ_THREADED_DISPATCH
                goto* kLabels[i.op];
#endif
                switch (i.op) {
                    CASE(LINE) : SAVEIP();
                    if (sq_type(_sharedstate->_debughook) != OT_NULL || _sharedstate->_nativehook)
                        CallDebugHook('l', i.x);
                    NEXT();
                    CASE(LOAD) : R[i.a] = lits[i.x];
                    NEXT();
                    CASE(LOADINT) : R[i.a] = (SQInteger)i.x;
                    NEXT();
                    CASE(LOADFLOAT) : {
                        SQFloat f;
                        memcpy(&f, &i.x, 4);
                        R[i.a] = f;
                        NEXT();
                    }
                    CASE(LOADNULLS) : for (int32_t k = 0; k < i.x; k++) R[i.a + k].Null();
                    NEXT();
                    CASE(LOADBOOL) : R[i.a] = (bool)(i.x != 0);
                    NEXT();
                    CASE(LOADROOT) : R[i.a] = _roottable;
                    NEXT();
                    CASE(MOVE) : R[i.a] = R[i.b];
                    NEXT();
                    CASE(GETOUTER) : {
                        SQOuter* o = _closure(ci->_closure)->_outers[i.x];
                        R[i.a] = *o->_valptr;
                        NEXT();
                    }
                    CASE(SETOUTER) : {
                        SQOuter* o = _closure(ci->_closure)->_outers[i.x];
                        *o->_valptr = R[i.b];
                        if (i.a != NOREG) R[i.a] = R[i.b];
                        NEXT();
                    }
                    CASE(GETVAR) : {
                        const SQObjectPtr& key = lits[i.x];
                        if (sq_type(R[0]) == OT_TABLE) {
                            SQTable::Node* n = _table(R[0])->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                R[i.a] = n->val;
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
                                    R[i.a] = val;
                                    NEXT();
                                }
                            } else if (sq_type(cls->_metamethods[MT_GET]) == OT_NULL &&
                                       sq_type(_sharedstate->_instance_dd) == OT_TABLE &&
                                       !_table(_sharedstate->_instance_dd)->FindNode(key) &&
                                       sq_type(_roottable) == OT_TABLE) {
                                SQTable::Node* rn = _table(_roottable)->FindNode(key);
                                if (rn && sq_type(rn->val) != OT_WEAKREF) {
                                    R[i.a] = rn->val;
                                    NEXT();
                                }
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!GetVar(R[0], key, tmp)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(SETVAR) : SAVEIP();
                    {
                        const SQObjectPtr& key = lits[i.x];
                        SQObjectPtr val = R[i.b];
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
                        if (i.a != NOREG) R[i.a] = val;
                        NEXT_SCOPED();
                    }
                    CASE(GETK) : {
                        const SQObjectPtr& obj = R[i.b];
                        const SQObjectPtr& key = lits[i.x];
                        if (sq_type(obj) == OT_TABLE) {
                            SQTable::Node* n = _table(obj)->FindNode(key);
                            if (n && sq_type(n->val) != OT_WEAKREF) {
                                R[i.a] = n->val;
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
                                    R[i.a] = val;
                                    NEXT();
                                }
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Get(obj, key, tmp, false)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(GET) : {
                        const SQObjectPtr& obj = R[i.b];
                        const SQObjectPtr& key = R[i.c];
                        if (sq_type(obj) == OT_ARRAY && sq_type(key) == OT_INTEGER) {
                            SQArray* a = _array(obj);
                            SQInteger k = _integer(key);
                            if (k >= 0 && k < a->Size() && sq_type(a->_values[k]) != OT_WEAKREF) {
                                R[i.a] = a->_values[k];
                                NEXT();
                            }
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Get(obj, key, tmp, false)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(SET) : {
                        const SQObjectPtr& obj = R[i.b];
                        const SQObjectPtr& key = R[i.c];
                        SQObjectPtr val = R[i.x];
                        if (sq_type(obj) == OT_ARRAY && sq_type(key) == OT_INTEGER) {
                            SQArray* a = _array(obj);
                            SQInteger k = _integer(key);
                            if (k >= 0 && k < a->Size()) {
                                a->_values[k] = val;
                                if (i.a != NOREG) R[i.a] = std::move(val);
                                NEXT_SCOPED();
                            }
                        }
                        SAVEIP();
                        if (sq_type(obj) == OT_TABLE) {
                            if (_table(obj)->Set(key, val)) {
                                if (i.a != NOREG) R[i.a] = std::move(val);
                                NEXT_SCOPED();
                            }
                        }
                        {
                            SQObjectPtr o = obj, k = key;
                            if (!Set(o, k, val, false)) goto exception_trap;
                        }
                        if (i.a != NOREG) R[i.a] = std::move(val);
                        NEXT_SCOPED();
                    }
                    CASE(NEWSLOT) : SAVEIP();
                    {
                        SQObjectPtr obj = R[i.b], key = R[i.c];
                        int vr = i.x & 255;
                        int ar = ((i.x >> 8) & 255) - 1;
                        bool bstatic = (i.x >> 16) & 1;
                        bool cls = (i.x >> 17) & 1;
                        SQObjectPtr val = R[vr];
                        if (cls) {
                            SQObjectPtr attrs;
                            if (ar >= 0) attrs = R[ar];
                            if (!NewSlotWithAttributes(obj, key, val, attrs, bstatic, false))
                                goto exception_trap;
                        } else {
                            if (!NewSlot(obj, key, val, bstatic, false)) goto exception_trap;
                        }
                        if (i.a != NOREG) R[i.a] = val;
                        NEXT_SCOPED();
                    }
                    CASE(NEWSLOTK) : SAVEIP();
                    {
                        if (sq_type(R[i.b]) != OT_TABLE) {
                            FailWith("invalid table constructor");
                            goto exception_trap;
                        }
                        _table(R[i.b])->NewSlot(lits[i.x], R[i.c]);
                        NEXT();
                    }
                    CASE(DELETE) : SAVEIP();
                    {
                        SQObjectPtr obj = R[i.b], key = R[i.c], tmp;
                        if (!DeleteSlot(obj, key, tmp, false)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(ADD)
                        : ARITH_INT_FAST(+) CASE(SUB)
                        : ARITH_INT_FAST(-) CASE(MUL) : ARITH_INT_FAST(*) CASE(DIV) : CASE(MOD) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER &&
                            _integer(y) > 0) {
                            R[i.a] = i.op == OP_DIV ? _integer(x) / _integer(y)
                                                    : _integer(x) % _integer(y);
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!ArithOp((SQOpcode)i.op, tmp, R[i.b], R[i.c])) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(ADDK)
                        : ARITHK_FAST(+, OP_ADD) CASE(BAND)
                        : CASE(BOR) : CASE(BXOR) : CASE(SHL) : CASE(SHR) : CASE(USHR) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {
                            R[i.a] = vm_bitwise((SQOpcode)i.op, _integer(x), _integer(y));
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!BitwOp((SQOpcode)i.op, tmp, R[i.b], R[i.c])) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(UNM) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!NegOp(tmp, R[i.b])) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(NOT) : R[i.a] = vm_isfalse(R[i.b]);
                    NEXT();
                    CASE(BNOT) : SAVEIP();
                    if (sq_type(R[i.b]) != OT_INTEGER) {
                        FailWith("attempt to perform a bitwise op on a %s",
                                 vm_typename_ascii(sq_type(R[i.b])));
                        goto exception_trap;
                    }
                    R[i.a] = (SQInteger)~_integer(R[i.b]);
                    NEXT();
                    CASE(EQ) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        R[i.a] =
                            sq_type(x) == sq_type(y) ? _rawval(x) == _rawval(y) : IsEqual(x, y);
                        NEXT();
                    }
                    CASE(NE) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        R[i.a] =
                            sq_type(x) == sq_type(y) ? _rawval(x) != _rawval(y) : !IsEqual(x, y);
                        NEXT();
                    }
                    CASE(LT) : CASE(LE) : CASE(GT) : CASE(GE) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER) {
                            SQInteger p = _integer(x), q = _integer(y);
                            bool r = i.op == OP_LT   ? p < q
                                     : i.op == OP_LE ? p <= q
                                     : i.op == OP_GT ? p > q
                                                     : p >= q;
                            R[i.a] = r;
                            NEXT();
                        }
                        SAVEIP();
                        bool r;
                        if (!CmpOp((SQOpcode)i.op, R[i.b], R[i.c], r)) goto exception_trap;
                        R[i.a] = r;
                        NEXT();
                    }
                    CASE(CMP3) : SAVEIP();
                    {
                        SQInteger r;
                        SQObjectPtr a = R[i.b], b = R[i.c];
                        if (!Compare3(a, b, r)) goto exception_trap;
                        R[i.a] = r;
                        NEXT_SCOPED();
                    }
                    CASE(JMP) : if (i.x < 0) LOOP_BUDGET();
                    ip += i.x;
                    NEXT();
                    CASE(JZ) : if (vm_isfalse(R[i.a])) ip += i.x;
                    NEXT();
                    CASE(JNZ) : if (!vm_isfalse(R[i.a])) {
                        if (i.x < 0) LOOP_BUDGET();
                        ip += i.x;
                    }
                    NEXT();
                    CASE(JCMP) : JCMP_REG(if (!r) ip += i.x);
                    CASE(JCMPT)
                        : JCMP_REG(if (r) {
                              if (i.x < 0) LOOP_BUDGET();
                              ip += i.x;
                          });
                    CASE(PREPCALL) : CASE(PREPCALLK) : SAVEIP();
                    {
                        SQObjectPtr obj = R[i.b];
                        const SQObjectPtr& key = i.op == OP_PREPCALLK ? lits[i.x] : R[i.c];
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
                        }
                        if (!found && !Get(obj, key, tmp, false)) goto exception_trap;
                        R[i.a + 1] = std::move(obj);
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(TAILCALL) : SAVEIP();
                    {
                        SQObjectPtr& tfn = R[i.b];
                        if (sq_type(tfn) == OT_CLOSURE && !_closure(tfn)->_function->_generator &&
                            !ci->_generator && !ci->_isctor &&
                            sq_type(_sharedstate->_debughook) == OT_NULL &&
                            !_sharedstate->_nativehook) {
                            SQObjectPtr fnobj = tfn;
                            SQFunctionProto* fp = _closure(fnobj)->_function;
                            SQInteger nargs = i.c;
                            bool okargs = fp->_varparams ? nargs >= fp->_nparams
                                                         : (nargs <= fp->_nparams &&
                                                            fp->_nparams - nargs <= fp->_ndefaults);
                            if (!okargs) {
                                FailWith("wrong number of parameters");
                                goto exception_trap;
                            }
                            SQInteger base = ci->_base, sbase = base + i.b + 1;
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
                        SQObjectPtr& fn = R[i.b];
                        SQInteger nargs = i.c;
                        SQInteger sbase = ci->_base + i.b + 1;
                        SQInteger target = i.a == NOREG ? -1 : ci->_base + i.a;
                        switch (sq_type(fn)) {
                        case OT_CLOSURE: {
                            SQClosure* c = _closure(fn);
                            SQFunctionProto* fp = c->_function;
                            // the common call: exact arguments, no varargs, no generator, no bound
                            // weak environment, no hooks; StartCall's other work does not apply
                            if (PlainCall(c, fp, nargs)) {
                                if (!EnterFrame(sbase, sbase + fp->_stacksize, false))
                                    goto exception_trap;
                                ci->_closure = fn;
                                ci->_ip = fp->_code.data();
                                ci->_literals = fp->_literals.data();
                                ci->_target = target;
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
                            for (SQInteger k = sbase; k < sbase + nargs; k++) _stack[k].Null();
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
                        SQFunctionProto* fp = _funcproto(cur->_function->_functions[i.x]);
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
                            nc->_defaults.push_back(R[i.a + k]);
                        R[i.a] = std::move(ncobj);
                        NEXT_SCOPED();
                    }
                    CASE(NEWTABLE) : SAVEIP();
                    R[i.a] = SQObjectPtr(SQTable::Create(_sharedstate, i.x));
                    NEXT();
                    CASE(NEWARRAY) : SAVEIP();
                    {
                        SQArray* a = SQArray::Create(_sharedstate, 0);
                        a->_values.reserve(i.x);
                        R[i.a] = SQObjectPtr(a);
                        NEXT();
                    }
                    CASE(APPENDARRAY) : SAVEIP();
                    if (sq_type(R[i.a]) != OT_ARRAY) {
                        FailWith("invalid array constructor");
                        goto exception_trap;
                    }
                    if (_array(R[i.a])->Size() >= SQLimits::maxelements) throw std::bad_alloc();
                    _array(R[i.a])->_values.push_back(R[i.b]);
                    NEXT();
                    CASE(RETURN) : SAVEIP();
                    {
                        SQObjectPtr ret;
                        if (lci->_isctor)
                            ret = R[0];
                        else if (i.b)
                            ret = R[i.a];
                        if (sq_type(_sharedstate->_debughook) != OT_NULL ||
                            _sharedstate->_nativehook)
                            CallDebugHook('r');
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
                        if (i.c) ret = R[i.b];
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
                        SQObjectPtr g = R[i.b];
                        if (sq_type(g) != OT_GENERATOR) {
                            FailWith("trying to resume a '%s',only genenerator can be resumed",
                                     vm_typename_ascii(sq_type(g)));
                            goto exception_trap;
                        }
                        if (!Resume(_generator(g), ci->_base + i.a)) goto exception_trap;
                        NEXT_SCOPED();
                    }
                    CASE(FOREACH) : SAVEIP();
                    {
                        bool finished;
                        if (!IterateStep(R[i.a], R[i.b], R[i.b + 1], R[i.b + 2], finished))
                            goto exception_trap;
                        if (finished) ip += i.x;
                        NEXT();
                    }
                    CASE(CLOSE) : if (_openouters) CloseOuters(&R[i.a]);
                    NEXT();
                    CASE(TYPEOF) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!TypeOf(R[i.b], tmp)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(INSTANCEOF) : SAVEIP();
                    {
                        if (sq_type(R[i.c]) != OT_CLASS) {
                            FailWith("cannot apply instanceof between a %s and a %s",
                                     vm_typename_ascii(sq_type(R[i.c])),
                                     vm_typename_ascii(sq_type(R[i.b])));
                            goto exception_trap;
                        }
                        bool r = sq_type(R[i.b]) == OT_INSTANCE &&
                                 _instance(R[i.b])->InstanceOf(_class(R[i.c]));
                        R[i.a] = r;
                        NEXT();
                    }
                    CASE(IN) : SAVEIP();
                    {
                        const SQObjectPtr& obj = R[i.c];
                        const SQObjectPtr& key = R[i.b];
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
                        R[i.a] = r;
                        NEXT();
                    }
                    CASE(CLONE) : SAVEIP();
                    {
                        SQObjectPtr tmp;
                        if (!Clone(R[i.b], tmp)) goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(CLASS) : SAVEIP();
                    {
                        SQClass* base = nullptr;
                        if (i.b != NOREG) {
                            if (sq_type(R[i.b]) != OT_CLASS) {
                                FailWith("trying to inherit from a %s",
                                         vm_typename_ascii(sq_type(R[i.b])));
                                goto exception_trap;
                            }
                            base = _class(R[i.b]);
                        }
                        SQClass* c = SQClass::Create(_sharedstate, base);
                        SQObjectPtr cobj(c);
                        if (i.c != NOREG) c->_attributes = R[i.c];
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
                        R[i.a] = std::move(cobj);
                        NEXT_SCOPED();
                    }
                    CASE(THROW) : SAVEIP();
                    _lasterror = R[i.a];
                    goto exception_trap;
                    CASE(PUSHTRAP) : SAVEIP();
                    {
                        SQExceptionTrap t;
                        t.stackbase = ci->_base;
                        t.ip = ci->_ip + i.x;
                        t.extarget = i.a;
                        t.frame = (SQInteger)_callstack.size() - 1;
                        _etraps.push_back(t);
                        NEXT();
                    }
                    CASE(POPTRAP)
                        : for (int32_t k = 0; k < i.x && (SQInteger)_etraps.size() > ci->_etraps;
                               k++) _etraps.pop_back();
                    NEXT();
                    CASE(GETBASE) : {
                        SQClosure* c = _closure(ci->_closure);
                        if (c->_base && c->_base->_base)
                            R[i.a] = SQObjectPtr(c->_base->_base);
                        else
                            R[i.a].Null();
                        NEXT();
                    }
                    CASE(INCL) : {
                        SQObjectPtr& x = R[i.b];
                        if (sq_type(x) == OT_INTEGER)
                            x = (SQInteger)((uint32_t)_integer(x) + (uint32_t)i.x);
                        else {
                            SAVEIP();
                            SQObjectPtr tmp, k((SQInteger)i.x);
                            if (!ArithOp(OP_ADD, tmp, x, k)) goto exception_trap;
                            x = std::move(tmp);
                        }
                        if (i.a != NOREG) R[i.a] = R[i.b];
                        NEXT();
                    }
                    CASE(PINCL) : {
                        SQObjectPtr old = R[i.b];
                        SQObjectPtr& x = R[i.b];
                        if (sq_type(x) == OT_INTEGER)
                            x = (SQInteger)((uint32_t)_integer(x) + (uint32_t)i.x);
                        else {
                            SAVEIP();
                            SQObjectPtr tmp, k((SQInteger)i.x);
                            if (!ArithOp(OP_ADD, tmp, x, k)) goto exception_trap;
                            x = std::move(tmp);
                        }
                        R[i.a] = std::move(old);
                        NEXT_SCOPED();
                    }
                    CASE(SUBK)
                        : ARITHK_FAST(-, OP_SUB) CASE(MULK)
                        : ARITHK_FAST(*, OP_MUL) CASE(DIVK) : CASE(MODK) : {
                        const SQObjectPtr& x = R[i.b];
                        if (sq_type(x) == OT_INTEGER && i.x > 0) {
                            R[i.a] = i.op == OP_DIVK ? _integer(x) / (SQInteger)i.x
                                                     : _integer(x) % (SQInteger)i.x;
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp, k((SQInteger)i.x);
                        if (!ArithOp(i.op == OP_DIVK ? OP_DIV : OP_MOD, tmp, x, k))
                            goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(BANDK)
                        : CASE(BORK) : CASE(BXORK) : CASE(SHLK) : CASE(SHRK) : CASE(USHRK) : {
                        const SQObjectPtr& x = R[i.b];
                        if (sq_type(x) == OT_INTEGER) {
                            R[i.a] =
                                vm_bitwise((SQOpcode)(i.op - OP_BANDK + OP_BAND), _integer(x), i.x);
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp, k((SQInteger)i.x);
                        if (!BitwOp((SQOpcode)(i.op - OP_BANDK + OP_BAND), tmp, x, k))
                            goto exception_trap;
                        R[i.a] = std::move(tmp);
                        NEXT_SCOPED();
                    }
                    CASE(EQK) : CASE(NEK) : {
                        const SQObjectPtr& x = R[i.b];
                        bool r;
                        if (sq_type(x) == OT_INTEGER)
                            r = _integer(x) == (SQInteger)i.x;
                        else {
                            SQObjectPtr k((SQInteger)i.x);
                            r = IsEqual(x, k);
                        }
                        R[i.a] = i.op == OP_EQK ? r : !r;
                        NEXT();
                    }
                    CASE(LTK) : CASE(LEK) : CASE(GTK) : CASE(GEK) : {
                        const SQObjectPtr& x = R[i.b];
                        bool r;
                        if (sq_type(x) == OT_INTEGER) {
                            SQInteger p = _integer(x), q = i.x;
                            r = i.op == OP_LTK   ? p < q
                                : i.op == OP_LEK ? p <= q
                                : i.op == OP_GTK ? p > q
                                                 : p >= q;
                        } else {
                            SAVEIP();
                            SQObjectPtr k((SQInteger)i.x);
                            if (!CmpOp((SQOpcode)(i.op - OP_LTK + OP_LT), x, k, r))
                                goto exception_trap;
                        }
                        R[i.a] = r;
                        NEXT_SCOPED();
                    }
                    CASE(JCMPK) : JCMP_CONST(if (!r) ip += i.x);
                    CASE(JCMPKT)
                        : JCMP_CONST(if (r) {
                              if (i.x < 0) LOOP_BUDGET();
                              ip += i.x;
                          });
                    CASE(ADD3) : {
                        const SQObjectPtr& x = R[i.b];
                        const SQObjectPtr& y = R[i.c];
                        const SQObjectPtr& z = R[i.x];
                        if (sq_type(x) == OT_INTEGER && sq_type(y) == OT_INTEGER &&
                            sq_type(z) == OT_INTEGER) {
                            R[i.a] = (SQInteger)((uint32_t)_integer(x) + (uint32_t)_integer(y) +
                                                 (uint32_t)_integer(z));
                            NEXT();
                        }
                        SAVEIP();
                        SQObjectPtr tmp;
                        if (!Add3(x, y, z, tmp)) goto exception_trap;
                        R[i.a] = std::move(tmp);
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
        } else if (!trapped && transparent && !_error_reported) {
            // find the execution that decides: the first enclosing one that is not transparent
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
