// Internal object model of the VM. Nothing outside squirrel/vm includes this.
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

void sq_destroy(SQRefCounted* r);

inline void sq_addref_raw(const SQObject& o) {
    if (ISREFCOUNTED(o._type)) o._unVal.pRefCounted->_uiRef++;
}
inline void sq_release_raw(const SQObject& o) {
    if (ISREFCOUNTED(o._type)) {
        SQRefCounted* r = o._unVal.pRefCounted;
        if (--r->_uiRef == 0) sq_destroy(r);
    }
}

struct SQObjectPtr : public SQObject {
    SQObjectPtr() {
        _type = OT_NULL;
        _unVal.raw = 0;
    }
    SQObjectPtr(const SQObjectPtr& o) {
        _type = o._type;
        _unVal = o._unVal;
        sq_addref_raw(*this);
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
        sq_addref_raw(*this);
    }
    explicit SQObjectPtr(SQInteger i) {
        _type = OT_INTEGER;
        _unVal.raw = 0;
        _unVal.nInteger = i;
    }
    explicit SQObjectPtr(SQFloat f) {
        _type = OT_FLOAT;
        _unVal.raw = 0;
        _unVal.fFloat = f;
    }
    explicit SQObjectPtr(bool b) {
        _type = OT_BOOL;
        _unVal.raw = 0;
        _unVal.nInteger = b ? 1 : 0;
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
        sq_addref_raw(*this);                                                                      \
    }                                                                                              \
    SQObjectPtr& operator=(T* p) {                                                                 \
        SQObject old = *this;                                                                      \
        _type = OT;                                                                                \
        _unVal.raw = 0;                                                                            \
        _unVal.M = p;                                                                              \
        sq_addref_raw(*this);                                                                      \
        sq_release_raw(old);                                                                       \
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
        sq_release_raw(*this);
    }
    SQObjectPtr& operator=(const SQObjectPtr& o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        sq_addref_raw(*this);
        sq_release_raw(old);
        return *this;
    }
    SQObjectPtr& operator=(SQObjectPtr&& o) noexcept {
        if (this != &o) {
            SQObject old = *this;
            _type = o._type;
            _unVal = o._unVal;
            o._type = OT_NULL;
            o._unVal.raw = 0;
            sq_release_raw(old);
        }
        return *this;
    }
    SQObjectPtr& operator=(const SQObject& o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        sq_addref_raw(*this);
        sq_release_raw(old);
        return *this;
    }
    SQObjectPtr& operator=(SQInteger i) {
        sq_release_raw(*this);
        _type = OT_INTEGER;
        _unVal.raw = 0;
        _unVal.nInteger = i;
        return *this;
    }
    SQObjectPtr& operator=(SQFloat f) {
        sq_release_raw(*this);
        _type = OT_FLOAT;
        _unVal.raw = 0;
        _unVal.fFloat = f;
        return *this;
    }
    SQObjectPtr& operator=(bool b) {
        sq_release_raw(*this);
        _type = OT_BOOL;
        _unVal.raw = 0;
        _unVal.nInteger = b;
        return *this;
    }
    void Null() {
        SQObject old = *this;
        _type = OT_NULL;
        _unVal.raw = 0;
        sq_release_raw(old);
    }
};

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
#define sq_isnumber(o) (sq_type(o) & SQOBJECT_NUMERIC)
#define tofloat(o) (sq_type(o) == OT_INTEGER ? (SQFloat)_integer(o) : _float(o))
#define tointeger(o) (sq_type(o) == OT_FLOAT ? sq_ftoi(_float(o)) : _integer(o))

// float -> int as the x86 runtime does: out of range gives INT_MIN.
inline SQInteger sq_ftoi(SQFloat f) {
    if (!(f >= -2147483648.0f && f < 2147483648.0f)) return INT32_MIN;
    return (SQInteger)f;
}

