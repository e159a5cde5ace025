// Paths of scripts written on Windows: `\` separates like `/`, and a path
// that does not exist with its exact case is looked up case-insensitively.
#pragma once

#include <string>

namespace sqstd {

// Turns `\` into `/`. If the path does not exist as written, each component
// that is missing is replaced by an entry of its folder that differs only in
// ASCII case. With `may_be_new` a last component found in no case is kept
// as written (a file about to be created). Returns the path to use.
std::string resolve_path(const std::string& path, bool may_be_new);

} // namespace sqstd
