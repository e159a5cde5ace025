// Base library (root-table functions) and the default delegates of every type.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

#define SO(idx) stack_get(v, idx)

static SQString* S(HSQUIRRELVM v, const char* a) {
    return v->Str(a);
}

static SQNativeClosure* reg(HSQUIRRELVM v, SQTable* t, const char* name, SQFUNCTION f,
                            SQInteger nparams, const char* mask) {
    SQNativeClosure* nc = SQNativeClosure::Create(v->_sharedstate, f, 0);
    SQObjectPtr nco(nc);
    nc->_name = S(v, name);
    v->Push(nco);
    sqstring m;
    if (mask) m = vm_ascii(mask);
    sq_setparamscheck(v, nparams, mask ? m.c_str() : nullptr);
    v->Pop();
    t->NewSlot(SQObjectPtr(S(v, name)), nco);
    return nc;
}

SQInteger vm_typemask_of(const SQObject& o) {
    return _RAW_TYPE(sq_type(o));
}

// ---------------------------------------------------------------- output
static void print_text(HSQUIRRELVM v, SQPRINTFUNCTION f, SQInteger idx) {
    SQObjectPtr s;
    if (!v->ToString(SO(idx), s)) return;
    if (f) f(v, u"%s", _string(s)->_val);
}

static SQInteger base_print(HSQUIRRELVM v) {
    SQObjectPtr s;
    if (!v->ToString(SO(2), s)) return SQ_ERROR;
    if (v->_sharedstate->_printfunc) v->_sharedstate->_printfunc(v, u"%s", _string(s)->_val);
    return 0;
}
static SQInteger base_error(HSQUIRRELVM v) {
    SQObjectPtr s;
    if (!v->ToString(SO(2), s)) return SQ_ERROR;
    if (v->_sharedstate->_errorfunc) v->_sharedstate->_errorfunc(v, u"%s", _string(s)->_val);
    return 0;
}

static SQInteger base_getroottable(HSQUIRRELVM v) {
    v->Push(v->_roottable);
    return 1;
}
static SQInteger base_getconsttable(HSQUIRRELVM v) {
    v->Push(v->_sharedstate->_consttable);
    return 1;
}
static SQInteger base_setroottable(HSQUIRRELVM v) {
    SQObjectPtr old = v->_roottable;
    if (SQ_FAILED(sq_setroottable(v))) return SQ_ERROR;
    v->Push(old);
    return 1;
}
static SQInteger base_setconsttable(HSQUIRRELVM v) {
    SQObjectPtr old = v->_sharedstate->_consttable;
    if (SQ_FAILED(sq_setconsttable(v))) return SQ_ERROR;
    v->Push(old);
    return 1;
}
static SQInteger base_seterrorhandler(HSQUIRRELVM v) {
    sq_seterrorhandler(v);
    return 0;
}
static SQInteger base_setdebughook(HSQUIRRELVM v) {
    sq_setdebughook(v);
    return 0;
}
static SQInteger base_enabledebuginfo(HSQUIRRELVM v) {
    sq_enabledebuginfo(v, vm_isfalse(SO(2)) ? SQFalse : SQTrue);
    return 0;
}
static SQInteger base_assert(HSQUIRRELVM v) {
    if (vm_isfalse(SO(2))) return sq_throwerror(v, u"assertion failed");
    return 0;
}
static SQInteger base_dummy(HSQUIRRELVM) {
    return 0;
}

static SQInteger base_compilestring(HSQUIRRELVM v) {
    SQObjectPtr src = SO(2);
    const SQChar* name = u"unnamedbuffer";
    if (sq_gettop(v) > 2) name = _string(SO(3))->_val;
    if (SQ_FAILED(sq_compilebuffer(v, _string(src)->_val, _string(src)->_len, name, SQFalse)))
        return SQ_ERROR;
    return 1;
}

static SQInteger base_collectgarbage(HSQUIRRELVM v) {
    sq_pushinteger(v, sq_collectgarbage(v));
    return 1;
}
static SQInteger base_resurrectunreachable(HSQUIRRELVM v) {
    sq_resurrectunreachable(v);
    return 1;
}

static SQInteger base_type(HSQUIRRELVM v) {
    v->Push(SQObjectPtr(vm_typename(v->_sharedstate, SO(2))));
    return 1;
}

static SQInteger base_callee(HSQUIRRELVM v) {
    SQInteger n = (SQInteger)v->_callstack.size();
    if (n >= 2) {
        v->Push(v->_callstack[n - 2]._closure);
        return 1;
    }
    return sq_throwerror(v, u"no closure in the calls stack");
}

static SQInteger push_stackinfos(HSQUIRRELVM v, HSQUIRRELVM target, SQInteger level) {
    SQStackInfos si;
    if (SQ_FAILED(sq_stackinfos(target, level, &si))) {
        v->PushNull();
        return 1;
    }
    SQTable* t = SQTable::Create(v->_sharedstate, 4);
    SQObjectPtr to(t);
    SQInteger n = (SQInteger)target->_callstack.size();
    SQCallInfo* c = &target->_callstack[n - 1 - level];
    SQObjectPtr fname;
    if (sq_type(c->_closure) == OT_CLOSURE) {
        SQObjectPtr nm = _closure(c->_closure)->_function->_name;
        fname = sq_type(nm) == OT_STRING ? nm : SQObjectPtr(S(v, "unknown"));
    } else
        fname = SQString::Create(v->_sharedstate, si.funcname, -1);
    t->NewSlot(SQObjectPtr(S(v, "func")), fname);
    t->NewSlot(SQObjectPtr(S(v, "src")),
               SQObjectPtr(SQString::Create(v->_sharedstate, si.source, -1)));
    t->NewSlot(SQObjectPtr(S(v, "line")), SQObjectPtr(si.line));
    SQTable* locals = SQTable::Create(v->_sharedstate, 0);
    SQObjectPtr lo(locals);
    for (SQUnsignedInteger i = 0;; i++) {
        const SQChar* name = sq_getlocal(target, (SQUnsignedInteger)level, i);
        if (!name) break;
        SQObjectPtr val = target->Top();
        target->Pop();
        locals->NewSlot(SQObjectPtr(SQString::Create(v->_sharedstate, name, -1)), val);
    }
    t->NewSlot(SQObjectPtr(S(v, "locals")), lo);
    v->Push(to);
    return 1;
}

