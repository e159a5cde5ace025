// Object model: strings, tables, arrays, functions, classes, destruction and the cycle collector.
#include "sqvm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

// ---------------------------------------------------------------- lifetime
SQRefCounted::~SQRefCounted() {}

void SQRefCounted::GCLink(SQSharedState* ss) {
    _ss = ss;
    _gcprev = nullptr;
    _gcnext = ss->_gchead;
    if (ss->_gchead) ss->_gchead->_gcprev = this;
    ss->_gchead = this;
}

void SQRefCounted::GCUnlink() {
    if (!_ss) return;
    if (_gcprev)
        _gcprev->_gcnext = _gcnext;
    else
        _ss->_gchead = _gcnext;
    if (_gcnext) _gcnext->_gcprev = _gcprev;
    _gcnext = _gcprev = nullptr;
    _ss = nullptr;
}

// Destruction of deep structures (long linked lists) must not recurse without bound:
// objects released while a destruction is in progress are queued and freed iteratively.
static thread_local std::vector<SQRefCounted*>* g_pending = nullptr;

static void destroy_string(SQString* s);
static void destroy_userdata(SQUserData* u);

static void destroy_one(SQRefCounted* r) {
    if (r->_weakref) {
        SQWeakRef* w = r->_weakref;
        r->_weakref = nullptr;
        w->_obj._type = OT_NULL;
        w->_obj._unVal.raw = 0;
        if (--w->_uiRef == 0) {
            w->GCUnlink();
            delete w;
        }
    }
    r->GCUnlink();
    SQObjectType t = r->GetType();
    if (t == OT_STRING)
        destroy_string(static_cast<SQString*>(r));
    else if (t == OT_USERDATA)
        destroy_userdata(static_cast<SQUserData*>(r));
    else
        delete r;
}

void sq_destroy(SQRefCounted* r) {
    if (g_pending) {
        g_pending->push_back(r);
        return;
    }
    std::vector<SQRefCounted*> pending;
    g_pending = &pending;
    destroy_one(r);
    while (!pending.empty()) {
        SQRefCounted* p = pending.back();
        pending.pop_back();
        destroy_one(p);
    }
    g_pending = nullptr;
}

// ---------------------------------------------------------------- text helpers
sqstring sq_ascii(const char* s) {
    sqstring r;
    while (*s) r.push_back((SQChar)(unsigned char)*s++);
    return r;
}

// UTF-16 -> UTF-8. A surrogate without its partner has no UTF-8 form: it becomes U+FFFD.
std::string sq_toutf8(const SQChar* s, SQInteger len) {
    std::string out;
    out.reserve(len > 0 ? (size_t)len : 0);
    for (SQInteger i = 0; i < len; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xE000) {
            bool paired = c < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000;
            if (paired)
                c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            else
                c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back((char)c);
        } else {
            int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
            static const unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
            out.push_back((char)(lead[tail] | (c >> (6 * tail))));
            for (int k = tail - 1; k >= 0; k--) out.push_back((char)(0x80 | ((c >> (6 * k)) & 63)));
        }
    }
    return out;
}

