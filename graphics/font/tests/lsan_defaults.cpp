// Leak checking of this test program: fontconfig 2.14 loses a few bytes parsing the system
// configuration, which no caller can free. Built in, so it holds however the test is started.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
