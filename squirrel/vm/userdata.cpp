// Userdata.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void vm_destroy_userdata(SQUserData* u) {
    if (u->_hook) u->_hook((SQUserPointer)u->_data, u->_size);
    u->~SQUserData();
    free(u);
}
