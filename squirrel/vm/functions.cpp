// Function prototypes, script closures and native closures.
#include "freeblocks.h"
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Closures and the variables they capture are made and dropped in loops (callbacks, adders):
// their blocks come from per-thread free lists of up to 64 each.
#if defined(__SANITIZE_ADDRESS__)
// plain allocations, so that the sanitizer sees every use after free
void* SQClosure::operator new(size_t n) {
    return ::operator new(n);
}
void SQClosure::operator delete(void* p, size_t) {
    ::operator delete(p);
}
void* SQOuter::operator new(size_t n) {
    return ::operator new(n);
}
void SQOuter::operator delete(void* p, size_t) {
    ::operator delete(p);
}
#else
namespace {
thread_local FreeBlocks<2, vm_heap_delete> t_blocks;
constexpr size_t kClosureList = 0, kOuterList = 1;
} // namespace

void* SQClosure::operator new(size_t n) {
    return t_blocks.TakeOrNew(kClosureList, n, sizeof(SQClosure));
}
void SQClosure::operator delete(void* p, size_t n) {
    t_blocks.GiveOrDelete(kClosureList, p, n, sizeof(SQClosure));
}
void* SQOuter::operator new(size_t n) {
    return t_blocks.TakeOrNew(kOuterList, n, sizeof(SQOuter));
}
void SQOuter::operator delete(void* p, size_t n) {
    t_blocks.GiveOrDelete(kOuterList, p, n, sizeof(SQOuter));
}
#endif

SQClosure* SQClosure::Create(SQSharedState* ss, SQFunctionProto* f) {
    SQClosure* c = new SQClosure();
    c->GCLink(ss);
    c->_function = f;
    f->_uiRef++;
    return c;
}

SQClosure::~SQClosure() {
    Finalize();
    if (_function && --_function->_uiRef == 0) vm_destroy(_function);
}

void SQClosure::Finalize() {
    SQOuterList o; // detached first: a release below may reach this closure again
    o.take(_outers);
    for (SQOuter* p : o)
        if (--p->_uiRef == 0) vm_destroy(p);
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
