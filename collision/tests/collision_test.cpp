#include "collision/IShape.h"

#include <gtest/gtest.h>

#include <vector>

using namespace KoCollision;

namespace {

// Every answer must be the same whichever shape comes first.
bool hit(const std::shared_ptr<IShape>& a, const std::shared_ptr<IShape>& b) {
    bool ab = intersects(*a, *b), ba = intersects(*b, *a);
    EXPECT_EQ(ab, ba) << "asymmetric for types " << a->getType() << "/" << b->getType();
    return ab;
}

class TestGroup final : public IGroup {
public:
    explicit TestGroup(std::vector<std::shared_ptr<IShape>> m) : members(std::move(m)) {}
    int32_t getType() const override { return GROUP; }
    std::shared_ptr<IGroup> asGroup() override {
        return std::static_pointer_cast<IGroup>(shared_from_this());
    }
    std::shared_ptr<IShape> clone() const override { return nullptr; }
    uint32_t getCount() const override { return uint32_t(members.size()); }
    std::shared_ptr<IShape> getShape(uint32_t i) const override { return members.at(i); }
    std::vector<std::shared_ptr<IShape>> members;
};

} // namespace

TEST(Shapes, RectangleIsNormalisedAndCloneRenormalises) {
    auto r = createRectangle(10, 10, 0, 0);
    EXPECT_EQ(r->getLeft(), 0);
    EXPECT_EQ(r->getTop(), 0);
    EXPECT_EQ(r->getRight(), 10);
    EXPECT_EQ(r->getBottom(), 10);
    r->setLeft(20); // setters store as given
    EXPECT_EQ(r->getLeft(), 20);
    auto c = r->clone()->asRectangle();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->getLeft(), 10);
    EXPECT_EQ(c->getRight(), 20);
    EXPECT_NE(c.get(), r.get());
}

TEST(Shapes, CircleRefusesNegativeRadius) {
    EXPECT_EQ(createCircle(0, 0, -1), nullptr);
    auto c = createCircle(1, 2, 0);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->setRadius(-5));
    EXPECT_EQ(c->getRadius(), 0);
    EXPECT_TRUE(c->setRadius(7));
    EXPECT_EQ(c->getRadius(), 7);
}

TEST(Shapes, CastsAnswerOnlyForOwnKind) {
    std::shared_ptr<IShape> p = createPoint(1, 2), l = createLine(0, 0, 1, 1);
    EXPECT_EQ(p->getType(), POINT);
    EXPECT_EQ(p->asPoint().get(), static_cast<IPoint*>(p.get()));
    EXPECT_FALSE(p->asLine());
    EXPECT_FALSE(p->asCircle());
    EXPECT_FALSE(l->asPoint());
    EXPECT_FALSE(l->asGroup());
    EXPECT_EQ(l->asLine()->getEY(), 1);
    EXPECT_EQ(createCircle(0, 0, 1)->getType(), CIRCLE);
    EXPECT_EQ(createRectangle(0, 0, 1, 1)->getType(), RECTANGLE);
}

TEST(Intersects, PointAgainstRectangleAndCircle) {
    auto p55 = createPoint(5, 5);
    EXPECT_TRUE(hit(p55, createRectangle(0, 0, 5, 5))); // edges belong
    EXPECT_FALSE(hit(createPoint(6, 5), createRectangle(0, 0, 5, 5)));
    auto circle = createCircle(0, 0, 5);
    EXPECT_FALSE(hit(p55, circle));              // 7.07 away
    EXPECT_TRUE(hit(createPoint(3, 4), circle)); // exactly 5: touching counts
    EXPECT_TRUE(hit(createPoint(1, 1), createPoint(1, 1)));
    EXPECT_FALSE(hit(createPoint(1, 1), createPoint(1, 2)));
}

