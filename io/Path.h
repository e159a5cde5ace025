#pragma once
#include "io/Utf.h"

#include <string>
#include <string_view>

namespace KoIO {

// Paths inside the program are UTF-16 with '\' as separator; '/' is accepted on the way in.
// An absolute path starts with '\' (the POSIX root); a path holding ':' is kept as given.

// Every '/' becomes '\'; one trailing '\' is removed. Nothing else changes.
std::u16string normalizePath(std::u16string_view path);
// Text before the last '\' (empty when there is none).
std::u16string getParentPath(std::u16string_view path);
// Text after the last '\' (the whole text when there is none).
std::u16string getName(std::u16string_view path);
// The name up to its last '.'.
std::u16string getNameWithoutExtension(std::u16string_view path);
// Text after the last '.' of the whole path (empty when there is none).
std::u16string getExtension(std::u16string_view path);
// normalizePath(parent + '\' + name); empty when name holds ':'.
std::u16string getChildPath(std::u16string_view parent, std::u16string_view name);
// Absolute, normalised form against the current directory, with "." and ".." and repeated
// separators folded away as a full-path function does; empty on failure or when longer than
// the platform's path limit.
std::u16string getAbsolutePath(std::u16string_view path);
// The same against a given absolute base directory.
std::u16string getAbsolutePath(std::u16string_view path, std::u16string_view base);
// The current directory in internal form (empty on failure).
std::u16string getCurrentDirectory();

// Internal path to the POSIX form ('\' becomes '/'); empty when it cannot be encoded.
std::string toPosixPath(std::u16string_view path);
// POSIX path to the internal form.
std::u16string fromPosixPath(std::string_view path);

} // namespace KoIO
