#include "collision/IShape.h"

#include <cmath>

namespace KoCollision {
namespace {

// Coordinate differences go to single precision before any multiplication; the difference
// itself is taken exactly so far-apart coordinates do not wrap.
float fdiff(int32_t a, int32_t b) {
    return static_cast<float>(int64_t(a) - int64_t(b));
}

float dist(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    float dx = fdiff(x1, x2), dy = fdiff(y1, y2);
    return std::sqrt(dx * dx + dy * dy);
}

// The segment rule works in wrapping 32-bit integers, products included.
int32_t wsub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}
int32_t wmul(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) * uint32_t(b));
}
int32_t wadd(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

struct Seg {
    int32_t sx, sy, ex, ey;
};

Seg segOf(const ILine& l) {
    return {l.getSX(), l.getSY(), l.getEX(), l.getEY()};
}

bool inRect(int32_t x, int32_t y, const IRectangle& r) {
    return r.getLeft() <= x && x <= r.getRight() && r.getTop() <= y && y <= r.getBottom();
}

bool pointPoint(const IPoint& a, const IPoint& b) {
    return a.getX() == b.getX() && a.getY() == b.getY();
}

bool pointCircle(const IPoint& p, const ICircle& c) {
    return dist(p.getX(), p.getY(), c.getX(), c.getY()) <= float(c.getRadius());
}

// Angular tolerance: the normalised directions must agree to 1e-5, and the point must not
// lie beyond the end. The start point normalises to (0, 0) and so is never on the segment.
bool pointLine(const IPoint& p, const ILine& l) {
    float dx = fdiff(l.getEX(), l.getSX()), dy = fdiff(l.getEY(), l.getSY());
    float vx = fdiff(p.getX(), l.getSX()), vy = fdiff(p.getY(), l.getSY());
    float dl = std::sqrt(dx * dx + dy * dy), vl = std::sqrt(vx * vx + vy * vy);
    float ndx = 0, ndy = 0, nvx = 0, nvy = 0;
    if (dl != 0) ndx = dx / dl, ndy = dy / dl;
    if (vl != 0) nvx = vx / vl, nvy = vy / vl;
    float dot = ndx * nvx + ndy * nvy;
    return std::fabs(dot - 1.0f) <= 0.00001f && vl <= dl;
}

// Sign tests of each segment's ends against the other, with the side values in wrapping
// 32-bit integers. Collinear segments always pass.
bool segSeg(const Seg& a, const Seg& b) {
    int32_t f1 =
        wadd(wmul(wsub(b.sx, a.sx), wsub(b.sy, b.ey)), wmul(wsub(b.sx, b.ex), wsub(a.sy, b.sy)));
    int32_t f2 =
        wadd(wmul(wsub(b.sy, b.ey), wsub(b.sx, a.ex)), wmul(wsub(a.ey, b.sy), wsub(b.sx, b.ex)));
    int32_t f3 =
        wadd(wmul(wsub(a.sx, a.ex), wsub(b.sy, a.sy)), wmul(wsub(a.sy, a.ey), wsub(a.sx, b.sx)));
    int32_t f4 =
        wadd(wmul(wsub(a.sx, a.ex), wsub(b.ey, a.sy)), wmul(wsub(a.sy, a.ey), wsub(a.sx, b.ex)));
    // The side values are quadratic in the coordinates, so their product is compared
    // exactly: a 32-bit product of two of them overflows already at screen sizes.
    return int64_t(f1) * f2 <= 0 && int64_t(f3) * f4 <= 0;
}

// End regions count touching; the middle region is strict.
bool segCircle(const Seg& s, const ICircle& c) {
    float dx = fdiff(s.ex, s.sx), dy = fdiff(s.ey, s.sy);
    float wx = fdiff(c.getX(), s.sx), wy = fdiff(c.getY(), s.sy);
    float t = dx * wx + dy * wy;
    float r = float(c.getRadius());
    if (t <= 0) return dist(s.sx, s.sy, c.getX(), c.getY()) <= r;
    float len2 = dx * dx + dy * dy;
    if (len2 <= t) return dist(s.ex, s.ey, c.getX(), c.getY()) <= r;
    float r2 = float(wmul(c.getRadius(), c.getRadius()));
    return (wx * wx + wy * wy) - t * t / len2 < r2;
}

// Edges in the order top, left, right, bottom.
template <class F>
bool anyEdge(const IRectangle& r, F&& test) {
    int32_t l = r.getLeft(), t = r.getTop(), rt = r.getRight(), b = r.getBottom();
    return test(Seg{l, t, rt, t}) || test(Seg{l, t, l, b}) || test(Seg{rt, t, rt, b}) ||
           test(Seg{l, b, rt, b});
}

bool lineRect(const ILine& line, const IRectangle& r) {
    Seg s = segOf(line);
    if (inRect(s.sx, s.sy, r) || inRect(s.ex, s.ey, r)) return true;
    return anyEdge(r, [&](const Seg& e) { return segSeg(s, e); });
}

bool rectRect(const IRectangle& a, const IRectangle& b) {
    return a.getLeft() <= b.getRight() && b.getLeft() <= a.getRight() &&
           a.getTop() <= b.getBottom() && b.getTop() <= a.getBottom();
}

bool circleCircle(const ICircle& a, const ICircle& b) {
    float reach = float(int64_t(a.getRadius()) + b.getRadius());
    return dist(a.getX(), a.getY(), b.getX(), b.getY()) <= reach;
}

bool circleRect(const ICircle& c, const IRectangle& r) {
    if (inRect(c.getX(), c.getY(), r)) return true;
    return anyEdge(r, [&](const Seg& e) { return segCircle(e, c); });
}

bool groupAny(IGroup& g, IShape& other) {
    for (uint32_t i = 0, n = g.getCount(); i < n; ++i) {
        auto member = g.getShape(i);
        if (member && intersects(*member, other)) return true;
    }
    return false;
}

// A shape whose type id and casts disagree matches no rule.
template <class A, class B, class F>
bool both(const std::shared_ptr<A>& a, const std::shared_ptr<B>& b, F&& test) {
    return a && b && test(*a, *b);
}

} // namespace

