// Frames, calls, error texts and the object protocol (get/set/arith/compare/iterate,
// metamethods, generators); the interpreter loop itself is in interp.cpp.
#include "vm.h"
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/resource.h>

// ---------------------------------------------------------------- shared state
SQSharedState::SQSharedState() {}

static const char* g_metanames[MT_LAST] = {
    "_add",    "_sub",     "_mul",     "_div",      "_unm",       "_modulo",
    "_set",    "_get",     "_typeof",  "_nexti",    "_cmp",       "_call",
    "_cloned", "_newslot", "_delslot", "_tostring", "_newmember", "_inherited"};

void SQSharedState::Init(SQVM* root) {
    _rootvm = root;
    for (int i = 0; i < MT_LAST; i++) _metanames[i] = Str(g_metanames[i]);
    _constructorname = Str("constructor");
    _thisname = Str("this");
    _vargvname = Str("vargv");
    _registry = SQTable::Create(this, 0);
    _consttable = SQTable::Create(this, 0);
}

SQSharedState::~SQSharedState() {}

// ---------------------------------------------------------------- reserved blocks
// The two reserved blocks of a finished thread that stayed shallow are kept (up to 64 blocks
// per OS thread) for the next threads: a game that starts threads every frame would otherwise
// map, fault in and unmap both for each. Only blocks with at most 64 KiB touched are kept, so
// the cache holds at most 4 MiB of memory.
namespace {
struct ReservedBlocks {
    struct Entry {
        void* mem;
        size_t bytes;
    };
    Entry kept[64];
    int n = 0;
    bool gone = false; // the OS thread is ending: blocks go straight back
    ~ReservedBlocks() {
        for (int i = 0; i < n; i++) munmap(kept[i].mem, kept[i].bytes);
        n = 0;
        gone = true;
    }
    void* Take(size_t bytes) {
        for (int i = 0; i < n; i++)
            if (kept[i].bytes == bytes) {
                void* mem = kept[i].mem;
                kept[i] = kept[--n];
                return mem;
            }
        void* mem = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        return mem == MAP_FAILED ? nullptr : mem;
    }
    void Give(void* mem, size_t bytes, size_t touched) {
        if (!gone && touched <= (64u << 10) && n < 64)
            kept[n++] = {mem, bytes};
        else
            munmap(mem, bytes);
    }
};
thread_local ReservedBlocks g_reserved;
} // namespace

// ---------------------------------------------------------------- call stack
void SQCallStack::reserve(size_t n) {
    if (_data) return;
    void* mem = g_reserved.Take(sizeof(SQCallInfo) * n);
    if (!mem) return;
    _data = (SQCallInfo*)mem;
    _cap = n;
}

SQCallStack::~SQCallStack() {
    if (!_data) return;
    for (size_t i = 0; i < _init; i++) _data[i].~SQCallInfo();
    g_reserved.Give(_data, sizeof(SQCallInfo) * _cap, sizeof(SQCallInfo) * _init);
}

// ---------------------------------------------------------------- VM
SQVM::SQVM(SQSharedState* ss) : _sharedstate(ss) {}

bool SQVM::Init(SQVM* friendvm, SQInteger stacksize) {
    (void)stacksize;
    _stackcap = SQ_STACK_SLOTS;
    void* mem = g_reserved.Take(sizeof(SQObjectPtr) * _stackcap);
    if (!mem) return false;
    _stack = (SQObjectPtr*)mem;
    EnsureInit(64);
    _callstack.reserve(SQ_MAX_FRAMES + SQ_HANDLER_FRAMES + 8);
    if (!_callstack._data) return false;
    if (friendvm)
        _roottable = friendvm->_roottable;
    else
        _roottable = SQTable::Create(_sharedstate, 0);
    return true;
}

SQVM::~SQVM() {
    Finalize();
    if (_stack) {
        for (SQInteger i = 0; i < _stackinit; i++) _stack[i].~SQObjectPtr();
        g_reserved.Give(_stack, sizeof(SQObjectPtr) * _stackcap,
                        sizeof(SQObjectPtr) * (size_t)_stackinit);
        _stack = nullptr;
    }
}

void SQVM::Finalize() {
    CloseOuters(_stack);
    _callstack.clear();
    ci = nullptr;
    _etraps.clear();
    for (SQInteger i = 0; i < _stackinit; i++) _stack[i].Null();
    _top = 0;
    _stackbase = 0;
    _roottable.Null();
    _lasterror.Null();
}

void SQVM::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    for (SQInteger i = 0; i < _top; i++) fn(ud, _stack[i]);
    for (auto& c : _callstack) fn(ud, c._closure);
    fn(ud, _roottable);
    fn(ud, _lasterror);
}

// ---------------------------------------------------------------- errors
void SQVM::FailWith(const char* fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    _lasterror = Str(buf);
}

static std::string keytext(const SQObject& k) {
    switch (sq_type(k)) {
    case OT_STRING:
        return vm_toutf8(_string(k)->_val, _string(k)->_len);
    case OT_INTEGER: {
        char b[32];
        snprintf(b, sizeof b, "%d", (int)_integer(k));
        return b;
    }
    case OT_FLOAT: {
        sqstring s = vm_float_to_text(_float(k));
        return vm_toutf8(s.data(), (SQInteger)s.size());
    }
    default:
        return vm_typename_ascii(sq_type(k));
    }
}

SQInteger SQVM::FailMemory() {
    FailWith("not enough memory");
    return SQ_ERROR;
}

void SQVM::FailNoIndex(const SQObject& key) {
    std::string s = keytext(key);
    FailWith("the index '%s' does not exist", s.c_str());
}

static std::string cmptext(const SQObject& o) {
    switch (sq_type(o)) {
    case OT_STRING:
        return keytext(o).substr(0, 50);
    case OT_INTEGER:
    case OT_FLOAT:
        return keytext(o);
    default:
        return vm_typename_ascii(sq_type(o));
    }
}

void SQVM::FailCompare(const SQObject& a, const SQObject& b) {
    std::string x = cmptext(a), y = cmptext(b);
    FailWith("comparison between '%s' and '%s'", x.c_str(), y.c_str());
}

void SQVM::FailArith(const char* op, const SQObject& a, const SQObject& b) {
    FailWith("arith op %s on between '%s' and '%s'", op, vm_typename_ascii(sq_type(a)),
             vm_typename_ascii(sq_type(b)));
}