inline bool sq_isfalse(const SQObject& o) {
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

// ---------------------------------------------------------------- strings
struct SQString : SQRefCounted {
    SQSharedState* _owner;
    SQInteger _len;
    SQHash _hash;
    SQString* _next; // intern chain
    SQChar _val[1];
    SQObjectType GetType() override { return OT_STRING; }
    static SQString* Create(SQSharedState* ss, const SQChar* s, SQInteger len = -1);
    static SQString* Create(SQSharedState* ss, const sqstring& s) {
        return Create(ss, s.data(), (SQInteger)s.size());
    }
    static SQString* CreateAscii(SQSharedState* ss, const char* s);
    sqstring str() const { return sqstring(_val, _len); }
};

struct SQStringTable {
    SQString** _buckets = nullptr;
    SQUnsignedInteger _size = 0, _count = 0;
    SQStringTable();
    ~SQStringTable();
    SQString* Add(SQSharedState* ss, const SQChar* s, SQInteger len);
    void Remove(SQString* s);
    void Resize(SQUnsignedInteger n);
};

SQHash sq_hashstring(const SQChar* s, SQInteger len);

// ---------------------------------------------------------------- weak references
struct SQWeakRef : SQRefCounted {
    SQObject _obj; // not counted; set to null when the target dies
    SQObjectType GetType() override { return OT_WEAKREF; }
};

// ---------------------------------------------------------------- tables
struct SQDelegable : SQRefCounted {
    SQTable* _delegate = nullptr; // counted
    bool SetDelegate(SQTable* t);
    ~SQDelegable() override;
};

inline SQHash sq_hashkey(const SQObject& k) {
    switch (sq_type(k)) {
    case OT_STRING:
        return _string(k)->_hash;
    case OT_INTEGER:
        return (SQHash)_integer(k);
    case OT_BOOL:
        return (SQHash)_integer(k);
    case OT_FLOAT: {
        SQInteger i = sq_ftoi(_float(k));
        return (SQHash)i;
    }
    default: {
        uint64_t p = (uint64_t)_rawval(k);
        return (SQHash)((p >> 3) ^ (p >> 32));
    }
    }
}

struct SQTable : SQDelegable {
    struct Node {
        SQObjectPtr key, val;
        int32_t next; // chain within the bucket, -1 ends
    };
    // Nodes stay in insertion order; a deleted node keeps its place with a null key
    // until the next rehash, so iteration by node index is stable.
    Node* _nodes = nullptr;
    int32_t* _buckets = nullptr;
    SQInteger _nnodes = 0;   // used node slots (including holes)
    SQInteger _capacity = 0; // node slots
    SQInteger _count = 0;    // live entries
    SQUnsignedInteger _mask = 0;

    static SQTable* Create(SQSharedState* ss, SQInteger n);
    ~SQTable() override;
    SQObjectType GetType() override { return OT_TABLE; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;

    inline Node* FindNode(const SQObject& key) const {
        if (!_buckets) return nullptr;
        int32_t i = _buckets[sq_hashkey(key) & _mask];
        while (i >= 0) {
            Node& n = _nodes[i];
            if (sq_type(n.key) == sq_type(key) && _rawval(n.key) == _rawval(key)) return &n;
            i = n.next;
        }
        return nullptr;
    }
    inline bool Get(const SQObject& key, SQObjectPtr& val) const {
        Node* n = FindNode(key);
        if (!n) return false;
        val = n->val;
        return true;
    }
    bool Set(const SQObject& key, const SQObject& val); // existing slot only
    void NewSlot(const SQObject& key, const SQObject& val);
    bool Remove(const SQObject& key);
    void Clear();
    SQInteger CountUsed() const { return _count; }
    // Iteration: returns the next node index >= idx with a live key, or -1.
    SQInteger Next(SQInteger idx) const {
        for (; idx < _nnodes; idx++)
            if (sq_type(_nodes[idx].key) != OT_NULL) return idx;
        return -1;
    }
    SQTable* Clone(SQSharedState* ss);
    void Rehash(SQInteger newcap);
};

// ---------------------------------------------------------------- arrays
struct SQArray : SQRefCounted {
    std::vector<SQObjectPtr> _values;
    static SQArray* Create(SQSharedState* ss, SQInteger n);
    SQObjectType GetType() override { return OT_ARRAY; }
    void Finalize() override { _values.clear(); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _values) fn(ud, v);
    }
    SQInteger Size() const { return (SQInteger)_values.size(); }
};

// ---------------------------------------------------------------- functions
enum SQOpcode : uint8_t;

struct SQInstruction {
    uint8_t op, a, b, c;
    int32_t x;
};

struct SQOuterVarInfo {
    SQObjectPtr name;
    bool fromlocal; // register of the enclosing function, else its outer index
    SQInteger index;
};
struct SQLocalVarInfo {
    SQObjectPtr name;
    SQInteger reg;
    SQInteger start_op, end_op; // live in [start_op, end_op)
};
struct SQLineInfo {
    SQInteger op, line;
};

struct SQFunctionProto : SQRefCounted {
    std::vector<SQInstruction> _code;
    std::vector<SQObjectPtr> _literals;
    std::vector<SQObjectPtr> _functions;
    std::vector<SQOuterVarInfo> _outers;
    std::vector<SQLocalVarInfo> _locals;
    std::vector<SQLineInfo> _lines;
    SQObjectPtr _name, _sourcename;
    SQInteger _nparams = 1; // including `this` (and vargv for varargs)
    SQInteger _ndefaults = 0;
    SQInteger _stacksize = 2;
    bool _varparams = false;
    bool _generator = false;
    static SQFunctionProto* Create(SQSharedState* ss);
    SQObjectType GetType() override { return OT_FUNCPROTO; }
    SQInteger GetLine(SQInteger op) const;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _literals) fn(ud, v);
        for (auto& v : _functions) fn(ud, v);
    }
};

