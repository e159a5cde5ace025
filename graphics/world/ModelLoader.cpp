#include "graphics/world/ModelLoader.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <initializer_list>

namespace KoGraphics {
namespace {

// The line patterns are plain sequences of literals and number tokens, each token's characters
// disjoint from the literal after it, so a match never needs to backtrack.
enum class Tok { Lit, UInt, UFloat, SFloat, Name };
struct Part {
    Tok tok;
    std::string_view lit = {};
};
constexpr Part lit(std::string_view s) {
    return {Tok::Lit, s};
}
constexpr Part kUInt{Tok::UInt}, kUFloat{Tok::UFloat}, kSFloat{Tok::SFloat}, kName{Tok::Name};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isAlnum(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

size_t run(std::string_view s, size_t p, bool (*cls)(char)) {
    while (p < s.size() && cls(s[p])) ++p;
    return p;
}

// End of `digits . digits` (classes given) at p, or npos.
size_t dotted(std::string_view s, size_t p, bool (*cls)(char)) {
    size_t e = run(s, p, cls);
    if (e == p || e >= s.size() || s[e] != '.') return std::string_view::npos;
    size_t f = run(s, e + 1, cls);
    return f == e + 1 ? std::string_view::npos : f;
}

bool matchAt(std::string_view s, size_t p, std::initializer_list<Part> parts,
             std::vector<std::string_view>& caps) {
    caps.clear();
    for (const Part& part : parts) {
        size_t e = std::string_view::npos;
        switch (part.tok) {
        case Tok::Lit:
            if (s.substr(p, part.lit.size()) != part.lit) return false;
            p += part.lit.size();
            continue;
        case Tok::UInt:
            e = run(s, p, isDigit);
            if (e == p) e = std::string_view::npos;
            break;
        case Tok::UFloat:
            e = dotted(s, p, isDigit);
            break;
        case Tok::SFloat:
            e = dotted(s, run(s, p, [](char c) { return c == '-'; }), isDigit);
            break;
        case Tok::Name:
            e = dotted(s, p, isAlnum);
            break;
        }
        if (e == std::string_view::npos) return false;
        caps.push_back(s.substr(p, e - p));
        p = e;
    }
    return true;
}

// The first match anywhere in the line, as a regular-expression search finds it.
bool search(std::string_view s, std::initializer_list<Part> parts,
            std::vector<std::string_view>& caps) {
    std::string_view first = parts.begin()->lit;
    for (size_t p = s.find(first); p != std::string_view::npos; p = s.find(first, p + 1))
        if (matchAt(s, p, parts, caps)) return true;
    return false;
}

// The first reason a file is refused; later conversions are skipped once it is set.
thread_local ModelError refused = ModelError::None;

void refuse(ModelError e) {
    if (refused == ModelError::None) refused = e;
}

uint32_t toUInt(std::string_view t) {
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size()) {
        refuse(ModelError::Number);
        return 0;
    }
    return v;
}

// A value beyond float's range refuses the file; one too small for it is zero.
float toFloat(std::string_view t) {
    size_t minus = 0;
    while (minus < t.size() && t[minus] == '-') ++minus;
    if (minus > 1) {
        refuse(ModelError::Number);
        return 0.0f;
    }
    double v = 0;
    auto [end, ec] = std::from_chars(t.data() + minus, t.data() + t.size(), v);
    if (ec == std::errc::result_out_of_range) {
        size_t dot = t.find('.');
        for (size_t i = minus; i < dot; ++i)
            if (t[i] != '0') v = HUGE_VAL;
        if (v != HUGE_VAL) v = 0;
    } else if (ec != std::errc() || end != t.data() + t.size()) {
        v = HUGE_VAL;
    }
    if (!(std::fabs(v) <= double(FLT_MAX))) {
        refuse(ModelError::Number);
        return 0.0f;
    }
    return float(minus ? -v : v);
}

uint32_t channel(float value) {
    float c = std::trunc(value * 255.0f);
    return c <= 0.0f ? 0 : c >= 255.0f ? 255 : uint32_t(c);
}

// base R x factor truncated: computed on the byte itself so 127 x 0.8 gives 101.
Color derived(Color base, float factor) {
    auto ch = [&](uint32_t c) {
        float v = std::trunc(float(c) * factor);
        return v <= 0.0f ? 0u : v >= 255.0f ? 255u : uint32_t(v);
    };
    return makeColor(alphaOf(base), ch(redOf(base)), ch(greenOf(base)), ch(blueOf(base)));
}

ModelMaterial parseMaterial(std::string_view line) {
    ModelMaterial m;
    std::vector<std::string_view> c;
    if (search(line,
               {lit("col("), kUFloat, lit(" "), kUFloat, lit(" "), kUFloat, lit(" "), kUFloat,
                lit(")")},
               c))
        m.base = makeColor(channel(toFloat(c[3])), channel(toFloat(c[0])), channel(toFloat(c[1])),
                           channel(toFloat(c[2])));
    m.diffuse = m.base;
    m.ambient = m.emissive = m.specular = m.base & 0xFF000000;
    auto factor = [&](std::string_view name, Color& out) {
        std::string key(name);
        key += '(';
        if (search(line, {lit(key), kUFloat, lit(")")}, c)) out = derived(m.base, toFloat(c[0]));
    };
    factor("dif", m.diffuse);
    factor("amb", m.ambient);
    factor("emi", m.emissive);
    factor("spc", m.specular);
    if (search(line, {lit("power("), kUFloat, lit(")")}, c)) m.power = toFloat(c[0]);
    if (search(line, {lit("tex(\""), kName, lit("\")")}, c)) m.textures[0] = std::string(c[0]);
    return m;
}

using Vec3 = std::array<float, 3>;
Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 normalised(const Vec3& v) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(l > 0.0f) || !std::isfinite(l)) return {0, 0, 0};
    return {v[0] / l, v[1] / l, v[2] / l};
}
float dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

