#include "graphics/font/FtFace.h"

#include "io/Utf.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace KoGraphics::Ft {

namespace {

// Windows face names that games ask for, sent to installed faces that have their glyphs:
// matched plainly they all end in a Latin face without kana.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>MS Gothic</family>
    <prefer><family>IPAGothic</family><family>Noto Sans CJK JP</family></prefer></alias>
  <alias binding="same"><family>ＭＳ ゴシック</family>
    <prefer><family>IPAGothic</family><family>Noto Sans CJK JP</family></prefer></alias>
  <alias binding="same"><family>MS PGothic</family>
    <prefer><family>IPAPGothic</family><family>Noto Sans CJK JP</family></prefer></alias>
  <alias binding="same"><family>ＭＳ Ｐゴシック</family>
    <prefer><family>IPAPGothic</family><family>Noto Sans CJK JP</family></prefer></alias>
  <alias binding="same"><family>MS UI Gothic</family>
    <prefer><family>IPAPGothic</family><family>Noto Sans CJK JP</family></prefer></alias>
  <alias binding="same"><family>Meiryo</family>
    <prefer><family>Noto Sans CJK JP</family><family>IPAPGothic</family></prefer></alias>
  <alias binding="same"><family>メイリオ</family>
    <prefer><family>Noto Sans CJK JP</family><family>IPAPGothic</family></prefer></alias>
  <alias binding="same"><family>MS Mincho</family>
    <prefer><family>IPAMincho</family><family>IPAGothic</family></prefer></alias>
  <alias binding="same"><family>ＭＳ 明朝</family>
    <prefer><family>IPAMincho</family><family>IPAGothic</family></prefer></alias>
  <alias binding="same"><family>MS PMincho</family>
    <prefer><family>IPAPMincho</family><family>IPAPGothic</family></prefer></alias>
  <alias binding="same"><family>ＭＳ Ｐ明朝</family>
    <prefer><family>IPAPMincho</family><family>IPAPGothic</family></prefer></alias>
</fontconfig>
)";

constexpr uint32_t kMaxCellHeight = 16384;
// A rendered cell larger than this is refused rather than allocated.
constexpr uint64_t kMaxCellPixels = 64ull << 20;
// Slant of a synthesised italic (x += 0.2 y), as the platform's synthetic italics lean.
constexpr FT_Fixed kItalicShear = 0x3333;

// Face names come from FreeType and fontconfig as UTF-8 (null for a face without one).
std::u16string fromUtf8(const char* s) {
    return s ? KoIO::fromUtf8(s) : std::u16string();
}

// Face names compare without regard to ASCII case, as on the platform of origin.
std::u16string foldName(const std::u16string& s) {
    std::u16string out = s;
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    return out;
}

struct Library {
    FT_Library lib = nullptr;
    Library() {
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
    }
    ~Library() {
        if (lib)
            FT_Done_FreeType(lib);
    }
};

// Faces keep the library alive, so that no face outlives it whatever the order of teardown.
std::shared_ptr<Library> library() {
    static std::shared_ptr<Library> shared = std::make_shared<Library>();
    return shared->lib ? shared : nullptr;
}

FcConfig* fontConfig() {
    static FcConfig* config = [] {
        FcConfig* c = FcInitLoadConfigAndFonts();
        if (c && !FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kAliases),
                                                 FcFalse)) {
            // Without the aliases the names still resolve, only to poorer faces.
        }
        return c;
    }();
    return config;
}

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

struct Registered {
    Bytes bytes;
    FT_Long index = 0;
    std::vector<std::u16string> families; // folded
    bool bold = false;
    bool italic = false;
};

std::vector<Registered>& registry() {
    static std::vector<Registered> fonts;
    return fonts;
}

