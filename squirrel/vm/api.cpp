// The public C API: a thin layer over the VM internals.
#include "vm.h"
#include <cstdlib>

#define API_STACK(v, idx) (v)->StackIdx(idx)

static SQRESULT api_error(HSQUIRRELVM v, const char* msg) {
    v->FailWith("%s", msg);
    return SQ_ERROR;
}

// ---------------------------------------------------------------- vm
HSQUIRRELVM sq_open(SQInteger initialstacksize) {
    SQSharedState* ss = new SQSharedState();
    SQVM* v = new SQVM(ss);
    v->_uiRef = 1; // held by the shared state
    ss->Init(v);
    if (!v->Init(nullptr, initialstacksize)) {
        delete v;
        delete ss;
        return nullptr;
    }
    v->GCLink(ss);
    vm_init_default_delegates(v);
    vm_base_register(v);
    return v;
}

HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize) {
    SQSharedState* ss = friendvm->_sharedstate;
    SQVM* v = new SQVM(ss);
    if (!v->Init(friendvm, initialstacksize)) {
        delete v;
        return nullptr;
    }
    v->GCLink(ss);
    friendvm->Push(SQObjectPtr(v));
    return v;
}

void sq_seterrorhandler(HSQUIRRELVM v) {
    SQObjectPtr& o = v->Top();
    if (sq_type(o) == OT_CLOSURE || sq_type(o) == OT_NATIVECLOSURE || sq_type(o) == OT_NULL)
        v->_sharedstate->_errorhandler = o;
    v->Pop();
}

void sq_close(HSQUIRRELVM v) {
    SQSharedState* ss = v->_sharedstate;
    SQVM* root = ss->_rootvm;
    std::vector<SQRefCounted*> all;
    for (SQRefCounted* o = ss->_gchead; o; o = o->_gcnext) {
        o->_uiRef++;
        all.push_back(o);
    }
    for (SQRefCounted* o : all) o->Finalize();
    ss->_registry.Null();
    ss->_consttable.Null();
    ss->_errorhandler.Null();
    ss->_debughook.Null();
    ss->_hooked = ss->_nativehook != nullptr;
    ss->_table_dd.Null();
    ss->_array_dd.Null();
    ss->_string_dd.Null();
    ss->_number_dd.Null();
    ss->_closure_dd.Null();
    ss->_generator_dd.Null();
    ss->_thread_dd.Null();
    ss->_class_dd.Null();
    ss->_instance_dd.Null();
    ss->_weakref_dd.Null();
    for (auto& m : ss->_metanames) m.Null();
    ss->_constructorname.Null();
    ss->_thisname.Null();
    ss->_vargvname.Null();
    for (auto& n : ss->_typenames) n.Null();
    for (SQRefCounted* o : all)
        if (--o->_uiRef == 0) vm_destroy(o);
    if (root->_uiRef > 0 && --root->_uiRef == 0) vm_destroy(root);
    // whatever a host still holds is freed now
    while (ss->_gchead) {
        SQRefCounted* o = ss->_gchead;
        o->_uiRef = 1;
        vm_destroy(o);
    }
    ss->_closing = true;
    for (SQUnsignedInteger i = 0; i < ss->_strings._size; i++) {
        SQString* s = ss->_strings._buckets[i];
        while (s) {
            SQString* n = s->_next;
            s->~SQString();
            free(s);
            s = n;
        }
        ss->_strings._buckets[i] = nullptr;
    }
    delete ss;
}

void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) {
    v->_foreignptr = p;
}
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) {
    return v->_foreignptr;
}
void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc) {
    v->_sharedstate->_printfunc = printfunc;
    v->_sharedstate->_errorfunc = errfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) {
    return v->_sharedstate->_printfunc;
}
SQPRINTFUNCTION sq_geterrorfunc(HSQUIRRELVM v) {
    return v->_sharedstate->_errorfunc;
}

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
    (void)v;
    return SQ_SUSPEND_FLAG;
}

SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool resumedret, SQBool retval, SQBool raiseerror,
                     SQBool throwerror) {
    if (!v->_suspended) return api_error(v, "cannot resume a vm that is not running any code");
    SQObjectPtr val;
    if (resumedret) {
        val = v->Top();
        v->Pop();
    }
    if (v->_suspended_target >= 0) v->_stack[v->_suspended_target] = val;
    SQObjectPtr res, nul;
    if (!v->Execute(nul, 0, v->_top, res, raiseerror != 0,
                    throwerror ? ET_RESUME_THROW_VM : ET_RESUME_VM))
        return SQ_ERROR;
    if (retval) v->Push(res);
    return SQ_OK;
}

SQInteger sq_getvmstate(HSQUIRRELVM v) {
    if (v->_suspended) return SQ_VMSTATE_SUSPENDED;
    if (!v->_callstack.empty()) return SQ_VMSTATE_RUNNING;
    return SQ_VMSTATE_IDLE;
}

SQInteger sq_getversion(void) {
    return SQUIRREL_VERSION_NUMBER;
}

// ---------------------------------------------------------------- compiler
SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename,
                    SQBool raiseerror) {
    SQObjectPtr out;
    const SQChar empty[] = {0};
    if (!vm_compile_source(v, read, p, sourcename ? sourcename : empty, out, raiseerror != 0,
                           v->_sharedstate->_debuginfo))
        return SQ_ERROR;
    SQClosure* c = SQClosure::Create(v->_sharedstate, _funcproto(out));
    v->Push(SQObjectPtr(c));
    return SQ_OK;
}

struct BufState {
    const SQChar* s;
    SQInteger size, pos;
};
static SQInteger buf_lexfeed(SQUserPointer p) {
    BufState* b = (BufState*)p;
    if (b->pos >= b->size) return 0;
    SQInteger c = b->s[b->pos++];
    return c ? c : 0xFFFF; // an embedded zero must not end the source early: treat as unknown char
}

SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename,
                          SQBool raiseerror) {
    BufState b{s, size, 0};
    return sq_compile(v, buf_lexfeed, &b, sourcename, raiseerror);
}

void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) {
    v->_sharedstate->_debuginfo = enable != 0;
}
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) {
    v->_sharedstate->_notifyallexceptions = enable != 0;
}
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) {
    v->_sharedstate->_compilererrorhandler = f;
}

// ---------------------------------------------------------------- stack
void sq_push(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    v->Push(o);
}
void sq_pop(HSQUIRRELVM v, SQInteger n) {
    v->Pop(n);
}
void sq_poptop(HSQUIRRELVM v) {
    v->Pop();
}
void sq_remove(HSQUIRRELVM v, SQInteger idx) {
    SQInteger a = v->AbsIdx(idx);
    for (SQInteger i = a; i < v->_top - 1; i++) v->_stack[i] = std::move(v->_stack[i + 1]);
    v->Pop();
}
SQInteger sq_gettop(HSQUIRRELVM v) {
    return v->_top - v->_stackbase;
}
void sq_settop(HSQUIRRELVM v, SQInteger newtop) {
    SQInteger t = sq_gettop(v);
    if (t > newtop)
        v->Pop(t - newtop);
    else
        while (t++ < newtop) v->PushNull();
}
SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
    if (!v->CheckStack(nsize)) return api_error(v, "stack overflow");
    return SQ_OK;
}
SQInteger sq_cmp(HSQUIRRELVM v) {
    SQInteger r = 0;
    v->Compare3(API_STACK(v, -1), API_STACK(v, -2), r);
    return r;
}
void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) {
    SQObjectPtr o = API_STACK(src, idx);
    dest->Push(o);
}

// ---------------------------------------------------------------- creation
SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
    SQUserData* u = SQUserData::Create(v->_sharedstate, (SQInteger)size);
    v->Push(SQObjectPtr(u));
    return (SQUserPointer)u->_data;
}
void sq_newtable(HSQUIRRELVM v) {
    v->Push(SQObjectPtr(SQTable::Create(v->_sharedstate, 0)));
}
void sq_newtableex(HSQUIRRELVM v, SQInteger n) {
    v->Push(SQObjectPtr(SQTable::Create(v->_sharedstate, n)));
}
void sq_newarray(HSQUIRRELVM v, SQInteger size) {
    v->Push(SQObjectPtr(SQArray::Create(v->_sharedstate, size < 0 ? 0 : size)));
}

void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
    SQNativeClosure* nc = SQNativeClosure::Create(v->_sharedstate, func, (SQInteger)nfreevars);
    for (SQUnsignedInteger i = 0; i < nfreevars; i++)
        nc->_outers[i] = v->_stack[v->_top - nfreevars + i];
    v->Pop((SQInteger)nfreevars);
    v->Push(SQObjectPtr(nc));
}

// The parameter types a letter of a type mask accepts; 0 for a character that is no type.
static SQInteger typemask_bits(SQChar letter) {
    static const struct {
        char letter;
        SQInteger bits;
    } kLetters[] = {
        {'o', _RT_NULL},
        {'i', _RT_INTEGER},
        {'f', _RT_FLOAT},
        {'n', _RT_INTEGER | _RT_FLOAT},
        {'s', _RT_STRING},
        {'t', _RT_TABLE},
        {'a', _RT_ARRAY},
        {'u', _RT_USERDATA},
        {'c', _RT_CLOSURE | _RT_NATIVECLOSURE},
        {'b', _RT_BOOL},
        {'g', _RT_GENERATOR},
        {'p', _RT_USERPOINTER},
        {'v', _RT_THREAD},
        {'x', _RT_INSTANCE},
        {'y', _RT_CLASS},
        {'r', _RT_WEAKREF},
    };
    for (const auto& l : kLetters)
        if (letter == (SQChar)l.letter) return l.bits;
    return 0;
}

// A type mask lists one entry per parameter: type letters joined by '|' (spaces may follow a
// '|'), or '.' for any type; spaces between entries are ignored. Each entry becomes the set of
// accepted types (-1: all).
static bool parse_typemask(const SQChar* text, std::vector<SQInteger>& entries) {
    const SQChar* p = text;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        if (*p == '.') {
            entries.push_back(-1);
            ++p;
            continue;
        }
        SQInteger accepted = 0;
        for (;;) {
            while (*p == ' ' && accepted) ++p;
            if (*p == '.') {
                accepted = -1;
                ++p;
                break;
            }
            SQInteger bits = typemask_bits(*p);
            if (!bits) return false;
            accepted |= bits;
            if (*++p != '|') break;
            if (!*++p) return false;
        }
        entries.push_back(accepted);
    }
    return true;
}

SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask) {
    SQObjectPtr& o = API_STACK(v, -1);
    if (sq_type(o) != OT_NATIVECLOSURE) return api_error(v, "native closure expected");
    SQNativeClosure* nc = _nativeclosure(o);
    nc->_nparamscheck = nparamscheck;
    nc->_typecheck.clear();
    if (typemask) {
        std::vector<SQInteger> res;
        if (!parse_typemask(typemask, res)) return api_error(v, "invalid typemask");
        nc->_typecheck = res;
    }
    if (nparamscheck == SQ_MATCHTYPEMASKSTRING)
        nc->_nparamscheck = (SQInteger)nc->_typecheck.size();
    return SQ_OK;
}

SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    SQObjectPtr env = API_STACK(v, -1);
    if (sq_type(env) != OT_TABLE && sq_type(env) != OT_CLASS && sq_type(env) != OT_INSTANCE)
        return api_error(v, "invalid environment");
    SQObjectPtr w;
    {
        SQRefCounted* r = _refcounted(env);
        if (!r->_weakref) {
            SQWeakRef* wr = new SQWeakRef();
            wr->_obj = env;
            wr->_uiRef = 1;
            r->_weakref = wr;
        }
        w = SQObjectPtr(r->_weakref);
    }
    SQObjectPtr res;
    if (sq_type(o) == OT_CLOSURE) {
        SQClosure* c = _closure(o)->Clone(v->_sharedstate);
        c->_env = w;
        res = SQObjectPtr(c);
    } else if (sq_type(o) == OT_NATIVECLOSURE) {
        SQNativeClosure* c = _nativeclosure(o)->Clone(v->_sharedstate);
        c->_env = w;
        res = SQObjectPtr(c);
    } else
        return api_error(v, "the target is not a closure");
    v->Pop();
    v->Push(res);
    return SQ_OK;
}

void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len) {
    if (!s) {
        v->PushNull();
        return;
    }
    v->Push(SQObjectPtr(SQString::Create(v->_sharedstate, s, len)));
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) {
    v->Push(SQObjectPtr(f));
}
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) {
    v->Push(SQObjectPtr(n));
}
void sq_pushbool(HSQUIRRELVM v, SQBool b) {
    v->Push(SQObjectPtr(b != 0));
}
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) {
    v->Push(SQObjectPtr(p));
}
void sq_pushnull(HSQUIRRELVM v) {
    v->PushNull();
}
SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) {
    return sq_type(API_STACK(v, idx));
}

SQRESULT sq_typeof(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx), res;
    if (!v->TypeOf(o, res)) return SQ_ERROR;
    v->Push(res);
    return SQ_OK;
}

// Length of a string, array or table (slots in use); a userdata's byte size; the user-data
// size an instance or class was given.
SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
    const SQObjectPtr& o = API_STACK(v, idx);
    const SQObjectType t = sq_type(o);
    if (t == OT_STRING) return _string(o)->_len;
    if (t == OT_ARRAY) return _array(o)->Size();
    if (t == OT_TABLE) return _table(o)->CountUsed();
    if (t == OT_USERDATA) return _userdata(o)->_size;
    if (t == OT_CLASS || t == OT_INSTANCE) {
        const SQClass* cls = t == OT_CLASS ? _class(o) : _instance(o)->_class;
        return cls->_udsize;
    }
    return api_error(v, "type not supported");
}

SQHash sq_gethash(HSQUIRRELVM v, SQInteger idx) {
    return vm_hashkey(API_STACK(v, idx));
}

SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_CLASS) return api_error(v, "the object is not a class");
    if (_class(o)->_base)
        v->Push(SQObjectPtr(_class(o)->_base));
    else
        v->PushNull();
    return SQ_OK;
}

SQBool sq_instanceof(HSQUIRRELVM v) {
    SQObjectPtr& inst = API_STACK(v, -2);
    SQObjectPtr& cl = API_STACK(v, -1);
    if (sq_type(inst) != OT_INSTANCE || sq_type(cl) != OT_CLASS)
        return api_error(v, "invalid param type") == 0;
    return _instance(inst)->InstanceOf(_class(cl)) ? SQTrue : SQFalse;
}

SQRESULT sq_tostring(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx), res;
    if (!v->ToString(o, res)) return SQ_ERROR;
    v->Push(res);
    return SQ_OK;
}

void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    *b = vm_isfalse(API_STACK(v, idx)) ? SQFalse : SQTrue;
}

SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_STRING) return SQ_ERROR;
    *c = _string(o)->_val;
    return SQ_OK;
}
SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (!vm_isnumber(o)) return SQ_ERROR;
    *i = tointeger(o);
    return SQ_OK;
}
SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (!vm_isnumber(o)) return SQ_ERROR;
    *f = tofloat(o);
    return SQ_OK;
}
SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_BOOL) return SQ_ERROR;
    *b = _integer(o) ? SQTrue : SQFalse;
    return SQ_OK;
}
SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_THREAD) return SQ_ERROR;
    *thread = _thread(o);
    return SQ_OK;
}
SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_USERPOINTER) return SQ_ERROR;
    *p = _userpointer(o);
    return SQ_OK;
}
SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_USERDATA) return SQ_ERROR;
    *p = (SQUserPointer)_userdata(o)->_data;
    if (typetag) *typetag = _userdata(o)->_typetag;
    return SQ_OK;
}
SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) == OT_USERDATA) {
        _userdata(o)->_typetag = typetag;
        return SQ_OK;
    }
    if (sq_type(o) == OT_CLASS) {
        _class(o)->_typetag = typetag;
        return SQ_OK;
    }
    return api_error(v, "invalid object type");
}
SQRESULT sq_getobjtypetag(const HSQOBJECT* o, SQUserPointer* typetag) {
    switch (sq_type(*o)) {
    case OT_INSTANCE:
        *typetag = _instance(*o)->_class->_typetag;
        return SQ_OK;
    case OT_USERDATA:
        *typetag = _userdata(*o)->_typetag;
        return SQ_OK;
    case OT_CLASS:
        *typetag = _class(*o)->_typetag;
        return SQ_OK;
    default:
        return SQ_ERROR;
    }
}
SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag) {
    if (SQ_FAILED(sq_getobjtypetag(&API_STACK(v, idx), typetag)))
        return api_error(v, "invalid object type");
    return SQ_OK;
}

void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
    SQObjectPtr& o = API_STACK(v, idx);
    switch (sq_type(o)) {
    case OT_USERDATA:
        _userdata(o)->_hook = hook;
        break;
    case OT_INSTANCE:
        _instance(o)->_hook = hook;
        break;
    case OT_CLASS:
        _class(o)->_hook = hook;
        break;
    default:
        break;
    }
}

SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) {
    auto& s = v->_sharedstate->_scratch;
    size_t need = (size_t)(minsize < 0 ? 0 : minsize) / sizeof(SQChar) + 16;
    if (s.size() < need) s.resize(need * 2);
    return s.data();
}

SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger* nparams,
                           SQUnsignedInteger* nfreevars) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) == OT_CLOSURE) {
        SQFunctionProto* f = _closure(o)->_function;
        *nparams = (SQUnsignedInteger)f->_nparams;
        *nfreevars = (SQUnsignedInteger)f->_outers.size();
        return SQ_OK;
    }
    if (sq_type(o) == OT_NATIVECLOSURE) {
        *nparams = (SQUnsignedInteger)_nativeclosure(o)->_nparamscheck;
        *nfreevars = (SQUnsignedInteger)_nativeclosure(o)->_outers.size();
        return SQ_OK;
    }
    return api_error(v, "the object is not a closure");
}

SQRESULT sq_getclosurename(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) == OT_CLOSURE) {
        SQObjectPtr n = _closure(o)->_function->_name;
        v->Push(n);
        return SQ_OK;
    }
    if (sq_type(o) == OT_NATIVECLOSURE) {
        SQObjectPtr n = _nativeclosure(o)->_name;
        v->Push(n);
        return SQ_OK;
    }
    return api_error(v, "the target is not a closure");
}

SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_NATIVECLOSURE) return api_error(v, "the object is not a nativeclosure");
    _nativeclosure(o)->_name = SQObjectPtr(SQString::Create(v->_sharedstate, name, -1));
    return SQ_OK;
}

SQRESULT vm_set_native_float_fn(HSQUIRRELVM v, SQInteger idx, double (*fn)(double)) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_NATIVECLOSURE) return api_error(v, "the object is not a nativeclosure");
    _nativeclosure(o)->_floatfn = fn;
    return SQ_OK;
}

SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_INSTANCE) return api_error(v, "the object is not a class instance");
    _instance(o)->_userpointer = p;
    return SQ_OK;
}

SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_INSTANCE) return api_error(v, "the object is not a class instance");
    *p = _instance(o)->_userpointer;
    if (typetag) {
        for (SQClass* c = _instance(o)->_class; c; c = c->_base)
            if (c->_typetag == typetag) return SQ_OK;
        return api_error(v, "invalid type tag");
    }
    return SQ_OK;
}

SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_CLASS) return api_error(v, "the object is not a class");
    if (_class(o)->_locked) return api_error(v, "the class is locked");
    _class(o)->_udsize = udsize < 0 ? 0 : udsize;
    return SQ_OK;
}

SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
    SQClass* base = nullptr;
    SQObjectPtr b;
    if (hasbase) {
        b = API_STACK(v, -1);
        if (sq_type(b) != OT_CLASS) return api_error(v, "invalid base type");
        base = _class(b);
    }
    SQObjectPtr c(SQClass::Create(v->_sharedstate, base));
    if (hasbase) v->Pop();
    v->Push(c);
    return SQ_OK;
}

SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_CLASS) return api_error(v, "the object is not a class");
    v->Push(SQObjectPtr(_class(o)->CreateInstance()));
    return SQ_OK;
}

SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    if (sq_type(o) != OT_CLASS) return api_error(v, "the object is not a class");
    SQObjectPtr key = API_STACK(v, -2), val = API_STACK(v, -1);
    SQObjectPtr old;
    if (sq_type(key) == OT_NULL) {
        old = _class(o)->_attributes;
        _class(o)->_attributes = val;
    } else {
        if (!_class(o)->GetAttributes(key, old)) {
            v->Pop(2);
            return api_error(v, "wrong index");
        }
        _class(o)->SetAttributes(key, val);
    }
    v->Pop(2);
    v->Push(old);
    return SQ_OK;
}

SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    if (sq_type(o) != OT_CLASS) return api_error(v, "the object is not a class");
    SQObjectPtr key = API_STACK(v, -1);
    SQObjectPtr res;
    if (sq_type(key) == OT_NULL)
        res = _class(o)->_attributes;
    else if (!_class(o)->GetAttributes(key, res)) {
        v->Pop();
        return api_error(v, "wrong index");
    }
    v->Pop();
    v->Push(res);
    return SQ_OK;
}

SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_INSTANCE) return api_error(v, "the object is not a class instance");
    v->Push(SQObjectPtr(_instance(o)->_class));
    return SQ_OK;
}

void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    if (!ISREFCOUNTED(sq_type(o))) {
        v->Push(o);
        return;
    }
    SQRefCounted* r = _refcounted(o);
    if (!r->_weakref) {
        SQWeakRef* w = new SQWeakRef();
        w->_obj = o;
        w->_uiRef = 1; // held by the target
        r->_weakref = w;
    }
    v->Push(SQObjectPtr(r->_weakref));
}

SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
    SQSharedState* ss = v->_sharedstate;
    switch (t) {
    case OT_TABLE:
        v->Push(ss->_table_dd);
        break;
    case OT_ARRAY:
        v->Push(ss->_array_dd);
        break;
    case OT_STRING:
        v->Push(ss->_string_dd);
        break;
    case OT_INTEGER:
    case OT_FLOAT:
    case OT_BOOL:
        v->Push(ss->_number_dd);
        break;
    case OT_GENERATOR:
        v->Push(ss->_generator_dd);
        break;
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        v->Push(ss->_closure_dd);
        break;
    case OT_THREAD:
        v->Push(ss->_thread_dd);
        break;
    case OT_CLASS:
        v->Push(ss->_class_dd);
        break;
    case OT_INSTANCE:
        v->Push(ss->_instance_dd);
        break;
    case OT_WEAKREF:
        v->Push(ss->_weakref_dd);
        break;
    default:
        return api_error(v, "the type doesn't have a default delegate");
    }
    return SQ_OK;
}

