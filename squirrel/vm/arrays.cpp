// Arrays.
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
constexpr int kMaxFree = 64;      // blocks kept per list and thread
constexpr size_t kSmallSizes = 4; // value storage of 1 to 4 values

// Singly linked lists of free blocks, one for array objects and one per small storage size.
// Blocks freed after the thread's lists are gone (exit) go straight back to the heap.
struct FreeBlocks {
    void* head[kSmallSizes + 1] = {};
    int count[kSmallSizes + 1] = {};
    ~FreeBlocks() {
        for (size_t k = 0; k <= kSmallSizes; k++) {
            while (head[k]) {
                void* next = *static_cast<void**>(head[k]);
                ::operator delete(head[k]);
                head[k] = next;
            }
            count[k] = kMaxFree;
        }
    }
    void* Take(size_t k) {
        void* p = head[k];
        if (p) {
            head[k] = *static_cast<void**>(p);
            count[k]--;
        }
        return p;
    }
    bool Give(size_t k, void* p) {
        if (count[k] >= kMaxFree) return false;
        *static_cast<void**>(p) = head[k];
        head[k] = p;
        count[k]++;
        return true;
    }
};
thread_local FreeBlocks t_free;
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
    if (n == sizeof(SQArray))
        if (void* p = t_free.Take(kArrayList)) return p;
    return ::operator new(n);
}

void SQArray::operator delete(void* p, size_t n) {
    if (n == sizeof(SQArray) && t_free.Give(kArrayList, p)) return;
    ::operator delete(p);
}
#endif

SQArray* SQArray::Create(SQSharedState* ss, SQInteger n) {
    SQArray* a = new SQArray();
    a->GCLink(ss);
    if (n > 0) a->_values.resize(n);
    return a;
}
