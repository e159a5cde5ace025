// Per-thread lists of free blocks, for objects scripts make and drop by the thousand (arrays
// and their small storage, closures, captured variables, instances): a block freed goes onto
// its list (up to 64 per list) and the next allocation of that kind takes it back. Sanitizer
// builds leave them out, so that every use after free is seen.
#pragma once
#include <cstddef>
#include <cstdlib>
#include <new>

inline void vm_heap_delete(void* p) {
    ::operator delete(p);
}
inline void vm_heap_free(void* p) {
    std::free(p);
}

// `Lists` lists of blocks that HeapFree returns to the heap.
template <size_t Lists, void (*HeapFree)(void*)>
struct FreeBlocks {
    static constexpr int kMax = 64;
    void* head[Lists] = {};
    int count[Lists] = {};
    // blocks freed after the thread's lists are gone (exit) go straight back to the heap
    ~FreeBlocks() {
        for (size_t k = 0; k < Lists; k++) {
            while (head[k]) {
                void* next = *static_cast<void**>(head[k]);
                HeapFree(head[k]);
                head[k] = next;
            }
            count[k] = kMax;
        }
    }
    // a block of list k, or null when the list is empty
    void* Take(size_t k) {
        void* p = head[k];
        if (p) {
            head[k] = *static_cast<void**>(p);
            count[k]--;
        }
        return p;
    }
    // false when list k is full: the caller frees p
    bool Give(size_t k, void* p) {
        if (count[k] >= kMax) return false;
        *static_cast<void**>(p) = head[k];
        head[k] = p;
        count[k]++;
        return true;
    }
    // operator new and delete of a class whose blocks of `size` bytes live on list k; other
    // sizes (a derived class) use the heap
    void* TakeOrNew(size_t k, size_t n, size_t size) {
        if (n == size)
            if (void* p = Take(k)) return p;
        return ::operator new(n);
    }
    void GiveOrDelete(size_t k, void* p, size_t n, size_t size) {
        if (n == size && Give(k, p)) return;
        ::operator delete(p);
    }
};