SQRESULT sq_getmemberhandle(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE* handle) {
    SQObjectPtr o = API_STACK(v, idx);
    SQClass* c;
    if (sq_type(o) == OT_CLASS)
        c = _class(o);
    else if (sq_type(o) == OT_INSTANCE)
        c = _instance(o)->_class;
    else
        return api_error(v, "wrong type");
    SQObjectPtr key = API_STACK(v, -1);
    v->Pop();
    SQTable::Node* n = c->_members->FindNode(key);
    if (!n) return api_error(v, "wrong index");
    handle->_static = MEMBER_TYPE(n->val) == MEMBER_METHOD ? SQTrue : SQFalse;
    handle->_index = MEMBER_INDEX(n->val);
    return SQ_OK;
}

static SQObjectPtr* member_by_handle(HSQUIRRELVM v, SQObjectPtr& o, const HSQMEMBERHANDLE* h) {
    switch (sq_type(o)) {
    case OT_INSTANCE: {
        SQInstance* i = _instance(o);
        if (h->_static) {
            if (h->_index < 0 || h->_index >= (SQInteger)i->_class->_methods.size()) break;
            return &i->_class->_methods[h->_index].val;
        }
        if (h->_index < 0 || h->_index >= i->_nvalues) break;
        return &i->_values[h->_index];
    }
    case OT_CLASS: {
        SQClass* c = _class(o);
        if (h->_static) {
            if (h->_index < 0 || h->_index >= (SQInteger)c->_methods.size()) break;
            return &c->_methods[h->_index].val;
        }
        if (h->_index < 0 || h->_index >= (SQInteger)c->_defaultvalues.size()) break;
        return &c->_defaultvalues[h->_index].val;
    }
    default:
        break;
    }
    v->FailWith("wrong index");
    return nullptr;
}

SQRESULT sq_getbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
    SQObjectPtr o = API_STACK(v, idx);
    SQObjectPtr* p = member_by_handle(v, o, handle);
    if (!p) return SQ_ERROR;
    SQObjectPtr val = *p;
    v->Push(val);
    return SQ_OK;
}

SQRESULT sq_setbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
    SQObjectPtr o = API_STACK(v, idx);
    SQObjectPtr* p = member_by_handle(v, o, handle);
    if (!p) return SQ_ERROR;
    *p = API_STACK(v, -1);
    v->Pop();
    return SQ_OK;
}

// ---------------------------------------------------------------- object manipulation
void sq_pushroottable(HSQUIRRELVM v) {
    SQObjectPtr r = v->_roottable;
    v->Push(r);
}
void sq_pushregistrytable(HSQUIRRELVM v) {
    v->Push(v->_sharedstate->_registry);
}
void sq_pushconsttable(HSQUIRRELVM v) {
    v->Push(v->_sharedstate->_consttable);
}

SQRESULT sq_setroottable(HSQUIRRELVM v) {
    SQObjectPtr o = API_STACK(v, -1);
    if (sq_type(o) != OT_TABLE && sq_type(o) != OT_NULL) return api_error(v, "ivalid type");
    v->_roottable = o;
    v->Pop();
    return SQ_OK;
}

SQRESULT sq_setconsttable(HSQUIRRELVM v) {
    SQObjectPtr o = API_STACK(v, -1);
    if (sq_type(o) != OT_TABLE) return api_error(v, "ivalid type, expected table");
    v->_sharedstate->_consttable = o;
    v->Pop();
    return SQ_OK;
}

SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    SQObjectPtr self = API_STACK(v, idx);
    if (sq_type(self) != OT_TABLE && sq_type(self) != OT_CLASS) {
        v->Pop(2);
        return api_error(v, "invalid type");
    }
    SQObjectPtr key = API_STACK(v, -2), val = API_STACK(v, -1);
    if (sq_type(key) == OT_NULL) {
        v->Pop(2);
        return api_error(v, "null key");
    }
    bool ok = v->NewSlot(self, key, val, bstatic != 0, false);
    v->Pop(2);
    return ok ? SQ_OK : SQ_ERROR;
}

SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -1);
    v->Pop();
    if (sq_type(self) != OT_TABLE) return api_error(v, "wrong type");
    if (sq_type(key) == OT_NULL) return api_error(v, "null is not a valid key");
    SQObjectPtr res;
    if (!v->DeleteSlot(self, key, res, false)) return SQ_ERROR;
    if (pushval) v->Push(res);
    return SQ_OK;
}

SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -2), val = API_STACK(v, -1);
    bool ok = v->Set(self, key, val, false);
    v->Pop(2);
    return ok ? SQ_OK : SQ_ERROR;
}

SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -1), res;
    v->Pop();
    if (!v->Get(self, key, res, false)) return SQ_ERROR;
    v->Push(res);
    return SQ_OK;
}

SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
    // An element of an array replaces its index in place: natives read their argument arrays
    // ([x, y], colours, rectangles) this way, element by element, on every draw call.
    {
        const SQObjectPtr& array = API_STACK(v, idx);
        SQObjectPtr& key = v->Top();
        if (sq_type(array) == OT_ARRAY && &array != &key && vm_isnumber(key)) {
            SQInteger i = tointeger(key);
            if (i >= 0 && i < _array(array)->Size()) {
                key = _array(array)->_values[i];
                return SQ_OK;
            }
        }
    }
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -1), res;
    v->Pop();
    bool ok = false;
    switch (sq_type(self)) {
    case OT_TABLE:
        ok = _table(self)->Get(key, res);
        break;
    case OT_CLASS:
        ok = _class(self)->Get(key, res);
        break;
    case OT_INSTANCE:
        ok = _instance(self)->Get(key, res);
        break;
    case OT_ARRAY:
        if (vm_isnumber(key)) {
            SQInteger i = tointeger(key);
            if (i >= 0 && i < _array(self)->Size()) {
                res = _array(self)->_values[i];
                ok = true;
            }
        }
        break;
    default:
        return api_error(v, "rawget works only on array/table/instance and class");
    }
    if (!ok) return api_error(v, "the index doesn't exist");
    v->Push(res);
    return SQ_OK;
}

SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -2), val = API_STACK(v, -1);
    v->Pop(2);
    if (sq_type(key) == OT_NULL) return api_error(v, "null key");
    switch (sq_type(self)) {
    case OT_TABLE:
        _table(self)->NewSlot(key, val);
        return SQ_OK;
    case OT_CLASS:
        if (!_class(self)->NewSlot(v->_sharedstate, key, val, false))
            return api_error(v, "trying to modify a class that has already been instantiated");
        return SQ_OK;
    case OT_INSTANCE:
        if (_instance(self)->Set(key, val)) return SQ_OK;
        v->FailNoIndex(key);
        return SQ_ERROR;
    case OT_ARRAY:
        if (v->Set(self, key, val, true)) return SQ_OK;
        return SQ_ERROR;
    default:
        return api_error(v, "rawset works only on array/table/class and instance");
    }
}

SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr key = API_STACK(v, -1);
    v->Pop();
    if (sq_type(self) != OT_TABLE) return api_error(v, "wrong type");
    SQObjectPtr res;
    _table(self)->Get(key, res);
    _table(self)->Remove(key);
    if (pushval) v->Push(res);
    return SQ_OK;
}

static SQRESULT newmember_impl(HSQUIRRELVM v, SQInteger idx, SQBool bstatic, bool raw) {
    SQObjectPtr self = API_STACK(v, idx);
    if (sq_type(self) != OT_CLASS) return api_error(v, "new member only works with classes");
    SQObjectPtr key = API_STACK(v, -3), val = API_STACK(v, -2), attrs = API_STACK(v, -1);
    v->Pop(3);
    if (!v->NewSlotWithAttributes(self, key, val, attrs, bstatic != 0, raw)) return SQ_ERROR;
    return SQ_OK;
}
SQRESULT sq_newmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    return newmember_impl(v, idx, bstatic, false);
}
SQRESULT sq_rawnewmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    return newmember_impl(v, idx, bstatic, true);
}

SQRESULT sq_getarrayelements(HSQUIRRELVM v, SQInteger idx, SQInteger first, SQInteger count,
                             HSQOBJECT* out) {
    const SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_ARRAY) return api_error(v, "the object is not an array");
    const SQArray* a = _array(o);
    if (first < 0 || count < 0 || count > a->Size() - first)
        return api_error(v, "index out of range");
    for (SQInteger i = 0; i < count; ++i) {
        const SQObjectPtr& e = a->_values[size_t(first + i)];
        out[i]._type = e._type;
        out[i]._unVal = e._unVal;
    }
    return SQ_OK;
}

SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    _array(a)->_values.push_back(API_STACK(v, -1));
    v->Pop();
    return SQ_OK;
}
SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    auto& vals = _array(a)->_values;
    if (vals.empty()) return api_error(v, "empty array");
    SQObjectPtr last = vals.back();
    vals.pop_back();
    if (pushval) v->Push(last);
    return SQ_OK;
}
SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    if (newsize < 0) return api_error(v, "negative size");
    _array(a)->_values.resize(newsize);
    return SQ_OK;
}
SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    auto& vals = _array(a)->_values;
    for (size_t i = 0, j = vals.size(); i + 1 < j; i++, j--) std::swap(vals[i], vals[j - 1]);
    return SQ_OK;
}
SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    auto& vals = _array(a)->_values;
    if (itemidx < 0 || itemidx >= (SQInteger)vals.size()) return api_error(v, "index out of range");
    vals.erase(vals.begin() + itemidx);
    return SQ_OK;
}
SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
    SQObjectPtr a = API_STACK(v, idx);
    if (sq_type(a) != OT_ARRAY) return api_error(v, "the object is not an array");
    auto& vals = _array(a)->_values;
    if (destpos < 0 || destpos > (SQInteger)vals.size()) {
        v->Pop();
        return api_error(v, "index out of range");
    }
    vals.insert(vals.begin() + destpos, API_STACK(v, -1));
    v->Pop();
    return SQ_OK;
}

SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr d = API_STACK(v, -1);
    if (sq_type(d) != OT_TABLE && sq_type(d) != OT_NULL) return api_error(v, "invalid delegate");
    if (sq_type(self) != OT_TABLE && sq_type(self) != OT_USERDATA)
        return api_error(v, "wrong type");
    SQTable* dt = sq_type(d) == OT_TABLE ? _table(d) : nullptr;
    for (SQTable* p = dt; p; p = p->_delegate)
        if ((SQRefCounted*)p == _refcounted(self)) return api_error(v, "delagate cycle");
    static_cast<SQDelegable*>(_refcounted(self))->SetDelegate(dt);
    v->Pop();
    return SQ_OK;
}

SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    if (sq_type(self) != OT_TABLE && sq_type(self) != OT_USERDATA)
        return api_error(v, "wrong type");
    SQTable* d = static_cast<SQDelegable*>(_refcounted(self))->_delegate;
    if (d)
        v->Push(SQObjectPtr(d));
    else
        v->PushNull();
    return SQ_OK;
}

SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx), res;
    if (!v->Clone(self, res)) return SQ_ERROR;
    v->Push(res);
    return SQ_OK;
}

SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr val = API_STACK(v, -1);
    if (sq_type(self) == OT_CLOSURE) {
        auto& o = _closure(self)->_outers;
        if (nval >= o.size()) return api_error(v, "invalid free var index");
        *o[nval]->_valptr = val;
    } else if (sq_type(self) == OT_NATIVECLOSURE) {
        auto& o = _nativeclosure(self)->_outers;
        if (nval >= o.size()) return api_error(v, "invalid free var index");
        o[nval] = val;
    } else
        return api_error(v, "invalid closure");
    v->Pop();
    return SQ_OK;
}

SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = API_STACK(v, idx);
    SQObjectPtr& itref = API_STACK(v, -1);
    SQObjectPtr it = itref, key, val;
    bool finished;
    if (sq_type(self) == OT_GENERATOR || sq_type(self) == OT_STRING) return SQ_ERROR;
    if (!v->IterateStep(self, key, val, it, finished)) return SQ_ERROR;
    if (finished) return SQ_ERROR;
    API_STACK(v, -1) = it;
    v->Push(key);
    v->Push(val);
    return SQ_OK;
}

SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = API_STACK(v, idx);
    if (sq_type(o) != OT_WEAKREF) return api_error(v, "the object must be a weakref");
    SQObjectPtr r = _weakref(o)->_obj;
    v->Push(r);
    return SQ_OK;
}

SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = API_STACK(v, idx);
    if (sq_type(o) == OT_TABLE)
        _table(o)->Clear();
    else if (sq_type(o) == OT_ARRAY)
        _array(o)->_values.clear();
    else
        return api_error(v, "clear only works on table and array");
    return SQ_OK;
}

// ---------------------------------------------------------------- calls
SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
    SQObjectPtr clo = API_STACK(v, -(params + 1));
    SQObjectPtr res;
    if (v->Call(clo, params, v->_top - params, res, raiseerror != 0)) {
        if (!v->_suspended) v->Pop(params);
        if (retval) v->Push(res);
        return SQ_OK;
    }
    v->Pop(params);
    return SQ_ERROR;
}

SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
    SQObjectPtr g = API_STACK(v, -1);
    if (sq_type(g) != OT_GENERATOR) return api_error(v, "only generators can be resumed");
    SQInteger target = v->_top;
    v->PushNull();
    if (!v->Resume(_generator(g), target)) {
        v->Pop();
        if (raiseerror) v->ReportToHandler(v->_lasterror);
        return SQ_ERROR;
    }
    if (!retval) v->Pop();
    return SQ_OK;
}

static SQCallInfo* frame_at_level(HSQUIRRELVM v, SQUnsignedInteger level) {
    SQInteger n = (SQInteger)v->_callstack.size();
    if ((SQInteger)level >= n) return nullptr;
    return &v->_callstack[n - 1 - level];
}

const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
    SQCallInfo* c = frame_at_level(v, level);
    if (!c || c->_native || sq_type(c->_closure) != OT_CLOSURE) return nullptr;
    SQClosure* cl = _closure(c->_closure);
    SQFunctionProto* f = cl->_function;
    if (idx < f->_outers.size()) {
        SQObjectPtr val = *cl->_outers[idx]->_valptr;
        v->Push(val);
        return _string(f->_outers[idx].name)->_val;
    }
    idx -= (SQUnsignedInteger)f->_outers.size();
    SQInteger op = c->_ip - f->_code.data() - 1;
    if (op < 0) op = 0;
    for (SQInteger i = (SQInteger)f->_locals.size() - 1; i >= 0; i--) {
        const SQLocalVarInfo& li = f->_locals[i];
        if (li.start_op <= op && op < li.end_op) {
            if (idx == 0) {
                SQObjectPtr val = v->_stack[c->_base + li.reg];
                v->Push(val);
                return _string(li.name)->_val;
            }
            idx--;
        }
    }
    return nullptr;
}

SQRESULT sq_getcallee(HSQUIRRELVM v) {
    if (v->_callstack.size() < 1) return api_error(v, "no closure in the calls stack");
    SQCallInfo* c = &v->_callstack.back();
    // the native running this API call is at the top; its caller is below
    if (c->_native && v->_callstack.size() >= 2) c = &v->_callstack[v->_callstack.size() - 2];
    v->Push(c->_closure);
    return SQ_OK;
}

const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr self = API_STACK(v, idx);
    if (sq_type(self) == OT_CLOSURE) {
        SQClosure* c = _closure(self);
        if (nval >= c->_outers.size()) return nullptr;
        SQObjectPtr val = *c->_outers[nval]->_valptr;
        v->Push(val);
        return _string(c->_function->_outers[nval].name)->_val;
    }
    if (sq_type(self) == OT_NATIVECLOSURE) {
        SQNativeClosure* c = _nativeclosure(self);
        if (nval >= c->_outers.size()) return nullptr;
        v->Push(c->_outers[nval]);
        static const SQChar native[] = u"@NATIVE";
        return native;
    }
    return nullptr;
}

SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err) {
    if (err)
        v->_lasterror = SQObjectPtr(SQString::Create(v->_sharedstate, err, -1));
    else
        v->_lasterror.Null();
    return SQ_ERROR;
}
SQRESULT sq_throwobject(HSQUIRRELVM v) {
    v->_lasterror = API_STACK(v, -1);
    v->Pop();
    return SQ_ERROR;
}
void sq_reseterror(HSQUIRRELVM v) {
    v->_lasterror.Null();
}
void sq_getlasterror(HSQUIRRELVM v) {
    SQObjectPtr e = v->_lasterror;
    v->Push(e);
}

