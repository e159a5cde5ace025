// Sizes a script can ask for end in a script error at the VM's limits, whatever instruction
// or native grows the value; the limits are lowered here so the cases stay cheap.
#include "squirrel/vm/object.h"
#include "vm_test_util.h"
#include <gtest/gtest.h>

namespace {

struct LowLimits {
    SQInteger s = SQLimits::maxstring, e = SQLimits::maxelements;
    LowLimits() {
        SQLimits::maxstring = 1000;
        SQLimits::maxelements = 100;
    }
    ~LowLimits() {
        SQLimits::maxstring = s;
        SQLimits::maxelements = e;
    }
};

std::string result(TestVM& t, const std::string& body) {
    TestVM::out.clear();
    if (!t.run("try { print(" + body + "); } catch (e) print(\"error: \" + e);"))
        return "failed: " + t.lasterror();
    return TestVM::out;
}

} // namespace

TEST(Limits, StringsStopAtTheLimitWhereverTheyAreMade) {
    LowLimits low;
    TestVM t;
    EXPECT_EQ(result(t, "(function() { local s = \"x\"; for (local i = 0; i < 40; i++) s += s; "
                        "return s.len(); })()"),
              "error: not enough memory");
    EXPECT_EQ(result(t, "(function() { local s = \"x\"; for (local i = 0; i < 9; i++) s += s; "
                        "return s.len(); })()"),
              "512");
    // 1000 units exactly is allowed, one more is not
    EXPECT_EQ(result(t, "(function() { local s = \"\"; for (local i = 0; i < 100; i++) s += "
                        "\"0123456789\"; return s.len(); })()"),
              "1000");
    EXPECT_EQ(result(t, "(function() { local s = \"\"; for (local i = 0; i < 100; i++) s += "
                        "\"0123456789\"; return (s + \"!\").len(); })()"),
              "error: not enough memory");
    // made by a native: the library's copy fails the same way
    EXPECT_EQ(
        result(t,
               "(function() { local s = \"\"; for (local i = 0; i < 100; i++) s += \"0123456789\"; "
               "local b = s.slice(1) + \"ab\"; return b.len(); })()"),
        "error: not enough memory");
    // the VM goes on working afterwards
    EXPECT_EQ(result(t, "\"still\" + \" fine\""), "still fine");
}

TEST(Limits, ArraysAndTablesStopAtTheLimit) {
    LowLimits low;
    TestVM t;
    EXPECT_EQ(result(t, "array(101).len()"), "error: size too big");
    EXPECT_EQ(result(t, "array(100).len()"), "100");
    EXPECT_EQ(result(t, "[].resize(101)"), "error: size too big");
    EXPECT_EQ(result(t, "(function() { local a = [1]; for (local i = 0; i < 40; i++) a.extend(a); "
                        "return a.len(); })()"),
              "error: not enough memory");
    EXPECT_EQ(result(t, "(function() { local a = array(100); a.append(1); return a.len(); })()"),
              "error: not enough memory");
    EXPECT_EQ(result(t, "(function() { local a = array(100); a.push(1); return a.len(); })()"),
              "error: not enough memory");
    // grown by doubling, the array has room past the limit: the limit still holds
    EXPECT_EQ(result(t, "(function() { local a = []; try { for (local i = 0; i < 200; i++) "
                        "a.push(i); } catch (e) return e + \" \" + a.len() + \" \" + a.top(); })()"),
              "not enough memory 100 99");
    EXPECT_EQ(result(t, "(function() { local a = array(100); a.insert(0, 1); return a.len(); })()"),
              "error: not enough memory");
    // an array literal grows element by element
    std::string lit = "[";
    for (int i = 0; i < 101; i++) lit += std::to_string(i) + ",";
    lit += "].len()";
    EXPECT_EQ(result(t, lit), "error: not enough memory");
    EXPECT_EQ(result(t, "(function() { local t = {}; for (local i = 0; i < 1000; i++) t[i] <- i; "
                        "return t.len(); })()"),
              "error: not enough memory");
    EXPECT_EQ(result(t, "(function() { local t = {}; for (local i = 0; i < 100; i++) t[i] <- i; "
                        "t[5] = 0; return t.len(); })()"),
              "100");
    // class members and instances are tables too
    EXPECT_EQ(result(t, "(function() { local C = class {}; for (local i = 0; i < 1000; i++) "
                        "C[\"m\" + i] <- i; return 1; })()"),
              "error: not enough memory");
}