static SQInteger base_getstackinfos(HSQUIRRELVM v) {
    SQInteger level = tointeger(SO(2));
    return push_stackinfos(v, v, level);
}

static SQInteger base_array(HSQUIRRELVM v) {
    SQInteger n = tointeger(SO(2));
    if (n < 0) return sq_throwerror(v, u"negative size");
    if (n > SQLimits::maxelements) return sq_throwerror(v, u"size too big");
    SQArray* a = SQArray::Create(v->_sharedstate, n);
    SQObjectPtr ao(a);
    if (sq_gettop(v) > 2) {
        SQObjectPtr fill = SO(3);
        for (auto& x : a->_values) x = fill;
    }
    v->Push(ao);
    return 1;
}

static SQInteger base_newthread(HSQUIRRELVM v) {
    SQObjectPtr f = SO(2);
    HSQUIRRELVM t = sq_newthread(v, 1024);
    t->Push(f);
    return 1;
}

static SQInteger base_suspend(HSQUIRRELVM v) {
    if (sq_gettop(v) > 1)
        v->Push(SO(2));
    else
        v->Push(SO(1));
    return sq_suspendvm(v);
}

// ---------------------------------------------------------------- number delegate
// The same results without a native frame, for the interpreter (SQNativeClosure::_fastfn).
static void set_int(SQObject& res, SQInteger i) {
    res._type = OT_INTEGER;
    res._unVal.raw = (uint32_t)i;
}
static bool fast_number_tointeger(SQObjectPtr* args, SQInteger nargs, SQObject& res) {
    const SQObject& o = args[0];
    if (nargs != 1) return false;
    switch (sq_type(o)) {
    case OT_INTEGER:
    case OT_BOOL:
        set_int(res, sq_type(o) == OT_BOOL ? (_integer(o) ? 1 : 0) : _integer(o));
        return true;
    case OT_FLOAT:
        set_int(res, vm_ftoi(_float(o)));
        return true;
    default:
        return false;
    }
}
static bool fast_number_tofloat(SQObjectPtr* args, SQInteger nargs, SQObject& res) {
    const SQObject& o = args[0];
    if (nargs != 1) return false;
    SQFloat f;
    switch (sq_type(o)) {
    case OT_INTEGER:
        f = (SQFloat)_integer(o);
        break;
    case OT_BOOL:
        f = _integer(o) ? 1.0f : 0.0f;
        break;
    case OT_FLOAT:
        f = _float(o);
        break;
    default:
        return false;
    }
    res._type = OT_FLOAT;
    res._unVal.raw = vm_float_bits(f);
    return true;
}
static bool fast_string_len(SQObjectPtr* args, SQInteger nargs, SQObject& res) {
    if (nargs != 1 || sq_type(args[0]) != OT_STRING) return false;
    set_int(res, _string(args[0])->_len);
    return true;
}
static bool fast_array_len(SQObjectPtr* args, SQInteger nargs, SQObject& res) {
    if (nargs != 1 || sq_type(args[0]) != OT_ARRAY) return false;
    set_int(res, (SQInteger)_array(args[0])->_values.size());
    return true;
}
// Only into room the array already has: growth, and the element limit, take the native path.
static bool fast_array_append(SQObjectPtr* args, SQInteger nargs, SQObject& res) {
    if (nargs != 2 || sq_type(args[0]) != OT_ARRAY) return false;
    SQArrayValues& a = _array(args[0])->_values;
    if (a.size() >= a.capacity() || (SQInteger)a.size() >= SQLimits::maxelements) return false;
    a.push_back(std::move(args[1]));
    res._type = OT_NULL;
    res._unVal.raw = 0;
    return true;
}

// The natives give what their fast forms give (the type mask lets only numbers and booleans in).
static SQInteger number_tointeger(HSQUIRRELVM v) {
    SQObject r;
    fast_number_tointeger(&SO(1), 1, r);
    sq_pushinteger(v, _integer(r));
    return 1;
}
static SQInteger number_tofloat(HSQUIRRELVM v) {
    SQObject r;
    fast_number_tofloat(&SO(1), 1, r);
    sq_pushfloat(v, _float(r));
    return 1;
}
static SQInteger default_tostring(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_tostring(v, 1))) return SQ_ERROR;
    return 1;
}
static SQInteger number_tochar(HSQUIRRELVM v) {
    SQObjectPtr& o = SO(1);
    SQInteger c = sq_type(o) == OT_BOOL ? (_integer(o) ? 1 : 0) : tointeger(o);
    SQChar ch = (SQChar)c;
    sq_pushstring(v, &ch, 1);
    return 1;
}
static SQInteger default_weakref(HSQUIRRELVM v) {
    sq_weakref(v, 1);
    return 1;
}

// ---------------------------------------------------------------- string delegate
static bool str_to_number(const SQString* s, bool& isfloat, SQInteger& iv, SQFloat& fv) {
    std::string a = vm_toutf8(s->_val, s->_len);
    const char* p = a.c_str();
    bool hasdot = a.find_first_of(".eE") != std::string::npos;
    char* end;
    if (hasdot) {
        double d = strtod(p, &end);
        if (end == p) return false;
        isfloat = true;
        fv = (SQFloat)d;
        return true;
    }
    long long l = strtoll(p, &end, 10);
    if (end == p) return false;
    if (l > 2147483647LL) l = 2147483647LL;
    if (l < -2147483648LL) l = -2147483648LL;
    isfloat = false;
    iv = (SQInteger)l;
    return true;
}

