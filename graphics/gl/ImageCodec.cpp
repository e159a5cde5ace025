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

// A PNG whose chunks run past the end of the data: libpng would skip a corrupt length of up to
// 2 GiB in small reads of nothing, which takes minutes. Such a file is broken anyway.
bool brokenPng(const uint8_t* p, size_t size) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size < 8 || std::memcmp(p, signature, 8) != 0) return false;
    size_t pos = 8;
    while (pos + 12 <= size) {
        uint32_t len = uint32_t(p[pos]) << 24 | uint32_t(p[pos + 1]) << 16 |
                       uint32_t(p[pos + 2]) << 8 | p[pos + 3];
        if (len > size - pos - 12) return true;
        bool end = std::memcmp(p + pos + 4, "IEND", 4) == 0;
        pos += 12 + size_t(len);
        if (end) return false;
    }
    return true; // no IEND: truncated
}

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Sizes no texture can hold. The decoders would allocate (and clear) the whole picture first,
// gigabytes for a corrupt header, before noticing the data is missing.
constexpr uint32_t kMaxSide = 16384;
bool tooLarge(uint32_t w, uint32_t h) {
    return w > kMaxSide || h > kMaxSide || uint64_t(w) * h > (uint64_t(1) << 26);
}

// The first frame's descriptor of a GIF, which may be larger than the screen it claims.
bool gifFrameTooLarge(const uint8_t* p, size_t size) {
    size_t pos = 13;
    if (p[10] & 0x80) pos += size_t(3) << ((p[10] & 7) + 1);
    while (pos < size) {
        if (p[pos] == 0x2C) {
            if (pos + 9 > size) return false;
            return tooLarge(le16(p + pos + 5), le16(p + pos + 7));
        }
        if (p[pos] == 0x3B) return false; // trailer
        if (p[pos] != 0x21) { // the decoder skips stray bytes
            ++pos;
            continue;
        }
        pos += 2; // introducer and label, then sub-blocks up to an empty one
        while (pos < size && p[pos]) pos += size_t(p[pos]) + 1;
        ++pos;
    }
    return false;
}

// The picture size from the header of the formats that state it up front; false when it is
// beyond any texture.
bool plausibleSize(const uint8_t* p, size_t size) {
    if (size >= 24 && std::memcmp(p, "\x89PNG", 4) == 0) return !tooLarge(be32(p + 16), be32(p + 20));
    if (size >= 13 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0))
        return !tooLarge(le16(p + 6), le16(p + 8)) && !gifFrameTooLarge(p, size);
    if (size >= 26 && p[0] == 'B' && p[1] == 'M') {
        uint32_t header = le32(p + 14);
        if (header == 12) return true; // OS/2 headers have 16-bit sizes
        int32_t w = int32_t(le32(p + 18)), h = int32_t(le32(p + 22));
        if (h == INT32_MIN) return false;
        return w > 0 && !tooLarge(uint32_t(w), uint32_t(h < 0 ? -h : h));
    }
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xD8) return true;
    // Everything else is tried as TGA, whose header states the size at 12 and 14.
    return size >= 18 && !tooLarge(le16(p + 12), le16(p + 14));
}

// The decoder for the bytes' signature, called directly: SDL2_image's typed loading still runs
// the detection of every format it knows.
SDL_Surface* decodeBySignature(const uint8_t* p, size_t size, SDL_RWops* rw) {
    if (size >= 4 && std::memcmp(p, "\x89PNG", 4) == 0) return IMG_LoadPNG_RW(rw);
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xD8) return IMG_LoadJPG_RW(rw);
    if (size >= 4 && std::memcmp(p, "GIF8", 4) == 0) return IMG_LoadGIF_RW(rw);
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') return IMG_LoadBMP_RW(rw);
    return IMG_LoadTGA_RW(rw);
}

} // namespace

bool decodeImage(const uint8_t* bytes, size_t size, Bitmap& out) {
    if (!bytes || !size || size > 0x7FFFFFFF || brokenPng(bytes, size) ||
        !plausibleSize(bytes, size) || !initDecoders())
        return false;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes, int(size));
    if (!rw) return false;
    // Only the five formats games use reach a decoder, chosen by signature: SDL2_image's own
    // detection would also hand the bytes to decoders of formats we do not load (its SVG one
    // leaks on broken files). TGA has no signature, so anything else is tried as TGA.
    Surface loaded(decodeBySignature(bytes, size, rw));
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
