// The VM's UTF-8 <-> UTF-16 converter, shared by the standard library and sq. Internal to
// squirrel/: not part of the public API, so hosts and plugins never see it.
// Unpaired surrogates and bytes that start no well-formed UTF-8 sequence become U+FFFD.
#pragma once

#include <squirrel.h>

#include <string>
#include <string_view>

// Defined in vm/value.cpp.
std::string vm_toutf8(const SQChar* s, SQInteger len);
std::u16string vm_fromutf8(const char* s, size_t len);

namespace sqstd {
inline std::string to_utf8(std::u16string_view s) {
    return vm_toutf8(s.data(), (SQInteger)s.size());
}
inline std::u16string from_utf8(std::string_view s) {
    return vm_fromutf8(s.data(), s.size());
}
} // namespace sqstd