static SQInteger string_len(HSQUIRRELVM v) {
    sq_pushinteger(v, _string(SO(1))->_len);
    return 1;
}
static SQInteger string_tointeger(HSQUIRRELVM v) {
    bool isf;
    SQInteger i = 0;
    SQFloat f = 0;
    if (!str_to_number(_string(SO(1)), isf, i, f))
        return sq_throwerror(v, u"cannot convert the string");
    sq_pushinteger(v, isf ? vm_ftoi(f) : i);
    return 1;
}
static SQInteger string_tofloat(HSQUIRRELVM v) {
    bool isf;
    SQInteger i = 0;
    SQFloat f = 0;
    if (!str_to_number(_string(SO(1)), isf, i, f))
        return sq_throwerror(v, u"cannot convert the string");
    sq_pushfloat(v, isf ? f : (SQFloat)i);
    return 1;
}

// Strings call a start before the beginning out of range; arrays call it a wrong index.
static bool slice_args(HSQUIRRELVM v, SQInteger len, SQInteger& s, SQInteger& e,
                       bool text = false) {
    SQInteger top = sq_gettop(v);
    s = top > 1 ? tointeger(SO(2)) : 0;
    e = top > 2 ? tointeger(SO(3)) : len;
    if (s < 0) s += len;
    if (e < 0) e += len;
    if (text && s < 0) {
        v->FailWith("slice out of range");
        return false;
    }
    if (s < 0 || s > e) {
        v->FailWith("wrong indexes");
        return false;
    }
    if (e > len) {
        v->FailWith("slice out of range");
        return false;
    }
    return true;
}

static SQInteger string_slice(HSQUIRRELVM v) {
    SQString* str = _string(SO(1));
    SQInteger s, e;
    if (!slice_args(v, str->_len, s, e, true)) return SQ_ERROR;
    sq_pushstring(v, str->_val + s, e - s);
    return 1;
}
static SQInteger string_find(HSQUIRRELVM v) {
    SQString* str = _string(SO(1));
    SQString* sub = _string(SO(2));
    SQInteger start = sq_gettop(v) > 2 ? tointeger(SO(3)) : 0;
    if (start < 0 || start > str->_len) {
        v->PushNull();
        return 1;
    }
    if (sub->_len == 0) {
        if (start >= str->_len) {
            v->PushNull();
            return 1;
        }
        sq_pushinteger(v, start);
        return 1;
    }
    for (SQInteger i = start; i + sub->_len <= str->_len; i++) {
        if (memcmp(str->_val + i, sub->_val, sub->_len * sizeof(SQChar)) == 0) {
            sq_pushinteger(v, i);
            return 1;
        }
    }
    v->PushNull();
    return 1;
}
static SQInteger string_case(HSQUIRRELVM v, bool upper) {
    SQString* str = _string(SO(1));
    sqstring r(str->_val, str->_len);
    for (auto& c : r) {
        if (upper && c >= 'a' && c <= 'z') c = (SQChar)(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = (SQChar)(c + 32);
    }
    sq_pushstring(v, r.data(), (SQInteger)r.size());
    return 1;
}
static SQInteger string_tolower(HSQUIRRELVM v) {
    return string_case(v, false);
}
static SQInteger string_toupper(HSQUIRRELVM v) {
    return string_case(v, true);
}

// ---------------------------------------------------------------- table delegate
static SQInteger table_len(HSQUIRRELVM v) {
    sq_pushinteger(v, sq_getsize(v, 1));
    return 1;
}
static SQInteger container_rawget(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_rawget(v, 1))) return SQ_ERROR;
    return 1;
}
static SQInteger container_rawset(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_rawset(v, 1))) return SQ_ERROR;
    return 0;
}
static SQInteger table_rawdelete(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_rawdeleteslot(v, 1, SQTrue))) return SQ_ERROR;
    return 1;
}
static SQInteger container_rawin(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1), key = SO(2), res;
    bool found = false;
    switch (sq_type(self)) {
    case OT_TABLE:
        found = _table(self)->Get(key, res);
        break;
    case OT_CLASS:
        found = _class(self)->Get(key, res);
        break;
    case OT_INSTANCE:
        found = _instance(self)->Get(key, res);
        break;
    default:
        break;
    }
    sq_pushbool(v, found);
    return 1;
}
static SQInteger obj_clear(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_clear(v, 1))) return SQ_ERROR;
    return 0;
}
static SQInteger table_setdelegate(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_setdelegate(v, 1))) return SQ_ERROR;
    sq_push(v, 1);
    return 1;
}
static SQInteger table_getdelegate(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_getdelegate(v, 1))) return SQ_ERROR;
    return 1;
}

