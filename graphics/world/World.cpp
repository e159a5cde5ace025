#include "graphics/world/World.h"

#include "graphics/Canvas.h"
#include "graphics/Image.h"
#include "graphics/gl/Shaders3d.h"

#include <algorithm>
#include <cmath>

namespace KoGraphics {

// --- matrices --------------------------------------------------------------------------------

Matrix identityMatrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
    return r;
}

std::array<float, 4> transformPoint(const Vector3& p, const Matrix& m) {
    std::array<float, 4> r{};
    for (int j = 0; j < 4; ++j) r[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
    return r;
}

Matrix rotationX(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}
Matrix rotationY(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}
Matrix rotationZ(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}
Matrix scaling(const Vector3& s) {
    return {s[0], 0, 0, 0, 0, s[1], 0, 0, 0, 0, s[2], 0, 0, 0, 0, 1};
}
Matrix translation(const Vector3& t) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, t[0], t[1], t[2], 1};
}

namespace {
Vector3 minus(const Vector3& a, const Vector3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Vector3& a, const Vector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 normalise(const Vector3& v) {
    float l = std::sqrt(dot(v, v));
    return l > 0.0f ? Vector3{v[0] / l, v[1] / l, v[2] / l} : Vector3{0, 0, 0};
}
} // namespace

Matrix lookAt(const Vector3& eye, const Vector3& at, const Vector3& up) {
    Vector3 z = normalise(minus(at, eye));
    Vector3 x = normalise(cross(up, z));
    Vector3 y = cross(z, x);
    return {x[0], y[0], z[0], 0, x[1],         y[1],         z[1],         0,
            x[2], y[2], z[2], 0, -dot(x, eye), -dot(y, eye), -dot(z, eye), 1};
}

Matrix perspective(float fov, float aspect, float n, float f) {
    float ys = 1.0f / std::tan(fov / 2.0f);
    float xs = ys / aspect;
    return {xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, f / (f - n), 1, 0, 0, -n * f / (f - n), 0};
}

// --- effects ---------------------------------------------------------------------------------

namespace {

bool glsl(IEngine& engine) {
    auto caps = engine.getCaps();
    return caps && caps->getShaderLanguage() == "GLSL";
}

bool applyCommon(IShader& shader, const Draw3d& d) {
    shader.setMatrix("mWorld", d.world->data());
    shader.setMatrix("mViewProj", d.viewProj->data());
    shader.setColor("vDiffuse", d.diffuse);
    shader.setInt("nTextured", d.texture ? 1 : 0);
    if (d.texture) shader.setTexture("tBase", d.texture);
    return true;
}

class BasicEffect3d final : public IEffect3d {
public:
    uint32_t getType() override { return Effect3dBasic; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override {
        return glsl(engine) ? engine.createShader(Gl::kBasic3dShaderSource) : nullptr;
    }
    bool apply(IEngine&, IShader& shader, const Draw3d& draw) override {
        return applyCommon(shader, draw);
    }
};

} // namespace

std::shared_ptr<IEffect3d> basicEffect3d() {
    static auto effect = std::make_shared<BasicEffect3d>();
    return effect;
}

std::shared_ptr<IShader> FogEffect3d::createShader(IEngine& engine) {
    return glsl(engine) ? engine.createShader(Gl::kFog3dShaderSource) : nullptr;
}

bool FogEffect3d::apply(IEngine&, IShader& shader, const Draw3d& draw) {
    applyCommon(shader, draw);
    shader.setColor("vFogColor", color);
    shader.setFloat("fFogNear", nearZ);
    shader.setFloat("fFogFar", farZ);
    return true;
}

// --- models ----------------------------------------------------------------------------------

std::shared_ptr<Model> Model::build(IEngine& engine, const ModelData& data,
                                    const std::u16string& path) {
    if (data.vertices.empty() || data.materials.empty()) return nullptr;
    auto model = std::make_shared<Model>();
    model->vertices = engine.createVertexBuffer(5, BufferDevice);
    model->indices = engine.createIndexBuffer(Index16, BufferDevice);
    if (!model->vertices || !model->indices) return nullptr;
    model->vertices->append(data.vertices.data(), data.vertices.size() * sizeof(ModelVertex));

    std::u16string dir = textureDirectory(path);
    for (uint32_t m = 0; m < data.materials.size(); ++m) {
        const ModelMaterial& material = data.materials[m];
        Subset s;
        s.first = model->indices->getCount();
        for (const ModelTriangle& t : data.triangles)
            if (t.material == m) {
                model->indices->append(t.index, sizeof t.index);
                ++s.count;
            }
        s.diffuse = material.diffuse;
        s.ambient = material.ambient;
        s.specular = material.specular;
        s.emissive = material.emissive;
        s.power = material.power;
        for (size_t stage = 0; stage < 4; ++stage) {
            const std::string& name = material.textures[stage];
            if (name.empty()) continue;
            // The loader admits only letters, digits and one dot: plain ASCII.
            if (auto image = loadImage(engine, dir + std::u16string(name.begin(), name.end())))
                s.textures[stage] = image->getTexture();
        }
        model->subsets.push_back(std::move(s));
    }
    model->computeBox();
    return model;
}

std::shared_ptr<Model> Model::copy() const {
    auto m = std::make_shared<Model>(*this);
    m->computeBox();
    return m;
}

uint32_t Model::byteSize() const {
    uint64_t size = vertices->getSize() + indices->getSize();
    for (const Subset& s : subsets)
        for (const auto& t : s.textures)
            if (t) size += uint64_t(t->getWidth()) * t->getHeight() * 4;
    return uint32_t(std::min<uint64_t>(size, UINT32_MAX));
}

void Model::computeBox() {
    Vector3 lo{0, 0, 0}, hi{0, 0, 0};
    for (uint32_t i = 0; i < vertices->getCount(); ++i) {
        const float* p = vertices->getPosition(i);
        for (int k = 0; k < 3; ++k) {
            lo[k] = i ? std::min(lo[k], p[k]) : p[k];
            hi[k] = i ? std::max(hi[k], p[k]) : p[k];
        }
    }
    for (int c = 0; c < 8; ++c)
        box[c] = {c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]};
}

namespace {
struct ModelCache {
    std::map<std::u16string, std::shared_ptr<Model>> models;
    uint32_t total = 0;
};
ModelCache& modelCache() {
    static ModelCache cache;
    return cache;
}
} // namespace

std::shared_ptr<Model> loadCachedModel(IEngine& engine, const std::u16string& path,
                                       ModelError* refused) {
    if (refused) *refused = ModelError::None;
    ModelCache& cache = modelCache();
    auto it = cache.models.find(path);
    if (it != cache.models.end()) return it->second;
    auto bytes = readFileBytes(path);
    if (!bytes) return nullptr;
    auto data = loadModelData(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), refused);
    if (!data) return nullptr;
    auto model = Model::build(engine, *data, path);
    if (!model) return nullptr;
    uint32_t size = model->byteSize();
    if (uint64_t(cache.total) + size > kModelCacheBudget) {
        cache.models.clear();
        cache.total = 0;
    }
    cache.models.emplace(path, model);
    cache.total += size;
    return model;
}

