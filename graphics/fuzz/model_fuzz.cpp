// Model file text as the file manager hands it over: must load or refuse, never crash or hang.
#include "graphics/world/ModelLoader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto model = KoGraphics::loadModelData(text);
    if (!model) return 0;
    if (model->vertices.size() > 65536) __builtin_trap();
    for (const auto& t : model->triangles)
        for (uint16_t i : t.index)
            if (i >= model->vertices.size()) __builtin_trap();
    for (const auto& v : model->vertices)
        for (float f : v.normal)
            if (!std::isfinite(f) || std::fabs(f) > 1.0001f) __builtin_trap();
    return 0;
}
