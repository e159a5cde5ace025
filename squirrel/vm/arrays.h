// Arrays.
#pragma once
#include "value.h"

struct SQArray : SQRefCounted {
    std::vector<SQObjectPtr> _values;
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
