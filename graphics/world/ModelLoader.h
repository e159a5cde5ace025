#pragma once
// Models in the Metasequoia text format (the subset games of this kind ship): materials,
// objects, vertices and faces, read without any device.
#include "graphics/Types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace KoGraphics {

// Position, normal, texture coordinate: vertex format 5 (32 bytes).
struct ModelVertex {
    float position[3];
    float normal[3];
    float uv[2];
};
static_assert(sizeof(ModelVertex) == 32);

struct ModelTriangle {
    uint32_t material; // kNoMaterial for a face without one: never drawn
    uint16_t index[3];
};
inline constexpr uint32_t kNoMaterial = 0xFFFFFFFF;

struct ModelMaterial {
    Color base = 0xFFFFFFFF;
    Color diffuse = 0xFFFFFFFF, ambient = 0xFF000000, emissive = 0xFF000000, specular = 0xFF000000;
    float power = 0.0f;
    std::array<std::string, 4> textures; // only the first is ever filled
};

struct ModelData {
    std::vector<std::array<float, 3>> positions; // (x, y, -z) of the file
    std::vector<ModelVertex> vertices;           // one per face corner
    std::vector<ModelTriangle> triangles;
    std::vector<ModelMaterial> materials;
};

// Why a file was refused.
enum class ModelError {
    None,
    Header,          // not "Metasequoia Document"
    Number,          // a number too large for its type, or none where the line promises one
    Index,           // a face names a vertex its object does not have
    TooManyVertices, // more drawn vertices than 16-bit indices reach
};

// Empty (with the reason in *error) when the text is no model.
std::optional<ModelData> loadModelData(std::string_view text, ModelError* error = nullptr);

// The texture folder of a model path: the text before its last '/' or '\' with a '/' appended
// when it ends in neither; empty for a path without a separator.
std::u16string textureDirectory(std::u16string_view modelPath);

} // namespace KoGraphics