TEST(Intersects, PointOnSegment) {
    auto seg = createLine(0, 0, 10, 0);
    EXPECT_TRUE(hit(createPoint(10, 0), seg)); // end point counts
    EXPECT_FALSE(hit(createPoint(0, 0), seg)); // start point does not
    EXPECT_TRUE(hit(createPoint(5, 0), seg));
    EXPECT_FALSE(hit(createPoint(11, 0), seg)); // beyond the end
    EXPECT_FALSE(hit(createPoint(-5, 0), seg)); // behind the start
    EXPECT_FALSE(hit(createPoint(5, 1), seg));
    EXPECT_FALSE(hit(createPoint(0, 0), createLine(0, 0, 0, 0))); // zero length holds nothing
    // The tolerance is an angle: far along a long segment, slightly off still counts.
    auto longSeg = createLine(0, 0, 100000, 0);
    EXPECT_TRUE(hit(createPoint(99000, 100), longSeg));
    EXPECT_FALSE(hit(createPoint(50, 5), longSeg));
}

TEST(Intersects, SegmentAgainstSegment) {
    EXPECT_TRUE(hit(createLine(0, 0, 1, 0), createLine(5, 0, 6, 0)));     // collinear, apart
    EXPECT_TRUE(hit(createLine(0, 0, 10, 10), createLine(0, 10, 10, 0))); // crossing
    EXPECT_TRUE(hit(createLine(0, 0, 3, 3), createLine(6, 0, 0, 6)));     // end on the other
    EXPECT_FALSE(hit(createLine(0, 0, 2, 2), createLine(6, 0, 0, 6)));
    EXPECT_FALSE(hit(createLine(0, 0, 10, 0), createLine(0, 1, 10, 1))); // parallel
}

TEST(Intersects, SegmentSignTestHoldsAtScreenCoordinates) {
    // The side values are around 160000 here; multiplying two of them in 32 bits would
    // overflow and report these separate segments as crossing.
    EXPECT_FALSE(hit(createLine(0, 0, 400, 0), createLine(0, 400, 400, 401)));
    EXPECT_FALSE(hit(createLine(10, 300, 630, 310), createLine(10, 320, 630, 470)));
    EXPECT_TRUE(hit(createLine(10, 300, 630, 310), createLine(10, 470, 630, 20)));
}

TEST(Intersects, ExtremeCoordinatesAreDefined) {
    // Differences across the whole range do not fit in 32 bits; every answer here is worked out
    // by hand from the geometry (and, for the segment rule, from its wrapping side values).
    const int32_t lo = INT32_MIN, hi = INT32_MAX;
    auto diagonal = createLine(lo, lo, hi, hi);
    // Rectangles: corners and edges belong at the limits too.
    EXPECT_TRUE(hit(createPoint(lo, hi), createRectangle(lo, lo, hi, hi)));
    EXPECT_TRUE(hit(createRectangle(lo, lo, hi, hi), createRectangle(0, 0, 0, 0)));
    EXPECT_FALSE(hit(createRectangle(lo, lo, lo, lo), createRectangle(hi, hi, hi, hi)));
    EXPECT_TRUE(hit(createCircle(hi, lo, hi), createRectangle(lo, lo, hi, hi))); // centre on a corner
    // The main diagonal holds its end point and the origin (direction agrees, not past the
    // end), not the far corner (direction off by 45 degrees), nor its start point.
    EXPECT_TRUE(hit(createPoint(hi, hi), diagonal));
    EXPECT_TRUE(hit(createPoint(0, 0), diagonal));
    EXPECT_FALSE(hit(createPoint(lo, hi), diagonal));
    EXPECT_FALSE(hit(createPoint(lo, lo), diagonal));
    // The two diagonals cross: side values f1 = -1, f2 = 1, f3 = 1, f4 = -1 in wrapping
    // arithmetic (hi - lo wraps to -1).
    EXPECT_TRUE(hit(diagonal, createLine(hi, lo, lo, hi)));
    // A segment across the whole x range passes through the unit circle at the origin.
    EXPECT_TRUE(hit(createLine(lo, 0, hi, 0), createCircle(0, 0, 1)));
    // 2^32 - 1 apart: far out of reach (a wrapped difference would make them 1 apart).
    EXPECT_FALSE(hit(createCircle(lo, 0, 1), createCircle(hi, 0, 1)));
    EXPECT_FALSE(hit(createPoint(lo, 0), createPoint(hi, 0)));
    // 2^31 * sqrt 2 from the centre, beyond a radius of 2^31 - 1.
    EXPECT_FALSE(hit(createPoint(lo, lo), createCircle(0, 0, hi)));
    EXPECT_TRUE(hit(createPoint(lo + 1, 0), createCircle(0, 0, hi)));
}

