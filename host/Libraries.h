#pragma once
#include "script/Library.h"
#include "timer/Clock.h"

#include <memory>
#include <vector>

namespace KoPlayhost {

// Every native library, in registration order. Util's timers and frame keepers run on `clock`.
std::vector<std::shared_ptr<KoScript::Library>>
createLibraries(std::shared_ptr<KoTimer::IClock> clock);

} // namespace KoPlayhost
