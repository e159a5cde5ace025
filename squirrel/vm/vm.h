// The virtual machine (one per thread: stack, frames, traps) and the state its threads share.
#pragma once
#include "object.h"
#include "opcodes.h"

#define SQ_MAX_FRAMES (1 << 19)  // script call depth before "stack overflow"
#define SQ_MAX_NATIVE_DEPTH 180  // nested C-level calls (natives, metamethods)
#define SQ_STACK_SLOTS (1 << 22) // fixed reserved stack, committed as used: slots never move
// Kept back from scripts for the error handler, so that even a stack overflow is reported.
#define SQ_HANDLER_FRAMES 64
#define SQ_HANDLER_SLOTS 4096
#define SQ_SUSPEND_FLAG (-666)

// Frame push and pop sit on every call path of the interpreter loop; the compiler's size
// heuristics would otherwise move them out of it.
#if defined(__GNUC__) || defined(__clang__)
#define VM_ALWAYS_INLINE __attribute__((always_inline))
#else
#define VM_ALWAYS_INLINE
#endif

// Native recursion is bounded by count and also by the C stack it has used on this OS thread
// (half the stack limit), since frame sizes differ between builds: the nesting that fits a
// release build can overflow an instrumented one. The outermost guard marks the start.
// The lowest C frame address nested executions may reach on this thread (null while no
// guard is active) and the nesting of guards; constant-initialised, so access needs no TLS
// init check.
extern constinit thread_local const char* vm_cstack_limit;
extern constinit thread_local int vm_cstack_depth;
const char* vm_cstack_limit_below(const char* base);
struct SQCStackGuard {
    SQCStackGuard() {
        if (vm_cstack_depth++ == 0)
            vm_cstack_limit =
                vm_cstack_limit_below(static_cast<const char*>(__builtin_frame_address(0)));
    }
    ~SQCStackGuard() {
        if (--vm_cstack_depth == 0) vm_cstack_limit = nullptr;
    }
    SQCStackGuard(const SQCStackGuard&) = delete;
    SQCStackGuard& operator=(const SQCStackGuard&) = delete;
    static bool Exhausted() {
        const char* limit = vm_cstack_limit;
        return limit && static_cast<const char*>(__builtin_frame_address(0)) < limit;
    }
};

struct SQSharedState {
    SQStringTable _strings;
    SQRefCounted* _gchead = nullptr;
    SQObjectPtr _registry, _consttable;
    SQObjectPtr _errorhandler, _debughook;
    SQDEBUGHOOK _nativehook = nullptr;
    bool _hooked = false; // _debughook or _nativehook is set: one test on the call path
    SQCOMPILERERROR _compilererrorhandler = nullptr;
    SQPRINTFUNCTION _printfunc = nullptr, _errorfunc = nullptr;
    bool _debuginfo = false;
    bool _notifyallexceptions = false;
    SQObjectPtr _table_dd, _array_dd, _string_dd, _number_dd, _closure_dd, _generator_dd,
        _thread_dd, _class_dd, _instance_dd, _weakref_dd;
    SQObjectPtr _metanames[MT_LAST];
    SQObjectPtr _constructorname, _thisname, _vargvname;
    SQObjectPtr _typenames[32]; // by raw type bit, made on first use (`type(x)` in loops)
    std::vector<SQChar> _scratch;
    SQVM* _rootvm = nullptr;
    bool _closing = false;
    SQInteger _maxframes = SQ_MAX_FRAMES; // lowered by the fuzz harness (slow builds)
    SQSharedState();
    ~SQSharedState();
    void Init(SQVM* root);
    SQString* Str(const char* ascii) { return SQString::CreateAscii(this, ascii); }
    SQInteger CollectGarbage(SQVM* v, SQObjectPtr* resurrect);
};

