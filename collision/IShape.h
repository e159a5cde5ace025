#pragma once
#include <cstdint>
#include <memory>

namespace KoCollision {

class IPoint;
class ILine;
class ICircle;
class IRectangle;
class IGroup;

// Type ids as scripts and the dispatcher see them.
enum ShapeType : int32_t { POINT = 1, LINE = 2, CIRCLE = 3, RECTANGLE = 4, GROUP = 5 };

// A plain value holder; intersects() holds the logic. The casts answer through a weak
// self-reference, so a shape must be created by a factory (make_shared).
class IShape : public std::enable_shared_from_this<IShape> {
public:
    virtual ~IShape() = default;
    virtual int32_t getType() const = 0;
    virtual std::shared_ptr<IPoint> asPoint() { return nullptr; }
    virtual std::shared_ptr<ILine> asLine() { return nullptr; }
    virtual std::shared_ptr<ICircle> asCircle() { return nullptr; }
    virtual std::shared_ptr<IRectangle> asRectangle() { return nullptr; }
    virtual std::shared_ptr<IGroup> asGroup() { return nullptr; }
    virtual std::shared_ptr<IShape> clone() const = 0;
};

class IPoint : public IShape {
public:
    virtual void setX(int32_t v) = 0;
    virtual int32_t getX() const = 0;
    virtual void setY(int32_t v) = 0;
    virtual int32_t getY() const = 0;
};

// A segment from (sx, sy) to (ex, ey).
class ILine : public IShape {
public:
    virtual void setSX(int32_t v) = 0;
    virtual int32_t getSX() const = 0;
    virtual void setSY(int32_t v) = 0;
    virtual int32_t getSY() const = 0;
    virtual void setEX(int32_t v) = 0;
    virtual int32_t getEX() const = 0;
    virtual void setEY(int32_t v) = 0;
    virtual int32_t getEY() const = 0;
};

// Axis-aligned; the edges belong to the rectangle.
class IRectangle : public IShape {
public:
    virtual void setLeft(int32_t v) = 0;
    virtual int32_t getLeft() const = 0;
    virtual void setTop(int32_t v) = 0;
    virtual int32_t getTop() const = 0;
    virtual void setRight(int32_t v) = 0;
    virtual int32_t getRight() const = 0;
    virtual void setBottom(int32_t v) = 0;
    virtual int32_t getBottom() const = 0;
};

class ICircle : public IShape {
public:
    virtual void setX(int32_t v) = 0;
    virtual int32_t getX() const = 0;
    virtual void setY(int32_t v) = 0;
    virtual int32_t getY() const = 0;
    // Refuses a negative radius (returns false, keeps the old one).
    virtual bool setRadius(int32_t r) = 0;
    virtual int32_t getRadius() const = 0;
};

// A set of shapes that intersects whatever any member intersects.
class IGroup : public IShape {
public:
    virtual uint32_t getCount() const = 0;
    virtual std::shared_ptr<IShape> getShape(uint32_t index) const = 0;
};

std::shared_ptr<IPoint> createPoint(int32_t x, int32_t y);
std::shared_ptr<ILine> createLine(int32_t sx, int32_t sy, int32_t ex, int32_t ey);
// Normalised: left/top are the smaller coordinates.
std::shared_ptr<IRectangle> createRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Empty when radius < 0.
std::shared_ptr<ICircle> createCircle(int32_t x, int32_t y, int32_t radius);

// Whether the two shapes touch or overlap. Symmetric; a pair no rule covers is false.
bool intersects(IShape& a, IShape& b);

} // namespace KoCollision
