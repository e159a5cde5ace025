#pragma once
// Vertex and index buffers: growable byte arrays, uploaded to the device when changed.
#include <cstddef>
#include <cstdint>

namespace KoGraphics {

// Vertex formats 1-10; 2 is the 2D vertex: x, y, z float, ARGB colour, u, v float (24 bytes).
struct Vertex2d {
    float x, y, z;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(Vertex2d) == 24);

// A shape point (vertex format 1): x, y, z float, ARGB colour.
struct Point2d {
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(Point2d) == 16);

// Byte offsets of the elements of a vertex format; -1 where the format has none.
struct VertexLayout {
    int32_t position, blendWeight, blendIndices, normal, color, texcoord;
    uint32_t stride;
};
// The layout of formats 1-10; null for any other value.
const VertexLayout* vertexLayout(uint32_t format);

class IVertexBuffer {
public:
    virtual ~IVertexBuffer() = default;
    virtual uint32_t getFormat() = 0;
    virtual uint32_t getKind() = 0;
    virtual uint32_t getCount() = 0;
    virtual uint32_t getStride() = 0;
    virtual size_t getSize() = 0;
    // Address of vertex i (null unless i < count); marks the buffer changed.
    virtual uint8_t* getVertex(uint32_t i) = 0;
    virtual float* getPosition(uint32_t i) = 0;
    virtual float* getBlendWeight(uint32_t i) = 0;
    virtual uint8_t* getBlendIndices(uint32_t i) = 0;
    virtual float* getNormal(uint32_t i) = 0;
    virtual uint32_t* getColor(uint32_t i) = 0;
    virtual float* getTexcoord(uint32_t i) = 0;
    virtual void clear() = 0;
    virtual void append(const void* bytes, size_t length) = 0;
    // The bytes themselves (for drawing).
    virtual const uint8_t* data() = 0;
};

class IIndexBuffer {
public:
    virtual ~IIndexBuffer() = default;
    virtual uint32_t getFormat() = 0;
    virtual uint32_t getKind() = 0;
    virtual uint32_t getCount() = 0;
    virtual uint32_t getIndexSize() = 0;
    virtual size_t getSize() = 0;
    virtual uint8_t* getIndex(uint32_t i) = 0;
    virtual void clear() = 0;
    virtual void append(const void* bytes, size_t length) = 0;
    virtual const uint8_t* data() = 0;
};

} // namespace KoGraphics