struct SQCallInfo {
    const SQInstruction* _ip = nullptr;
    SQObjectPtr* _literals = nullptr;
    SQObjectPtr _closure;
    SQGenerator* _generator = nullptr;
    SQInteger _base = 0;    // absolute stack index of register 0
    SQInteger _target = -1; // absolute stack index of the result, -1 = none
    SQInteger _etraps = 0;  // traps of the VM when the frame was entered
    bool _root = false;     // returning from it leaves Execute
    bool _native = false;
    bool _isctor = false; // a constructor: returns its `this`
    SQInteger _prevtop = 0;
    SQInteger _frametop = 0; // end of the registers the frame owns
};

// Call frames in one reserved block (pages committed as the depth grows), so a frame's
// address is stable for its lifetime.
struct SQCallStack {
    SQCallInfo* _data = nullptr;
    size_t _size = 0, _cap = 0, _init = 0;
    ~SQCallStack();
    void reserve(size_t n);
    size_t size() const { return _size; }
    bool empty() const { return _size == 0; }
    SQCallInfo& back() { return _data[_size - 1]; }
    SQCallInfo& operator[](size_t i) { return _data[i]; }
    SQCallInfo* begin() { return _data; }
    SQCallInfo* end() { return _data + _size; }
    VM_ALWAYS_INLINE SQCallInfo* emplace_back() {
        SQCallInfo* c = _data + _size;
        if (_size == _init) {
            new (c) SQCallInfo();
            _init++;
        }
        _size++;
        c->_generator = nullptr;
        c->_target = -1;
        c->_root = false;
        c->_native = false;
        c->_isctor = false;
        return c;
    }
    void pop_back() { _data[--_size]._closure.Null(); }
    void clear() {
        while (_size) pop_back();
    }
};

enum SQExecType { ET_CALL, ET_RESUME_GENERATOR, ET_RESUME_VM, ET_RESUME_THROW_VM };

struct SQVM : SQRefCounted {
    SQSharedState* _sharedstate;
    SQObjectPtr* _stack = nullptr;
    SQInteger _stackcap = 0;
    SQInteger _stackinit = 0; // slots below this are constructed
    SQInteger _top = 0;
    SQInteger _stackbase = 0; // API index 1 = _stack[_stackbase]
    SQCallStack _callstack;
    SQCallInfo* ci = nullptr;
    std::vector<SQExceptionTrap> _etraps;
    SQOuter* _openouters = nullptr;
    SQObjectPtr _roottable;
    SQObjectPtr _lasterror;
    SQObjectPtr _errorhandler_unused;
    SQInteger _cdepth = 0;
    SQInteger _nmetacalls = 0;
    SQInteger _suspended = 0;         // 1 while suspended
    SQInteger _suspended_target = -1; // absolute stack index of the suspending call's result
    bool _suspended_root = false;
    SQInteger _suspend_varargs = 0;
    SQUserPointer _foreignptr = nullptr;
    SQInteger _debughook_running = 0;
    bool _threadstarted = false; // thread.call() started it (status "idle" otherwise)
    bool _running = false;
    SQInteger _errorreported = 0;
    // Executions on this VM, innermost last. A transparent one runs code the VM called by
    // itself (metamethods, generators): an error leaving it is reported, if at all, from
    // where it was raised, before the frames unwind.
    struct ExecRec {
        SQInteger rootidx;
        bool raiseerror;
        bool transparent;
    };
    std::vector<ExecRec> _execs;
    bool _transparent_pending = false;
    bool _error_reported = false;
    bool _getraised = false;           // the last failed Get failed in a _get metamethod
    SQInteger _opbudget = -1;          // backward jumps left before an error; -1 = unlimited
    SQInteger _nexecs = 0;             // nesting of Execute on this VM
    SQInteger _suspended_rootidx = -1; // root frame of the suspended execution