TEST(Intersects, SegmentAgainstCircle) {
    auto circle = createCircle(0, 0, 5);
    EXPECT_FALSE(hit(createLine(-10, 5, 10, 5), circle)); // tangent in the middle: strict
    EXPECT_TRUE(hit(createLine(-10, 4, 10, 4), circle));
    EXPECT_TRUE(hit(createLine(5, 0, 10, 0), circle)); // start on the circle
    EXPECT_TRUE(hit(createLine(10, 0, 5, 0), circle)); // end on the circle
    EXPECT_FALSE(hit(createLine(6, 0, 10, 0), circle));
    EXPECT_FALSE(hit(createLine(-10, 6, 10, 6), circle));
}

TEST(Intersects, SegmentAgainstRectangle) {
    auto r = createRectangle(0, 0, 10, 10);
    EXPECT_TRUE(hit(createLine(2, 2, 8, 8), r));   // inside, by its end points
    EXPECT_TRUE(hit(createLine(-5, 5, 15, 5), r)); // crossing, by an edge
    EXPECT_TRUE(hit(createLine(20, 0, 30, 0), r)); // collinear with the top edge
    EXPECT_FALSE(hit(createLine(20, 3, 30, 4), r));
    EXPECT_FALSE(hit(createLine(-5, 20, 20, 30), r));
}

TEST(Intersects, RectanglesAndCircles) {
    EXPECT_TRUE(hit(createRectangle(0, 0, 10, 10), createRectangle(10, 10, 20, 20))); // corner
    EXPECT_FALSE(hit(createRectangle(0, 0, 10, 10), createRectangle(11, 0, 20, 10)));
    EXPECT_TRUE(hit(createCircle(0, 0, 5), createCircle(10, 0, 5))); // touching
    EXPECT_FALSE(hit(createCircle(0, 0, 5), createCircle(11, 0, 5)));
    auto r = createRectangle(0, 0, 10, 10);
    EXPECT_TRUE(hit(createCircle(5, 5, 1), r));    // centre inside
    EXPECT_TRUE(hit(createCircle(5, -3, 4), r));   // crosses the top edge
    EXPECT_FALSE(hit(createCircle(-5, -5, 5), r)); // near the corner, but 7.07 away
    EXPECT_TRUE(hit(createCircle(-5, 0, 5), r));   // touches the corner: end rule, inclusive
    EXPECT_FALSE(hit(createCircle(15, 5, 5), r));  // tangent to the middle of an edge: strict
    EXPECT_FALSE(hit(createCircle(14, 14, 5), r)); // 5.66 from the corner
}

TEST(Intersects, GroupMatchesAnyMember) {
    auto g = std::make_shared<TestGroup>(
        std::vector<std::shared_ptr<IShape>>{createPoint(100, 100), createCircle(0, 0, 2)});
    EXPECT_TRUE(hit(g, createPoint(1, 1)));
    EXPECT_TRUE(hit(g, createRectangle(99, 99, 101, 101)));
    EXPECT_FALSE(hit(g, createPoint(50, 50)));
    auto other = std::make_shared<TestGroup>(
        std::vector<std::shared_ptr<IShape>>{createLine(90, 100, 100, 100)});
    EXPECT_TRUE(hit(g, other));
    auto empty = std::make_shared<TestGroup>(std::vector<std::shared_ptr<IShape>>{});
    EXPECT_FALSE(hit(empty, g));
}