// UTF-8 -> UTF-16. Each byte that does not start a well-formed sequence (stray continuation,
// overlong form, encoded surrogate, past U+10FFFF, cut short) becomes one U+FFFD, and decoding
// goes on at the next byte.
sqstring sq_fromutf8(const char* s, size_t len) {
    sqstring out;
    out.reserve(len);
    const unsigned char* u = (const unsigned char*)s;
    size_t i = 0;
    while (i < len) {
        unsigned char b = u[i];
        if (b < 0x80) {
            out.push_back((SQChar)b);
            i++;
            continue;
        }
        // Lead bytes C2..F4 only: C0/C1 could only start overlong forms, F5.. lie past U+10FFFF.
        size_t tail = b >= 0xC2 && b < 0xE0   ? 1
                      : b >= 0xE0 && b < 0xF0 ? 2
                      : b >= 0xF0 && b < 0xF5 ? 3
                                              : 0;
        uint32_t c = b & (0x3F >> tail);
        bool ok = tail > 0 && len - i > tail; // the whole sequence is there
        for (size_t k = 1; ok && k <= tail; k++) {
            if ((u[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (u[i + k] & 0x3F);
        }
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < least[tail] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            out.push_back((SQChar)0xFFFD);
            i++;
            continue;
        }
        i += tail + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back((SQChar)(0xD800 + (c >> 10)));
            out.push_back((SQChar)(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back((SQChar)c);
        }
    }
    return out;
}

// %g as the 32-bit Windows runtime writes it: three-digit exponents, 1.#INF, -1.#IND.
sqstring sq_float_to_text(SQFloat f) {
    if (std::isnan(f)) return sq_ascii(std::signbit(f) ? "-1.#IND" : "1.#QNAN");
    if (std::isinf(f)) return sq_ascii(f < 0 ? "-1.#INF" : "1.#INF");
    char buf[64];
    snprintf(buf, sizeof buf, "%g", (double)f);
    std::string s = buf;
    size_t e = s.find('e');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e + 2); // includes sign
        std::string digits = s.substr(e + 2);
        while (digits.size() < 3) digits = "0" + digits;
        s = mant + digits;
    }
    return sq_ascii(s.c_str());
}

sqstring sq_int_to_text(SQInteger i) {
    char buf[32];
    snprintf(buf, sizeof buf, "%d", (int)i);
    return sq_ascii(buf);
}

sqstring sq_ptr_to_text(const char* tname, const void* p) {
    char buf[96];
    snprintf(buf, sizeof buf, "(%s : 0x%08llX)", tname, (unsigned long long)(uintptr_t)p);
    return sq_ascii(buf);
}

const char* sq_typename_ascii(SQObjectType t) {
    switch (t) {
    case OT_NULL:
        return "null";
    case OT_INTEGER:
        return "integer";
    case OT_FLOAT:
        return "float";
    case OT_BOOL:
        return "bool";
    case OT_STRING:
        return "string";
    case OT_TABLE:
        return "table";
    case OT_ARRAY:
        return "array";
    case OT_USERDATA:
        return "userdata";
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        return "function";
    case OT_GENERATOR:
        return "generator";
    case OT_USERPOINTER:
        return "userpointer";
    case OT_THREAD:
        return "thread";
    case OT_FUNCPROTO:
        return "function";
    case OT_CLASS:
        return "class";
    case OT_INSTANCE:
        return "instance";
    case OT_WEAKREF:
        return "weakref";
    case OT_OUTER:
        return "outer";
    }
    return "unknown";
}

SQString* sq_typename(SQSharedState* ss, const SQObject& o) {
    return ss->Str(sq_typename_ascii(sq_type(o)));
}

bool sq_raw_equal(const SQObject& a, const SQObject& b) {
    return sq_type(a) == sq_type(b) && _rawval(a) == _rawval(b);
}

// ---------------------------------------------------------------- strings
// Long strings are hashed on a sample of at most about 64 units (and their length), so
// building long text piece by piece stays linear; equal strings still hash alike.
SQHash sq_hashstring(const SQChar* s, SQInteger len) {
    SQHash h = 2166136261u ^ (SQHash)len;
    SQInteger step = (len >> 6) + 1;
    for (SQInteger i = len; i >= step; i -= step) {
        h ^= s[i - 1];
        h *= 16777619u;
    }
    return h;
}

SQStringTable::SQStringTable() {
    Resize(256);
}
SQStringTable::~SQStringTable() {
    free(_buckets);
}

void SQStringTable::Resize(SQUnsignedInteger n) {
    SQString** nb = (SQString**)calloc(n, sizeof(SQString*));
    if (!nb) throw std::bad_alloc();
    for (SQUnsignedInteger i = 0; i < _size; i++) {
        SQString* s = _buckets[i];
        while (s) {
            SQString* nx = s->_next;
            SQUnsignedInteger b = s->_hash & (n - 1);
            s->_next = nb[b];
            nb[b] = s;
            s = nx;
        }
    }
    free(_buckets);
    _buckets = nb;
    _size = n;
}

SQString* SQStringTable::Add(SQSharedState* ss, const SQChar* s, SQInteger len) {
    SQHash h = sq_hashstring(s, len);
    SQUnsignedInteger b = h & (_size - 1);
    for (SQString* p = _buckets[b]; p; p = p->_next)
        if (p->_hash == h && p->_len == len && memcmp(p->_val, s, len * sizeof(SQChar)) == 0)
            return p;
    if (len > SQLimits::maxstring) throw std::bad_alloc();
    void* mem = malloc(sizeof(SQString) + len * sizeof(SQChar));
    if (!mem) throw std::bad_alloc();
    SQString* str = new (mem) SQString();
    str->_owner = ss;
    str->_len = len;
    str->_hash = h;
    memcpy(str->_val, s, len * sizeof(SQChar));
    str->_val[len] = 0;
    str->_next = _buckets[b];
    _buckets[b] = str;
    if (++_count > _size) Resize(_size * 2);
    return str;
}

void SQStringTable::Remove(SQString* s) {
    SQUnsignedInteger b = s->_hash & (_size - 1);
    SQString** pp = &_buckets[b];
    while (*pp) {
        if (*pp == s) {
            *pp = s->_next;
            _count--;
            return;
        }
        pp = &(*pp)->_next;
    }
}

SQString* SQString::Create(SQSharedState* ss, const SQChar* s, SQInteger len) {
    if (len < 0) {
        len = 0;
        while (s[len]) len++;
    }
    return ss->_strings.Add(ss, s, len);
}

SQString* SQString::CreateAscii(SQSharedState* ss, const char* s) {
    sqstring w = sq_ascii(s);
    return Create(ss, w.data(), (SQInteger)w.size());
}

// Strings are allocated with malloc (flexible array); their deletion goes through here.
static void destroy_string(SQString* s) {
    if (!s->_owner->_closing) s->_owner->_strings.Remove(s);
    s->~SQString();
    free(s);
}

// ---------------------------------------------------------------- delegable
bool SQDelegable::SetDelegate(SQTable* t) {
    if (t) t->_uiRef++;
    SQTable* old = _delegate;
    _delegate = t;
    if (old && --old->_uiRef == 0) sq_destroy(old);
    return true;
}
SQDelegable::~SQDelegable() {
    SetDelegate(nullptr);
}

// ---------------------------------------------------------------- tables
SQTable* SQTable::Create(SQSharedState* ss, SQInteger n) {
    SQTable* t = new SQTable();
    t->GCLink(ss);
    if (n > 0) t->Rehash(n);
    return t;
}

SQTable::~SQTable() {
    Clear();
    delete[] _nodes;
    free(_buckets);
}

void SQTable::Clear() {
    for (SQInteger i = 0; i < _nnodes; i++) {
        _nodes[i].key.Null();
        _nodes[i].val.Null();
    }
    _nnodes = 0;
    _count = 0;
    if (_buckets)
        for (SQUnsignedInteger i = 0; i <= _mask; i++) _buckets[i] = -1;
}

void SQTable::Finalize() {
    Clear();
    SetDelegate(nullptr);
}

void SQTable::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    for (SQInteger i = 0; i < _nnodes; i++) {
        if (sq_type(_nodes[i].key) == OT_NULL) continue;
        fn(ud, _nodes[i].key);
        fn(ud, _nodes[i].val);
    }
    if (_delegate) {
        SQObject o;
        o._type = OT_TABLE;
        o._unVal.pTable = _delegate;
        fn(ud, o);
    }
}

