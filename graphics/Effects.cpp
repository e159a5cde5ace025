#include "graphics/IEffect2d.h"

#include <string>

namespace KoGraphics {
namespace {

// Pixel coordinates to clip space; (0, 0) is the target's top-left corner, y grows downwards.
// The vertex stage is shared; each effect supplies shade(c) and shadeTextured(t, c) for the
// fragment stage. Textured and untextured batches get programs of their own (KO_TEXTURED):
// llvmpipe runs both sides of a branch on a uniform, which cost a sprite storm about 3 % of
// its shading.
const char* const kCommon = R"(
#ifdef KO_VERTEX
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexcoord;
uniform int nTargetWidth;
uniform int nTargetHeight;
out vec4 vColor;
out vec2 vTexcoord;
void main() {
    float x = aPosition.x / float(nTargetWidth) * 2.0 - 1.0;
    float y = -(aPosition.y / float(nTargetHeight) * 2.0 - 1.0);
    gl_Position = vec4(x, y * koFlipY, 0.0, 1.0);
    vColor = aColor;
    vTexcoord = aTexcoord;
}
#else
in vec4 vColor;
in vec2 vTexcoord;
out vec4 fragColor;
uniform sampler2D tBase;
vec4 shade(vec4 c);
vec4 shadeTextured(vec4 t, vec4 c);
void main() {
#ifdef KO_TEXTURED
    fragColor = shadeTextured(texture(tBase, vTexcoord), vColor);
#else
    fragColor = shade(vColor);
#endif
}
float luma(vec4 x) { return 0.298912 * x.r + 0.586611 * x.g + 0.114478 * x.b; }
)";

const char* const kBasic = R"(
vec4 shade(vec4 c) { return c; }
vec4 shadeTextured(vec4 t, vec4 c) { return t * c; }
#endif
)";

const char* const kGray = R"(
vec4 shade(vec4 c) { float y = luma(c); return vec4(y, y, y, c.a); }
vec4 shadeTextured(vec4 t, vec4 c) { return shade(t * c); }
#endif
)";

const char* const kNega = R"(
vec4 shade(vec4 c) { return vec4(1.0 - c.rgb, c.a); }
vec4 shadeTextured(vec4 t, vec4 c) { return shade(t * c); }
#endif
)";

const char* const kSepia = R"(
vec4 shade(vec4 c) { float y = luma(c); return vec4(0.941176 * y, 0.784313 * y, 0.568627 * y, c.a); }
vec4 shadeTextured(vec4 t, vec4 c) { return shade(t * c); }
#endif
)";

// nFillColored: fill with vFillColor (its alpha scales) instead of the vertex colour.
const char* const kFill = R"(
uniform int nFillColored;
uniform vec4 vFillColor;
vec4 fillColor(vec4 c) { return nFillColored != 0 ? vec4(vFillColor.rgb, c.a * vFillColor.a) : c; }
vec4 shade(vec4 c) { return fillColor(c); }
vec4 shadeTextured(vec4 t, vec4 c) { vec4 f = fillColor(c); return vec4(f.rgb, t.a * f.a); }
#endif
)";

const char* const kAlphamap = R"(
uniform sampler2D tAlphamap;
uniform float fPower;
vec4 shade(vec4 c) { return vec4(0.0); }
vec4 shadeTextured(vec4 t, vec4 c) {
    float m = texture(tAlphamap, vTexcoord).r;
    vec4 r = t * c;
    r.a *= clamp(m + mix(-1.0, 1.0, fPower), 0.0, 1.0);
    return r;
}
#endif
)";

class Effect : public IEffect2d {
public:
    Effect(uint32_t type, const char* body) : type_(type), body_(body) {}
    uint32_t getType() override { return type_; }
    std::shared_ptr<IShader> createShader(IEngine& engine, bool textured) override {
        auto caps = engine.getCaps();
        if (!caps || caps->getShaderLanguage() != "GLSL") return nullptr;
        return engine.createShader((textured ? "#define KO_TEXTURED 1\n" : "") +
                                   std::string(kCommon) + body_);
    }
    bool apply(IEngine& engine, IShader& shader, const std::shared_ptr<ITexture>& texture) override {
        if (texture) shader.setTexture("tBase", texture);
        shader.setInt("nTargetWidth", engine.getTargetWidth());
        shader.setInt("nTargetHeight", engine.getTargetHeight());
        return true;
    }

private:
    uint32_t type_;
    const char* body_;
};

