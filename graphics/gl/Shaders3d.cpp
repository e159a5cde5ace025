#include "graphics/gl/Shaders3d.h"

namespace KoGraphics::Gl {
namespace {

// Matrices arrive as row-vector matrices read column-major, so `m * v` applies them.
// Depth leaves the vertex stage in the 0..w range of the projection and is moved to GL's -w..w.
#define KO_SHADER_3D_BODY                                                                          \
    "#ifdef KO_VERTEX\n"                                                                           \
    "layout(location = 0) in vec3 aPosition;\n"                                                    \
    "layout(location = 2) in vec2 aTexcoord;\n"                                                    \
    "layout(location = 3) in vec3 aNormal;\n"                                                      \
    "uniform mat4 mWorld;\n"                                                                       \
    "uniform mat4 mViewProj;\n"                                                                    \
    "uniform vec4 vDiffuse;\n"                                                                     \
    "out vec4 vColor;\n"                                                                           \
    "out vec2 vTexcoord;\n"                                                                        \
    "out float vFog;\n"                                                                            \
    "float fogFactor(float w);\n"                                                                  \
    "void main() {\n"                                                                              \
    "    vec4 clip = mViewProj * (mWorld * vec4(aPosition, 1.0));\n"                               \
    "    gl_Position = vec4(clip.x, clip.y * koFlipY, clip.z * 2.0 - clip.w, clip.w);\n"           \
    "    vec3 n = mat3(mWorld) * aNormal;\n"                                                       \
    "    n = dot(n, n) > 0.0 ? normalize(n) : vec3(0.0);\n"                                        \
    "    vec3 l = normalize(-vec3(-1.0, -1.0, 1.0));\n"                                            \
    "    float hl = max(dot(n, l), 0.0) * 0.5 + 0.5;\n"                                            \
    "    vColor = vDiffuse * vec4(hl, hl, hl, 1.0);\n"                                             \
    "    vTexcoord = aTexcoord;\n"                                                                 \
    "    vFog = fogFactor(clip.w);\n"                                                              \
    "}\n"                                                                                          \
    "#else\n"                                                                                      \
    "in vec4 vColor;\n"                                                                            \
    "in vec2 vTexcoord;\n"                                                                         \
    "in float vFog;\n"                                                                             \
    "out vec4 fragColor;\n"                                                                        \
    "uniform int nTextured;\n"                                                                     \
    "uniform sampler2D tBase;\n"                                                                   \
    "vec4 fog(vec4 c, float f);\n"                                                                 \
    "void main() {\n"                                                                              \
    "    vec4 c = nTextured != 0 ? vColor * texture(tBase, vTexcoord) : vColor;\n"                 \
    "    fragColor = fog(c, vFog);\n"                                                              \
    "}\n"                                                                                          \
    "#endif\n"

} // namespace

const char* const kBasic3dShaderSource =
    KO_SHADER_3D_BODY "#ifdef KO_VERTEX\n"
                      "float fogFactor(float w) { return 1.0; }\n"
                      "#else\n"
                      "vec4 fog(vec4 c, float f) { return c; }\n"
                      "#endif\n";

// The factor saturates before it is interpolated, as a colour register would hold it.
const char* const kFog3dShaderSource = KO_SHADER_3D_BODY
    "#ifdef KO_VERTEX\n"
    "uniform float fFogNear;\n"
    "uniform float fFogFar;\n"
    "float fogFactor(float w) { return clamp((fFogFar - w) / (fFogFar - fFogNear), 0.0, 1.0); }\n"
    "#else\n"
    "uniform vec4 vFogColor;\n"
    "vec4 fog(vec4 c, float f) { return mix(vFogColor, c, f); }\n"
    "#endif\n";

} // namespace KoGraphics::Gl
