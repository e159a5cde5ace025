#pragma once
#include "script/Library.h"

#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace KoScript {

// The Math table: angle conversion, the seeded generator Math.Random, Bezier curves, and (in
// its built-in script) element-wise arithmetic and helpers.
class MathLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
};

namespace MathCore {

float toRadian(float deg);
float toDegree(float rad);

// One 32-bit engine output scaled into [min, max]: integers by truncation (max itself only
// when the scaled value reaches it), floats through [0, 1].
int32_t scaleInt(uint32_t u, int32_t min, int32_t max);
float scaleFloat(uint32_t u, float min, float max);

// MT19937 seeded with a 32-bit seed, as Math.Random holds it.
struct Random {
    explicit Random(uint32_t s) : seed(s), engine(s) {}
    int32_t nextInt(int32_t min, int32_t max) { return scaleInt(uint32_t(engine()), min, max); }
    float nextFloat(float min, float max) { return scaleFloat(uint32_t(engine()), min, max); }
    uint32_t seed;
    std::mt19937 engine;
};

// A curve through its control points by de Casteljau's construction in 32-bit floats; t is
// not clamped. No point gives no answer; one point is the curve everywhere.
class Bezier {
public:
    using Point = std::pair<float, float>;
    explicit Bezier(std::vector<Point> points)
        : points_(std::move(points)), scratch_(points_.size()) {}
    std::optional<Point> get(float t);
    size_t size() const { return points_.size(); }

private:
    std::vector<Point> points_;
    std::vector<Point> scratch_;
};

} // namespace MathCore

} // namespace KoScript
