// Arrays.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- arrays
#if defined(__SANITIZE_ADDRESS__)
void* SQArray::operator new(size_t n) { return ::operator new(n); }
void SQArray::operator delete(void* p, size_t) { ::operator delete(p); }
#else
namespace {
constexpr int kMaxFreeArrays = 64;
struct FreeArrays {
    void* head = nullptr;
    int count = 0;
    ~FreeArrays() {
        while (head) {
            void* next = *static_cast<void**>(head);
            ::operator delete(head);
            head = next;
        }
        count = kMaxFreeArrays; // arrays freed later at exit go straight back
    }
};
thread_local FreeArrays t_free_arrays;
} // namespace

void* SQArray::operator new(size_t n) {
    FreeArrays& f = t_free_arrays;
    if (n == sizeof(SQArray) && f.head) {
        void* p = f.head;
        f.head = *static_cast<void**>(p);
        f.count--;
        return p;
    }
    return ::operator new(n);
}

void SQArray::operator delete(void* p, size_t n) {
    FreeArrays& f = t_free_arrays;
    if (n == sizeof(SQArray) && f.count < kMaxFreeArrays) {
        *static_cast<void**>(p) = f.head;
        f.head = p;
        f.count++;
        return;
    }
    ::operator delete(p);
}
#endif

SQArray* SQArray::Create(SQSharedState* ss, SQInteger n) {
    SQArray* a = new SQArray();
    a->GCLink(ss);
    if (n > 0) a->_values.resize(n);
    return a;
}