struct SQOuter : SQRefCounted {
    SQObjectPtr* _valptr; // points into a stack while open, at _value once closed
    SQObjectPtr _value;
    SQOuter* _nextopen = nullptr; // open list of the owning stack, by descending address
    SQObjectType GetType() override { return OT_OUTER; }
    void Finalize() override { _value.Null(); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        if (_valptr == &_value) fn(ud, _value);
    }
};

struct SQClosure : SQRefCounted {
    SQFunctionProto* _function;    // counted
    std::vector<SQOuter*> _outers; // counted
    std::vector<SQObjectPtr> _defaults;
    SQObjectPtr _env;         // weak reference or null
    SQClass* _base = nullptr; // class the method was added to (not counted: the class holds us)
    static SQClosure* Create(SQSharedState* ss, SQFunctionProto* f);
    ~SQClosure() override;
    SQObjectType GetType() override { return OT_CLOSURE; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    SQClosure* Clone(SQSharedState* ss);
};

struct SQNativeClosure : SQRefCounted {
    SQFUNCTION _function;
    std::vector<SQObjectPtr> _outers;
    SQObjectPtr _name;
    SQObjectPtr _env;
    SQInteger _nparamscheck = 0;
    std::vector<SQInteger> _typecheck;
    static SQNativeClosure* Create(SQSharedState* ss, SQFUNCTION f, SQInteger nouters);
    SQObjectType GetType() override { return OT_NATIVECLOSURE; }
    void Finalize() override {
        _outers.clear();
        _env.Null();
    }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _outers) fn(ud, v);
        fn(ud, _env);
    }
    SQNativeClosure* Clone(SQSharedState* ss);
};

// ---------------------------------------------------------------- classes
enum SQMetaMethod {
    MT_ADD,
    MT_SUB,
    MT_MUL,
    MT_DIV,
    MT_UNM,
    MT_MODULO,
    MT_SET,
    MT_GET,
    MT_TYPEOF,
    MT_NEXTI,
    MT_CMP,
    MT_CALL,
    MT_CLONED,
    MT_NEWSLOT,
    MT_DELSLOT,
    MT_TOSTRING,
    MT_NEWMEMBER,
    MT_INHERITED,
    MT_LAST
};

struct SQClassMember {
    SQObjectPtr val, attrs;
};

