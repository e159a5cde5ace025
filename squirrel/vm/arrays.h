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
};