void SQTable::Rehash(SQInteger want) {
    SQInteger cap = 4;
    while (cap < want) cap *= 2;
    // everything is allocated before the table changes, so a failure leaves it intact
    int32_t* nb = (int32_t*)malloc(sizeof(int32_t) * cap);
    if (!nb) throw std::bad_alloc();
    Node* nn;
    try {
        nn = new Node[cap];
    } catch (...) {
        free(nb);
        throw;
    }
    SQInteger k = 0;
    for (SQInteger i = 0; i < _nnodes; i++) {
        if (sq_type(_nodes[i].key) == OT_NULL) continue;
        nn[k].key = std::move(_nodes[i].key);
        nn[k].val = std::move(_nodes[i].val);
        k++;
    }
    delete[] _nodes;
    _nodes = nn;
    _capacity = cap;
    _nnodes = k;
    free(_buckets);
    _mask = (SQUnsignedInteger)cap - 1;
    _buckets = nb;
    for (SQInteger i = 0; i < cap; i++) _buckets[i] = -1;
    for (SQInteger i = 0; i < k; i++) {
        SQUnsignedInteger b = sq_hashkey(nn[i].key) & _mask;
        nn[i].next = _buckets[b];
        _buckets[b] = (int32_t)i;
    }
}

bool SQTable::Set(const SQObject& key, const SQObject& val) {
    Node* n = FindNode(key);
    if (!n) return false;
    n->val = val;
    return true;
}