// ---------------------------------------------------------------- array delegate
static SQArrayValues& AV(HSQUIRRELVM v) {
    return _array(SO(1))->_values;
}
static SQInteger array_len(HSQUIRRELVM v) {
    sq_pushinteger(v, (SQInteger)AV(v).size());
    return 1;
}
// Growth past the element limit fails like an allocation: "not enough memory".
static bool room_for(HSQUIRRELVM v, SQInteger more) {
    if ((SQInteger)AV(v).size() <= SQLimits::maxelements - more) return true;
    v->FailMemory();
    return false;
}
static SQInteger array_append(HSQUIRRELVM v) {
    if (!room_for(v, 1)) return SQ_ERROR;
    AV(v).push_back(SO(2));
    return 0;
}
static SQInteger array_extend(HSQUIRRELVM v) {
    SQArrayValues src = _array(SO(2))->_values;
    if (!room_for(v, (SQInteger)src.size())) return SQ_ERROR;
    AV(v).reserve(AV(v).size() + src.size());
    for (auto& x : src) AV(v).push_back(x);
    return 0;
}
static SQInteger array_pop(HSQUIRRELVM v) {
    auto& a = AV(v);
    if (a.empty()) return sq_throwerror(v, u"empty array");
    SQObjectPtr last = a.back();
    a.pop_back();
    v->Push(last);
    return 1;
}
static SQInteger array_top(HSQUIRRELVM v) {
    auto& a = AV(v);
    if (a.empty()) return sq_throwerror(v, u"top() on a empty array");
    v->Push(SQObjectPtr(a.back()));
    return 1;
}
static SQInteger array_insert(HSQUIRRELVM v) {
    auto& a = AV(v);
    SQInteger i = tointeger(SO(2));
    if (i < 0 || i > (SQInteger)a.size()) return sq_throwerror(v, u"index out of range");
    if (!room_for(v, 1)) return SQ_ERROR;
    a.insert(a.begin() + i, SO(3));
    return 0;
}
static SQInteger array_remove(HSQUIRRELVM v) {
    auto& a = AV(v);
    SQInteger i = tointeger(SO(2));
    if (i < 0 || i >= (SQInteger)a.size()) return sq_throwerror(v, u"idx out of range");
    SQObjectPtr val = a[i];
    a.erase(a.begin() + i);
    v->Push(val);
    return 1;
}
static SQInteger array_resize(HSQUIRRELVM v) {
    auto& a = AV(v);
    SQInteger n = tointeger(SO(2));
    if (n < 0) return sq_throwerror(v, u"negative size");
    if (n > SQLimits::maxelements) return sq_throwerror(v, u"size too big");
    SQObjectPtr fill;
    if (sq_gettop(v) > 2) fill = SO(3);
    size_t old = a.size();
    a.resize(n);
    for (size_t k = old; k < a.size(); k++) a[k] = fill;
    return 0;
}
static SQInteger array_reverse(HSQUIRRELVM v) {
    sq_arrayreverse(v, 1);
    return 0;
}
static SQInteger array_slice(HSQUIRRELVM v) {
    auto& a = AV(v);
    SQInteger s, e;
    if (!slice_args(v, (SQInteger)a.size(), s, e)) return SQ_ERROR;
    SQArray* r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr ro(r);
    for (SQInteger k = s; k < e; k++) r->_values.push_back(a[k]);
    v->Push(ro);
    return 1;
}
static SQInteger array_find(HSQUIRRELVM v) {
    auto& a = AV(v);
    SQObjectPtr x = SO(2);
    for (size_t k = 0; k < a.size(); k++) {
        if (v->IsEqual(a[k], x)) {
            sq_pushinteger(v, (SQInteger)k);
            return 1;
        }
    }
    v->PushNull();
    return 1;
}

// A function that a native loop calls once per element (sort comparators, map, apply, reduce,
// filter). The stack room is reserved once; each call writes `this` and the arguments straight
// above the top (no temporary copies). For a script function that takes exactly these
// arguments (no varargs, no generator, no weakly bound environment) the callee's frame is worked
// out once too: each call writes it and runs it as the root of a new execution, without the
// call set-up of Execute. With a debug hook set, and for anything else, Execute or Call make the
// call as for any native.
class LoopCall {
public:
    LoopCall(HSQUIRRELVM v, const SQObjectPtr& f, const SQObjectPtr& self, SQInteger nargs)
        : _v(v), _ss(v->_sharedstate), _f(const_cast<SQObjectPtr&>(f)), _self(self), _nb(v->_top) {
        if (!v->CheckStack(nargs + 2)) {
            v->FailWith("stack overflow");
            return;
        }
        // the argument slots hold no counted value between calls: each call stores into them
        // without a release
        for (SQInteger k = 0; k <= nargs; k++) v->_stack[_nb + k].Null();
        _ready = true;
        // a suspend inside the function fails while the native waits for its result
        v->_nmetacalls++;
        if (sq_type(f) != OT_CLOSURE) return;
        SQClosure* c = _closure(f);
        SQFunctionProto* fp = c->_function;
        SQInteger frametop = _nb + fp->_stacksize;
        // the frame sits at the same depth and stack position on every call: the limits are
        // the same too (near them, Execute raises the error)
        if (nargs + 1 != fp->_nparams || fp->_varparams || fp->_generator ||
            sq_type(c->_env) == OT_WEAKREF ||
            (SQInteger)v->_callstack.size() + 1 >= v->_sharedstate->_maxframes ||
            frametop + 16 >= v->_stackcap - SQ_HANDLER_SLOTS)
            return;
        v->EnsureInit(frametop + 1);
        _direct = true;
        _frametop = frametop;
        _code = fp->_code.data();
        _literals = fp->_literals.data();
        _etraps = (SQInteger)v->_etraps.size();
    }
    ~LoopCall() {
        if (_ready) _v->_nmetacalls--;
    }
    LoopCall(const LoopCall&) = delete;
    LoopCall& operator=(const LoopCall&) = delete;
    bool ready() const { return _ready; }

