// The image codec is SDL2_image, which speaks SDL surfaces: it lives here with the rest of SDL.
#include "graphics/ImageCodec.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cctype>
#include <cstring>
#include <memory>

namespace KoGraphics {

namespace {

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// The formats SDL2_image can read from memory without being told the type.
bool initDecoders() {
    static bool done = [] {
        IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
        return true;
    }();
    return done;
}

// Growing write-only memory for the encoders.
struct Sink {
    std::vector<uint8_t> bytes;
    size_t at = 0;
};

size_t sinkWrite(SDL_RWops* rw, const void* p, size_t size, size_t n) {
    auto* s = static_cast<Sink*>(rw->hidden.unknown.data1);
    size_t len = size * n;
    if (s->at + len > s->bytes.size()) s->bytes.resize(s->at + len);
    std::memcpy(s->bytes.data() + s->at, p, len);
    s->at += len;
    return n;
}
Sint64 sinkSeek(SDL_RWops* rw, Sint64 offset, int whence) {
    auto* s = static_cast<Sink*>(rw->hidden.unknown.data1);
    Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? Sint64(s->at) : Sint64(s->bytes.size());
    Sint64 pos = base + offset;
    if (pos < 0) return -1;
    s->at = size_t(pos);
    if (s->at > s->bytes.size()) s->bytes.resize(s->at);
    return pos;
}
Sint64 sinkSize(SDL_RWops* rw) {
    return Sint64(static_cast<Sink*>(rw->hidden.unknown.data1)->bytes.size());
}
size_t sinkRead(SDL_RWops*, void*, size_t, size_t) { return 0; }
int sinkClose(SDL_RWops* rw) {
    SDL_FreeRW(rw);
    return 0;
}

} // namespace

bool decodeImage(const uint8_t* bytes, size_t size, Bitmap& out) {
    if (!bytes || !size || size > 0x7FFFFFFF || !initDecoders()) return false;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes, int(size));
    if (!rw) return false;
    // TGA has no signature: SDL2_image only tries it when told.
    Surface loaded(IMG_Load_RW(rw, 0));
    if (!loaded) {
        SDL_RWseek(rw, 0, RW_SEEK_SET);
        loaded.reset(IMG_LoadTyped_RW(rw, 0, "TGA"));
    }
    SDL_RWclose(rw);
    if (!loaded || loaded->w <= 0 || loaded->h <= 0 || loaded->w > 32767 || loaded->h > 32767)
        return false;
    // ARGB8888 words are B, G, R, A bytes on little-endian machines.
    Surface argb(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
    if (!argb) return false;
    out.width = uint32_t(argb->w);
    out.height = uint32_t(argb->h);
    out.pixels.resize(size_t(out.width) * out.height * 4);
    if (SDL_MUSTLOCK(argb.get())) SDL_LockSurface(argb.get());
    for (uint32_t y = 0; y < out.height; ++y)
        std::memcpy(&out.pixels[size_t(y) * out.width * 4],
                    static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch,
                    size_t(out.width) * 4);
    if (SDL_MUSTLOCK(argb.get())) SDL_UnlockSurface(argb.get());
    return true;
}

ImageFileType imageFileType(const std::u16string& path) {
    size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos) return ImageFileType::Unknown;
    std::string ext;
    for (char16_t c : path.substr(dot + 1)) ext += char(c < 128 ? std::tolower(int(c)) : '?');
    if (ext == "png") return ImageFileType::Png;
    if (ext == "jpg" || ext == "jpeg") return ImageFileType::Jpeg;
    if (ext == "bmp") return ImageFileType::Bmp;
    return ImageFileType::Unknown;
}

std::vector<uint8_t> encodeImage(const Bitmap& bitmap, ImageFileType type) {
    if (!bitmap.width || !bitmap.height || bitmap.pixels.size() < size_t(bitmap.width) * bitmap.height * 4 ||
        type == ImageFileType::Unknown)
        return {};
    initDecoders();
    Surface s(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(bitmap.pixels.data()),
                                                 int(bitmap.width), int(bitmap.height), 32,
                                                 int(bitmap.width * 4), SDL_PIXELFORMAT_ARGB8888));
    if (!s) return {};
    Sink sink;
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) return {};
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = &sink;
    rw->write = sinkWrite;
    rw->seek = sinkSeek;
    rw->size = sinkSize;
    rw->read = sinkRead;
    rw->close = sinkClose;
    int rc = -1;
    switch (type) {
    case ImageFileType::Png: rc = IMG_SavePNG_RW(s.get(), rw, 1); break;
    case ImageFileType::Jpeg: rc = IMG_SaveJPG_RW(s.get(), rw, 1, 90); break;
    case ImageFileType::Bmp: rc = SDL_SaveBMP_RW(s.get(), rw, 1); break;
    default: SDL_FreeRW(rw); break;
    }
    if (rc != 0) return {};
    return std::move(sink.bytes);
}

} // namespace KoGraphics