void SQTable::NewSlot(const SQObject& key, const SQObject& val) {
    Node* n = FindNode(key);
    if (n) {
        n->val = val;
        return;
    }
    if (_nnodes >= _capacity) {
        if (_count >= SQLimits::maxelements) throw std::bad_alloc();
        Rehash(_count * 2 + 2);
    }
    SQInteger i = _nnodes++;
    _nodes[i].key = key;
    _nodes[i].val = val;
    SQUnsignedInteger b = sq_hashkey(key) & _mask;
    _nodes[i].next = _buckets[b];
    _buckets[b] = (int32_t)i;
    _count++;
}

bool SQTable::Remove(const SQObject& key) {
    if (!_buckets) return false;
    SQUnsignedInteger b = sq_hashkey(key) & _mask;
    int32_t* pi = &_buckets[b];
    while (*pi >= 0) {
        Node& n = _nodes[*pi];
        if (sq_type(n.key) == sq_type(key) && _rawval(n.key) == _rawval(key)) {
            *pi = n.next;
            n.next = -1;
            SQObjectPtr k = std::move(n.key), v = std::move(n.val);
            _count--;
            return true;
        }
        pi = &n.next;
    }
    return false;
}

SQTable* SQTable::Clone(SQSharedState* ss) {
    SQTable* t = Create(ss, _count);
    for (SQInteger i = 0; i < _nnodes; i++)
        if (sq_type(_nodes[i].key) != OT_NULL) t->NewSlot(_nodes[i].key, _nodes[i].val);
    t->SetDelegate(_delegate);
    return t;
}

// ---------------------------------------------------------------- arrays
SQArray* SQArray::Create(SQSharedState* ss, SQInteger n) {
    SQArray* a = new SQArray();
    a->GCLink(ss);
    if (n > 0) a->_values.resize(n);
    return a;
}

// ---------------------------------------------------------------- functions
SQFunctionProto* SQFunctionProto::Create(SQSharedState*) {
    return new SQFunctionProto();
}

SQInteger SQFunctionProto::GetLine(SQInteger op) const {
    SQInteger line = _lines.empty() ? 0 : _lines[0].line;
    // binary search: last entry with entry.op <= op
    size_t lo = 0, hi = _lines.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (_lines[mid].op <= op) {
            line = _lines[mid].line;
            lo = mid + 1;
        } else
            hi = mid;
    }
    return line;
}

SQClosure* SQClosure::Create(SQSharedState* ss, SQFunctionProto* f) {
    SQClosure* c = new SQClosure();
    c->GCLink(ss);
    c->_function = f;
    f->_uiRef++;
    return c;
}

