// The Collision table from script: constructor forms and their errors, properties, and each
// pair of shapes through Collision.intersects in both argument orders.
#include "collision/IShape.h"
#include "script/ScCollision.h"
#include "script/ScInput.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

namespace {

class CollisionScript : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::CollisionLibrary>()));
        ASSERT_TRUE(
            vm.run("function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }"
                   "P <- Collision.Point; L <- Collision.Line;"
                   "R <- Collision.Rectangle; C <- Collision.Circle;"
                   "function both(a, b) {"
                   "  local x = Collision.intersects(a, b), y = Collision.intersects(b, a);"
                   "  return x == y ? x : \"asymmetric\"; }"));
    }
    std::string both(const std::string& a, const std::string& b) {
        return vm.eval("both(" + a + ", " + b + ")");
    }
    KoTest::ScriptVm vm;
};

TEST_F(CollisionScript, ConstructorForms) {
    EXPECT_EQ(vm.eval("(function() { local p = P(3, -4); return p.x + \",\" + p.y; })()"), "3,-4");
    EXPECT_EQ(vm.eval("(function() { local p = P([7, 8, 9]); return p.x + \",\" + p.y; })()"),
              "7,8");
    EXPECT_EQ(vm.eval("(function() { local l = L(1, 2, 3, 4); return l.sx + l.sy * 10 + l.ex * 100 "
                      "+ l.ey * 1000; })()"),
              "4321");
    EXPECT_EQ(vm.eval("(function() { local l = L([1, 2], [3, 4]); return l.sx + l.sy * 10 + l.ex * "
                      "100 + l.ey * 1000; })()"),
              "4321");
    EXPECT_EQ(vm.eval("(function() { local l = L([1, 2, 3, 4]); return l.sx + l.sy * 10 + l.ex * "
                      "100 + l.ey * 1000; })()"),
              "4321");
    // Rectangles are normalised when made, in every form.
    for (const char* args : {"10, 10, 0, 0", "[10, 10], [0, 0]", "[10, 10, 0, 0]"}) {
        EXPECT_EQ(
            vm.eval(std::string("(function() { local r = R(") + args +
                    "); return r.left + \",\" + r.top + \",\" + r.right + \",\" + r.bottom; })()"),
            "0,0,10,10")
            << args;
    }
    for (const char* args : {"1, 2, 3", "[1, 2], 3", "[1, 2, 3]"}) {
        EXPECT_EQ(vm.eval(std::string("(function() { local c = C(") + args +
                          "); return c.x + \",\" + c.y + \",\" + c.radius; })()"),
                  "1,2,3")
            << args;
    }
    // Floats are taken as integers, like any integer argument.
    EXPECT_EQ(vm.eval("P(2.9, -2.9).x"), "2");
}

TEST_F(CollisionScript, ConstructorErrors) {
    const char* wrong[] = {
        "P()",
        "P(1)",
        "P(1, 2, 3)",
        "P([1])",
        "P(\"1\", 2)",
        "P([1, \"2\"])",
        "P(null)",
        "L(1, 2, 3)",
        "L([1, 2], [3])",
        "L([1, 2, 3])",
        "L([1, 2], 3, 4)",
        "L(1, 2, 3, 4, 5)",
        "R([0, 0, 1])",
        "R([0], [1, 1])",
        "R(0, 0, 1, \"x\")",
        "C(1, 2)",
        "C([1, 2])",
        "C([1], 2)",
        "C([1, 2], [3])",
        "C(1, 2, 3, 4)",
        "C({}, 1)",
    };
    for (const char* expr : wrong)
        EXPECT_EQ(vm.eval(std::string("err(@() ") + expr + ")"), "wrong number of parameters")
            << expr;
    for (const char* expr : {"C(0, 0, -1)", "C([0, 0], -1)", "C([0, 0, -1])"})
        EXPECT_EQ(vm.eval(std::string("err(@() ") + expr + ")"), "failed create instance") << expr;
    EXPECT_EQ(vm.eval("C(0, 0, 0).radius"), "0");
    EXPECT_EQ(vm.eval("err(@() Collision.intersects(P(0, 0)))"), "wrong number of parameters");
    EXPECT_EQ(vm.eval("err(@() Collision.intersects(P(0, 0), {}))"), "wrong number of parameters");
    EXPECT_EQ(vm.eval("err(@() Collision.intersects(null, P(0, 0)))"),
              "wrong number of parameters");
    // An instance made without the constructor holds no shape: no crash, no answer.
    EXPECT_EQ(vm.eval("P.instance().x"), "0");
    EXPECT_EQ(vm.eval("err(@() Collision.intersects(P.instance(), P(0, 0)))"),
              "wrong number of parameters");
}

