// Classes and instances.
#include "freeblocks.h"
#include "vm.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint64_t vm_next_class_stamp() {
    // shared by every VM of the process (the caches are per function prototype, the classes
    // per VM); relaxed is enough: only uniqueness matters
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
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
    if (_members && --_members->_uiRef == 0) vm_destroy(_members);
    _members = nullptr;
}

void SQClass::Finalize() {
    _stamp = vm_next_class_stamp();
    if (_members) _members->Clear();
    _defaultvalues.clear();
    _methods.clear();
    for (auto& m : _metamethods) m.Null();
    _attributes.Null();
    _constructor.Null();
    if (_base) {
        SQClass* b = _base;
        _base = nullptr;
        if (--b->_uiRef == 0) vm_destroy(b);
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
    // an instantiated class keeps its fields: a new one, or a method turned into one, would
    // have no slot in the instances made so far
    if (_locked && !isfunc && !bstatic && !(n && MEMBER_TYPE(n->val) == MEMBER_FIELD)) return false;
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
            _stamp = vm_next_class_stamp();
        }
        return true;
    }
    SQClassMember m;
    m.val = val;
    if (n) m.attrs = _methods[MEMBER_INDEX(n->val)].attrs;
    _defaultvalues.push_back(m);
    SQObjectPtr enc((SQInteger)MEMBER_ENCODE(MEMBER_FIELD, (SQInteger)_defaultvalues.size() - 1));
    _members->NewSlot(key, enc);
    _stamp = vm_next_class_stamp();
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

// An instance block starts with a word holding its size, ahead of the instance. Small blocks
// (up to kInstanceSteps 16-byte steps) come from per-thread free lists of up to 64 blocks per
// size: instances made and dropped in loops (vectors in arithmetic) otherwise pay calloc and
// free each time.
namespace {
constexpr size_t kInstanceLead = 16; // the size word, keeping the instance 16-byte aligned
constexpr size_t kInstanceSteps = 32;
#if !defined(__SANITIZE_ADDRESS__)
thread_local FreeBlocks<kInstanceSteps + 1, vm_heap_free> t_instances;
#endif

// A zeroed block of n bytes (a multiple of 16).
char* instance_block_alloc(size_t n) {
#if !defined(__SANITIZE_ADDRESS__)
    size_t k = n / 16;
    if (k <= kInstanceSteps) {
        if (void* p = t_instances.Take(k)) {
            memset(p, 0, n);
            return static_cast<char*>(p);
        }
    }
#endif
    return static_cast<char*>(calloc(1, n));
}
} // namespace

void SQInstance::operator delete(void* p) {
    char* mem = static_cast<char*>(p) - kInstanceLead;
#if !defined(__SANITIZE_ADDRESS__)
    size_t k = *reinterpret_cast<size_t*>(mem) / 16;
    if (k <= kInstanceSteps && t_instances.Give(k, mem)) return;
#endif
    free(mem);
}

SQInstance* SQClass::CreateInstance() {
    SQInteger nv = (SQInteger)_defaultvalues.size();
    // one block: the size word, the instance, its member values, then the user data
    size_t head = (sizeof(SQInstance) + 15) & ~(size_t)15;
    size_t sz = sizeof(SQObjectPtr) * nv;
    size_t usz = (size_t)_udsize;
    size_t total = (kInstanceLead + head + sz + usz + 16 + 15) & ~(size_t)15;
    char* mem = instance_block_alloc(total);
    if (!mem) throw std::bad_alloc();
    *reinterpret_cast<size_t*>(mem) = total;
    mem += kInstanceLead;
    SQInstance* inst = ::new (mem) SQInstance();
    inst->GCLink(_ss);
    inst->_class = this;
    _uiRef++;
    inst->_nvalues = nv;
    inst->_values = (SQObjectPtr*)(mem + head);
    mem += head;
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
    if (_class && --_class->_uiRef == 0) vm_destroy(_class);
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