// Every family name a face's name table gives, in any language, folded.
std::vector<std::u16string> familyNames(FT_Face face) {
    std::vector<std::u16string> names;
    auto add = [&](std::u16string n) {
        n = foldName(n);
        if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end())
            names.push_back(std::move(n));
    };
    if (face->family_name)
        add(fromUtf8(face->family_name));
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0)
            continue;
        if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY)
            continue;
        std::u16string text;
        if (name.platform_id == TT_PLATFORM_MICROSOFT || name.platform_id == TT_PLATFORM_APPLE_UNICODE) {
            for (FT_UInt k = 0; k + 1 < name.string_len; k += 2)
                text += char16_t((name.string[k] << 8) | name.string[k + 1]);
        } else if (name.platform_id == TT_PLATFORM_MACINTOSH && name.encoding_id == TT_MAC_ID_ROMAN) {
            for (FT_UInt k = 0; k < name.string_len; ++k)
                if (name.string[k] < 0x80)
                    text += char16_t(name.string[k]);
        }
        add(text);
    }
    return names;
}

// One open face at one cell height.
struct Face {
    std::shared_ptr<Library> lib;
    Bytes bytes; // a memory face's data, which must outlive it
    FT_Face face = nullptr;
    int32_t ascent = 0;
    bool embolden = false;

    ~Face() {
        if (face)
            FT_Done_Face(face);
    }

    static std::unique_ptr<Face> open(const std::string& file, const Bytes& bytes, FT_Long index,
                                      uint32_t cellHeight, bool embolden, bool slant,
                                      bool windowsCell) {
        auto f = std::make_unique<Face>();
        f->lib = library();
        if (!f->lib)
            return nullptr;
        f->bytes = bytes;
        const FT_Error err =
            bytes ? FT_New_Memory_Face(f->lib->lib, bytes->data(), FT_Long(bytes->size()), index,
                                       &f->face)
                  : FT_New_Face(f->lib->lib, file.c_str(), index, &f->face);
        if (err != 0) {
            f->face = nullptr;
            return nullptr;
        }
        if (!FT_IS_SCALABLE(f->face) || f->face->units_per_EM == 0)
            return nullptr;
        // A registered face is the very font the game was made with: its cell is its Windows
        // ascent + descent, as there. An installed face stands in for a Windows face whose cell
        // is its em (MS Gothic) or a tall line (Meiryo): the horizontal header's ascent and
        // descent give the same proportions for the faces chosen for them (IPA: the em; Noto
        // CJK: about 1.45 em), where the IPA faces' Windows metrics would shrink every glyph.
        int64_t up = f->face->ascender, down = -int64_t(f->face->descender);
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f->face, FT_SFNT_OS2));
            windowsCell && os2 && os2->version != 0xFFFF &&
            os2->usWinAscent + os2->usWinDescent > 0) {
            up = os2->usWinAscent;
            down = os2->usWinDescent;
        }
        if (up + down <= 0) {
            up = f->face->units_per_EM;
            down = 0;
        }
        const double scale = double(cellHeight) / double(up + down);
        const double em = scale * f->face->units_per_EM;
        if (!(em > 0) || em > 1e6)
            return nullptr;
        if (FT_Set_Char_Size(f->face, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72) != 0)
            return nullptr;
        f->ascent = int32_t(std::lround(up * scale));
        f->embolden = embolden;
        if (slant) {
            FT_Matrix m{0x10000, kItalicShear, 0, 0x10000};
            FT_Set_Transform(f->face, &m, nullptr);
        }
        return f;
    }

    bool hasChar(char32_t ch) const { return FT_Get_Char_Index(face, ch) != 0; }

    bool load(char32_t ch) {
        const FT_UInt glyph = FT_Get_Char_Index(face, ch);
        // Embedded bitmaps would be one-bit: always the anti-aliased outline.
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0)
            return false;
        if (embolden && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_GlyphSlot_Embolden(face->glyph);
        return true;
    }

    uint32_t advance() const {
        const FT_Pos a = face->glyph->advance.x;
        if (a <= 0)
            return 0;
        return uint32_t(std::min<FT_Pos>((a + 32) >> 6, 0xFFFF));
    }
};

} // namespace

struct FaceSet::Impl {
    uint32_t cellHeight = 0;
    bool bold = false;
    bool italic = false;
    std::unique_ptr<Face> main;
    std::u16string family;
    FcPattern* pattern = nullptr;
    FcFontSet* sorted = nullptr;
    std::map<int, std::unique_ptr<Face>> fallbacks; // by position in `sorted`; null: unusable

