// Image bytes as the file manager hands them over, decoded and copied into a texture of the
// in-memory engine: must refuse or succeed, never crash, hang or leak.
#include "graphics/Image.h"
#include "graphics/ImageCodec.h"
#include "graphics/NullEngine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto engine = KoGraphics::createNullEngine(64, 64);
    KoGraphics::Bitmap bitmap;
    if (!KoGraphics::decodeImage(data, size, bitmap)) return 0;
    if (bitmap.pixels.size() != size_t(bitmap.width) * bitmap.height * 4) __builtin_trap();
    auto image = KoGraphics::createImage(*engine, bitmap);
    if (image && (image->getWidth() != bitmap.width || image->getHeight() != bitmap.height))
        __builtin_trap();
    return 0;
}
