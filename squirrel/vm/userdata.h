// Userdata: a block of native memory with an optional delegate and release hook.
#pragma once
#include "tables.h"

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

// Runs the release hook and frees the block (allocated with its data).
void vm_destroy_userdata(SQUserData* u);