    ~Impl() {
        if (sorted)
            FcFontSetDestroy(sorted);
        if (pattern)
            FcPatternDestroy(pattern);
    }

    // An installed face of the sorted set, opened on first use.
    Face* installed(int i) {
        auto it = fallbacks.find(i);
        if (it != fallbacks.end())
            return it->second.get();
        FcPattern* p = sorted->fonts[i];
        FcChar8* file = nullptr;
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        std::unique_ptr<Face> face;
        if (FcPatternGetString(p, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(p, FC_INDEX, 0, &index);
            FcPatternGetInteger(p, FC_WEIGHT, 0, &weight);
            FcPatternGetInteger(p, FC_SLANT, 0, &slant);
            face = Face::open(reinterpret_cast<const char*>(file), nullptr, index, cellHeight,
                              bold && weight < FC_WEIGHT_DEMIBOLD, italic && slant == FC_SLANT_ROMAN,
                              false);
        }
        Face* raw = face.get();
        fallbacks[i] = std::move(face);
        return raw;
    }

    // The face that draws the character: the main face when it has it, else the first
    // installed face (in match order) whose character set has it, else the main face's
    // missing-glyph shape.
    Face* faceFor(char32_t ch) {
        if (main->hasChar(ch) || !sorted)
            return main.get();
        for (int i = 0; i < sorted->nfont; ++i) {
            FcCharSet* set = nullptr;
            if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &set) != FcResultMatch ||
                !FcCharSetHasChar(set, ch))
                continue;
            if (Face* f = installed(i); f && f->hasChar(ch))
                return f;
        }
        return main.get();
    }
};

FaceSet::FaceSet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FaceSet::~FaceSet() = default;