    // the caller holds the function for the whole loop
    template <class... Args>
    VM_ALWAYS_INLINE bool operator()(SQObjectPtr& res, const Args&... args) {
        constexpr SQInteger n = sizeof...(Args) + 1;
        HSQUIRRELVM v = _v;
        SQObjectPtr* const s = v->_stack + _nb;
        store(s[0], _self);
        SQInteger k = 1;
        (store(s[k++], args), ...);
        if (_direct && sq_type(_ss->_debughook) == OT_NULL && !_ss->_nativehook) [[likely]] {
            size_t depth = v->_callstack._size;
            SQCallInfo* const c = v->_callstack.emplace_back();
            v->ci = c;
            c->_base = _nb;
            c->_prevtop = _nb + n;
            c->_etraps = _etraps;
            c->_frametop = _frametop;
            c->_ip = _code;
            c->_literals = _literals;
            c->_root = true;
            vm_set_frame_closure(c, _f);
            v->_top = _frametop;
            // runs the frame on top of the call stack, as a resumed generator's; its release
            // on return clears the arguments
            if (v->Execute(_f, n, _nb, res, false, ET_RESUME_GENERATOR)) [[likely]] {
                v->_top = _nb;
                return true;
            }
            // refused before it ran (native nesting): the frame is still there
            if (v->_callstack._size > depth) v->LeaveFrame();
            return finish(false, n);
        }
        v->_top = _nb + n;
        bool ok = sq_type(_f) == OT_CLOSURE ? v->Execute(_f, n, _nb, res, false)
                                            : v->Call(_f, n, _nb, res, false);
        return finish(ok, n);
    }

private:
    // values that are not counted may stay above the top
    bool finish(bool ok, SQInteger n) {
        HSQUIRRELVM v = _v;
        SQObjectPtr* const s = v->_stack + _nb;
        SQObjectType left = sq_type(s[0]);
        for (SQInteger j = 1; j < n; j++) left = (SQObjectType)(left | sq_type(s[j]));
        if (left & SQOBJECT_REF_COUNTED) [[unlikely]] {
            SQObjectPtr* p = std::max(v->_stack + v->_top, s + n);
            while (p > s) (--p)->Null();
        }
        v->_top = _nb;
        return ok;
    }
    static VM_ALWAYS_INLINE void store(SQObjectPtr& slot, const SQObject& o) {
        vm_addref_raw(o);
        static_cast<SQObject&>(slot) = o;
    }
    HSQUIRRELVM _v;
    SQSharedState* _ss;
    SQObjectPtr& _f;
    const SQObjectPtr& _self;
    SQInteger _nb;
    bool _ready = false;
    bool _direct = false;
    SQInteger _frametop = 0, _etraps = 0;
    const SQInstruction* _code = nullptr;
    SQObjectPtr* _literals = nullptr;
};

static SQInteger array_map(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1), f = SO(2);
    SQArray* r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr ro(r);
    LoopCall call(v, f, self, 1);
    if (!call.ready()) return SQ_ERROR;
    for (SQInteger k = 0; k < _array(self)->Size(); k++) {
        SQObjectPtr item = _array(self)->_values[k], res;
        if (!call(res, item)) return SQ_ERROR;
        r->_values.push_back(res);
    }
    v->Push(ro);
    return 1;
}
static SQInteger array_apply(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1), f = SO(2);
    LoopCall call(v, f, self, 1);
    if (!call.ready()) return SQ_ERROR;
    for (SQInteger k = 0; k < _array(self)->Size(); k++) {
        SQObjectPtr item = _array(self)->_values[k], res;
        if (!call(res, item)) return SQ_ERROR;
        if (k < _array(self)->Size()) _array(self)->_values[k] = res;
    }
    return 0;
}
static SQInteger array_reduce(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1), f = SO(2);
    auto& a = _array(self)->_values;
    if (a.empty()) {
        v->PushNull();
        return 1;
    }
    LoopCall call(v, f, self, 2);
    if (!call.ready()) return SQ_ERROR;
    SQObjectPtr acc = a[0];
    for (SQInteger k = 1; k < _array(self)->Size(); k++) {
        SQObjectPtr item = _array(self)->_values[k], res;
        if (!call(res, acc, item)) return SQ_ERROR;
        acc = res;
    }
    v->Push(acc);
    return 1;
}
static SQInteger array_filter(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1), f = SO(2);
    SQArray* r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr ro(r);
    LoopCall call(v, f, self, 2);
    if (!call.ready()) return SQ_ERROR;
    for (SQInteger k = 0; k < _array(self)->Size(); k++) {
        SQObjectPtr item = _array(self)->_values[k], res;
        SQObjectPtr key(k);
        if (!call(res, key, item)) return SQ_ERROR;
        if (!vm_isfalse(res)) r->_values.push_back(item);
    }
    v->Push(ro);
    return 1;
}

// A comparator's result as -1, 0 or 1 (the sign is all the sort uses).
static bool sort_result(HSQUIRRELVM v, const SQObjectPtr& res, SQInteger& ret) {
    if (sq_type(res) == OT_INTEGER) {
        ret = _integer(res);
        return true;
    }
    if (sq_type(res) == OT_FLOAT) {
        ret = _float(res) < 0 ? -1 : (_float(res) > 0 ? 1 : 0);
        return true;
    }
    v->FailWith("numeric value expected as return value of the compare function");
    return false;
}

VM_ALWAYS_INLINE static inline bool sort_compare(HSQUIRRELVM v, const SQObjectPtr& a,
                                                 const SQObjectPtr& b, LoopCall* f,
                                                 SQInteger& ret) {
    if (!f) return v->Compare3(a, b, ret);
    SQObjectPtr res;
    if (!(*f)(res, a, b)) return false;
    if (sq_type(res) == OT_INTEGER) [[likely]] {
        ret = _integer(res);
        return true;
    }
    return sort_result(v, res, ret);
}

// Exchanges two values without touching their reference counts.
static inline void swap_values(SQObjectPtr& a, SQObjectPtr& b) {
    SQObject t = a;
    static_cast<SQObject&>(a) = b;
    static_cast<SQObject&>(b) = t;
}