struct Face {
    uint32_t corners[4];
    uint32_t count;
    uint32_t firstVertex; // its drawn vertices
    Vec3 normal;
};

class Loader {
public:
    explicit Loader(std::string_view text) {
        size_t p = 0;
        while (p < text.size()) {
            size_t e = text.find('\n', p);
            if (e == std::string_view::npos) e = text.size();
            std::string_view l = text.substr(p, e - p);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            lines_.push_back(l);
            p = e + 1;
        }
    }

    ModelData load() {
        std::vector<std::string_view> c;
        size_t i = 0;
        while (i < lines_.size() && refused == ModelError::None) {
            std::string_view line = lines_[i++];
            if (search(line, {lit("Material "), kUInt}, c)) {
                uint32_t n = toUInt(c[0]);
                for (uint32_t k = 0; k < n && i < lines_.size(); ++k)
                    data_.materials.push_back(parseMaterial(lines_[i++]));
            } else if (line.find("Object") != std::string_view::npos) {
                i = object(i);
            }
        }
        return std::move(data_);
    }

private:
    // Reads the object whose body starts at line i; returns the line after it.
    size_t object(size_t i) {
        std::vector<std::string_view> c;
        bool haveVertices = false, haveFaces = false, flat = false;
        float facet = -1.0f; // degrees; none given: a normal per face
        size_t base = data_.positions.size();
        std::vector<Face> faces;
        while (i < lines_.size() && !(haveVertices && haveFaces) && refused == ModelError::None) {
            std::string_view line = lines_[i++];
            if (!haveVertices && search(line, {lit("vertex "), kUInt}, c)) {
                haveVertices = true;
                uint32_t n = toUInt(c[0]);
                for (uint32_t k = 0; k < n && i < lines_.size(); ++k) vertexLine(lines_[i++]);
            } else if (!haveFaces && search(line, {lit("face "), kUInt}, c)) {
                haveFaces = true;
                uint32_t n = toUInt(c[0]);
                for (uint32_t k = 0; k < n && i < lines_.size(); ++k)
                    faceLine(lines_[i++], base, faces);
            } else if (search(line, {lit("facet "), kUFloat}, c)) {
                facet = toFloat(c[0]);
            } else if (search(line, {lit("shading "), kUInt}, c)) {
                flat = toUInt(c[0]) == 0;
            }
        }
        normals(faces, base, flat ? -1.0f : facet);
        return i;
    }

    void vertexLine(std::string_view line) {
        std::vector<std::string_view> c;
        // The three numbers may start anywhere, so try every start like a search would.
        for (size_t p = 0; p < line.size(); ++p) {
            if (line[p] != '-' && !isDigit(line[p])) continue;
            if (matchAt(line, p, {kSFloat, lit(" "), kSFloat, lit(" "), kSFloat}, c)) {
                Vec3 p{toFloat(c[0]), toFloat(c[1]), -toFloat(c[2])};
                if (refused == ModelError::None) data_.positions.push_back(p);
                return;
            }
        }
    }

