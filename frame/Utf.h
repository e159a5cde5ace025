#pragma once
// UTF-16 <-> UTF-8 for the SDL boundary (captions, monitor names, message-box text).
#include <string>

namespace KoFrame::Detail {

// Lone surrogates become U+FFFD.
std::string toUtf8(const std::u16string& text);
// Malformed sequences become U+FFFD, one per bad byte.
std::u16string toUtf16(const std::string& text);

} // namespace KoFrame::Detail