// ---------------------------------------------------------------- raw objects
SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) {
    SQObjectPtr& o = API_STACK(v, idx);
    po->_type = o._type;
    po->_unVal = o._unVal;
    return SQ_OK;
}
void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) {
    v->Push(obj);
}
void sq_addref(HSQUIRRELVM v, HSQOBJECT* po) {
    (void)v;
    vm_addref_raw(*po);
}
SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po) {
    (void)v;
    if (!ISREFCOUNTED(po->_type)) return SQTrue;
    bool last = po->_unVal.pRefCounted->_uiRef <= 1;
    vm_release_raw(*po);
    if (last) {
        po->_type = OT_NULL;
        po->_unVal.raw = 0;
    }
    return last ? SQTrue : SQFalse;
}
SQUnsignedInteger sq_getrefcount(HSQUIRRELVM v, HSQOBJECT* po) {
    (void)v;
    return ISREFCOUNTED(po->_type) ? po->_unVal.pRefCounted->_uiRef : 0;
}
void sq_resetobject(HSQOBJECT* po) {
    po->_type = OT_NULL;
    po->_unVal.raw = 0;
}
const SQChar* sq_objtostring(const HSQOBJECT* o) {
    return sq_type(*o) == OT_STRING ? _string(*o)->_val : nullptr;
}
SQBool sq_objtobool(const HSQOBJECT* o) {
    return sq_type(*o) == OT_BOOL && _integer(*o) ? SQTrue : SQFalse;
}
SQInteger sq_objtointeger(const HSQOBJECT* o) {
    return vm_isnumber(*o) ? tointeger(*o) : 0;
}
SQFloat sq_objtofloat(const HSQOBJECT* o) {
    return vm_isnumber(*o) ? tofloat(*o) : 0.0f;
}
SQUserPointer sq_objtouserpointer(const HSQOBJECT* o) {
    return sq_type(*o) == OT_USERPOINTER ? _userpointer(*o) : nullptr;
}

// ---------------------------------------------------------------- GC
SQInteger sq_collectgarbage(HSQUIRRELVM v) {
    return v->_sharedstate->CollectGarbage(v, nullptr);
}
SQRESULT sq_resurrectunreachable(HSQUIRRELVM v) {
    SQObjectPtr arr;
    v->_sharedstate->CollectGarbage(v, &arr);
    v->Push(arr);
    return SQ_OK;
}

// ---------------------------------------------------------------- serialisation
SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC writef, SQUserPointer up) {
    SQObjectPtr& o = API_STACK(v, -1);
    if (sq_type(o) != OT_CLOSURE) return api_error(v, "the object is not a closure");
    SQClosure* c = _closure(o);
    if (!c->_function->_outers.empty())
        return api_error(v, "a closure with free valiables bound it cannot be serialized");
    if (!vm_write_proto(v, c->_function, writef, up)) return SQ_ERROR;
    return SQ_OK;
}

SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC readf, SQUserPointer up) {
    SQObjectPtr proto;
    if (!vm_read_proto(v, readf, up, proto)) return SQ_ERROR;
    v->Push(SQObjectPtr(SQClosure::Create(v->_sharedstate, _funcproto(proto))));
    return SQ_OK;
}

// ---------------------------------------------------------------- memory
void* sq_malloc(SQUnsignedInteger size) {
    return malloc(size ? size : 1);
}
void* sq_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger newsize) {
    return realloc(p, newsize ? newsize : 1);
}
void sq_free(void* p, SQUnsignedInteger) {
    free(p);
}

// ---------------------------------------------------------------- debug
SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si) {
    if (level < 0) return SQ_ERROR;
    SQCallInfo* c = frame_at_level(v, (SQUnsignedInteger)level);
    if (!c) return SQ_ERROR;
    static const SQChar unknown[] = u"unknown";
    static const SQChar native[] = u"NATIVE";
    si->funcname = unknown;
    si->source = unknown;
    si->line = -1;
    if (sq_type(c->_closure) == OT_CLOSURE) {
        SQFunctionProto* f = _closure(c->_closure)->_function;
        if (sq_type(f->_name) == OT_STRING) si->funcname = _string(f->_name)->_val;
        if (sq_type(f->_sourcename) == OT_STRING) si->source = _string(f->_sourcename)->_val;
        SQInteger op = c->_ip - f->_code.data() - 1;
        si->line = f->GetLine(op < 0 ? 0 : op);
    } else if (sq_type(c->_closure) == OT_NATIVECLOSURE) {
        SQNativeClosure* n = _nativeclosure(c->_closure);
        if (sq_type(n->_name) == OT_STRING) si->funcname = _string(n->_name)->_val;
        si->source = native;
        si->line = -1;
    }
    return SQ_OK;
}

SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger level, SQFunctionInfo* fi) {
    if (level < 0) return SQ_ERROR;
    SQCallInfo* c = frame_at_level(v, (SQUnsignedInteger)level);
    if (!c || sq_type(c->_closure) != OT_CLOSURE)
        return api_error(v, "the object is not a closure");
    SQFunctionProto* f = _closure(c->_closure)->_function;
    fi->funcid = (SQUserPointer)f;
    fi->name = sq_type(f->_name) == OT_STRING ? _string(f->_name)->_val : u"unknown";
    fi->source = sq_type(f->_sourcename) == OT_STRING ? _string(f->_sourcename)->_val : u"unknown";
    return SQ_OK;
}

void sq_setdebughook(HSQUIRRELVM v) {
    SQObjectPtr& o = API_STACK(v, -1);
    if (sq_type(o) == OT_CLOSURE || sq_type(o) == OT_NATIVECLOSURE || sq_type(o) == OT_NULL) {
        v->_sharedstate->_debughook = o;
        v->_sharedstate->_nativehook = nullptr;
        v->_sharedstate->_hooked = sq_type(o) != OT_NULL;
    }
    v->Pop();
}

void sq_setnativedebughook(HSQUIRRELVM v, SQDEBUGHOOK hook) {
    v->_sharedstate->_nativehook = hook;
    v->_sharedstate->_debughook.Null();
    v->_sharedstate->_hooked = hook != nullptr;
}
