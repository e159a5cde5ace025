// Arrays.
#include "freeblocks.h"
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- arrays
#if defined(__SANITIZE_ADDRESS__)
// plain allocations, so that the sanitizer sees every use after free
void* SQArray::operator new(size_t n) {
    return ::operator new(n);
}
void SQArray::operator delete(void* p, size_t) {
    ::operator delete(p);
}
void* vm_small_values_alloc(size_t n) {
    return ::operator new(n);
}
void vm_small_values_free(void* p, size_t) {
    ::operator delete(p);
}
#else
namespace {
constexpr size_t kSmallSizes = 4; // value storage of 1 to 4 values
// one list per small storage size, then one for array objects
thread_local FreeBlocks<kSmallSizes + 1, vm_heap_delete> t_free;
constexpr size_t kArrayList = kSmallSizes;
} // namespace

void* vm_small_values_alloc(size_t n) {
    size_t k = (n - 1) / sizeof(SQObjectPtr);
    if (n > 0 && k < kSmallSizes) {
        if (void* p = t_free.Take(k)) return p;
        return ::operator new((k + 1) * sizeof(SQObjectPtr));
    }
    return ::operator new(n);
}

void vm_small_values_free(void* p, size_t n) {
    size_t k = (n - 1) / sizeof(SQObjectPtr);
    if (n > 0 && k < kSmallSizes && t_free.Give(k, p)) return;
    ::operator delete(p);
}

void* SQArray::operator new(size_t n) {
    return t_free.TakeOrNew(kArrayList, n, sizeof(SQArray));
}

void SQArray::operator delete(void* p, size_t n) {
    t_free.GiveOrDelete(kArrayList, p, n, sizeof(SQArray));
}
#endif

SQArray* SQArray::Create(SQSharedState* ss, SQInteger n) {
    SQArray* a = new SQArray();
    a->GCLink(ss);
    if (n > 0) a->_values.resize(n);
    return a;
}
