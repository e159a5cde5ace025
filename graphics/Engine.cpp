#include "graphics/IEngine.h"

namespace KoGraphics {

namespace {
// position, blend weight, blend indices, normal, colour, texcoord, stride
constexpr VertexLayout layouts[10] = {
    {0, -1, -1, -1, 12, -1, 16},
    {0, -1, -1, -1, 12, 16, 24},
    {0, -1, -1, 12, 24, -1, 28},
    {0, -1, -1, 12, 24, 28, 36},
    {0, -1, -1, 12, -1, 24, 32},
    {0, 12, 24, -1, -1, -1, 28},
    {0, 12, 24, 28, -1, -1, 40},
    {0, 12, 24, -1, 28, -1, 32},
    {0, 12, 24, 28, 40, -1, 44},
    {0, 12, 24, 28, 40, 44, 52},
};
} // namespace

const VertexLayout* vertexLayout(uint32_t format) {
    if (format < 1 || format > 10) return nullptr;
    return &layouts[format - 1];
}

uint32_t vertexCountOf(uint32_t type, uint32_t count) {
    switch (type) {
    case PointList: return count;
    case LineList: return count * 2;
    case LineStrip: return count ? count + 1 : 0;
    case TriangleList: return count * 3;
    case TriangleStrip:
    case TriangleFan: return count ? count + 2 : 0;
    default: return 0;
    }
}

} // namespace KoGraphics