// The heap sort scripts observe (the order of equal keys and the comparator calls are part of
// the behaviour): the children of i are 2i and 2i+1, so the root is its own first child.
static bool sift_down(HSQUIRRELVM v, SQObjectPtr* arr, SQInteger root, SQInteger bottom,
                      LoopCall* f) {
    while (root * 2 <= bottom) {
        SQInteger child = root * 2;
        if (child < bottom) {
            SQInteger r;
            if (!sort_compare(v, arr[child], arr[child + 1], f, r)) return false;
            if (r <= 0) child++;
        }
        SQInteger r;
        if (!sort_compare(v, arr[root], arr[child], f, r)) return false;
        if (r >= 0) break;
        if (root == child) {
            v->FailWith("inconsistent compare function");
            return false;
        }
        swap_values(arr[root], arr[child]);
        root = child;
    }
    return true;
}

static SQInteger array_sort(HSQUIRRELVM v) {
    SQObjectPtr self = SO(1);
    SQObjectPtr fn;
    std::optional<LoopCall> call;
    if (sq_gettop(v) > 1) {
        fn = SO(2);
        call.emplace(v, fn, v->_roottable, 2);
        if (!call->ready()) return SQ_ERROR;
    }
    LoopCall* f = call ? &*call : nullptr;
    // sorted in a copy: the comparator may change the array, and an error leaves it as it was
    SQArrayValues values = _array(self)->_values;
    SQObjectPtr* const arr = values.data();
    SQInteger n = (SQInteger)values.size();
    if (n > 1) {
        for (SQInteger i = n / 2; i >= 0; i--)
            if (!sift_down(v, arr, i, n - 1, f)) return SQ_ERROR;
        for (SQInteger i = n - 1; i >= 1; i--) {
            swap_values(arr[0], arr[i]);
            if (!sift_down(v, arr, 0, i - 1, f)) return SQ_ERROR;
        }
    }
    _array(self)->_values = std::move(values);
    return 0;
}

// ---------------------------------------------------------------- function delegate
static SQInteger closure_call_impl(HSQUIRRELVM v, bool raise) {
    SQInteger top = sq_gettop(v);
    SQObjectPtr f = SO(1);
    SQInteger nb = v->_top;
    if (!v->CheckStack(top + 1)) return sq_throwerror(v, u"stack overflow");
    if (top < 2) v->Push(v->_roottable);
    for (SQInteger i = 2; i <= top; i++) v->Push(SO(i));
    SQObjectPtr res;
    SQInteger nargs = top < 2 ? 1 : top - 1;
    bool ok = v->Call(f, nargs, nb, res, raise);
    while (v->_top > nb) v->Pop();
    if (!ok) return SQ_ERROR;
    v->Push(res);
    return 1;
}
static SQInteger closure_call(HSQUIRRELVM v) {
    return closure_call_impl(v, true);
}
static SQInteger closure_pcall(HSQUIRRELVM v) {
    return closure_call_impl(v, false);
}
static SQInteger closure_acall_impl(HSQUIRRELVM v, bool raise) {
    SQObjectPtr f = SO(1);
    SQObjectPtr arr = SO(2);
    SQArrayValues args = _array(arr)->_values;
    if (args.empty()) return sq_throwerror(v, u"wrong number of parameters");
    SQInteger nb = v->_top;
    if (!v->CheckStack((SQInteger)args.size() + 1)) return sq_throwerror(v, u"stack overflow");
    for (auto& a : args) v->Push(a);
    SQObjectPtr res;
    bool ok = v->Call(f, (SQInteger)args.size(), nb, res, raise);
    while (v->_top > nb) v->Pop();
    if (!ok) return SQ_ERROR;
    v->Push(res);
    return 1;
}
static SQInteger closure_acall(HSQUIRRELVM v) {
    return closure_acall_impl(v, true);
}
static SQInteger closure_pacall(HSQUIRRELVM v) {
    return closure_acall_impl(v, false);
}
static SQInteger closure_bindenv(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_bindenv(v, 1))) return SQ_ERROR;
    return 1;
}
static SQInteger closure_getinfos(HSQUIRRELVM v) {
    SQObjectPtr o = SO(1);
    SQTable* t = SQTable::Create(v->_sharedstate, 0);
    SQObjectPtr to(t);
    if (sq_type(o) == OT_CLOSURE) {
        SQFunctionProto* f = _closure(o)->_function;
        SQInteger np = f->_nparams + (f->_varparams ? 1 : 0);
        SQArray* params = SQArray::Create(v->_sharedstate, 0);
        SQObjectPtr po(params);
        for (SQInteger i = 0; i < np; i++) params->_values.push_back(f->_locals[i].name);
        if (f->_varparams) params->_values.push_back(SQObjectPtr(S(v, "...")));
        SQArray* defs = SQArray::Create(v->_sharedstate, 0);
        SQObjectPtr dobj(defs);
        for (auto& d : _closure(o)->_defaults) defs->_values.push_back(d);
        t->NewSlot(SQObjectPtr(S(v, "native")), SQObjectPtr(false));
        t->NewSlot(SQObjectPtr(S(v, "name")), f->_name);
        t->NewSlot(SQObjectPtr(S(v, "src")), f->_sourcename);
        t->NewSlot(SQObjectPtr(S(v, "parameters")), po);
        t->NewSlot(SQObjectPtr(S(v, "defparams")), dobj);
        t->NewSlot(SQObjectPtr(S(v, "varargs")), SQObjectPtr((SQInteger)(f->_varparams ? 1 : 0)));
    } else {
        SQNativeClosure* nc = _nativeclosure(o);
        t->NewSlot(SQObjectPtr(S(v, "native")), SQObjectPtr(true));
        t->NewSlot(SQObjectPtr(S(v, "name")), nc->_name);
        t->NewSlot(SQObjectPtr(S(v, "paramscheck")), SQObjectPtr(nc->_nparamscheck));
        SQObjectPtr tc;
        if (!nc->_typecheck.empty()) {
            SQArray* a = SQArray::Create(v->_sharedstate, 0);
            tc = SQObjectPtr(a);
            for (SQInteger m : nc->_typecheck) a->_values.push_back(SQObjectPtr(m));
        }
        t->NewSlot(SQObjectPtr(S(v, "typecheck")), tc);
    }
    v->Push(to);
    return 1;
}

