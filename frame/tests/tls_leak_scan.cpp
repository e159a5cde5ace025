// The exit-time leak scan of a sanitizer build must survive a dynamic TLS block that starts 16
// bytes into a page (where the runtime's old-glibc guess reads a bogus range). The heap is
// filled up to the chunk before such a place, so the module's block lands on it; then the
// program exits and the leak scan runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <vector>

int main() {
    void* module = dlopen(TLS_MODULE, RTLD_NOW);
    if (!module) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto touch = reinterpret_cast<void* (*)()>(dlsym(module, "touch_slot"));
    if (!touch)
        return 2;
    // 40-byte blocks share one 64-byte size class under the sanitizer's allocator.
    std::vector<void*> kept;
    kept.reserve(4096);
    for (int i = 0; i < 4096; ++i) {
        void* p = std::malloc(40);
        kept.push_back(p);
        if (reinterpret_cast<std::uintptr_t>(p) % 4096 == 4096 + 16 - 64)
            break;
    }
    void* block = touch();
    std::printf("block at page offset %zu\n", static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(block) % 4096));
    for (void* p : kept)
        std::free(p);
    return 0;
}