TEST_F(CollisionScript, ConstructorsCalledOnOtherInstancesRefuseThem) {
    // An instance of another library's class keeps its own native object.
    ASSERT_TRUE(vm.load(std::make_shared<KoScript::InputLibrary>(nullptr)));
    ASSERT_TRUE(vm.run("k <- Input.Controller_(); k.setButton(4, [\"key.a\"]);"
                       "class Plain { v = 5 } plain <- Plain(); c <- C(1, 2, 3);"));
    const char* calls[] = {
        "P.constructor.call(k, 1, 2)",     "L.constructor.call(k, 1, 2, 3, 4)",
        "R.constructor.call(k, 1, 2, 3, 4)", "C.constructor.call(k, 1, 2, 3)",
        "P.constructor.call(plain, 1, 2)", "P.constructor.call(c, 1, 2)",
    };
    for (const char* call : calls)
        EXPECT_EQ(vm.eval(std::string("err(@() ") + call + ")"), "failed create instance") << call;
    EXPECT_EQ(vm.eval("k.update() + \" \" + k.getKeys().len() + \" \" + k.getKeys()[0]"), "true 1 4");
    EXPECT_EQ(vm.eval("plain.v"), "5");
    EXPECT_EQ(vm.eval("c.x + \",\" + c.y + \",\" + c.radius"), "1,2,3");
    // A subclass's constructor still makes its shape through the base one.
    EXPECT_EQ(vm.eval("(function() { class Q extends P { constructor() { base.constructor(6, 7); } }"
                      " return Collision.intersects(Q(), P(6, 7)); })()"),
              "true");
}

TEST_F(CollisionScript, PropertiesStoreAsGiven) {
    ASSERT_TRUE(vm.run("r <- R(0, 0, 10, 10); r.left = 20; c <- C(0, 0, 5); c.radius = -3;"
                       "p <- P(0, 0); p.x = 7; p.y = 8.5; l <- L(0, 0, 1, 1); l.ey = -9;"));
    EXPECT_EQ(vm.eval("r.left + \",\" + r.right"), "20,10"); // not normalised on assignment
    EXPECT_EQ(vm.eval("c.radius"), "5");                     // a negative radius is ignored
    ASSERT_TRUE(vm.run("c.radius = 2;"));
    EXPECT_EQ(vm.eval("c.radius"), "2");
    EXPECT_EQ(vm.eval("p.x * 10 + p.y"), "78");
    EXPECT_EQ(vm.eval("l.ey"), "-9");
    EXPECT_EQ(vm.eval("err(function() { p.x = \"1\"; })"), "wrong number of parameters");
    // An assigned left beyond right makes no rectangle-wide point test true.
    EXPECT_EQ(both("r", "P(15, 5)"), "false");
    // The shapes live on in the test after the variables that made them are replaced.
    ASSERT_TRUE(vm.run("local keep = p; p = null; ::held <- keep;"));
    EXPECT_EQ(vm.eval("held.x"), "7");
}

TEST_F(CollisionScript, ClonesAndSubclasses) {
    ASSERT_TRUE(vm.run(
        "p <- P(1, 2); q <- clone p; q.x = 5; r <- R(0, 0, 4, 4); r.left = 9; s <- clone r;"));
    EXPECT_EQ(vm.eval("p.x + \",\" + q.x + \",\" + q.y"), "1,5,2"); // a clone is a shape of its own
    EXPECT_EQ(vm.eval("s.left + \",\" + s.right"), "4,9");          // cloning normalises again
    ASSERT_TRUE(vm.run(
        "class Ball extends Collision.Circle { function area() { return radius * radius * 3; } }"));
    EXPECT_EQ(vm.eval("Ball(0, 0, 2).area()"), "12");
    EXPECT_EQ(both("Ball([0, 0], 2)", "P(2, 0)"), "true");
}