void clearModelCache() {
    modelCache().models.clear();
    modelCache().total = 0;
}
uint32_t modelCacheBytes() {
    return modelCache().total;
}
size_t modelCacheSize() {
    return modelCache().models.size();
}

// --- actors and worlds -----------------------------------------------------------------------

Matrix Actor::worldMatrix() const {
    Matrix m = multiply(rotationX(rotation[0]), rotationY(rotation[1]));
    m = multiply(m, rotationZ(rotation[2]));
    m = multiply(m, scaling(scale));
    return multiply(m, translation(position));
}

// Clip space of the projection: -w <= x, y <= w and 0 <= z <= w inside. A box is hidden only
// when one plane has every corner on its outer side; corners outside different planes can
// still span the view (a camera inside a building).
bool outsideView(const std::array<Vector3, 8>& box, const Matrix& m) {
    uint32_t outside = 0x3F;
    for (const Vector3& corner : box) {
        auto c = transformPoint(corner, m);
        uint32_t bits = 0;
        if (c[0] < -c[3]) bits |= 1;
        if (c[0] > c[3]) bits |= 2;
        if (c[1] < -c[3]) bits |= 4;
        if (c[1] > c[3]) bits |= 8;
        if (c[2] < 0) bits |= 16;
        if (c[2] > c[3]) bits |= 32;
        outside &= bits;
    }
    return outside != 0;
}

std::shared_ptr<Actor> World::createActor(IEngine& engine, const std::u16string& path,
                                          ModelError* refused) {
    auto model = loadCachedModel(engine, path, refused);
    if (!model) return nullptr;
    auto actor = std::make_shared<Actor>(model->copy());
    actors_.push_back(actor);
    return actor;
}

std::vector<std::shared_ptr<Actor>> World::drawList() {
    std::vector<std::shared_ptr<Actor>> list;
    std::erase_if(actors_, [&](const std::weak_ptr<Actor>& w) {
        auto a = w.lock();
        if (!a || a->released) return true;
        list.push_back(std::move(a));
        return false;
    });
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a->priority > b->priority; });
    return list;
}

std::shared_ptr<IShader> World::shaderFor(IEngine& engine, IEffect3d& effect) {
    if (shaderEngine_ != &engine) {
        shaders_.clear();
        shaderEngine_ = &engine;
    }
    auto it = shaders_.find(effect.getType());
    if (it != shaders_.end()) return it->second;
    auto shader = effect.createShader(engine);
    shaders_.emplace(effect.getType(), shader); // a failure is remembered too
    return shader;
}

int32_t drawWorld(Canvas& canvas, World& world, const Camera& camera) {
    if (!canvas.isDrawing()) return -1;
    IEngine& engine = canvas.engine();
    canvas.renderer().flush();
    engine.setTarget(canvas.getTarget());
    engine.clearDepth(1.0f);
    Matrix viewProj = multiply(camera.view(), camera.projection());

    uint32_t cull = engine.getCullMode();
    engine.setDepthTest(true);
    engine.setCullMode(CullCounterClockwise);
    engine.setBlendMode(BlendNormal);
    int32_t drawn = 0;
    for (const auto& actor : world.drawList()) {
        if (!actor->visible) continue;
        Matrix w = actor->worldMatrix();
        if (actor->clipping && outsideView(actor->model().box, multiply(w, viewProj))) continue;
        Model& model = actor->model();
        engine.setVertexBuffer(model.vertices);
        engine.setIndexBuffer(model.indices);
        for (const Subset& s : model.subsets) {
            if (!s.count) continue;
            IEffect3d& effect = s.effect ? *s.effect : *basicEffect3d();
            auto shader = world.shaderFor(engine, effect);
            if (!shader) continue;
            Draw3d d{&w, &viewProj, s.diffuse, s.textures[0]};
            if (effect.apply(engine, *shader, d) && shader->begin()) {
                engine.drawIndexedPrimitive(s.type, s.count, s.first);
                shader->end();
            }
        }
        ++drawn;
    }
    engine.setDepthTest(false);
    engine.setCullMode(cull);
    return drawn;
}

} // namespace KoGraphics
