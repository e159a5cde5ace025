// Keeps sanitizer runs of programs with windows clean of what system libraries leave behind.
#include <dlfcn.h>
#include <initializer_list>

// A sanitizer build run by hand gets the option the tests set (see cmake/KoTesting.cmake): without
// it the exit-time leak scan can die on a dynamic TLS block of the GL driver.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}

// Suppressions built into the test programs (the test environment may not pass LSAN_OPTIONS):
// D-Bus caches, and the text property libX11 makes for some captions ("a — b"), which SDL does
// not free. libX11 has no frame pointers, so only its module name is in the stack; we never call
// Xlib ourselves. fontconfig 2.14 loses a few bytes parsing the system configuration (fonts).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n"
           "leak:libX11.so\n"
           "leak:libfontconfig.so\n";
}

namespace {
// Mesa's driver is loaded for the GL visual of every window and unloaded with it; its globals
// would then show up as leaks from an unnamed module. Keep it loaded for the whole run.
struct KeepMesaLoaded {
    KeepMesaLoaded() {
        for (const char* lib : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                "/usr/lib/dri/swrast_dri.so", "libEGL.so.1", "libGLX_mesa.so.0"})
            dlopen(lib, RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
    }
} keepMesaLoaded;
} // namespace
