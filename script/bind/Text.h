#pragma once
#include <squirrel.h>

#include <string>
#include <string_view>

namespace KoScript {

using String = std::u16string;

String fromAscii(std::string_view s);

// Replaces each %s (string), %d (integer) in order; %% is a percent sign. A small
// formatter for the fixed messages natives raise, so no printf with SQChar is needed.
struct FormatArg {
    FormatArg(std::u16string_view s) : text(s) {}
    FormatArg(const char16_t* s) : text(s ? s : u"(null)") {}
    FormatArg(const String& s) : text(s) {}
    FormatArg(int v) : text(fromAscii(std::to_string(v))) {}
    FormatArg(long v) : text(fromAscii(std::to_string(v))) {}
    FormatArg(unsigned v) : text(fromAscii(std::to_string(v))) {}
    String text;
};
String format(std::u16string_view fmt, std::initializer_list<FormatArg> args);

} // namespace KoScript