SQClosure::~SQClosure() {
    Finalize();
    if (_function && --_function->_uiRef == 0) sq_destroy(_function);
}

void SQClosure::Finalize() {
    std::vector<SQOuter*> o;
    o.swap(_outers);
    for (SQOuter* p : o)
        if (--p->_uiRef == 0) sq_destroy(p);
    _defaults.clear();
    _env.Null();
}

void SQClosure::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    for (SQOuter* p : _outers) {
        SQObject o;
        o._type = OT_OUTER;
        o._unVal.pOuter = p;
        fn(ud, o);
    }
    for (auto& d : _defaults) fn(ud, d);
    fn(ud, _env);
}

SQClosure* SQClosure::Clone(SQSharedState* ss) {
    SQClosure* c = Create(ss, _function);
    c->_outers = _outers;
    for (SQOuter* p : _outers) p->_uiRef++;
    c->_defaults = _defaults;
    c->_env = _env;
    c->_base = _base;
    return c;
}

SQNativeClosure* SQNativeClosure::Create(SQSharedState* ss, SQFUNCTION f, SQInteger nouters) {
    SQNativeClosure* c = new SQNativeClosure();
    c->GCLink(ss);
    c->_function = f;
    c->_outers.resize(nouters);
    return c;
}

SQNativeClosure* SQNativeClosure::Clone(SQSharedState* ss) {
    SQNativeClosure* c = Create(ss, _function, 0);
    c->_outers = _outers;
    c->_name = _name;
    c->_env = _env;
    c->_nparamscheck = _nparamscheck;
    c->_typecheck = _typecheck;
    return c;
}

// ---------------------------------------------------------------- classes
SQClass* SQClass::Create(SQSharedState* ss, SQClass* base) {
    SQClass* c = new SQClass();
    c->GCLink(ss);
    c->_base = base;
    if (base) {
        base->_uiRef++;
        c->_members = base->_members->Clone(ss);
        c->_defaultvalues = base->_defaultvalues;
        c->_methods = base->_methods;
        for (int i = 0; i < MT_LAST; i++) c->_metamethods[i] = base->_metamethods[i];
        c->_constructor = base->_constructor;
        c->_udsize = base->_udsize;
        c->_hook = base->_hook;
    } else {
        c->_members = SQTable::Create(ss, 0);
    }
    c->_members->_uiRef++;
    return c;
}

SQClass::~SQClass() {
    Finalize();
    if (_members && --_members->_uiRef == 0) sq_destroy(_members);
    _members = nullptr;
}

void SQClass::Finalize() {
    if (_members) _members->Clear();
    _defaultvalues.clear();
    _methods.clear();
    for (auto& m : _metamethods) m.Null();
    _attributes.Null();
    _constructor.Null();
    if (_base) {
        SQClass* b = _base;
        _base = nullptr;
        if (--b->_uiRef == 0) sq_destroy(b);
    }
}

void SQClass::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    SQObject o;
    o._type = OT_TABLE;
    o._unVal.raw = 0;
    o._unVal.pTable = _members;
    fn(ud, o);
    if (_base) {
        o._type = OT_CLASS;
        o._unVal.pClass = _base;
        fn(ud, o);
    }
    for (auto& m : _defaultvalues) {
        fn(ud, m.val);
        fn(ud, m.attrs);
    }
    for (auto& m : _methods) {
        fn(ud, m.val);
        fn(ud, m.attrs);
    }
    for (auto& m : _metamethods) fn(ud, m);
    fn(ud, _attributes);
    fn(ud, _constructor);
}

bool SQClass::Get(const SQObject& key, SQObjectPtr& val) {
    SQTable::Node* n = _members->FindNode(key);
    if (!n) return false;
    if (MEMBER_TYPE(n->val) == MEMBER_FIELD)
        val = _defaultvalues[MEMBER_INDEX(n->val)].val;
    else
        val = _methods[MEMBER_INDEX(n->val)].val;
    return true;
}

