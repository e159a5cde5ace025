#pragma once
#include "script/Library.h"

#include <memory>
#include <vector>

namespace KoPlayhost {

// Every native library, in registration order.
std::vector<std::shared_ptr<Library>> createLibraries();

} // namespace KoPlayhost