std::unique_ptr<FaceSet> FaceSet::open(const std::u16string& name, uint32_t cellHeight, bool bold,
                                       bool italic) {
    if (cellHeight == 0 || cellHeight > kMaxCellHeight || name.find(u'\0') != std::u16string::npos)
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->cellHeight = cellHeight;
    impl->bold = bold;
    impl->italic = italic;

    // Registered fonts come first; among faces of the family, the one of the asked style.
    const std::u16string folded = foldName(name);
    const Registered* best = nullptr;
    for (const auto& r : registry()) {
        if (std::find(r.families.begin(), r.families.end(), folded) == r.families.end())
            continue;
        if (!best || (r.bold == bold && r.italic == italic && !(best->bold == bold && best->italic == italic)))
            best = &r;
    }
    if (best) {
        impl->main = Face::open({}, best->bytes, best->index, cellHeight, bold && !best->bold,
                                italic && !best->italic, true);
        if (impl->main && impl->main->face->family_name)
            impl->family = fromUtf8(impl->main->face->family_name);
    }

    // Installed faces in match order: the main face when no registered one matched, and the
    // faces that supply missing characters.
    if (FcConfig* config = fontConfig()) {
        impl->pattern = FcPatternCreate();
        const std::string utf8 = KoIO::toUtf8(name);
        FcPatternAddString(impl->pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.c_str()));
        FcPatternAddString(impl->pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
        FcPatternAddInteger(impl->pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(impl->pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(impl->pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config, impl->pattern, FcMatchPattern);
        FcDefaultSubstitute(impl->pattern);
        FcResult result = FcResultNoMatch;
        impl->sorted = FcFontSort(config, impl->pattern, FcFalse, nullptr, &result);
        if (impl->sorted && !impl->main) {
            for (int i = 0; i < impl->sorted->nfont && !impl->main; ++i) {
                if (Face* f = impl->installed(i)) {
                    impl->main = std::move(impl->fallbacks[i]);
                    impl->fallbacks.erase(i);
                    FcChar8* fam = nullptr;
                    if (FcPatternGetString(impl->sorted->fonts[i], FC_FAMILY, 0, &fam) == FcResultMatch)
                        impl->family = fromUtf8(reinterpret_cast<const char*>(fam));
                    (void)f;
                }
            }
        }
    }
    if (!impl->main)
        return nullptr;
    return std::unique_ptr<FaceSet>(new FaceSet(std::move(impl)));
}

std::unique_ptr<FaceSet> FaceSet::openData(std::vector<uint8_t> data, uint32_t cellHeight,
                                           bool bold, bool italic) {
    if (cellHeight == 0 || cellHeight > kMaxCellHeight || data.empty() ||
        data.size() > size_t(INT32_MAX))
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->cellHeight = cellHeight;
    impl->bold = bold;
    impl->italic = italic;
    auto bytes = std::make_shared<const std::vector<uint8_t>>(std::move(data));
    impl->main = Face::open({}, bytes, 0, cellHeight, bold, italic, true);
    if (!impl->main || impl->main->face->num_glyphs <= 0)
        return nullptr;
    if (impl->main->face->family_name)
        impl->family = fromUtf8(impl->main->face->family_name);
    return std::unique_ptr<FaceSet>(new FaceSet(std::move(impl)));
}

std::u16string FaceSet::familyName() const { return impl_->family; }
uint32_t FaceSet::cellHeight() const { return impl_->cellHeight; }

bool FaceSet::measure(char32_t ch, CharMetrics& out) {
    Face* face = impl_->faceFor(ch);
    if (!face->load(ch))
        return false;
    out.width = face->advance();
    out.height = impl_->cellHeight;
    return true;
}

bool FaceSet::render(char32_t ch, Coverage& out, uint32_t maxWidth) {
    Face* face = impl_->faceFor(ch);
    if (!face->load(ch))
        return false;
    const uint32_t width = face->advance();
    const uint32_t height = impl_->cellHeight;
    if (width > maxWidth || uint64_t(width) * height > kMaxCellPixels)
        return false;
    out.width = width;
    out.height = height;
    out.values.assign(size_t(width) * height, 0);
    FT_GlyphSlot slot = face->face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bm = slot->bitmap;
    const int32_t left = slot->bitmap_left;
    const int32_t top = face->ascent - slot->bitmap_top;
    for (uint32_t row = 0; row < bm.rows; ++row) {
        const int64_t y = int64_t(top) + row;
        if (y < 0 || y >= int64_t(height))
            continue;
        const unsigned char* src = bm.buffer + int64_t(row) * bm.pitch;
        for (uint32_t col = 0; col < bm.width; ++col) {
            const int64_t x = int64_t(left) + col;
            if (x < 0 || x >= int64_t(width))
                continue;
            uint8_t v;
            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                v = bm.num_grays == 256 ? src[col]
                                        : uint8_t(src[col] * 255u / std::max(1, bm.num_grays - 1));
            else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                v = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            else
                return false;
            uint8_t& dst = out.values[size_t(y) * width + size_t(x)];
            dst = std::max(dst, v);
        }
    }
    return true;
}

bool registerFontData(std::vector<uint8_t> data) {
    auto lib = library();
    if (!lib || data.empty() || data.size() > size_t(INT32_MAX))
        return false;
    auto bytes = std::make_shared<const std::vector<uint8_t>>(std::move(data));
    // Index -1 asks only how many faces the file holds.
    FT_Face probe = nullptr;
    if (FT_New_Memory_Face(lib->lib, bytes->data(), FT_Long(bytes->size()), -1, &probe) != 0)
        return false;
    const FT_Long faces = probe->num_faces;
    FT_Done_Face(probe);
    std::vector<Registered> found;
    for (FT_Long i = 0; i < faces && i < 256; ++i) {
        FT_Face face = nullptr;
        if (FT_New_Memory_Face(lib->lib, bytes->data(), FT_Long(bytes->size()), i, &face) != 0)
            continue;
        if (FT_IS_SCALABLE(face) && face->num_glyphs > 0 && face->units_per_EM > 0) {
            Registered r;
            r.bytes = bytes;
            r.index = i;
            r.families = familyNames(face);
            r.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
            r.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
            if (!r.families.empty())
                found.push_back(std::move(r));
        }
        FT_Done_Face(face);
    }
    if (found.empty())
        return false;
    for (auto& r : found)
        registry().push_back(std::move(r));
    return true;
}

} // namespace KoGraphics::Ft