static int metamethod_index(SQSharedState* ss, const SQObject& key) {
    if (sq_type(key) != OT_STRING) return -1;
    for (int i = 0; i < MT_LAST; i++)
        if (_string(ss->_metanames[i]) == _string(key)) return i;
    return -1;
}

bool SQClass::NewSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic) {
    bool isfunc = sq_type(val) == OT_CLOSURE || sq_type(val) == OT_NATIVECLOSURE;
    SQTable::Node* n = _members->FindNode(key);
    if (_locked && !isfunc && !bstatic && !(n && MEMBER_TYPE(n->val) == MEMBER_FIELD)) {
        if (!n) return false;
    }
    if (sq_type(val) == OT_CLOSURE && !_closure(val)->_base) _closure(val)->_base = this;
    if (n && MEMBER_TYPE(n->val) == MEMBER_FIELD && !bstatic) {
        _defaultvalues[MEMBER_INDEX(n->val)].val = val;
        return true;
    }
    if (isfunc && !bstatic) {
        int mm = metamethod_index(ss, key);
        if (mm >= 0) {
            _metamethods[mm] = val;
            return true;
        }
    }
    if (isfunc || bstatic) {
        if (sq_type(key) == OT_STRING && _string(key) == _string(ss->_constructorname))
            _constructor = val;
        if (n && MEMBER_TYPE(n->val) == MEMBER_METHOD) {
            _methods[MEMBER_INDEX(n->val)].val = val;
        } else {
            SQClassMember m;
            m.val = val;
            if (n) m.attrs = _defaultvalues[MEMBER_INDEX(n->val)].attrs;
            _methods.push_back(m);
            SQObjectPtr enc(
                (SQInteger)MEMBER_ENCODE(MEMBER_METHOD, (SQInteger)_methods.size() - 1));
            _members->NewSlot(key, enc);
        }
        return true;
    }
    SQClassMember m;
    m.val = val;
    if (n) m.attrs = _methods[MEMBER_INDEX(n->val)].attrs;
    _defaultvalues.push_back(m);
    SQObjectPtr enc((SQInteger)MEMBER_ENCODE(MEMBER_FIELD, (SQInteger)_defaultvalues.size() - 1));
    _members->NewSlot(key, enc);
    return true;
}

bool SQClass::SetAttributes(const SQObject& key, const SQObject& val) {
    SQTable::Node* n = _members->FindNode(key);
    if (!n) return false;
    if (MEMBER_TYPE(n->val) == MEMBER_FIELD)
        _defaultvalues[MEMBER_INDEX(n->val)].attrs = val;
    else
        _methods[MEMBER_INDEX(n->val)].attrs = val;
    return true;
}

bool SQClass::GetAttributes(const SQObject& key, SQObjectPtr& out) {
    SQTable::Node* n = _members->FindNode(key);
    if (!n) return false;
    if (MEMBER_TYPE(n->val) == MEMBER_FIELD)
        out = _defaultvalues[MEMBER_INDEX(n->val)].attrs;
    else
        out = _methods[MEMBER_INDEX(n->val)].attrs;
    return true;
}

SQInstance* SQClass::CreateInstance() {
    SQInteger nv = (SQInteger)_defaultvalues.size();
    size_t sz = sizeof(SQObjectPtr) * nv;
    size_t usz = (size_t)_udsize;
    char* mem = (char*)calloc(1, sz + usz + 16);
    SQInstance* inst = new SQInstance();
    inst->GCLink(_ss);
    inst->_class = this;
    _uiRef++;
    inst->_nvalues = nv;
    inst->_values = (SQObjectPtr*)mem;
    for (SQInteger i = 0; i < nv; i++) new (&inst->_values[i]) SQObjectPtr(_defaultvalues[i].val);
    inst->_memsize = (SQInteger)usz;
    if (usz) inst->_userpointer = mem + sz;
    inst->_hook = _hook;
    for (SQClass* c = this; c; c = c->_base) c->_locked = true;
    return inst;
}

