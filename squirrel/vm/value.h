// Values of the VM: the counted object base, the 16-byte SQObjectPtr (layout of HSQOBJECT),
// weak references and the text helpers every object kind uses. Only squirrel/vm includes it.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <squirrel.h>
#include <string>
#include <vector>

// Largest string (code units) and largest array or table (elements) a script can build.
// Beyond them creation fails with std::bad_alloc, which the VM turns into the script error
// "not enough memory", long before the process could run out.
// (Variables only so that tests can meet them cheaply.)
struct SQLimits {
    static inline SQInteger maxstring = SQInteger(1) << 26;
    static inline SQInteger maxelements = SQInteger(1) << 24;
};

struct SQSharedState;
struct SQVM;

typedef std::u16string sqstring;

// Every counted object. Collectable objects (those that can hold references) are linked
// into the shared state's chain so the cycle collector can find them.
struct SQRefCounted {
    SQUnsignedInteger _uiRef = 0;
    SQWeakRef* _weakref = nullptr;
    SQRefCounted* _gcnext = nullptr;
    SQRefCounted* _gcprev = nullptr;
    SQSharedState* _ss = nullptr; // set when linked into the gc chain
    int32_t _gcmark = 0;
    virtual ~SQRefCounted();
    // Drops every reference this object holds (used to break cycles).
    virtual void Finalize() {}
    // Reports every counted child reference.
    virtual void EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
        (void)fn;
        (void)ud;
    }
    virtual SQObjectType GetType() = 0;
    void GCLink(SQSharedState* ss);
    void GCUnlink();
};

void vm_destroy(SQRefCounted* r);

inline void vm_addref_raw(const SQObject& o) {
    if (ISREFCOUNTED(o._type)) o._unVal.pRefCounted->_uiRef++;
}
inline void vm_release_raw(const SQObject& o) {
    if (ISREFCOUNTED(o._type)) {
        SQRefCounted* r = o._unVal.pRefCounted;
        if (--r->_uiRef == 0) vm_destroy(r);
    }
}