// The rules themselves are tested in full natively; here each pair of shapes reaches its rule
// through the script objects, once touching and once apart.
TEST_F(CollisionScript, EveryShapePairReachesItsRule) {
    const std::pair<const char*, const char*> touching[] = {
        {"P(1, 2)", "P(1, 2)"},
        {"P(10, 0)", "L(0, 0, 10, 0)"}, // the end point counts
        {"P(3, 4)", "C(0, 0, 5)"},      // exactly on the circle
        {"P(5, 5)", "R(0, 0, 5, 5)"},   // on the corner
        {"L(0, 0, 10, 10)", "L(0, 10, 10, 0)"},
        {"L(5, 0, 10, 0)", "C(0, 0, 5)"},
        {"L(-5, 5, 15, 5)", "R(0, 0, 10, 10)"},
        {"C(0, 0, 5)", "C(10, 0, 5)"},
        {"C(14, 5, 5)", "R(0, 0, 10, 10)"},
        {"R(0, 0, 10, 10)", "R(10, 10, 20, 20)"},
    };
    for (auto [a, b] : touching) EXPECT_EQ(both(a, b), "true") << a << " " << b;
    const std::pair<const char*, const char*> apart[] = {
        {"P(1, 2)", "P(2, 1)"},
        {"P(0, 0)", "L(0, 0, 10, 0)"}, // the start point does not
        {"P(5, 5)", "C(0, 0, 5)"},
        {"P(6, 5)", "R(0, 0, 5, 5)"},
        {"L(0, 0, 10, 0)", "L(0, 1, 10, 1)"},
        {"L(-10, 5, 10, 5)", "C(0, 0, 5)"},
        {"L(20, 5, 30, 6)", "R(0, 0, 10, 10)"},
        {"C(0, 0, 5)", "C(11, 0, 5)"},
        {"C(15, 5, 5)", "R(0, 0, 10, 10)"},
        {"R(0, 0, 10, 10)", "R(11, 0, 20, 10)"},
    };
    for (auto [a, b] : apart) EXPECT_EQ(both(a, b), "false") << a << " " << b;
}

TEST_F(CollisionScript, LargeValuesReachTheNativeTestUnchanged) {
    // Products of the segment test and the squared radius wrap at 32 bits; the script
    // answer must be the native one for the same integers.
    struct Case {
        std::array<int32_t, 4> a, b;
    } lines[] = {
        {{-2000000000, 0, 2000000000, 0}, {0, -2000000000, 0, 2000000000}},
        {{-2000000000, 5, 2000000000, 7}, {3, -2000000000, 9, 2000000000}},
        {{0, 0, 70000, 70000}, {70000, 0, 0, 70000}},
        {{2147483647, -2147483647, 1, 1}, {-5, 3, 100000, -100000}},
    };
    for (const auto& c : lines) {
        auto a = KoCollision::createLine(c.a[0], c.a[1], c.a[2], c.a[3]);
        auto b = KoCollision::createLine(c.b[0], c.b[1], c.b[2], c.b[3]);
        std::string native = KoCollision::intersects(*a, *b) ? "true" : "false";
        auto args = [](const std::array<int32_t, 4>& p) {
            return "L(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " +
                   std::to_string(p[2]) + ", " + std::to_string(p[3]) + ")";
        };
        EXPECT_EQ(both(args(c.a), args(c.b)), native) << args(c.a) << " " << args(c.b);
    }
    for (int32_t r : {46340, 46341, 70000, 2000000000}) {
        auto line = KoCollision::createLine(-100000, 30000, 100000, 30000);
        auto circle = KoCollision::createCircle(0, 0, r);
        std::string native = KoCollision::intersects(*line, *circle) ? "true" : "false";
        EXPECT_EQ(both("L(-100000, 30000, 100000, 30000)", "C(0, 0, " + std::to_string(r) + ")"),
                  native)
            << r;
    }
}

} // namespace