// ---------------------------------------------------------------- generator delegate
static SQInteger generator_getstatus(HSQUIRRELVM v) {
    SQGenerator* g = _generator(SO(1));
    const char* s = g->_state == SQGenerator::eRunning ? "running"
                    : g->_state == SQGenerator::eDead  ? "dead"
                                                       : "suspended";
    v->Push(SQObjectPtr(S(v, s)));
    return 1;
}

// ---------------------------------------------------------------- thread delegate
static SQInteger thread_finish(HSQUIRRELVM v, HSQUIRRELVM t, SQRESULT r) {
    if (SQ_FAILED(r)) {
        SQObjectPtr err = t->_lasterror;
        sq_settop(t, 1);
        v->_lasterror = err;
        return SQ_ERROR;
    }
    SQObjectPtr res = t->Top();
    if (!t->_suspended)
        sq_settop(t, 1);
    else
        t->Pop();
    v->Push(res);
    return 1;
}

static SQInteger thread_call(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(SO(1));
    if (t->_suspended || !t->_callstack.empty()) return sq_throwerror(v, u"wrong status");
    SQInteger top = sq_gettop(v);
    if (sq_gettop(t) < 1) return sq_throwerror(v, u"the thread has no function");
    sq_settop(t, 1);
    t->Push(t->_roottable);
    for (SQInteger i = 2; i <= top; i++) t->Push(SO(i));
    SQRESULT r = sq_call(t, top, SQTrue, SQTrue);
    return thread_finish(v, t, r);
}

static SQInteger thread_wakeup(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(SO(1));
    if (!t->_suspended) {
        if (!t->_callstack.empty()) return sq_throwerror(v, u"cannot wakeup a running thread");
        return sq_throwerror(v, u"cannot wakeup a idle thread");
    }
    if (sq_gettop(v) > 1)
        t->Push(SO(2));
    else
        t->PushNull();
    SQRESULT r = sq_wakeupvm(t, SQTrue, SQTrue, SQTrue, SQFalse);
    return thread_finish(v, t, r);
}

static SQInteger thread_getstatus(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(SO(1));
    const char* s = t->_suspended ? "suspended" : (!t->_callstack.empty() ? "running" : "idle");
    v->Push(SQObjectPtr(S(v, s)));
    return 1;
}

static SQInteger thread_getstackinfos(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(SO(1));
    return push_stackinfos(v, t, tointeger(SO(2)));
}

// ---------------------------------------------------------------- class / instance delegates
static SQInteger class_instance(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_createinstance(v, 1)) ? 1 : SQ_ERROR;
}
static SQInteger class_getattributes(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getattributes(v, 1)) ? 1 : SQ_ERROR;
}
static SQInteger class_setattributes(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_setattributes(v, 1)) ? 1 : SQ_ERROR;
}
static SQInteger class_getbase(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getbase(v, 1)) ? 1 : SQ_ERROR;
}
static SQInteger class_newmember_impl(HSQUIRRELVM v, bool raw) {
    SQInteger top = sq_gettop(v);
    SQObjectPtr self = SO(1), key = SO(2), val = SO(3), attrs;
    bool bstatic = false;
    if (top > 3) attrs = SO(4);
    if (top > 4) bstatic = !vm_isfalse(SO(5));
    if (!v->NewSlotWithAttributes(self, key, val, attrs, bstatic, raw)) return SQ_ERROR;
    return 0;
}
static SQInteger class_newmember(HSQUIRRELVM v) {
    return class_newmember_impl(v, false);
}
static SQInteger class_rawnewmember(HSQUIRRELVM v) {
    return class_newmember_impl(v, true);
}
static SQInteger instance_getclass(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getclass(v, 1)) ? 1 : SQ_ERROR;
}

static SQInteger weakref_ref(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getweakrefval(v, 1)) ? 1 : SQ_ERROR;
}

// ---------------------------------------------------------------- registration
static SQTable* newdd(HSQUIRRELVM v, SQObjectPtr& slot) {
    SQTable* t = SQTable::Create(v->_sharedstate, 0);
    slot = SQObjectPtr(t);
    return t;
}