    void faceLine(std::string_view line, size_t base, std::vector<Face>& faces) {
        std::vector<std::string_view> c;
        Face f{};
        if (search(line,
                   {lit("V("), kUInt, lit(" "), kUInt, lit(" "), kUInt, lit(" "), kUInt, lit(")")},
                   c))
            f.count = 4;
        else if (search(line, {lit("V("), kUInt, lit(" "), kUInt, lit(" "), kUInt, lit(")")}, c))
            f.count = 3;
        else
            return;
        size_t objectVertices = data_.positions.size() - base;
        for (uint32_t k = 0; k < f.count; ++k) {
            f.corners[k] = toUInt(c[k]);
            if (f.corners[k] >= objectVertices) {
                refuse(ModelError::Index);
                return;
            }
        }
        uint32_t material = kNoMaterial;
        if (search(line, {lit("M("), kUInt, lit(")")}, c)) material = toUInt(c[0]);
        float uv[8] = {};
        bool haveUv =
            f.count == 3
                ? search(line,
                         {lit("UV("), kUFloat, lit(" "), kUFloat, lit(" "), kUFloat, lit(" "),
                          kUFloat, lit(" "), kUFloat, lit(" "), kUFloat, lit(")")},
                         c)
                : search(line,
                         {lit("UV("), kUFloat, lit(" "), kUFloat, lit(" "), kUFloat, lit(" "),
                          kUFloat, lit(" "), kUFloat, lit(" "), kUFloat, lit(" "), kUFloat,
                          lit(" "), kUFloat, lit(")")},
                         c);
        if (haveUv)
            for (uint32_t k = 0; k < f.count * 2; ++k) uv[k] = toFloat(c[k]);

        if (refused != ModelError::None) return;
        if (data_.vertices.size() + f.count > 65536) {
            refuse(ModelError::TooManyVertices);
            return;
        }
        f.firstVertex = uint32_t(data_.vertices.size());
        for (uint32_t k = 0; k < f.count; ++k) {
            const Vec3& p = data_.positions[base + f.corners[k]];
            data_.vertices.push_back({{p[0], p[1], p[2]}, {0, 0, 0}, {uv[k * 2], uv[k * 2 + 1]}});
        }
        auto v = [&](uint32_t k) { return uint16_t(f.firstVertex + k); };
        data_.triangles.push_back({material, {v(0), v(1), v(2)}});
        if (f.count == 4) data_.triangles.push_back({material, {v(0), v(2), v(3)}});

        // The face's normal: its triangles' cross products summed (each points out of the
        // side that is drawn, clockwise as seen), so a bent quad gets their mean.
        auto at = [&](uint32_t k) { return data_.positions[base + f.corners[k]]; };
        Vec3 n = cross(sub(at(1), at(0)), sub(at(2), at(0)));
        if (f.count == 4) {
            Vec3 m = cross(sub(at(2), at(0)), sub(at(3), at(0)));
            n = {n[0] + m[0], n[1] + m[1], n[2] + m[2]};
        }
        f.normal = normalised(n);
        faces.push_back(f);
    }

    // Per face, or per corner the mean of the faces at that vertex whose normals lie within
    // the facet angle of this face's.
    void normals(const std::vector<Face>& faces, size_t base, float facet) {
        if (facet < 0.0f) {
            for (const Face& f : faces)
                for (uint32_t k = 0; k < f.count; ++k)
                    std::copy(f.normal.begin(), f.normal.end(),
                              data_.vertices[f.firstVertex + k].normal);
            return;
        }
        float limit = std::cos(std::min(facet, 180.0f) * 3.14159265f / 180.0f) - 1e-5f;
        std::vector<std::vector<uint32_t>> at(data_.positions.size() - base);
        for (uint32_t i = 0; i < faces.size(); ++i)
            for (uint32_t k = 0; k < faces[i].count; ++k) at[faces[i].corners[k]].push_back(i);
        for (const Face& f : faces)
            for (uint32_t k = 0; k < f.count; ++k) {
                Vec3 sum{0, 0, 0};
                for (uint32_t other : at[f.corners[k]]) {
                    const Vec3& n = faces[other].normal;
                    if (dot(n, f.normal) >= limit)
                        sum = {sum[0] + n[0], sum[1] + n[1], sum[2] + n[2]};
                }
                Vec3 n = normalised(sum);
                if (n == Vec3{0, 0, 0}) n = f.normal;
                std::copy(n.begin(), n.end(), data_.vertices[f.firstVertex + k].normal);
            }
    }

    std::vector<std::string_view> lines_;
    ModelData data_;
};

} // namespace

std::optional<ModelData> loadModelData(std::string_view text, ModelError* error) {
    auto fail = [&](ModelError e) -> std::optional<ModelData> {
        if (error) *error = e;
        return std::nullopt;
    };
    if (text.substr(0, 20) != "Metasequoia Document") return fail(ModelError::Header);
    refused = ModelError::None;
    ModelData data = Loader(text).load();
    if (refused != ModelError::None) return fail(refused);
    if (error) *error = ModelError::None;
    return data;
}

std::u16string textureDirectory(std::u16string_view path) {
    size_t cut = path.find_last_of(u"/\\");
    if (cut == std::u16string_view::npos) return {};
    std::u16string dir(path.substr(0, cut));
    if (!dir.empty() && dir.back() != u'/' && dir.back() != u'\\') dir += u'/';
    return dir;
}

} // namespace KoGraphics