#define MEMBER_FIELD 1
#define MEMBER_METHOD 2
#define MEMBER_ENCODE(t, i) ((SQInteger)(((i) << 2) | (t)))
#define MEMBER_TYPE(v) (_integer(v) & 3)
#define MEMBER_INDEX(v) (_integer(v) >> 2)

struct SQClass : SQRefCounted {
    SQClass* _base = nullptr; // counted
    SQTable* _members;        // key -> encoded member
    std::vector<SQClassMember> _defaultvalues;
    std::vector<SQClassMember> _methods; // methods and static members
    SQObjectPtr _metamethods[MT_LAST];
    SQObjectPtr _attributes;
    SQObjectPtr _constructor;
    SQUserPointer _typetag = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _udsize = 0;
    bool _locked = false;
    static SQClass* Create(SQSharedState* ss, SQClass* base);
    ~SQClass() override;
    SQObjectType GetType() override { return OT_CLASS; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    bool Get(const SQObject& key, SQObjectPtr& val);
    // Adds or replaces a member. Returns false if the class is locked and the member is a new
    // field.
    bool NewSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic);
    bool SetAttributes(const SQObject& key, const SQObject& val);
    bool GetAttributes(const SQObject& key, SQObjectPtr& out);
    SQInstance* CreateInstance();
};

struct SQInstance : SQDelegable {
    SQClass* _class; // counted
    SQUserPointer _userpointer = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _memsize = 0; // bytes of user data after the values
    SQInteger _nvalues;
    SQObjectPtr* _values;
    ~SQInstance() override;
    SQObjectType GetType() override { return OT_INSTANCE; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    bool Get(const SQObject& key, SQObjectPtr& val);
    bool Set(const SQObject& key, const SQObject& val);
    bool InstanceOf(SQClass* c) const;
    SQInstance* Clone(SQSharedState* ss);
    bool GetMetaMethod(SQMetaMethod mm, SQObjectPtr& out) {
        if (sq_type(_class->_metamethods[mm]) == OT_NULL) return false;
        out = _class->_metamethods[mm];
        return true;
    }
};

struct SQUserData : SQDelegable {
    SQInteger _size = 0;
    SQRELEASEHOOK _hook = nullptr;
    SQUserPointer _typetag = nullptr;
    alignas(16) unsigned char _data[1];
    static SQUserData* Create(SQSharedState* ss, SQInteger size);
    ~SQUserData() override;
    SQObjectType GetType() override { return OT_USERDATA; }
    void Finalize() override { SetDelegate(nullptr); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
};

// ---------------------------------------------------------------- generators
struct SQExceptionTrap {
    SQInteger stackbase;     // base of the frame that pushed the trap (relative for generators)
    const SQInstruction* ip; // catch target
    SQInteger extarget;      // register receiving the error
    SQInteger frame;         // index of the frame that owns it
};

struct SQGenerator : SQRefCounted {
    enum State { eRunning, eSuspended, eDead };
    SQObjectPtr _closure;
    std::vector<SQObjectPtr> _stack;
    std::vector<SQExceptionTrap> _traps;
    const SQInstruction* _ip = nullptr;
    SQOuter* _openouters = nullptr; // outers into _stack while suspended
    State _state = eSuspended;
    static SQGenerator* Create(SQSharedState* ss, SQClosure* c);
    ~SQGenerator() override;
    SQObjectType GetType() override { return OT_GENERATOR; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    void Kill();
};

// ---------------------------------------------------------------- helpers
const char* sq_typename_ascii(SQObjectType t);
SQString* sq_typename(SQSharedState* ss, const SQObject& o);
bool sq_raw_equal(const SQObject& a, const SQObject& b);
sqstring sq_ascii(const char* s);
std::string sq_toutf8(const SQChar* s, SQInteger len);
sqstring sq_fromutf8(const char* s, size_t len);
sqstring sq_float_to_text(SQFloat f);
sqstring sq_int_to_text(SQInteger i);
sqstring sq_ptr_to_text(const char* tname, const void* p);
