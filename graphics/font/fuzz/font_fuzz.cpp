// Font bytes -> face -> every printable ASCII character measured and rendered, plain and
// supersampled, bold and italic. Byte 0 picks the cell height and the style.
#include "graphics/font/FtFace.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint32_t cell = 1 + (data[0] & 0x3F);
    const bool bold = data[0] & 0x40, italic = data[0] & 0x80;
    auto set = KoGraphics::Ft::FaceSet::openData({data + 1, data + size}, cell, bold, italic);
    if (!set)
        return 0;
    KoGraphics::Coverage c;
    KoGraphics::Ft::CharMetrics m;
    for (char32_t ch = 0x20; ch < 0x7F; ++ch) {
        set->measure(ch, m);
        if (set->render(ch, c, 3 * 1024)) { // as wide as a font draws at most
            KoGraphics::downsample3(c);
            KoGraphics::gradientLayer(c, 255, 0, 0.5f);
        }
    }
    return 0;
}