// A scalar is written with one 8-byte store (the upper half zero): a value written in two
// parts and then copied whole would stall the copy's load on the partial stores.
inline SQRawObjectVal vm_float_bits(SQFloat f) {
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

struct SQObjectPtr : public SQObject {
    SQObjectPtr() {
        _type = OT_NULL;
        _unVal.raw = 0;
    }
    SQObjectPtr(const SQObjectPtr& o) {
        _type = o._type;
        _unVal = o._unVal;
        vm_addref_raw(*this);
    }
    SQObjectPtr(SQObjectPtr&& o) noexcept {
        _type = o._type;
        _unVal = o._unVal;
        o._type = OT_NULL;
        o._unVal.raw = 0;
    }
    SQObjectPtr(const SQObject& o) {
        _type = o._type;
        _unVal = o._unVal;
        vm_addref_raw(*this);
    }
    explicit SQObjectPtr(SQInteger i) {
        _type = OT_INTEGER;
        _unVal.raw = (uint32_t)i; // one store: a later 8-byte copy reads it whole
    }
    explicit SQObjectPtr(SQFloat f) {
        _type = OT_FLOAT;
        _unVal.raw = vm_float_bits(f);
    }
    explicit SQObjectPtr(bool b) {
        _type = OT_BOOL;
        _unVal.raw = b ? 1 : 0;
    }
    explicit SQObjectPtr(SQUserPointer p) {
        _type = OT_USERPOINTER;
        _unVal.raw = 0;
        _unVal.pUserPointer = p;
    }
    SQObjectPtr(SQObjectType t, SQRefCounted* r) {
        _type = t;
        _unVal.raw = 0;
        _unVal.pRefCounted = r;
        r->_uiRef++;
    }
#define SQOBJPTR_CTOR(T, OT, M)                                                                    \
    SQObjectPtr(T* p) {                                                                            \
        _type = OT;                                                                                \
        _unVal.raw = 0;                                                                            \
        _unVal.M = p;                                                                              \
        vm_addref_raw(*this);                                                                      \
    }                                                                                              \
    SQObjectPtr& operator=(T* p) {                                                                 \
        SQObject old = *this;                                                                      \
        _type = OT;                                                                                \
        _unVal.raw = 0;                                                                            \
        _unVal.M = p;                                                                              \
        vm_addref_raw(*this);                                                                      \
        vm_release_raw(old);                                                                       \
        return *this;                                                                              \
    }
    SQOBJPTR_CTOR(SQTable, OT_TABLE, pTable)
    SQOBJPTR_CTOR(SQArray, OT_ARRAY, pArray)
    SQOBJPTR_CTOR(SQString, OT_STRING, pString)
    SQOBJPTR_CTOR(SQClosure, OT_CLOSURE, pClosure)
    SQOBJPTR_CTOR(SQNativeClosure, OT_NATIVECLOSURE, pNativeClosure)
    SQOBJPTR_CTOR(SQGenerator, OT_GENERATOR, pGenerator)
    SQOBJPTR_CTOR(SQUserData, OT_USERDATA, pUserData)
    SQOBJPTR_CTOR(SQFunctionProto, OT_FUNCPROTO, pFunctionProto)
    SQOBJPTR_CTOR(SQClass, OT_CLASS, pClass)
    SQOBJPTR_CTOR(SQInstance, OT_INSTANCE, pInstance)
    SQOBJPTR_CTOR(SQWeakRef, OT_WEAKREF, pWeakRef)
    SQOBJPTR_CTOR(SQOuter, OT_OUTER, pOuter)
    SQOBJPTR_CTOR(SQVM, OT_THREAD, pThread)
    ~SQObjectPtr() {
        vm_release_raw(*this);
    }
    SQObjectPtr& operator=(const SQObjectPtr& o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        vm_addref_raw(*this);
        vm_release_raw(old);
        return *this;
    }
    SQObjectPtr& operator=(SQObjectPtr&& o) noexcept {
        if (this != &o) {
            SQObject old = *this;
            _type = o._type;
            _unVal = o._unVal;
            o._type = OT_NULL;
            o._unVal.raw = 0;
            vm_release_raw(old);
        }
        return *this;
    }
    SQObjectPtr& operator=(const SQObject& o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        vm_addref_raw(*this);
        vm_release_raw(old);
        return *this;
    }
    SQObjectPtr& operator=(SQInteger i) {
        vm_release_raw(*this);
        _type = OT_INTEGER;
        _unVal.raw = (uint32_t)i; // one store: a later 8-byte copy reads it whole
        return *this;
    }
    SQObjectPtr& operator=(SQFloat f) {
        vm_release_raw(*this);
        _type = OT_FLOAT;
        _unVal.raw = vm_float_bits(f);
        return *this;
    }
    SQObjectPtr& operator=(bool b) {
        vm_release_raw(*this);
        _type = OT_BOOL;
        _unVal.raw = b ? 1 : 0;
        return *this;
    }
    void Null() {
        SQObject old = *this;
        _type = OT_NULL;
        _unVal.raw = 0;
        vm_release_raw(old);
    }
};

// dst = src, inline (the operator is left out of line in the interpreter's hot handlers): the
// new value is stored and counted before the old one is released.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((always_inline))
#endif
inline void
vm_store(SQObjectPtr& dst, const SQObject& src) {
    SQObject old = dst;
    dst._type = src._type;
    dst._unVal = src._unVal;
    vm_addref_raw(src);
    vm_release_raw(old);
}

#define _integer(o) ((o)._unVal.nInteger)
#define _float(o) ((o)._unVal.fFloat)
#define _string(o) ((o)._unVal.pString)
#define _table(o) ((o)._unVal.pTable)
#define _array(o) ((o)._unVal.pArray)
#define _closure(o) ((o)._unVal.pClosure)
#define _nativeclosure(o) ((o)._unVal.pNativeClosure)
#define _generator(o) ((o)._unVal.pGenerator)
#define _userdata(o) ((o)._unVal.pUserData)
#define _userpointer(o) ((o)._unVal.pUserPointer)
#define _funcproto(o) ((o)._unVal.pFunctionProto)
#define _class(o) ((o)._unVal.pClass)
#define _instance(o) ((o)._unVal.pInstance)
#define _weakref(o) ((o)._unVal.pWeakRef)
#define _outer(o) ((o)._unVal.pOuter)
#define _thread(o) ((o)._unVal.pThread)
#define _refcounted(o) ((o)._unVal.pRefCounted)
#define _rawval(o) ((o)._unVal.raw)
#define vm_isnumber(o) (sq_type(o) & SQOBJECT_NUMERIC)
#define tofloat(o) (sq_type(o) == OT_INTEGER ? (SQFloat)_integer(o) : _float(o))
#define tointeger(o) (sq_type(o) == OT_FLOAT ? vm_ftoi(_float(o)) : _integer(o))

// float -> int as the x86 runtime does: out of range gives INT_MIN.
inline SQInteger vm_ftoi(SQFloat f) {
    if (!(f >= -2147483648.0f && f < 2147483648.0f)) return INT32_MIN;
    return (SQInteger)f;
}

inline bool vm_isfalse(const SQObject& o) {
    switch (sq_type(o)) {
    case OT_NULL:
        return true;
    case OT_INTEGER:
        return _integer(o) == 0;
    case OT_FLOAT:
        return _float(o) == 0.0f;
    case OT_BOOL:
        return _integer(o) == 0;
    default:
        return false;
    }
}

struct SQString;
struct SQUserData;

// ---------------------------------------------------------------- weak references
struct SQWeakRef : SQRefCounted {
    SQObject _obj; // not counted; set to null when the target dies
    SQObjectType GetType() override { return OT_WEAKREF; }
};

// ---------------------------------------------------------------- text helpers
const char* vm_typename_ascii(SQObjectType t);
SQString* vm_typename(SQSharedState* ss, const SQObject& o);
bool vm_raw_equal(const SQObject& a, const SQObject& b);
sqstring vm_ascii(const char* s);
std::string vm_toutf8(const SQChar* s, SQInteger len);
sqstring vm_fromutf8(const char* s, size_t len);
sqstring vm_float_to_text(SQFloat f);
sqstring vm_int_to_text(SQInteger i);
// The decimal text of i (as "%d" writes it) into buf, which holds 12 code units; its length.
int vm_int_to_chars(SQInteger i, SQChar* buf);
sqstring vm_ptr_to_text(const char* tname, const void* p);
