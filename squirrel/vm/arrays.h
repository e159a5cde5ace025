// Arrays.
#pragma once
#include "value.h"

// Storage of up to four values comes from per-thread free lists: small literals such as
// `[x, y]` are made and dropped by the thousand per frame.
void* vm_small_values_alloc(size_t n);
void vm_small_values_free(void* p, size_t n);

template <class T>
struct SQSmallPoolAlloc {
    using value_type = T;
    SQSmallPoolAlloc() = default;
    template <class U>
    SQSmallPoolAlloc(const SQSmallPoolAlloc<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(vm_small_values_alloc(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { vm_small_values_free(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const SQSmallPoolAlloc<U>&) const {
        return true;
    }
};

using SQArrayValues = std::vector<SQObjectPtr, SQSmallPoolAlloc<SQObjectPtr>>;

struct SQArray : SQRefCounted {
    SQArrayValues _values;
    static SQArray* Create(SQSharedState* ss, SQInteger n);
    SQObjectType GetType() override { return OT_ARRAY; }
    void Finalize() override { _values.clear(); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _values) fn(ud, v);
    }
    SQInteger Size() const { return (SQInteger)_values.size(); }
    // array objects are reused through a small per-thread list: a literal like `[x, y]` made
    // and dropped each call otherwise pays two trips through malloc
    static void* operator new(size_t n);
    static void operator delete(void* p, size_t n);
};
