#include "vm_test_util.h"
#include <cstdarg>
#include <cstring>

std::string TestVM::out;

std::u16string U(const std::string& s) {
    std::u16string r;
    for (unsigned char c : s) r.push_back(c);
    return r;
}

std::string A(const SQChar* s) {
    std::string r;
    if (!s) return r;
    while (*s) r.push_back((char)*s++);
    return r;
}

static void capture(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    // print() and error() always pass "%s"
    if (A(fmt) == "%s") TestVM::out += A(va_arg(ap, const SQChar*));
    va_end(ap);
}

TestVM::TestVM() {
    v = sq_open(1024);
    sq_setprintfunc(v, capture, capture);
    out.clear();
}

TestVM::~TestVM() {
    sq_close(v);
}

bool TestVM::compile(const std::string& src, const char* name) {
    std::u16string s = U(src);
    return SQ_SUCCEEDED(
        sq_compilebuffer(v, s.data(), (SQInteger)s.size(), U(name).c_str(), SQFalse));
}

bool TestVM::run(const std::string& src) {
    SQInteger top = sq_gettop(v);
    if (!compile(src)) return false;
    sq_pushroottable(v);
    bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse));
    sq_settop(v, top);
    return ok;
}

std::string TestVM::lasterror() {
    sq_getlasterror(v);
    const SQChar* s = nullptr;
    std::string r = SQ_SUCCEEDED(sq_getstring(v, -1, &s)) ? A(s) : "<not a string>";
    sq_pop(v, 1);
    return r;
}
