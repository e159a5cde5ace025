// Delegates and tables.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- delegable
bool SQDelegable::SetDelegate(SQTable* t) {
    if (t) t->_uiRef++;
    SQTable* old = _delegate;
    _delegate = t;
    if (old && --old->_uiRef == 0) vm_destroy(old);
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
        SQUnsignedInteger b = vm_hashkey(nn[i].key) & _mask;
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
    SQUnsignedInteger b = vm_hashkey(key) & _mask;
    _nodes[i].next = _buckets[b];
    _buckets[b] = (int32_t)i;
    _count++;
}

bool SQTable::Remove(const SQObject& key) {
    if (!_buckets) return false;
    SQUnsignedInteger b = vm_hashkey(key) & _mask;
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