static std::string typemask_names(SQInteger mask) {
    static const SQObjectType order[] = {
        OT_NULL,   OT_INTEGER,   OT_FLOAT,   OT_BOOL,          OT_STRING,    OT_TABLE,
        OT_ARRAY,  OT_USERDATA,  OT_CLOSURE, OT_NATIVECLOSURE, OT_GENERATOR, OT_USERPOINTER,
        OT_THREAD, OT_FUNCPROTO, OT_CLASS,   OT_INSTANCE,      OT_WEAKREF};
    std::string s;
    for (SQObjectType t : order) {
        if (mask & _RAW_TYPE(t)) {
            if (!s.empty()) s += "|";
            s += vm_typename_ascii(t);
        }
    }
    return s;
}

void SQVM::FailParamType(SQInteger nparam, SQInteger typemask, SQInteger t) {
    std::string exp = typemask_names(typemask);
    FailWith("parameter %d has an invalid type '%s' ; expected: '%s'", (int)nparam,
             vm_typename_ascii((SQObjectType)t), exp.c_str());
}

// ---------------------------------------------------------------- outers
SQOuter* SQVM::FindOuter(SQObjectPtr* slot) {
    SQOuter** pp = &_openouters;
    while (*pp && (*pp)->_valptr > slot) pp = &(*pp)->_nextopen;
    if (*pp && (*pp)->_valptr == slot) return *pp;
    SQOuter* o = new SQOuter();
    o->GCLink(_sharedstate);
    o->_valptr = slot;
    o->_nextopen = *pp;
    o->_uiRef++; // held by the open list
    *pp = o;
    return o;
}

void SQVM::CloseOuters(SQObjectPtr* stackpos) {
    while (_openouters && _openouters->_valptr >= stackpos) {
        SQOuter* o = _openouters;
        _openouters = o->_nextopen;
        o->_value = *o->_valptr;
        o->_valptr = &o->_value;
        o->_nextopen = nullptr;
        if (--o->_uiRef == 0) vm_destroy(o);
    }
}

// ---------------------------------------------------------------- frames
// Prepares a script call: checks arguments, fills defaults and vargv, pushes the frame.
// A generator function returns its generator in `target` instead of running.
bool SQVM::StartCall(SQClosure* closure, SQInteger target, SQInteger nargs, SQInteger stackbase,
                     bool tailcall) {
    SQFunctionProto* f = closure->_function;
    SQInteger nparams = f->_nparams;
    if (nargs != nparams) {
        SQInteger ndef = f->_ndefaults;
        if (f->_varparams) {
            if (nargs < nparams) {
                FailWith("wrong number of parameters");
                return false;
            }
        } else if (nargs < nparams && nparams - nargs <= ndef) {
            EnsureInit(stackbase + nparams + 1);
            for (SQInteger i = nargs; i < nparams; i++)
                _stack[stackbase + i] = closure->_defaults[ndef - (nparams - i)];
            if (stackbase + nparams > _top) _top = stackbase + nparams;
        } else {
            FailWith("wrong number of parameters");
            return false;
        }
    }
    if (f->_varparams) {
        SQInteger nv = nargs - nparams;
        SQArray* arr = SQArray::Create(_sharedstate, nv);
        for (SQInteger i = 0; i < nv; i++) {
            arr->_values[i] = std::move(_stack[stackbase + nparams + i]);
        }
        EnsureInit(stackbase + nparams + 2);
        _stack[stackbase + nparams] = SQObjectPtr(arr);
    }
    if (sq_type(closure->_env) == OT_WEAKREF) {
        SQWeakRef* w = _weakref(closure->_env);
        _stack[stackbase] = w->_obj;
    }
    if (f->_generator) {
        SQGenerator* g = SQGenerator::Create(_sharedstate, closure);
        SQObjectPtr gen(g);
        SQInteger n = f->_stacksize;
        g->_stack.resize(n);
        SQInteger ncopy = nparams + (f->_varparams ? 1 : 0);
        for (SQInteger i = 0; i < ncopy; i++) g->_stack[i] = _stack[stackbase + i];
        g->_ip = f->_code.data();
        if (target >= 0)
            _stack[target] = gen;
        else
            _lasterror = gen; // Execute's root generator call picks it up
        return true;
    }
    if (!EnterFrame(stackbase, stackbase + f->_stacksize, tailcall)) return false;
    ci->_closure = SQObjectPtr(closure);
    ci->_ip = f->_code.data();
    ci->_literals = f->_literals.data();
    ci->_target = target;
    if (_sharedstate->_hooked) CallDebugHook('c');
    return true;
}