bool intersects(IShape& a, IShape& b) {
    int32_t ta = a.getType(), tb = b.getType();
    if (ta == GROUP) {
        auto g = a.asGroup();
        return g && groupAny(*g, b);
    }
    if (tb == GROUP) {
        auto g = b.asGroup();
        return g && groupAny(*g, a);
    }
    // One routine per unordered pair: put the lower type id first.
    IShape* x = &a;
    IShape* y = &b;
    if (ta > tb) std::swap(x, y), std::swap(ta, tb);
    switch (ta * 8 + tb) {
    case POINT * 8 + POINT:
        return both(x->asPoint(), y->asPoint(), pointPoint);
    case POINT * 8 + LINE:
        return both(x->asPoint(), y->asLine(), pointLine);
    case POINT * 8 + CIRCLE:
        return both(x->asPoint(), y->asCircle(), pointCircle);
    case POINT * 8 + RECTANGLE:
        return both(x->asPoint(), y->asRectangle(), [](const IPoint& p, const IRectangle& r) {
            return inRect(p.getX(), p.getY(), r);
        });
    case LINE * 8 + LINE:
        return both(x->asLine(), y->asLine(),
                    [](const ILine& p, const ILine& q) { return segSeg(segOf(p), segOf(q)); });
    case LINE * 8 + CIRCLE:
        return both(x->asLine(), y->asCircle(),
                    [](const ILine& l, const ICircle& c) { return segCircle(segOf(l), c); });
    case LINE * 8 + RECTANGLE:
        return both(x->asLine(), y->asRectangle(), lineRect);
    case CIRCLE * 8 + CIRCLE:
        return both(x->asCircle(), y->asCircle(), circleCircle);
    case CIRCLE * 8 + RECTANGLE:
        return both(x->asCircle(), y->asRectangle(), circleRect);
    case RECTANGLE * 8 + RECTANGLE:
        return both(x->asRectangle(), y->asRectangle(), rectRect);
    }
    return false;
}

} // namespace KoCollision
