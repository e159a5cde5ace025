// Generators.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
        if (--o->_uiRef == 0) vm_destroy(o);
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