class FillEffect final : public Effect {
public:
    FillEffect() : Effect(EffectFill, kFill) {}
    explicit FillEffect(Color c) : Effect(EffectFill, kFill), colored_(true), color_(c) {}
    bool apply(IEngine& engine, IShader& shader, const std::shared_ptr<ITexture>& texture) override {
        Effect::apply(engine, shader, texture);
        shader.setInt("nFillColored", colored_ ? 1 : 0);
        shader.setColor("vFillColor", color_);
        return true;
    }

private:
    bool colored_ = false;
    Color color_ = 0xFFFFFFFF;
};

class AlphamapEffect final : public AlphamapEffect2d {
public:
    AlphamapEffect(std::shared_ptr<ITexture> map, float power)
        : base_(EffectAlphamap, kAlphamap), map_(std::move(map)), power_(power) {}
    uint32_t getType() override { return EffectAlphamap; }
    std::shared_ptr<IShader> createShader(IEngine& engine, bool textured) override {
        return base_.createShader(engine, textured);
    }
    bool apply(IEngine& engine, IShader& shader, const std::shared_ptr<ITexture>& texture) override {
        base_.apply(engine, shader, texture);
        shader.setTexture("tAlphamap", map_);
        shader.setFloat("fPower", power_);
        return true;
    }
    bool setPower(float power) override {
        if (!(power >= 0.0f && power <= 1.0f)) return false;
        power_ = power;
        return true;
    }
    float getPower() override { return power_; }

private:
    Effect base_;
    std::shared_ptr<ITexture> map_;
    float power_;
};

} // namespace

const char* const kScreenShaderSource = R"(
#ifdef KO_VERTEX
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexcoord;
uniform int nTargetWidth;
uniform int nTargetHeight;
out vec4 vColor;
out vec2 vTexcoord;
void main() {
    float x = aPosition.x / float(nTargetWidth) * 2.0 - 1.0;
    float y = -(aPosition.y / float(nTargetHeight) * 2.0 - 1.0);
    gl_Position = vec4(x, y * koFlipY, 0.0, 1.0);
    vColor = aColor;
    vTexcoord = aTexcoord;
}
#else
in vec4 vColor;
in vec2 vTexcoord;
out vec4 fragColor;
uniform sampler2D texBase;
// The canvas over opaque black, as normal blending onto a black window would give it.
void main() {
    vec4 t = texture(texBase, vTexcoord) * vColor;
    fragColor = vec4(t.rgb * t.a, 1.0);
}
#endif
)";

std::shared_ptr<IEffect2d> basicEffect() {
    static auto effect = std::make_shared<Effect>(EffectBasic, kBasic);
    return effect;
}
std::shared_ptr<IEffect2d> createGrayEffect() {
    return std::make_shared<Effect>(EffectGray, kGray);
}
std::shared_ptr<IEffect2d> createNegaEffect() {
    return std::make_shared<Effect>(EffectNega, kNega);
}
std::shared_ptr<IEffect2d> createSepiaEffect() {
    return std::make_shared<Effect>(EffectSepia, kSepia);
}
std::shared_ptr<IEffect2d> createFillEffect() {
    return std::make_shared<FillEffect>();
}
std::shared_ptr<IEffect2d> createFillEffect(Color color) {
    return std::make_shared<FillEffect>(color);
}
std::shared_ptr<AlphamapEffect2d> createAlphamapEffect(std::shared_ptr<ITexture> map, float power) {
    if (!map) return nullptr;
    auto e = std::make_shared<AlphamapEffect>(std::move(map), 0.5f);
    if (!e->setPower(power)) return nullptr;
    return e;
}

} // namespace KoGraphics
