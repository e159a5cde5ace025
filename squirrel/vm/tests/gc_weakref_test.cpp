// Reference counting, weak references, release hooks and the cycle collector.
#include "vm_test_util.h"
#include <gtest/gtest.h>

namespace {
int g_released = 0;
SQInteger count_release(SQUserPointer p, SQInteger size) {
    (void)p;
    (void)size;
    g_released++;
    return 1;
}
SQInteger make_ud(HSQUIRRELVM v) {
    sq_newuserdata(v, 16);
    sq_setreleasehook(v, -1, count_release);
    return 1;
}
void register_fn(HSQUIRRELVM v, const char16_t* name, SQFUNCTION f) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, f, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}
} // namespace

TEST(GcWeakRef, WeakRefReadsNullAtOnce) {
    TestVM t;
    ASSERT_TRUE(t.run("local t = {}; local w = t.weakref();"
                      "print(w.ref() == t); t = null; print(\",\" + (w.ref() == null));"));
    EXPECT_EQ(TestVM::out, "true,true");
}

TEST(GcWeakRef, WeakRefToScalarIsTheValue) {
    TestVM t;
    ASSERT_TRUE(t.run("print(typeof (5).weakref() + \" \" + typeof \"s\".weakref());"));
    EXPECT_EQ(TestVM::out, "integer weakref");
}

TEST(GcWeakRef, ReleaseHookRunsOnLastReference) {
    TestVM t;
    register_fn(t.v, u"make_ud", make_ud);
    g_released = 0;
    ASSERT_TRUE(t.run("local a = make_ud(); local b = a; a = null; ::flag <- 1;"));
    // both references were locals of the finished call
    EXPECT_EQ(g_released, 1);
    ASSERT_TRUE(t.run("::keep <- make_ud();"));
    EXPECT_EQ(g_released, 1);
    ASSERT_TRUE(t.run("::keep = null;"));
    EXPECT_EQ(g_released, 2);
}

TEST(GcWeakRef, InstanceReleaseHookFromClass) {
    TestVM t;
    ASSERT_TRUE(t.run("class ::C { v = 0; }"));
    sq_pushroottable(t.v);
    sq_pushstring(t.v, u"C", -1);
    sq_get(t.v, -2);
    sq_setreleasehook(t.v, -1, count_release);
    sq_pop(t.v, 2);
    g_released = 0;
    ASSERT_TRUE(t.run("local a = C(), b = C(); a = null;"));
    EXPECT_EQ(g_released, 2);
}

TEST(GcWeakRef, CyclesNeedTheCollector) {
    TestVM t;
    register_fn(t.v, u"make_ud", make_ud);
    g_released = 0;
    ASSERT_TRUE(t.run("local a = {}, b = {}; a.b <- b; b.a <- a; a.ud <- make_ud();"
                      "::w <- a.weakref();"));
    EXPECT_EQ(g_released, 0);
    ASSERT_TRUE(t.run("print(w != null);")); // a weakref read from a slot is its target
    EXPECT_EQ(TestVM::out, "true");
    SQInteger n = sq_collectgarbage(t.v);
    EXPECT_GE(n, 2);
    EXPECT_EQ(g_released, 1);
    TestVM::out.clear();
    ASSERT_TRUE(t.run("print(w == null);"));
    EXPECT_EQ(TestVM::out, "true");
    EXPECT_EQ(sq_collectgarbage(t.v), 0);
}

TEST(GcWeakRef, ReachableCyclesSurvive) {
    TestVM t;
    ASSERT_TRUE(t.run("local a = [], b = [a]; a.append(b); ::root <- a; ::w <- b.weakref();"));
    sq_collectgarbage(t.v);
    ASSERT_TRUE(t.run("print(w != null && root[0] == w);"));
    EXPECT_EQ(TestVM::out, "true");
}

TEST(GcWeakRef, HostReferencesKeepObjectsAlive) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.run("::tmp <- { x = 1 }; ::w <- tmp.weakref();"));
    HSQOBJECT h;
    sq_resetobject(&h);
    sq_pushroottable(v);
    sq_pushstring(v, u"tmp", -1);
    sq_get(v, -2);
    sq_getstackobj(v, -1, &h);
    sq_addref(v, &h);
    sq_pop(v, 2);
    EXPECT_EQ(sq_getrefcount(v, &h), 2u);
    ASSERT_TRUE(t.run("delete ::tmp;"));
    sq_collectgarbage(v);
    ASSERT_TRUE(t.run("print(w != null);"));
    EXPECT_EQ(TestVM::out, "true");
    EXPECT_EQ(sq_release(v, &h), SQTrue);
    EXPECT_EQ(h._type, OT_NULL);
    TestVM::out.clear();
    ASSERT_TRUE(t.run("print(w == null);"));
    EXPECT_EQ(TestVM::out, "true");
}

TEST(GcWeakRef, ResurrectUnreachableReturnsTheCycle) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.run("local a = {}; a.self <- a;"));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resurrectunreachable(v)));
    ASSERT_EQ(sq_gettype(v, -1), OT_ARRAY);
    EXPECT_EQ(sq_getsize(v, -1), 1);
    sq_pop(v, 1);
    // now owned by nothing but itself again
    EXPECT_EQ(sq_collectgarbage(v), 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resurrectunreachable(v)));
    EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
}

TEST(GcWeakRef, LongChainsAreFreedWithoutDeepRecursion) {
    TestVM t;
    ASSERT_TRUE(t.run("local head = null; for (local i = 0; i < 300000; i++) head = { next = head "
                      "}; head = null; print(\"ok\");"));
    EXPECT_EQ(TestVM::out, "ok");
}
