// A loadable module with thread-local data: the first use in a thread makes glibc allocate the
// module's block for that thread from the heap (dynamic TLS).
thread_local char slot[40];

extern "C" void* touch_slot() {
    slot[0] = 1;
    return slot;
}
