// Objects with a delegate table, and tables: chained hash over insertion-ordered nodes.
#pragma once
#include "strings.h"

struct SQDelegable : SQRefCounted {
    SQTable* _delegate = nullptr; // counted
    bool SetDelegate(SQTable* t);
    ~SQDelegable() override;
};

inline SQHash vm_hashkey(const SQObject& k) {
    switch (sq_type(k)) {
    case OT_STRING:
        return _string(k)->_hash;
    case OT_INTEGER:
        return (SQHash)_integer(k);
    case OT_BOOL:
        return (SQHash)_integer(k);
    case OT_FLOAT: {
        SQInteger i = vm_ftoi(_float(k));
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
        int32_t i = _buckets[vm_hashkey(key) & _mask];
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
