#pragma once
#include "host/Setup.h"

#include <string>
#include <vector>

namespace KoPlayhost {

// The first script text of the VM: version constants, DEBUG and cmdline (program path first).
std::u16string buildPrelude(bool debug, const std::vector<std::u16string>& cmdline);

// import("...") for every plugin, then include("...") for every script, in setup order.
std::u16string buildSetupLoadText(const Setup& setup);

// Script literals that hold any text: a verbatim string doubles its quotes; an ordinary one
// escapes backslashes, quotes and control characters.
std::u16string verbatimLiteral(const std::u16string& s);
std::u16string stringLiteral(const std::u16string& s);

} // namespace KoPlayhost