// ---------------------------------------------------------------- instances
SQInstance::~SQInstance() {
    if (_hook) _hook(_userpointer, _memsize);
    Finalize();
    free(_values);
    if (_class && --_class->_uiRef == 0) sq_destroy(_class);
}

void SQInstance::Finalize() {
    for (SQInteger i = 0; i < _nvalues; i++) _values[i].Null();
    SetDelegate(nullptr);
}

void SQInstance::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    for (SQInteger i = 0; i < _nvalues; i++) fn(ud, _values[i]);
    SQObject o;
    o._unVal.raw = 0;
    o._type = OT_CLASS;
    o._unVal.pClass = _class;
    fn(ud, o);
}

bool SQInstance::Get(const SQObject& key, SQObjectPtr& val) {
    SQTable::Node* n = _class->_members->FindNode(key);
    if (!n) return false;
    if (MEMBER_TYPE(n->val) == MEMBER_FIELD)
        val = _values[MEMBER_INDEX(n->val)];
    else
        val = _class->_methods[MEMBER_INDEX(n->val)].val;
    return true;
}

bool SQInstance::Set(const SQObject& key, const SQObject& val) {
    SQTable::Node* n = _class->_members->FindNode(key);
    if (!n || MEMBER_TYPE(n->val) != MEMBER_FIELD) return false;
    _values[MEMBER_INDEX(n->val)] = val;
    return true;
}

bool SQInstance::InstanceOf(SQClass* c) const {
    for (SQClass* k = _class; k; k = k->_base)
        if (k == c) return true;
    return false;
}

SQInstance* SQInstance::Clone(SQSharedState*) {
    SQInstance* n = _class->CreateInstance();
    for (SQInteger i = 0; i < _nvalues && i < n->_nvalues; i++) n->_values[i] = _values[i];
    return n;
}

// ---------------------------------------------------------------- userdata
SQUserData* SQUserData::Create(SQSharedState* ss, SQInteger size) {
    void* mem = calloc(1, sizeof(SQUserData) + size);
    SQUserData* u = new (mem) SQUserData();
    u->GCLink(ss);
    u->_size = size;
    return u;
}
SQUserData::~SQUserData() {}
void SQUserData::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    if (_delegate) {
        SQObject o;
        o._unVal.raw = 0;
        o._type = OT_TABLE;
        o._unVal.pTable = _delegate;
        fn(ud, o);
    }
}

static void destroy_userdata(SQUserData* u) {
    if (u->_hook) u->_hook((SQUserPointer)u->_data, u->_size);
    u->~SQUserData();
    free(u);
}

// ---------------------------------------------------------------- generators
SQGenerator* SQGenerator::Create(SQSharedState* ss, SQClosure* c) {
    SQGenerator* g = new SQGenerator();
    g->GCLink(ss);
    g->_closure = c;
    return g;
}

void SQGenerator::Kill() {
    // close outers that still point into the saved frame
    while (_openouters) {
        SQOuter* o = _openouters;
        _openouters = o->_nextopen;
        SQInteger idx = (SQInteger)(intptr_t)o->_valptr; // saved frames record slot indexes
        if (idx >= 0 && idx < (SQInteger)_stack.size())
            o->_value = _stack[idx];
        else
            o->_value.Null();
        o->_valptr = &o->_value;
        o->_nextopen = nullptr;
        if (--o->_uiRef == 0) sq_destroy(o);
    }
    _stack.clear();
    _traps.clear();
    _state = eDead;
}

SQGenerator::~SQGenerator() {
    Kill();
}
void SQGenerator::Finalize() {
    Kill();
    _closure.Null();
}
void SQGenerator::EnumRefs(void (*fn)(void*, SQObject&), void* ud) {
    fn(ud, _closure);
    for (auto& v : _stack) fn(ud, v);
}
