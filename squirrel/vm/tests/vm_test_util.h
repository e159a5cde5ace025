// Helpers for the VM tests: a VM whose print output is captured as UTF-8.
#pragma once
#include <squirrel.h>
#include <string>

std::u16string U(const std::string& s);
std::string A(const SQChar* s);

struct TestVM {
    HSQUIRRELVM v;
    TestVM();
    ~TestVM();
    // Compiles and runs `src` with the root table as `this`; false on any error.
    bool run(const std::string& src);
    // Compiles `src`; leaves the closure on the stack.
    bool compile(const std::string& src, const char* name = "test");
    std::string lasterror();
    static std::string out; // text printed by print() and error()
};