namespace {
size_t CStackBudget() {
    static const size_t budget = [] {
        size_t limit = 8u << 20;
        rlimit rl;
        if (getrlimit(RLIMIT_STACK, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = rl.rlim_cur;
        size_t half = limit / 2;
        return half < (512u << 10) ? (512u << 10) : half > (64u << 20) ? (64u << 20) : half;
    }();
    return budget;
}
} // namespace

constinit thread_local const char* vm_cstack_limit = nullptr;
constinit thread_local int vm_cstack_depth = 0;

const char* vm_cstack_limit_below(const char* base) {
    size_t budget = CStackBudget();
    return reinterpret_cast<uintptr_t>(base) > budget ? base - budget : nullptr;
}

// LeaveFrame for the frame CallNative pushed, without what only a script frame needs: it owns
// every slot from the lower of its base and the caller's top up to the higher of its own top
// and the caller's.
VM_ALWAYS_INLINE inline void SQVM::LeaveNativeFrame(SQInteger base, SQInteger oldtop) {
    if (_openouters) CloseOuters(&_stack[base]);
    // no trap outlives the native: a script it runs drops its traps on the way out, also by error
    PopFrame(_stack + (base < oldtop ? base : oldtop), _stack + (_top > oldtop ? _top : oldtop),
             oldtop);
}

bool SQVM::CallNative(SQNativeClosure* nc, SQInteger nargs, SQInteger stackbase,
                      SQObjectPtr& retval, bool& suspend) {
    suspend = false;
    if (NativeDepthExhausted()) {
        FailWith("Native stack overflow");
        return false;
    }
    // the interpreter's own guard covers its native calls; Call sets one for the others
    if (!vm_checkparams(this, nc, nargs, stackbase)) return false;
    SQInteger oldtop = _top, oldbase = _stackbase;
    SQInteger ntop = stackbase + nargs;
    if (!EnterFrame(stackbase, ntop, false)) return false;
    SQCallInfo* const c = ci;
    c->_native = true;
    c->_closure._type = OT_NATIVECLOSURE;
    c->_closure._unVal.pNativeClosure = nc; // the new frame's slot is null
    nc->_uiRef++;
    _top = ntop;
    for (auto& o : nc->_outers) Push(o);
    if (sq_type(nc->_env) == OT_WEAKREF) _stack[stackbase] = _weakref(nc->_env)->_obj;
    _stackbase = stackbase;
    _cdepth++;
    SQInteger ret;
    try {
        ret = nc->_function(this);
    } catch (const std::bad_alloc&) {
        ret = FailMemory();
    } catch (const std::length_error&) {
        ret = FailMemory();
    } catch (const std::exception& e) {
        // no C++ exception crosses into the interpreter
        FailWith("%s", e.what());
        ret = SQ_ERROR;
    }
    _cdepth--;
    if (ret == SQ_SUSPEND_FLAG) {
        suspend = true;
        if (_top > ntop + (SQInteger)nc->_outers.size())
            retval = Top();
        else
            retval.Null();
    } else if (ret < 0) {
        _stackbase = oldbase;
        LeaveNativeFrame(stackbase, oldtop);
        return false;
    } else if (ret > 0) {
        // the frame release clears the slot anyway; below the frame it belongs to the caller
        if (_top > stackbase)
            retval = std::move(Top());
        else
            retval = Top();
    } else
        retval.Null();
    _stackbase = oldbase;
    LeaveNativeFrame(stackbase, oldtop);
    return true;
}

// Calls any callable value: the arguments (this first) are at stackbase.
bool SQVM::Call(SQObjectPtr& closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& outres,
                bool raiseerror) {
    switch (sq_type(closure)) {
    case OT_CLOSURE:
        return Execute(closure, nargs, stackbase, outres, raiseerror);
    case OT_NATIVECLOSURE: {
        bool suspend;
        SQCStackGuard cstack;
        bool ok = CallNative(_nativeclosure(closure), nargs, stackbase, outres, suspend);
        if (ok && suspend) {
            FailWith("cannot suspend through native calls/metamethods");
            ok = false;
        }
        if (!ok && raiseerror) ReportCallFailure();
        return ok;
    }
    case OT_CLASS: {
        SQObjectPtr ctor, inst;
        if (!CreateClassInstance(_class(closure), inst, ctor)) return false;
        if (sq_type(ctor) != OT_NULL) {
            _stack[stackbase] = inst;
            SQObjectPtr tmp;
            if (!Call(ctor, nargs, stackbase, tmp, raiseerror)) return false;
        }
        outres = inst;
        return true;
    }
    default: {
        SQObjectPtr mm;
        if ((sq_type(closure) == OT_TABLE || sq_type(closure) == OT_INSTANCE ||
             sq_type(closure) == OT_USERDATA) &&
            FindMetaMethod(closure, MT_CALL, mm)) {
            SQInteger nb = _top;
            if (!CheckStack(nargs + 2)) {
                FailWith("stack overflow");
                return false;
            }
            Push(closure);
            for (SQInteger i = 0; i < nargs; i++) Push(_stack[stackbase + i]);
            bool ok = Call(mm, nargs + 1, nb, outres, raiseerror);
            while (_top > nb) Pop();
            return ok;
        }
        FailWith("attempt to call '%s'", vm_typename_ascii(sq_type(closure)));
        return false;
    }
    }
}

bool SQVM::CreateClassInstance(SQClass* cls, SQObjectPtr& inst, SQObjectPtr& constructor) {
    inst = SQObjectPtr(cls->CreateInstance());
    constructor = cls->_constructor;
    return true;
}

// Metamethod call: the operands are already pushed (nparams values, `this` first).
bool SQVM::CallMetaMethod(SQObjectPtr& closure, SQMetaMethod, SQInteger nparams,
                          SQObjectPtr& outres) {
    _nmetacalls++;
    _transparent_pending = true;
    bool ok = sq_type(closure) == OT_CLOSURE
                  ? Execute(closure, nparams, _top - nparams, outres, false)
                  : Call(closure, nparams, _top - nparams, outres, false);
    _transparent_pending = false;
    _nmetacalls--;
    Pop(nparams);
    return ok;
}

// A call that fails before any script code of it runs (wrong number of parameters, a native
// raising, no room) is reported here only when nothing called it from this VM; otherwise the
// error goes back to the caller, and the script frame it reaches decides: a try there handles
// it, unreported.
void SQVM::ReportCallFailure() {
    if (_callstack.empty() || _sharedstate->_notifyallexceptions) ReportToHandler(_lasterror);
}

void SQVM::ReportToHandler(SQObjectPtr& error) {
    SQObjectPtr h = _sharedstate->_errorhandler;
    if (sq_type(h) != OT_CLOSURE && sq_type(h) != OT_NATIVECLOSURE) return;
    if (_errorreported) return;
    SQObjectPtr err = error;
    SQInteger nb = _top;
    _errorreported++; // opens the reserve of frames, slots and native depth
    if (!CheckStack(4)) {
        _errorreported--;
        return;
    }
    Push(_roottable);
    Push(err);
    SQObjectPtr ret;
    Call(h, 2, nb, ret, false);
    _errorreported--;
    while (_top > nb) Pop();
    _lasterror = err;
}

void SQVM::CallDebugHook(SQInteger evtype, SQInteger forcedline) {
    if (_debughook_running) return;
    SQSharedState* ss = _sharedstate;
    SQCallInfo* c = ci;
    if (!c || c->_native || sq_type(c->_closure) != OT_CLOSURE) return;
    SQFunctionProto* f = _closure(c->_closure)->_function;
    SQInteger line = forcedline;
    if (!forcedline) {
        SQInteger op = c->_ip - f->_code.data();
        line = f->GetLine(op > 0 ? op - (evtype == 'c' ? 0 : 1) : 0);
    }
    _debughook_running++;
    if (ss->_nativehook) {
        const SQChar* src =
            sq_type(f->_sourcename) == OT_STRING ? _string(f->_sourcename)->_val : nullptr;
        const SQChar* fn = sq_type(f->_name) == OT_STRING ? _string(f->_name)->_val : nullptr;
        ss->_nativehook(this, evtype, src, line, fn);
    } else if (sq_type(ss->_debughook) != OT_NULL) {
        SQObjectPtr h = ss->_debughook;
        SQInteger nb = _top;
        if (CheckStack(6)) {
            Push(_roottable);
            Push(SQObjectPtr(evtype));
            Push(f->_sourcename);
            Push(SQObjectPtr(line));
            Push(f->_name);
            SQObjectPtr ret;
            SQObjectPtr saved = _lasterror;
            Call(h, 5, nb, ret, false);
            _lasterror = saved;
            while (_top > nb) Pop();
        }
    }
    _debughook_running--;
}

// ---------------------------------------------------------------- object protocol
bool SQVM::FindMetaMethod(const SQObjectPtr& o, SQMetaMethod mm, SQObjectPtr& closure) {
    switch (sq_type(o)) {
    case OT_TABLE:
    case OT_USERDATA: {
        SQTable* d = static_cast<SQDelegable*>(_refcounted(o))->_delegate;
        int guard = 0;
        while (d && guard++ < 1000) {
            if (d->Get(_sharedstate->_metanames[mm], closure)) return true;
            d = d->_delegate;
        }
        return false;
    }
    case OT_INSTANCE:
        return _instance(o)->GetMetaMethod(mm, closure);
    default:
        return false;
    }
}

static bool default_delegate_for(SQSharedState* ss, const SQObject& o, SQObjectPtr& dd) {
    switch (sq_type(o)) {
    case OT_TABLE:
        dd = ss->_table_dd;
        return true;
    case OT_ARRAY:
        dd = ss->_array_dd;
        return true;
    case OT_STRING:
        dd = ss->_string_dd;
        return true;
    case OT_INTEGER:
    case OT_FLOAT:
    case OT_BOOL:
        dd = ss->_number_dd;
        return true;
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        dd = ss->_closure_dd;
        return true;
    case OT_GENERATOR:
        dd = ss->_generator_dd;
        return true;
    case OT_THREAD:
        dd = ss->_thread_dd;
        return true;
    case OT_CLASS:
        dd = ss->_class_dd;
        return true;
    case OT_INSTANCE:
        dd = ss->_instance_dd;
        return true;
    case OT_WEAKREF:
        dd = ss->_weakref_dd;
        return true;
    default:
        return false;
    }
}

bool SQVM::GetFromTypeDelegate(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest) {
    SQObjectPtr dd;
    if (!default_delegate_for(_sharedstate, self, dd) || sq_type(dd) != OT_TABLE) return false;
    return _table(dd)->Get(key, dest);
}

// 0 = not found, 1 = found, 2 = error raised by _get
int SQVM::GetThroughMeta(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest) {
    switch (sq_type(self)) {
    case OT_TABLE:
    case OT_USERDATA: {
        SQTable* d = static_cast<SQDelegable*>(_refcounted(self))->_delegate;
        if (d) {
            SQObjectPtr dobj(d);
            if (Get(dobj, key, dest, false, false)) return 1;
        }
    }
        [[fallthrough]];
    case OT_INSTANCE: {
        SQObjectPtr closure;
        if (FindMetaMethod(self, MT_GET, closure)) {
            if (!CheckStack(3)) {
                FailWith("stack overflow");
                return 2;
            }
            Push(self);
            Push(key);
            SQObjectPtr saved = _lasterror;
            _nmetacalls++;
            SQInteger nb = _top - 2;
            _transparent_pending = true;
            bool ok = sq_type(closure) == OT_CLOSURE ? Execute(closure, 2, nb, dest, false)
                                                     : Call(closure, 2, nb, dest, false);
            _transparent_pending = false;
            _nmetacalls--;
            Pop(2);
            if (ok) return 1;
            // a _get that raises with a null error means "not found"
            if (sq_type(_lasterror) == OT_NULL) {
                _lasterror = saved;
                return 0;
            }
            return 2;
        }
        return 0;
    }
    default:
        return 0;
    }
}

#define REALVAL(d)                                                                                 \
    do {                                                                                           \
        if (sq_type(d) == OT_WEAKREF) {                                                            \
            SQObjectPtr t_ = _weakref(d)->_obj;                                                    \
            d = std::move(t_);                                                                     \
        }                                                                                          \
    } while (0)
bool SQVM::Get(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest, bool raw,
               bool raiseerror) {
    switch (sq_type(self)) {
    case OT_TABLE:
        if (_table(self)->Get(key, dest)) {
            REALVAL(dest);
            return true;
        }
        break;
    case OT_ARRAY:
        if (vm_isnumber(key)) {
            SQInteger i = tointeger(key);
            SQArray* a = _array(self);
            if (i >= 0 && i < a->Size()) {
                dest = a->_values[i];
                REALVAL(dest);
                return true;
            }
            if (raiseerror) FailNoIndex(key);
            return false;
        }
        break;
    case OT_INSTANCE:
        if (_instance(self)->Get(key, dest)) {
            REALVAL(dest);
            return true;
        }
        break;
    case OT_CLASS:
        if (_class(self)->Get(key, dest)) {
            REALVAL(dest);
            return true;
        }
        break;
    case OT_STRING:
        if (vm_isnumber(key)) {
            SQInteger i = tointeger(key);
            SQString* s = _string(self);
            if (i >= 0 && i < s->_len) {
                dest = SQObjectPtr((SQInteger)s->_val[i]);
                return true;
            }
            if (raiseerror) FailNoIndex(key);
            return false;
        }
        break;
    default:
        break;
    }
    if (!raw) {
        int r = GetThroughMeta(self, key, dest);
        if (r == 1) return true;
        if (r == 2) {
            _getraised = true;
            return false;
        }
    }
    if (GetFromTypeDelegate(self, key, dest)) return true;
    if (raiseerror) FailNoIndex(key);
    return false;
}

// Identifier lookup: `this` first, then the root table.
bool SQVM::GetVar(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest) {
    if (sq_type(self) == OT_TABLE && _table(self)->Get(key, dest)) {
        REALVAL(dest);
        return true;
    }
    if (sq_type(self) != OT_NULL) {
        // an error raised by _get propagates instead of falling back to the root table
        _getraised = false;
        if (Get(self, key, dest, false, false)) return true;
        if (_getraised) return false;
    }
    if (sq_type(_roottable) == OT_TABLE && _table(_roottable)->Get(key, dest)) {
        REALVAL(dest);
        return true;
    }
    FailNoIndex(key);
    return false;
}

bool SQVM::Set(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val, bool raw) {
    switch (sq_type(self)) {
    case OT_TABLE: {
        if (_table(self)->Set(key, val)) return true;
        if (!raw) {
            // delegates: a slot found in the chain is set there
            SQTable* d = _table(self)->_delegate;
            int guard = 0;
            while (d && guard++ < 1000) {
                if (d->Set(key, val)) return true;
                d = d->_delegate;
            }
        }
        break;
    }
    case OT_ARRAY:
        if (!vm_isnumber(key)) {
            FailWith("indexing array with %s", vm_typename_ascii(sq_type(key)));
            return false;
        }
        {
            SQInteger i = tointeger(key);
            SQArray* a = _array(self);
            if (i >= 0 && i < a->Size()) {
                a->_values[i] = val;
                return true;
            }
            FailNoIndex(key);
            return false;
        }
    case OT_INSTANCE:
        if (_instance(self)->Set(key, val)) return true;
        break;
    case OT_CLASS:
        FailWith("trying to set 'class'");
        return false;
    case OT_USERDATA:
        break;
    default:
        FailWith("trying to set '%s'", vm_typename_ascii(sq_type(self)));
        return false;
    }
    if (!raw) {
        SQObjectPtr closure;
        if (FindMetaMethod(self, MT_SET, closure)) {
            if (!CheckStack(4)) {
                FailWith("stack overflow");
                return false;
            }
            Push(self);
            Push(key);
            Push(val);
            SQObjectPtr saved = _lasterror;
            SQObjectPtr res;
            if (CallMetaMethod(closure, MT_SET, 3, res)) return true;
            if (sq_type(_lasterror) != OT_NULL) return false;
            _lasterror = saved;
        }
    }
    FailNoIndex(key);
    return false;
}

bool SQVM::NewSlotWithAttributes(const SQObjectPtr& self, const SQObjectPtr& key,
                                 const SQObjectPtr& val, const SQObjectPtr& attrs, bool bstatic,
                                 bool raw) {
    if (sq_type(self) != OT_CLASS) return NewSlot(self, key, val, bstatic, raw);
    if (sq_type(key) == OT_NULL) {
        FailWith("null cannot be used as index");
        return false;
    }
    SQClass* c = _class(self);
    if (!raw && sq_type(c->_metamethods[MT_NEWMEMBER]) != OT_NULL) {
        SQObjectPtr mm = c->_metamethods[MT_NEWMEMBER];
        if (!CheckStack(6)) {
            FailWith("stack overflow");
            return false;
        }
        Push(self);
        Push(key);
        Push(val);
        Push(attrs);
        Push(SQObjectPtr(bstatic));
        SQObjectPtr res;
        return CallMetaMethod(mm, MT_NEWMEMBER, 5, res);
    }
    if (!c->NewSlot(_sharedstate, key, val, bstatic)) {
        FailWith("trying to modify a class that has already been instantiated");
        return false;
    }
    if (sq_type(attrs) != OT_NULL) c->SetAttributes(key, attrs);
    return true;
}

bool SQVM::NewSlot(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val,
                   bool bstatic, bool raw) {
    if (sq_type(key) == OT_NULL) {
        FailWith("null cannot be used as index");
        return false;
    }
    switch (sq_type(self)) {
    case OT_TABLE: {
        if (!raw) {
            SQObjectPtr closure;
            if (!_table(self)->FindNode(key) && FindMetaMethod(self, MT_NEWSLOT, closure)) {
                if (!CheckStack(4)) {
                    FailWith("stack overflow");
                    return false;
                }
                Push(self);
                Push(key);
                Push(val);
                SQObjectPtr res;
                return CallMetaMethod(closure, MT_NEWSLOT, 3, res);
            }
        }
        _table(self)->NewSlot(key, val);
        return true;
    }
    case OT_INSTANCE: {
        SQObjectPtr closure;
        if (!raw && FindMetaMethod(self, MT_NEWSLOT, closure)) {
            if (!CheckStack(4)) {
                FailWith("stack overflow");
                return false;
            }
            Push(self);
            Push(key);
            Push(val);
            SQObjectPtr res;
            return CallMetaMethod(closure, MT_NEWSLOT, 3, res);
        }
        FailWith("class instances do not support the new slot operator");
        return false;
    }
    case OT_CLASS: {
        SQObjectPtr nul;
        return NewSlotWithAttributes(self, key, val, nul, bstatic, raw);
    }
    default:
        FailWith("indexing %s with %s", vm_typename_ascii(sq_type(self)),
                 vm_typename_ascii(sq_type(key)));
        return false;
    }
}

bool SQVM::DeleteSlot(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& res, bool raw) {
    switch (sq_type(self)) {
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
        SQObjectPtr closure;
        if (!raw && FindMetaMethod(self, MT_DELSLOT, closure)) {
            if (!CheckStack(3)) {
                FailWith("stack overflow");
                return false;
            }
            Push(self);
            Push(key);
            return CallMetaMethod(closure, MT_DELSLOT, 2, res);
        }
        if (sq_type(self) == OT_TABLE) {
            SQObjectPtr v;
            if (_table(self)->Get(key, v)) {
                _table(self)->Remove(key);
                res = v;
                return true;
            }
            FailNoIndex(key);
            return false;
        }
        FailWith("cannot delete a slot from %s", vm_typename_ascii(sq_type(self)));
        return false;
    }
    default:
        FailWith("attempt to delete a slot from a %s", vm_typename_ascii(sq_type(self)));
        return false;
    }
}

// ---------------------------------------------------------------- arithmetic
static inline SQInteger iadd(SQInteger a, SQInteger b) {
    return (SQInteger)((uint32_t)a + (uint32_t)b);
}
static inline SQInteger isub(SQInteger a, SQInteger b) {
    return (SQInteger)((uint32_t)a - (uint32_t)b);
}
static inline SQInteger imul(SQInteger a, SQInteger b) {
    return (SQInteger)((uint32_t)a * (uint32_t)b);
}

static const char* arith_opname(SQOpcode op) {
    switch (op) {
    case OP_ADD:
        return "+";
    case OP_SUB:
        return "-";
    case OP_MUL:
        return "*";
    case OP_DIV:
        return "/";
    case OP_MOD:
        return "%";
    default:
        return "?";
    }
}

bool SQVM::ArithMeta(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b) {
    SQMetaMethod mm;
    switch (op) {
    case OP_ADD:
        mm = MT_ADD;
        break;
    case OP_SUB:
        mm = MT_SUB;
        break;
    case OP_MUL:
        mm = MT_MUL;
        break;
    case OP_DIV:
        mm = MT_DIV;
        break;
    default:
        mm = MT_MODULO;
        break;
    }
    if (sq_type(a) == OT_TABLE || sq_type(a) == OT_INSTANCE || sq_type(a) == OT_USERDATA) {
        SQObjectPtr closure;
        if (FindMetaMethod(a, mm, closure)) {
            if (!CheckStack(3)) {
                FailWith("stack overflow");
                return false;
            }
            Push(a);
            Push(b);
            return CallMetaMethod(closure, mm, 2, res);
        }
    }
    FailArith(arith_opname(op), a, b);
    return false;
}

bool SQVM::ArithOp(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b) {
    if (sq_type(a) == OT_INTEGER && sq_type(b) == OT_INTEGER) {
        SQInteger x = _integer(a), y = _integer(b);
        switch (op) {
        case OP_ADD:
            res = iadd(x, y);
            return true;
        case OP_SUB:
            res = isub(x, y);
            return true;
        case OP_MUL:
            res = imul(x, y);
            return true;
        case OP_DIV:
            if (y == 0) {
                FailWith("division by zero");
                return false;
            }
            if (y == -1) {
                res = isub(0, x);
                return true;
            }
            res = x / y;
            return true;
        case OP_MOD:
            if (y == 0) {
                FailWith("modulo by zero");
                return false;
            }
            if (y == -1) {
                res = (SQInteger)0;
                return true;
            }
            res = x % y;
            return true;
        default:
            break;
        }
    }
    if (vm_isnumber(a) && vm_isnumber(b)) {
        SQFloat x = tofloat(a), y = tofloat(b);
        switch (op) {
        case OP_ADD:
            res = (SQFloat)(x + y);
            return true;
        case OP_SUB:
            res = (SQFloat)(x - y);
            return true;
        case OP_MUL:
            res = (SQFloat)(x * y);
            return true;
        case OP_DIV:
            res = (SQFloat)(x / y);
            return true;
        case OP_MOD:
            res = (SQFloat)fmodf(x, y);
            return true;
        default:
            break;
        }
    }
    if (op == OP_ADD && (sq_type(a) == OT_STRING || sq_type(b) == OT_STRING))
        return StringCat(a, b, res);
    return ArithMeta(op, res, a, b);
}

// Whether strings of a and b characters can be joined; raises the memory error if not.
bool SQVM::JoinFits(SQInteger a, SQInteger b) {
    if (a > SQLimits::maxstring - b) {
        FailWith("not enough memory");
        return false;
    }
    return true;
}

bool SQVM::JoinText(const SQObjectPtr& o, SQObjectPtr& holder, SQChar* buf, const SQChar*& p,
                    SQInteger& len) {
    const SQObject* s = &o;
    if (sq_type(o) == OT_INTEGER) {
        len = vm_int_to_chars(_integer(o), buf);
        p = buf;
        return true;
    }
    if (sq_type(o) != OT_STRING) {
        if (!ToString(o, holder)) return false;
        s = &holder;
    }
    p = _string(*s)->_val;
    len = _string(*s)->_len;
    return true;
}

bool SQVM::StringCat(const SQObjectPtr& a, const SQObjectPtr& b, SQObjectPtr& res) {
    SQObjectPtr sa, sb;
    SQChar ba[12], bb[12];
    const SQChar *x, *y;
    SQInteger xl, yl;
    if (!JoinText(a, sa, ba, x, xl) || !JoinText(b, sb, bb, y, yl)) return false;
    if (!JoinFits(xl, yl)) return false;
    res = SQObjectPtr(_sharedstate->_strings.AddPair(_sharedstate, x, xl, y, yl));
    return true;
}

// (a + b) + c as the two additions would compute it, with the joined string built once when
// the first addition joins strings (the conversions run in the same order).
bool SQVM::Add3(const SQObjectPtr& a, const SQObjectPtr& b, const SQObjectPtr& c,
                SQObjectPtr& res) {
    if ((vm_isnumber(a) && vm_isnumber(b)) ||
        (sq_type(a) != OT_STRING && sq_type(b) != OT_STRING)) {
        SQObjectPtr first;
        if (!ArithOp(OP_ADD, first, a, b)) return false;
        return ArithOp(OP_ADD, res, first, c);
    }
    SQObjectPtr sa, sb, sc;
    SQChar bufs[3][12];
    const SQChar* parts[3];
    SQInteger lens[3];
    if (!JoinText(a, sa, bufs[0], parts[0], lens[0]) ||
        !JoinText(b, sb, bufs[1], parts[1], lens[1]))
        return false;
    if (!JoinFits(lens[0], lens[1])) return false;
    if (!JoinText(c, sc, bufs[2], parts[2], lens[2])) return false;
    if (!JoinFits(lens[0] + lens[1], lens[2])) return false;
    res = SQObjectPtr(_sharedstate->_strings.AddParts(_sharedstate, parts, lens, 3));
    return true;
}

bool SQVM::BitwOp(SQOpcode op, SQObjectPtr& res, const SQObjectPtr& a, const SQObjectPtr& b) {
    if (sq_type(a) != OT_INTEGER || sq_type(b) != OT_INTEGER) {
        FailWith("bitwise op between '%s' and '%s'", vm_typename_ascii(sq_type(a)),
                 vm_typename_ascii(sq_type(b)));
        return false;
    }
    res = vm_bitwise(op, _integer(a), _integer(b));
    return true;
}

bool SQVM::NegOp(SQObjectPtr& res, const SQObjectPtr& o) {
    switch (sq_type(o)) {
    case OT_INTEGER:
        res = isub(0, _integer(o));
        return true;
    case OT_FLOAT:
        res = -_float(o);
        return true;
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE: {
        SQObjectPtr closure;
        if (FindMetaMethod(o, MT_UNM, closure)) {
            if (!CheckStack(2)) {
                FailWith("stack overflow");
                return false;
            }
            Push(o);
            return CallMetaMethod(closure, MT_UNM, 1, res);
        }
        break;
    }
    default:
        break;
    }
    FailWith("attempt to negate a %s", vm_typename_ascii(sq_type(o)));
    return false;
}

// ---------------------------------------------------------------- comparison
// The one three-way compare behind <, <=, >, >=, <=> and sort. null is below every other
// value; a float compare involving NaN counts as "greater"; values of one type without an
// order of their own (arrays, tables without _cmp, functions ...) compare by identity.
static inline SQInteger cmp_floats(SQFloat x, SQFloat y) {
    return x < y ? -1 : (x == y ? 0 : 1);
}

bool SQVM::Compare3(const SQObjectPtr& a, const SQObjectPtr& b, SQInteger& res) {
    SQObjectType ta = sq_type(a), tb = sq_type(b);
    if (ta == tb) {
        switch (ta) {
        case OT_STRING: {
            SQString* x = _string(a);
            SQString* y = _string(b);
            if (x == y) {
                res = 0;
                return true;
            }
            SQInteger n = x->_len < y->_len ? x->_len : y->_len;
            for (SQInteger i = 0; i < n; i++) {
                if (x->_val[i] != y->_val[i]) {
                    res = x->_val[i] < y->_val[i] ? -1 : 1;
                    return true;
                }
            }
            res = x->_len == y->_len ? 0 : (x->_len < y->_len ? -1 : 1);
            return true;
        }
        case OT_INTEGER:
            res = _integer(a) == _integer(b) ? 0 : (_integer(a) < _integer(b) ? -1 : 1);
            return true;
        case OT_FLOAT:
            res = cmp_floats(_float(a), _float(b));
            return true;
        case OT_BOOL:
            res = (SQInteger)(_integer(a) != 0) - (SQInteger)(_integer(b) != 0);
            return true;
        case OT_NULL:
            res = 0;
            return true;
        case OT_TABLE:
        case OT_USERDATA:
        case OT_INSTANCE: {
            SQObjectPtr closure;
            if (FindMetaMethod(a, MT_CMP, closure)) {
                if (!CheckStack(3)) {
                    FailWith("stack overflow");
                    return false;
                }
                Push(a);
                Push(b);
                SQObjectPtr r;
                if (!CallMetaMethod(closure, MT_CMP, 2, r)) return false;
                if (sq_type(r) != OT_INTEGER) {
                    FailWith("_cmp must return an integer");
                    return false;
                }
                res = _integer(r);
                return true;
            }
            break;
        }
        default:
            break;
        }
        res = _rawval(a) == _rawval(b) ? 0 : (_rawval(a) < _rawval(b) ? -1 : 1);
        return true;
    }
    if (vm_isnumber(a) && vm_isnumber(b)) {
        res = cmp_floats(tofloat(a), tofloat(b));
        return true;
    }
    if (ta == OT_NULL) {
        res = -1;
        return true;
    }
    if (tb == OT_NULL) {
        res = 1;
        return true;
    }
    FailCompare(a, b);
    return false;
}

bool SQVM::CmpOp(SQOpcode op, const SQObjectPtr& a, const SQObjectPtr& b, bool& res) {
    SQInteger r;
    if (sq_type(a) == OT_INTEGER && sq_type(b) == OT_INTEGER) {
        r = _integer(a) == _integer(b) ? 0 : (_integer(a) < _integer(b) ? -1 : 1);
    } else if (vm_isnumber(a) && vm_isnumber(b)) {
        r = cmp_floats(tofloat(a), tofloat(b));
    } else if (!Compare3(a, b, r)) {
        return false;
    }
    switch (op) {
    case OP_LT:
        res = r < 0;
        break;
    case OP_LE:
        res = r <= 0;
        break;
    case OP_GT:
        res = r > 0;
        break;
    case OP_GE:
        res = r >= 0;
        break;
    default:
        res = false;
    }
    return true;
}

bool SQVM::IsEqual(const SQObjectPtr& a, const SQObjectPtr& b) {
    if (sq_type(a) == sq_type(b)) return _rawval(a) == _rawval(b);
    if (vm_isnumber(a) && vm_isnumber(b)) return tofloat(a) == tofloat(b);
    return false;
}

// ---------------------------------------------------------------- conversions
bool SQVM::ToString(const SQObjectPtr& o, SQObjectPtr& res) {
    switch (sq_type(o)) {
    case OT_STRING:
        res = o;
        return true;
    case OT_INTEGER: {
        SQChar buf[12];
        res = SQString::Create(_sharedstate, buf, vm_int_to_chars(_integer(o), buf));
        return true;
    }
    case OT_FLOAT:
        res = SQString::Create(_sharedstate, vm_float_to_text(_float(o)));
        return true;
    case OT_BOOL:
        res = _sharedstate->Str(_integer(o) ? "true" : "false");
        return true;
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE: {
        SQObjectPtr closure;
        if (FindMetaMethod(o, MT_TOSTRING, closure)) {
            if (!CheckStack(2)) {
                FailWith("stack overflow");
                return false;
            }
            Push(o);
            SQObjectPtr r;
            if (!CallMetaMethod(closure, MT_TOSTRING, 1, r)) return false;
            if (sq_type(r) == OT_STRING) {
                res = r;
                return true;
            }
            // a _tostring that answers something else is ignored: the default text stands
        }
        break;
    }
    default:
        break;
    }
    const void* p = ISREFCOUNTED(sq_type(o)) || sq_type(o) == OT_USERPOINTER
                        ? (const void*)_refcounted(o)
                        : nullptr;
    res = SQString::Create(_sharedstate, vm_ptr_to_text(vm_typename_ascii(sq_type(o)), p));
    return true;
}

bool SQVM::TypeOf(const SQObjectPtr& o, SQObjectPtr& res) {
    if (sq_type(o) == OT_TABLE || sq_type(o) == OT_INSTANCE || sq_type(o) == OT_USERDATA) {
        SQObjectPtr closure;
        if (FindMetaMethod(o, MT_TYPEOF, closure)) {
            if (!CheckStack(2)) {
                FailWith("stack overflow");
                return false;
            }
            Push(o);
            return CallMetaMethod(closure, MT_TYPEOF, 1, res);
        }
    }
    res = vm_typename(_sharedstate, o);
    return true;
}

bool SQVM::Clone(const SQObjectPtr& self, SQObjectPtr& target) {
    switch (sq_type(self)) {
    case OT_TABLE:
    case OT_INSTANCE: {
        target = sq_type(self) == OT_TABLE ? SQObjectPtr(_table(self)->Clone(_sharedstate))
                                           : SQObjectPtr(_instance(self)->Clone(_sharedstate));
        SQObjectPtr closure;
        if (FindMetaMethod(target, MT_CLONED, closure)) {
            if (!CheckStack(3)) {
                FailWith("stack overflow");
                return false;
            }
            Push(target);
            Push(self);
            SQObjectPtr r;
            return CallMetaMethod(closure, MT_CLONED, 2, r);
        }
        return true;
    }
    case OT_ARRAY: {
        SQArray* a = SQArray::Create(_sharedstate, 0);
        a->_values = _array(self)->_values;
        target = SQObjectPtr(a);
        return true;
    }
    default:
        FailWith("cloning a %s", vm_typename_ascii(sq_type(self)));
        return false;
    }
}

// ---------------------------------------------------------------- foreach
// o1 container, o2 key, o3 value, o4 iterator; finished = no more items.
// Position kept in a foreach's hidden iterator register; only damaged bytecode can put
// anything but null or a position there.
static inline SQInteger iter_index(const SQObject& o) {
    return sq_type(o) == OT_INTEGER && _integer(o) > 0 ? _integer(o) : 0;
}

bool SQVM::IterateStep(SQObjectPtr& o1, SQObjectPtr& o2, SQObjectPtr& o3, SQObjectPtr& o4,
                       bool& finished) {
    finished = false;
    switch (sq_type(o1)) {
    case OT_TABLE: {
        SQInteger idx = iter_index(o4);
        SQTable* t = _table(o1);
        SQInteger n = t->Next(idx);
        if (n < 0) {
            finished = true;
            return true;
        }
        o2 = t->_nodes[n].key;
        o3 = t->_nodes[n].val;
        REALVAL(o3);
        o4 = (SQInteger)(n + 1);
        return true;
    }
    case OT_ARRAY: {
        SQInteger idx = iter_index(o4);
        SQArray* a = _array(o1);
        if (idx >= a->Size()) {
            finished = true;
            return true;
        }
        o2 = idx;
        o3 = a->_values[idx];
        REALVAL(o3);
        o4 = (SQInteger)(idx + 1);
        return true;
    }
    case OT_STRING: {
        SQInteger idx = iter_index(o4);
        SQString* s = _string(o1);
        if (idx >= s->_len) {
            finished = true;
            return true;
        }
        o2 = idx;
        o3 = (SQInteger)s->_val[idx];
        o4 = (SQInteger)(idx + 1);
        return true;
    }
    case OT_CLASS: {
        SQInteger idx = iter_index(o4);
        SQTable* t = _class(o1)->_members;
        SQInteger n = t->Next(idx);
        if (n < 0) {
            finished = true;
            return true;
        }
        o2 = t->_nodes[n].key;
        SQObjectPtr enc = t->_nodes[n].val;
        if (MEMBER_TYPE(enc) == MEMBER_FIELD)
            o3 = _class(o1)->_defaultvalues[MEMBER_INDEX(enc)].val;
        else
            o3 = _class(o1)->_methods[MEMBER_INDEX(enc)].val;
        o4 = (SQInteger)(n + 1);
        return true;
    }
    case OT_INSTANCE:
    case OT_USERDATA: {
        SQObjectPtr closure;
        if (FindMetaMethod(o1, MT_NEXTI, closure)) {
            if (!CheckStack(3)) {
                FailWith("stack overflow");
                return false;
            }
            Push(o1);
            Push(o4);
            SQObjectPtr itr;
            if (!CallMetaMethod(closure, MT_NEXTI, 2, itr)) return false;
            if (sq_type(itr) == OT_NULL) {
                finished = true;
                return true;
            }
            o4 = itr;
            o2 = itr;
            _getraised = false;
            if (!Get(o1, itr, o3, false, false)) {
                if (!_getraised) FailWith("_nexti returned an invalid idx");
                return false;
            }
            return true;
        }
        if (sq_type(o1) == OT_INSTANCE) {
            FailWith("_nexti failed");
            return false;
        }
        if (false) {
            SQInteger idx = iter_index(o4);
            SQInstance* inst = _instance(o1);
            SQTable* t = inst->_class->_members;
            SQInteger n = t->Next(idx);
            if (n < 0) {
                finished = true;
                return true;
            }
            o2 = t->_nodes[n].key;
            SQObjectPtr enc = t->_nodes[n].val;
            if (MEMBER_TYPE(enc) == MEMBER_FIELD)
                o3 = inst->_values[MEMBER_INDEX(enc)];
            else
                o3 = inst->_class->_methods[MEMBER_INDEX(enc)].val;
            o4 = (SQInteger)(n + 1);
            return true;
        }
        FailWith("cannot iterate %s", vm_typename_ascii(sq_type(o1)));
        return false;
    }
    case OT_GENERATOR: {
        SQGenerator* g = _generator(o1);
        if (g->_state == SQGenerator::eDead) {
            finished = true;
            return true;
        }
        SQInteger idx = iter_index(o4);
        SQObjectPtr gen = o1;
        SQInteger nb = _top;
        if (!CheckStack(2)) {
            FailWith("stack overflow");
            return false;
        }
        PushNull();
        if (!Resume(g, nb)) {
            while (_top > nb) Pop();
            return false;
        }
        SQObjectPtr val = _stack[nb];
        while (_top > nb) Pop();
        if (g->_state == SQGenerator::eDead) {
            finished = true;
            return true;
        }
        o3 = val;
        o2 = idx;
        o4 = (SQInteger)(idx + 1);
        return true;
    }
    default:
        FailWith("cannot iterate %s", vm_typename_ascii(sq_type(o1)));
        return false;
    }
}

// ---------------------------------------------------------------- generators
// Runs the generator until it yields or returns; the value lands in _stack[target].
bool SQVM::Resume(SQGenerator* gen, SQInteger target) {
    if (gen->_state == SQGenerator::eDead) {
        FailWith("resuming dead generator");
        return false;
    }
    if (gen->_state == SQGenerator::eRunning) {
        FailWith("resuming active generator");
        return false;
    }
    SQObjectPtr genobj(gen);
    SQClosure* c = _closure(gen->_closure);
    SQInteger base = _top;
    SQInteger n = (SQInteger)gen->_stack.size();
    if (!EnterFrame(base, base + n, false)) return false;
    ci->_closure = gen->_closure;
    ci->_generator = gen;
    ci->_root = true;
    ci->_target = target;
    ci->_literals = c->_function->_literals.data();
    ci->_ip = gen->_ip;
    // the saved slots stay (null) while it runs: the next yield refills them in place
    for (SQInteger i = 0; i < n; i++) _stack[base + i] = std::move(gen->_stack[i]);
    // outers that pointed into the saved frame now point into the stack
    while (gen->_openouters) {
        SQOuter* o = gen->_openouters;
        gen->_openouters = o->_nextopen;
        SQInteger idx = (SQInteger)(intptr_t)o->_valptr; // saved as a slot index
        o->_valptr = &_stack[base + idx];
        // insert into the open list keeping descending order
        SQOuter** pp = &_openouters;
        while (*pp && (*pp)->_valptr > o->_valptr) pp = &(*pp)->_nextopen;
        o->_nextopen = *pp;
        *pp = o;
    }
    for (auto& t : gen->_traps) {
        SQExceptionTrap tr = t;
        tr.stackbase = base;
        _etraps.push_back(tr);
    }
    gen->_traps.clear();
    gen->_state = SQGenerator::eRunning;
    SQObjectPtr res;
    SQObjectPtr nul;
    _transparent_pending = true;
    bool ok = Execute(nul, 0, base, res, false, ET_RESUME_GENERATOR);
    _transparent_pending = false;
    if (!ok) {
        gen->Kill();
        return false;
    }
    if (target >= 0) _stack[target] = res;
    return true;
}

// Saves the running generator frame; the caller then leaves the frame.
bool SQVM::Yield(SQGenerator* gen, SQObjectPtr*) {
    SQInteger base = ci->_base;
    SQInteger n = _closure(ci->_closure)->_function->_stacksize;
    if ((SQInteger)gen->_stack.size() != n) gen->_stack.resize(n);
    for (SQInteger i = 0; i < n; i++) gen->_stack[i] = std::move(_stack[base + i]);
    // move open outers of this frame to the generator, recording slot indexes
    while (_openouters && _openouters->_valptr >= &_stack[base]) {
        SQOuter* o = _openouters;
        _openouters = o->_nextopen;
        SQInteger idx = o->_valptr - &_stack[base];
        o->_valptr = (SQObjectPtr*)(intptr_t)idx;
        o->_nextopen = gen->_openouters;
        gen->_openouters = o;
    }
    gen->_traps.clear();
    while ((SQInteger)_etraps.size() > ci->_etraps) {
        gen->_traps.insert(gen->_traps.begin(), _etraps.back());
        _etraps.pop_back();
    }
    gen->_ip = ci->_ip;
    gen->_state = SQGenerator::eSuspended;
    return true;
}
