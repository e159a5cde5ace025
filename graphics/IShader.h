#pragma once
// A compiled effect. Parameters are set by name; begin() binds it for the draws up to end().
#include "graphics/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace KoGraphics {

class ITexture;

class IShader {
public:
    virtual ~IShader() = default;
    virtual bool setValue(std::string_view name, const void* bytes, size_t size) = 0;
    virtual bool setBool(std::string_view name, bool b) = 0;
    virtual bool setBoolArray(std::string_view name, const bool* values, uint32_t count) = 0;
    virtual bool setInt(std::string_view name, int32_t i) = 0;
    virtual bool setIntArray(std::string_view name, const int32_t* values, uint32_t count) = 0;
    virtual bool setFloat(std::string_view name, float f) = 0;
    virtual bool setFloatArray(std::string_view name, const float* values, uint32_t count) = 0;
    virtual bool setVector(std::string_view name, const float* xyzw) = 0;
    // Widened to (x, y, z, 1) and (x, y, 0, 1).
    virtual bool setVector3(std::string_view name, const float* xyz) = 0;
    virtual bool setVector2(std::string_view name, const float* xy) = 0;
    virtual bool setVectorArray(std::string_view name, const float* xyzw, uint32_t count) = 0;
    // The ARGB word as (r, g, b, a) / 255.
    virtual bool setColor(std::string_view name, Color color) = 0;
    virtual bool setColorArray(std::string_view name, const Color* colors, uint32_t count) = 0;
    // Row-major 4x4, row vectors (points multiply from the left).
    virtual bool setMatrix(std::string_view name, const float* m16) = 0;
    virtual bool setMatrixArray(std::string_view name, const float* m16, uint32_t count) = 0;
    virtual bool setTexture(std::string_view name, std::shared_ptr<ITexture> texture) = 0;
    virtual bool begin() = 0;
    virtual bool end() = 0;
    // Sends parameters changed between begin() and end().
    virtual bool commit() = 0;
};

} // namespace KoGraphics