void vm_init_default_delegates(SQVM* v) {
    SQSharedState* ss = v->_sharedstate;
    SQTable* t;
    t = newdd(v, ss->_number_dd);
    reg(v, t, "tointeger", number_tointeger, 1, "n|b")->_fastfn = fast_number_tointeger;
    reg(v, t, "tofloat", number_tofloat, 1, "n|b")->_fastfn = fast_number_tofloat;
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "tochar", number_tochar, 1, "n|b");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_string_dd);
    reg(v, t, "len", string_len, 1, "s")->_fastfn = fast_string_len;
    reg(v, t, "tointeger", string_tointeger, 1, "s");
    reg(v, t, "tofloat", string_tofloat, 1, "s");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "slice", string_slice, -1, "s n n");
    reg(v, t, "find", string_find, -2, "s s n");
    reg(v, t, "tolower", string_tolower, 1, "s");
    reg(v, t, "toupper", string_toupper, 1, "s");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_table_dd);
    reg(v, t, "len", table_len, 1, "t");
    reg(v, t, "rawget", container_rawget, 2, "t");
    reg(v, t, "rawset", container_rawset, 3, "t");
    reg(v, t, "rawdelete", table_rawdelete, 2, "t");
    reg(v, t, "rawin", container_rawin, 2, "t");
    reg(v, t, "clear", obj_clear, 1, ".");
    reg(v, t, "setdelegate", table_setdelegate, 2, ". o|t");
    reg(v, t, "getdelegate", table_getdelegate, 1, ".");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_array_dd);
    reg(v, t, "len", array_len, 1, "a")->_fastfn = fast_array_len;
    reg(v, t, "append", array_append, 2, "a")->_fastfn = fast_array_append;
    reg(v, t, "push", array_append, 2, "a")->_fastfn = fast_array_append;
    reg(v, t, "extend", array_extend, 2, "aa");
    reg(v, t, "pop", array_pop, 1, "a");
    reg(v, t, "top", array_top, 1, "a");
    reg(v, t, "insert", array_insert, 3, "an");
    reg(v, t, "remove", array_remove, 2, "an");
    reg(v, t, "resize", array_resize, -2, "an");
    reg(v, t, "sort", array_sort, -1, "ac");
    reg(v, t, "reverse", array_reverse, 1, "a");
    reg(v, t, "slice", array_slice, -1, "ann");
    reg(v, t, "find", array_find, 2, "a.");
    reg(v, t, "clear", obj_clear, 1, ".");
    reg(v, t, "map", array_map, 2, "ac");
    reg(v, t, "apply", array_apply, 2, "ac");
    reg(v, t, "reduce", array_reduce, 2, "ac");
    reg(v, t, "filter", array_filter, 2, "ac");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_closure_dd);
    reg(v, t, "call", closure_call, -1, "c");
    reg(v, t, "pcall", closure_pcall, -1, "c");
    reg(v, t, "acall", closure_acall, 2, "ca");
    reg(v, t, "pacall", closure_pacall, 2, "ca");
    reg(v, t, "bindenv", closure_bindenv, 2, "c t|y|x");
    reg(v, t, "getinfos", closure_getinfos, 1, "c");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_generator_dd);
    reg(v, t, "getstatus", generator_getstatus, 1, "g");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_thread_dd);
    reg(v, t, "call", thread_call, -1, "v");
    reg(v, t, "wakeup", thread_wakeup, -1, "v");
    reg(v, t, "getstatus", thread_getstatus, 1, "v");
    reg(v, t, "getstackinfos", thread_getstackinfos, 2, "vn");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_class_dd);
    reg(v, t, "instance", class_instance, 1, "y");
    reg(v, t, "getattributes", class_getattributes, 2, "y.");
    reg(v, t, "setattributes", class_setattributes, 3, "y..");
    reg(v, t, "rawget", container_rawget, 2, "y");
    reg(v, t, "rawset", container_rawset, 3, "y");
    reg(v, t, "rawin", container_rawin, 2, "y");
    reg(v, t, "newmember", class_newmember, -3, "y");
    reg(v, t, "rawnewmember", class_rawnewmember, -3, "y");
    reg(v, t, "getbase", class_getbase, 1, "y");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_instance_dd);
    reg(v, t, "getclass", instance_getclass, 1, "x");
    reg(v, t, "rawget", container_rawget, 2, "x");
    reg(v, t, "rawset", container_rawset, 3, "x");
    reg(v, t, "rawin", container_rawin, 2, "x");
    reg(v, t, "tostring", default_tostring, 1, ".");
    reg(v, t, "weakref", default_weakref, 1, nullptr);

    t = newdd(v, ss->_weakref_dd);
    reg(v, t, "ref", weakref_ref, 1, "r");
    reg(v, t, "weakref", default_weakref, 1, nullptr);
    reg(v, t, "tostring", default_tostring, 1, ".");
}

void vm_base_register(SQVM* v) {
    SQTable* t = _table(v->_roottable);
    reg(v, t, "print", base_print, 2, nullptr);
    reg(v, t, "error", base_error, 2, nullptr);
    reg(v, t, "getroottable", base_getroottable, 1, nullptr);
    reg(v, t, "setroottable", base_setroottable, 2, nullptr);
    reg(v, t, "getconsttable", base_getconsttable, 1, nullptr);
    reg(v, t, "setconsttable", base_setconsttable, 2, nullptr);
    reg(v, t, "assert", base_assert, 2, nullptr);
    reg(v, t, "compilestring", base_compilestring, -2, ".ss");
    reg(v, t, "collectgarbage", base_collectgarbage, 0, nullptr);
    reg(v, t, "resurrectunreachable", base_resurrectunreachable, 0, nullptr);
    reg(v, t, "type", base_type, 2, nullptr);
    reg(v, t, "callee", base_callee, 0, nullptr);
    reg(v, t, "getstackinfos", base_getstackinfos, 2, ".n");
    reg(v, t, "seterrorhandler", base_seterrorhandler, 2, nullptr);
    reg(v, t, "setdebughook", base_setdebughook, 2, nullptr);
    reg(v, t, "enabledebuginfo", base_enabledebuginfo, 2, nullptr);
    reg(v, t, "array", base_array, -2, ".n");
    reg(v, t, "newthread", base_newthread, 2, ".c");
    reg(v, t, "suspend", base_suspend, -1, nullptr);
    reg(v, t, "dummy", base_dummy, 0, nullptr);
    t->NewSlot(SQObjectPtr(S(v, "_version_")), SQObjectPtr(S(v, "Squirrel 3.0.4 stable")));
    t->NewSlot(SQObjectPtr(S(v, "_versionnumber_")), SQObjectPtr((SQInteger)304));
    t->NewSlot(SQObjectPtr(S(v, "_charsize_")), SQObjectPtr((SQInteger)2));
    t->NewSlot(SQObjectPtr(S(v, "_intsize_")), SQObjectPtr((SQInteger)4));
    t->NewSlot(SQObjectPtr(S(v, "_floatsize_")), SQObjectPtr((SQInteger)4));
    (void)print_text;
}
