#include "collision/IShape.h"

#include <algorithm>

namespace KoCollision::Core {

// Each concrete shape casts to its own kind through the weak self-reference.
template <class I, class Self>
std::shared_ptr<I> selfAs(Self* self) {
    return std::static_pointer_cast<I>(std::static_pointer_cast<Self>(self->shared_from_this()));
}

class Point final : public IPoint {
public:
    Point(int32_t x, int32_t y) : x_(x), y_(y) {}
    int32_t getType() const override { return POINT; }
    std::shared_ptr<IPoint> asPoint() override { return selfAs<IPoint>(this); }
    std::shared_ptr<IShape> clone() const override { return createPoint(x_, y_); }
    void setX(int32_t v) override { x_ = v; }
    int32_t getX() const override { return x_; }
    void setY(int32_t v) override { y_ = v; }
    int32_t getY() const override { return y_; }

private:
    int32_t x_, y_;
};

class Line final : public ILine {
public:
    Line(int32_t sx, int32_t sy, int32_t ex, int32_t ey) : sx_(sx), sy_(sy), ex_(ex), ey_(ey) {}
    int32_t getType() const override { return LINE; }
    std::shared_ptr<ILine> asLine() override { return selfAs<ILine>(this); }
    std::shared_ptr<IShape> clone() const override { return createLine(sx_, sy_, ex_, ey_); }
    void setSX(int32_t v) override { sx_ = v; }
    int32_t getSX() const override { return sx_; }
    void setSY(int32_t v) override { sy_ = v; }
    int32_t getSY() const override { return sy_; }
    void setEX(int32_t v) override { ex_ = v; }
    int32_t getEX() const override { return ex_; }
    void setEY(int32_t v) override { ey_ = v; }
    int32_t getEY() const override { return ey_; }

private:
    int32_t sx_, sy_, ex_, ey_;
};

class Rectangle final : public IRectangle {
public:
    Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) : l_(l), t_(t), r_(r), b_(b) {}
    int32_t getType() const override { return RECTANGLE; }
    std::shared_ptr<IRectangle> asRectangle() override { return selfAs<IRectangle>(this); }
    // Goes through the normalising factory, so a clone of a flipped rectangle is upright.
    std::shared_ptr<IShape> clone() const override { return createRectangle(l_, t_, r_, b_); }
    void setLeft(int32_t v) override { l_ = v; }
    int32_t getLeft() const override { return l_; }
    void setTop(int32_t v) override { t_ = v; }
    int32_t getTop() const override { return t_; }
    void setRight(int32_t v) override { r_ = v; }
    int32_t getRight() const override { return r_; }
    void setBottom(int32_t v) override { b_ = v; }
    int32_t getBottom() const override { return b_; }

private:
    int32_t l_, t_, r_, b_;
};

class Circle final : public ICircle {
public:
    Circle(int32_t x, int32_t y, int32_t r) : x_(x), y_(y), r_(r) {}
    int32_t getType() const override { return CIRCLE; }
    std::shared_ptr<ICircle> asCircle() override { return selfAs<ICircle>(this); }
    std::shared_ptr<IShape> clone() const override { return createCircle(x_, y_, r_); }
    void setX(int32_t v) override { x_ = v; }
    int32_t getX() const override { return x_; }
    void setY(int32_t v) override { y_ = v; }
    int32_t getY() const override { return y_; }
    bool setRadius(int32_t r) override {
        if (r < 0) return false;
        r_ = r;
        return true;
    }
    int32_t getRadius() const override { return r_; }

private:
    int32_t x_, y_, r_;
};

} // namespace KoCollision::Core

namespace KoCollision {

std::shared_ptr<IPoint> createPoint(int32_t x, int32_t y) {
    return std::make_shared<Core::Point>(x, y);
}

std::shared_ptr<ILine> createLine(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
    return std::make_shared<Core::Line>(sx, sy, ex, ey);
}

std::shared_ptr<IRectangle> createRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return std::make_shared<Core::Rectangle>(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2),
                                             std::max(y1, y2));
}

std::shared_ptr<ICircle> createCircle(int32_t x, int32_t y, int32_t radius) {
    if (radius < 0) return nullptr;
    return std::make_shared<Core::Circle>(x, y, radius);
}

} // namespace KoCollision
