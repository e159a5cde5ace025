#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace KoIO {

using ByteArray = std::vector<uint8_t>;

// 100-nanosecond intervals since 1601-01-01 00:00 local time; 0 = unknown.
using FileTime = uint64_t;

// Open options, the values scripts see as IO.OpenOption.
enum OpenOption : uint32_t {
    TRUNCATE = 1, // empty the file when opening
    END = 2,      // cursor at the end when opening
    APPEND = 4,   // every write goes to the end
};

} // namespace KoIO
