#pragma once
#include "host/Setup.h"

#include <string>
#include <vector>

namespace KoPlayhost {

// The first script text of the VM: version constants, DEBUG and cmdline (program path first).
std::u16string buildPrelude(bool debug, const std::vector<std::u16string>& cmdline);

// import("...") for every plugin, then include("...") for every script, in setup order.
std::u16string buildSetupLoadText(const Setup& setup);

// A verbatim string literal that holds any text: it doubles the quotes. (Ordinary literals are
// written by UtilText::stringLiteral, the serializer's.)
std::u16string verbatimLiteral(const std::u16string& s);

} // namespace KoPlayhost