    explicit SQVM(SQSharedState* ss);
    ~SQVM() override;
    SQObjectType GetType() override { return OT_THREAD; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    bool Init(SQVM* friendvm, SQInteger stacksize);

    // stack
    inline void EnsureInit(SQInteger upto) {
        while (_stackinit < upto) {
            new (&_stack[_stackinit]) SQObjectPtr();
            _stackinit++;
        }
    }
    // The error handler may nest a few levels past the limits (half the C stack is left).
    bool NativeDepthExhausted() const {
        if (_errorreported) return _cdepth + 1 > SQ_MAX_NATIVE_DEPTH + 8;
        return _cdepth + 1 > SQ_MAX_NATIVE_DEPTH || SQCStackGuard::Exhausted();
    }
    SQInteger SlotLimit() const {
        return _errorreported ? _stackcap : _stackcap - SQ_HANDLER_SLOTS;
    }
    bool CheckStack(SQInteger n) { // room for n more slots above _top
        if (_top + n >= SlotLimit()) return false;
        EnsureInit(_top + n + 1);
        return true;
    }
    void Push(const SQObject& o) {
        EnsureInit(_top + 1);
        _stack[_top++] = o;
    }
    void PushNull() {
        EnsureInit(_top + 1);
        _stack[_top++].Null();
    }
    void Pop() { _stack[--_top].Null(); }
    void Pop(SQInteger n) {
        for (SQInteger i = 0; i < n; i++) _stack[--_top].Null();
    }
    SQObjectPtr& Top() { return _stack[_top - 1]; }
    SQObjectPtr& PopGet() { return _stack[--_top]; }
    SQObjectPtr& GetUp(SQInteger n) { return _stack[_top + n]; }
    SQObjectPtr& GetAt(SQInteger n) { return _stack[n]; }
    SQObjectPtr& StackIdx(SQInteger idx) {
        return idx > 0 ? _stack[_stackbase + idx - 1] : _stack[_top + idx];
    }
    SQInteger AbsIdx(SQInteger idx) { return idx > 0 ? _stackbase + idx - 1 : _top + idx; }

    // errors
    void FailWith(const char* fmt, ...);
    void FailWith(const SQObject& desc) { _lasterror = desc; }
    void FailNoIndex(const SQObject& key);
    void FailCompare(const SQObject& a, const SQObject& b);
    SQInteger FailMemory(); // "not enough memory"; returns SQ_ERROR
    void FailParamType(SQInteger nparam, SQInteger typemask, SQInteger type);
    void FailArith(const char* op, const SQObject& a, const SQObject& b);

    // execution
    bool Execute(SQObjectPtr& closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& outres,
                 bool raiseerror, SQExecType et = ET_CALL);
    bool Call(SQObjectPtr& closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& outres,
              bool raiseerror);
    bool CallNative(SQNativeClosure* nc, SQInteger nargs, SQInteger stackbase, SQObjectPtr& retval,
                    bool& suspend);
    bool StartCall(SQClosure* c, SQInteger target, SQInteger nargs, SQInteger stackbase,
                   bool tailcall);
    bool CallMetaMethod(SQObjectPtr& closure, SQMetaMethod mm, SQInteger nparams,
                        SQObjectPtr& outres);
    void ReportToHandler(SQObjectPtr& e);
    void ReportCallFailure();
    void CallDebugHook(SQInteger type, SQInteger forcedline = 0);
    // A call that needs nothing of StartCall but the frame: exact arguments, no varargs, no
    // generator, no weakly bound environment, no hooks.
    bool PlainCall(SQClosure* c, SQFunctionProto* fp, SQInteger nargs) const {
        return nargs == fp->_plainnargs && sq_type(c->_env) != OT_WEAKREF && !_sharedstate->_hooked;
    }
    bool EnterFrame(SQInteger newbase, SQInteger newtop, bool tailcall);
    void LeaveFrame();
    void LeaveNativeFrame(SQInteger base, SQInteger oldtop);
    void PopFrame(SQObjectPtr* lo, SQObjectPtr* p, SQInteger newtop);
    void CloseOuters(SQObjectPtr* stackpos);
    SQOuter* FindOuter(SQObjectPtr* slot);
    void RelocateOuters(SQObjectPtr* from, SQObjectPtr* fromend, SQObjectPtr* to);

    // object protocol
    bool Get(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest, bool raw,
             bool raiseerror = true);
    bool GetVar(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    bool Set(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val, bool raw);
    bool NewSlot(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val,
                 bool bstatic, bool raw);
    bool NewSlotWithAttributes(const SQObjectPtr& self, const SQObjectPtr& key,
                               const SQObjectPtr& val, const SQObjectPtr& attrs, bool bstatic,
                               bool raw);
    bool DeleteSlot(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& res, bool raw);
    bool GetFromTypeDelegate(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    int GetThroughMeta(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    bool FindMetaMethod(const SQObjectPtr& o, SQMetaMethod mm, SQObjectPtr& closure);
    bool ArithOp(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b);
    bool ArithMeta(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b);
    bool BitwOp(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b);
    bool Add3(const SQObjectPtr& a, const SQObjectPtr& b, const SQObjectPtr& c, SQObjectPtr& res);
    bool StringCat(const SQObjectPtr& a, const SQObjectPtr& b, SQObjectPtr& res);
    bool JoinFits(SQInteger a, SQInteger b);
    // The text of o for a join: a string as it is, an integer written into buf (12 units, no
    // string made for it), anything else through ToString, kept alive by holder.
    bool JoinText(const SQObjectPtr& o, SQObjectPtr& holder, SQChar* buf, const SQChar*& p,
                  SQInteger& len);
    bool Compare3(const SQObjectPtr& a, const SQObjectPtr& b, SQInteger& res);
    bool CmpOp(SQOpcode op, const SQObjectPtr& a, const SQObjectPtr& b, bool& res);
    bool IsEqual(const SQObjectPtr& a, const SQObjectPtr& b);
    bool ToString(const SQObjectPtr& o, SQObjectPtr& res);
    bool TypeOf(const SQObjectPtr& o, SQObjectPtr& res);
    bool Clone(const SQObjectPtr& self, SQObjectPtr& target);
    bool NegOp(SQObjectPtr& res, const SQObjectPtr& o);
    bool IterateStep(SQObjectPtr& o1, SQObjectPtr& o2, SQObjectPtr& o3, SQObjectPtr& o4,
                     bool& finished);
    bool CreateClassInstance(SQClass* cls, SQObjectPtr& inst, SQObjectPtr& constructor);
    bool Yield(SQGenerator* gen, SQObjectPtr* dest);
    bool Resume(SQGenerator* gen, SQInteger target);

    SQString* Str(const char* a) { return _sharedstate->Str(a); }
};

// Frame push and pop, inline: every script call and return goes through them.
// Integer bitwise ops, shared by the register and constant forms of the interpreter and the
// generic path. Shifts work on 32 bits, as scripts written for 32-bit integers expect.
inline SQInteger vm_bitwise(SQOpcode op, SQInteger x, SQInteger y) {
    switch (op) {
    case OP_BAND:
        return x & y;
    case OP_BOR:
        return x | y;
    case OP_BXOR:
        return x ^ y;
    case OP_SHL:
        return (SQInteger)((uint32_t)x << (y & 31));
    case OP_SHR:
        return x >> (y & 31);
    default:
        return (SQInteger)((uint32_t)x >> (y & 31)); // OP_USHR
    }
}

VM_ALWAYS_INLINE inline bool SQVM::EnterFrame(SQInteger newbase, SQInteger newtop, bool tailcall) {
    (void)tailcall;
    // the limits without the error handler's reserve first; only near them does the reserve
    // decide
    if ((SQInteger)_callstack._size >= _sharedstate->_maxframes ||
        newtop + 16 >= _stackcap - SQ_HANDLER_SLOTS) [[unlikely]] {
        SQInteger maxframes = _sharedstate->_maxframes + (_errorreported ? SQ_HANDLER_FRAMES : 0);
        if ((SQInteger)_callstack.size() >= maxframes || newtop + 16 >= SlotLimit()) {
            FailWith("stack overflow");
            return false;
        }
    }
    // through a local: with -fno-strict-aliasing every store would reload `ci`
    SQCallInfo* const c = _callstack.emplace_back();
    ci = c;
    SQInteger top = _top;
    c->_base = newbase;
    c->_prevtop = top;
    c->_etraps = (SQInteger)_etraps.size();
    c->_frametop = newtop;
    EnsureInit(newtop + 1);
    if (newtop > top) _top = newtop;
    return true;
}

// Releases the slots [lo, p) top down (slots never move, so a destructor run by a release cannot
// invalidate the walk), then drops the top frame.
VM_ALWAYS_INLINE inline void SQVM::PopFrame(SQObjectPtr* const lo, SQObjectPtr* p,
                                            SQInteger newtop) {
    // two registers per test: most hold numbers or null
    while (p - lo >= 2) {
        p -= 2;
        if ((sq_type(p[0]) | sq_type(p[1])) & SQOBJECT_REF_COUNTED) {
            if (ISREFCOUNTED(sq_type(p[1]))) p[1].Null();
            if (ISREFCOUNTED(sq_type(p[0]))) p[0].Null();
        }
    }
    if (p > lo && ISREFCOUNTED(sq_type(p[-1]))) p[-1].Null();
    _top = newtop;
    _callstack.pop_back();
    size_t n = _callstack._size;
    ci = n ? _callstack._data + (n - 1) : nullptr;
}

// Releases the frame's registers.
VM_ALWAYS_INLINE inline void SQVM::LeaveFrame() {
    SQCallInfo* const c = ci;
    SQInteger base = c->_base;
    SQInteger prevtop = c->_prevtop;
    if (_openouters) CloseOuters(&_stack[base]);
    if ((SQInteger)_etraps.size() > c->_etraps) _etraps.resize(c->_etraps);
    SQInteger from = base < prevtop ? base : prevtop;
    SQInteger end = c->_native || c->_frametop > _top ? _top : c->_frametop;
    PopFrame(_stack + from, _stack + end, prevtop);
}

// Stores a frame's closure (always a counted object): the slot of a newly pushed frame is null
// (pop_back clears it), so there is nothing to release.
VM_ALWAYS_INLINE inline void vm_set_frame_closure(SQCallInfo* c, const SQObject& fn) {
    c->_closure._type = fn._type;
    c->_closure._unVal = fn._unVal;
    fn._unVal.pRefCounted->_uiRef++;
}

// Argument count and type masks of a native, checked inline on every native call.
inline bool vm_checkparams(SQVM* v, SQNativeClosure* nc, SQInteger nargs, SQInteger stackbase) {
    SQInteger np = nc->_nparamscheck;
    if (np != 0 && (np > 0 ? nargs != np : nargs < -np)) {
        v->FailWith("wrong number of parameters");
        return false;
    }
    const SQInteger* masks = nc->_typecheck.data();
    SQInteger n = (SQInteger)nc->_typecheck.size();
    if (n > nargs) n = nargs;
    for (SQInteger i = 0; i < n; i++) {
        SQInteger mask = masks[i];
        if (mask == -1) continue;
        SQObjectPtr& a = v->_stack[stackbase + i];
        if (!(mask & _RAW_TYPE(sq_type(a)))) {
            v->FailParamType(i, mask, sq_type(a));
            return false;
        }
    }
    return true;
}

inline SQObjectPtr& stack_get(HSQUIRRELVM v, SQInteger idx) {
    return v->StackIdx(idx);
}

// compiler entry (compiler.cpp)
bool vm_compile_source(SQVM* vm, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename,
                       SQObjectPtr& out, bool raiseerror, bool lineinfo);
// base library (baselib.cpp)
void vm_base_register(SQVM* v);
void vm_init_default_delegates(SQVM* v);
SQInteger vm_typemask_of(const SQObject& o);
// serialisation (bytecode.cpp)
bool vm_write_proto(SQVM* v, SQFunctionProto* p, SQWRITEFUNC w, SQUserPointer up);
bool vm_read_proto(SQVM* v, SQREADFUNC r, SQUserPointer up, SQObjectPtr& out);
