#pragma once
// Simple 3D scenes: models built from model files, actors placing them, a camera, and the
// drawing of a world into a canvas with depth testing.
#include "graphics/IEngine.h"
#include "graphics/world/ModelLoader.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace KoGraphics {

class Canvas;

// Row-major 4x4 for row vectors: a point p becomes p x M.
using Matrix = std::array<float, 16>;
using Vector3 = std::array<float, 3>;

Matrix identityMatrix();
Matrix multiply(const Matrix& a, const Matrix& b);
// (x, y, z, 1) x M.
std::array<float, 4> transformPoint(const Vector3& p, const Matrix& m);
Matrix rotationX(float angle);
Matrix rotationY(float angle);
Matrix rotationZ(float angle);
Matrix scaling(const Vector3& s);
Matrix translation(const Vector3& t);
// Left-handed look-at and perspective (depth 0 at near, 1 at far).
Matrix lookAt(const Vector3& eye, const Vector3& at, const Vector3& up);
Matrix perspective(float fov, float aspect, float nearZ, float farZ);

// Draws one subset: effect types 0 basic, 1 fog.
struct Draw3d {
    const Matrix* world;
    const Matrix* viewProj;
    Color diffuse;
    std::shared_ptr<ITexture> texture;
};

class IEffect3d {
public:
    virtual ~IEffect3d() = default;
    virtual uint32_t getType() = 0;
    virtual std::shared_ptr<IShader> createShader(IEngine& engine) = 0;
    virtual bool apply(IEngine& engine, IShader& shader, const Draw3d& draw) = 0;
};
enum Effect3dType : uint32_t { Effect3dBasic = 0, Effect3dFog = 1 };
std::shared_ptr<IEffect3d> basicEffect3d();

// Linear fog by view depth: the fog colour at `far` and beyond, none at `near` and nearer.
class FogEffect3d final : public IEffect3d {
public:
    uint32_t getType() override { return Effect3dFog; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    bool apply(IEngine& engine, IShader& shader, const Draw3d& draw) override;
    Color color = 0xFFFFFFFF;
    float nearZ = 40.0f, farZ = 100.0f;
};

struct Subset {
    uint32_t type = TriangleList;
    uint32_t first = 0, count = 0; // first index, triangles
    Color diffuse = 0xFFFFFFFF, ambient = 0, specular = 0, emissive = 0;
    float power = 0.0f;
    std::array<std::shared_ptr<ITexture>, 4> textures;
    std::shared_ptr<IEffect3d> effect; // empty: the basic effect
};

class Model {
public:
    // Empty without vertices, without materials or when a buffer cannot be made. Textures are
    // loaded from the model's folder; one that cannot be loaded leaves its stage empty.
    static std::shared_ptr<Model> build(IEngine& engine, const ModelData& data,
                                        const std::u16string& path);
    // Shares the buffers and textures, owns its subsets.
    std::shared_ptr<Model> copy() const;
    uint32_t byteSize() const;

    std::shared_ptr<IVertexBuffer> vertices;
    std::shared_ptr<IIndexBuffer> indices;
    std::vector<Subset> subsets;
    std::array<Vector3, 8> box{}; // corners of the axis-aligned box of the vertices

    void computeBox();
};

// The model for a path from the process-wide cache, or built from the file and entered into
// it (an entry that would take the cache over its budget empties it first). Empty when no
// model can be had; *refused then says why the file was refused (ModelError::None for a
// missing file or one that builds no model).
std::shared_ptr<Model> loadCachedModel(IEngine& engine, const std::u16string& path,
                                       ModelError* refused = nullptr);
void clearModelCache();
uint32_t modelCacheBytes();
size_t modelCacheSize();
constexpr uint32_t kModelCacheBudget = 64000000;

class Actor {
public:
    explicit Actor(std::shared_ptr<Model> model) : model_(std::move(model)) {}
    Model& model() { return *model_; }
    // Rotation about X, then Y, then Z, then the scale, then the position.
    Matrix worldMatrix() const;

    bool released = false, visible = true, clipping = true;
    int32_t priority = 0;
    Vector3 position{0, 0, 0}, rotation{0, 0, 0}, scale{1, 1, 1};

private:
    std::shared_ptr<Model> model_;
};

struct Camera {
    Vector3 position{0, 0, 0}, look{0, 0, 1}, up{0, 1, 0};
    float fov = 1.0471975803375244f;
    float aspect = 0.0f;
    float nearZ = 1.0f, farZ = 5000.0f;
    Matrix view() const { return lookAt(position, look, up); }
    Matrix projection() const { return perspective(fov, aspect, nearZ, farZ); }
};

// True when the box, transformed by m (world x view x projection), lies wholly outside one
// plane of the view volume, so nothing of it can show.
bool outsideView(const std::array<Vector3, 8>& box, const Matrix& m);

class World {
public:
    // Null when no model can be had for the path.
    std::shared_ptr<Actor> createActor(IEngine& engine, const std::u16string& path,
                                       ModelError* refused = nullptr);
    // Drops expired and released actors; the rest by priority, higher first, equal ones in
    // creation order.
    std::vector<std::shared_ptr<Actor>> drawList();
    std::shared_ptr<IShader> shaderFor(IEngine& engine, IEffect3d& effect);

private:
    std::vector<std::weak_ptr<Actor>> actors_;
    IEngine* shaderEngine_ = nullptr;
    std::map<uint32_t, std::shared_ptr<IShader>> shaders_;
};

// Draws the world's actors into the canvas (which must be between begin and end) as the
// camera sees them. Returns the number of actors drawn, -1 when nothing could be drawn.
int32_t drawWorld(Canvas& canvas, World& world, const Camera& camera);

} // namespace KoGraphics
