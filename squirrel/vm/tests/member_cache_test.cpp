// The interpreter's member cache for `obj.name(...)` on instances: every call site must see
// what an uncached lookup would, whatever happened to the classes since its last call.
#include "vm_test_util.h"
#include <gtest/gtest.h>

static std::string eval(TestVM& t, const std::string& src) {
    TestVM::out.clear();
    if (!t.run(src)) return "error: " + t.lasterror() + " after: " + TestVM::out;
    return TestVM::out;
}

// One call site (`o.f()` inside `call`) sees every object; its results are joined.
static const char* kSite = R"(
function call(o) { return o.f(); }
function each(list) {
    local s = "";
    foreach (o in list) s += call(o) + " ";
    print(s);
}
)";

TEST(MemberCache, MethodReplacedAfterTheFirstCall) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class A { function f() { return 1; } }
local a = A();
local s = call(a) + " ";
A.f <- function() { return 2; };
s += call(a) + " ";
A.f <- function() { return 3; };
print(s + call(a));
)"),
              "1 2 3");
}

TEST(MemberCache, SeveralClassesAtOneCallSite) {
    TestVM t;
    // f sits at another method slot in each class; a field of the same name in the third
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class A { function f() { return "A"; } }
class B { function g() {} function h() {} function f() { return "B"; } }
class C { x = 1; f = null; constructor() { f = function() { return "C" + x; }; } }
each([A(), B(), A(), C(), B(), C(), A()]);
)"),
              "A B A C1 B C1 A ");
}

TEST(MemberCache, DerivedClassesOverrideAndInherit) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class Base { function f() { return "base"; } function g() { return f(); } }
class Over extends Base { function f() { return "over"; } }
class Keep extends Base { function k() {} }
each([Base(), Over(), Keep(), Over(), Base()]);
// a base method calling an overridden one through `this`
local o = Over(), b = Base();
print(b.g() + o.g() + b.g());
)"),
              "base over base over base baseoverbase");
}

TEST(MemberCache, MissingMemberFallsBackToGet) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class Has { function f() { return "member"; } }
class Meta {
    function _get(k) { if (k == "f") return function() { return "meta"; }; throw null; }
}
class Plain {}
each([Has(), Meta(), Has(), Meta()]);
try { call(Plain()); } catch (e) print("| " + e);
)"),
              "member meta member meta | the index 'f' does not exist");
}

TEST(MemberCache, MemberAddedAfterAFailedCall) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class A { function g() { return "g"; } }
local a = A();
try { call(a); } catch (e) print(e + " | ");
A.f <- function() { return "added"; };
print(call(a) + " " + a.g());
)"),
              "the index 'f' does not exist | added g");
}

TEST(MemberCache, FieldsAreReadPerInstance) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class F { f = null; constructor(v) { f = function() { return v; }; } }
local p = F("p"), q = F("q");
each([p, q, p]);
p.f = function() { return "changed"; };
each([p, q]);
)"),
              "p q p changed q ");
}

TEST(MemberCache, WeakReferenceMembersAreFollowed) {
    TestVM t;
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
function target() { return "through weakref"; }
class W { f = null; }
local w = W();
w.f = target.weakref();
each([w, w]);
)"),
              "through weakref through weakref ");
}

TEST(MemberCache, ClassesMadeAndFreedAtOneAddressKeepTheirOwnLayout) {
    TestVM t;
    // a fresh class per round, the last one freed first: an allocator that reuses its address
    // must not let the site take the previous layout's slot
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
local s = "";
function odd() {
    class K { function a() {} function b() {} function f() { return "odd"; } }
    return delete ::K;
}
function even() {
    class K { v = 0; f = null; constructor() { f = function() { return "even"; }; } }
    return delete ::K;
}
for (local i = 0; i < 40; i++) {
    local c = i % 2 ? odd() : even();
    s += call(c()).slice(0, 1);
    c = null;
    collectgarbage();
}
print(s);
)"),
              "eoeoeoeoeoeoeoeoeoeoeoeoeoeoeoeoeoeoeoeo");
}

TEST(MemberCache, InstantiatedClassRefusesToTurnAMethodIntoAField) {
    TestVM t;
    // the instances made so far have no slot for a new field
    EXPECT_EQ(eval(t, R"(
class A { function f() { return 1; } x = 2; }
local a = A();
try { A.f <- 5; } catch (e) print(e + " | ");
try { A.y <- 5; } catch (e) print(e + " | ");
A.x <- 7;
print(a.f() + " " + a.x + " " + A().x);
)"),
              "trying to modify a class that has already been instantiated | "
              "trying to modify a class that has already been instantiated | 1 2 7");
}

static SQInteger nativeTag(HSQUIRRELVM v) {
    SQInteger n = sq_gettop(v);
    sq_pushinteger(v, n);
    return 1;
}

TEST(MemberCache, NativeMethodsOfANativeClass) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_pushroottable(v);
    sq_pushstring(v, u"N", -1);
    sq_newclass(v, SQFalse);
    sq_pushstring(v, u"f", -1);
    sq_newclosure(v, nativeTag, 0);
    sq_newslot(v, -3, SQFalse);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    // the native sees `this` and no other argument; a script class shares the site
    EXPECT_EQ(eval(t, std::string(kSite) + R"(
class S { function f() { return "s"; } }
each([N(), N(), S(), N()]);
)"),
              "1 1 s 1 ");
}
