// Suspending the whole VM from script or native code and waking it from the host,
// the way the host runs its game script one frame at a time.
#include "vm_test_util.h"
#include <gtest/gtest.h>

namespace {
SQInteger native_wait(HSQUIRRELVM v) {
    sq_pushinteger(v, 100);
    return sq_suspendvm(v);
}
void register_fn(HSQUIRRELVM v, const char16_t* name, SQFUNCTION f) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, f, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}
} // namespace

TEST(Suspend, ScriptSuspendAndHostWakeup) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.compile("local frames = 0;"
                          "while (true) { local got = suspend(frames); frames++; print(got + "
                          "\";\"); if (got == \"stop\") break; }"
                          "return \"done \" + frames;"));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
    SQInteger i = -1;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 0); // suspend(frames) handed 0 to the host
    sq_pop(v, 1);
    for (int frame = 1; frame <= 1000; frame++) {
        sq_pushinteger(v, frame);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQTrue, SQTrue, SQTrue, SQFalse)));
        ASSERT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
        sq_getinteger(v, -1, &i);
        EXPECT_EQ(i, frame);
        sq_pop(v, 1);
    }
    sq_pushstring(v, u"stop", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQTrue, SQTrue, SQTrue, SQFalse)));
    EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
    const SQChar* s;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &s)));
    EXPECT_EQ(A(s), "done 1001");
    EXPECT_EQ(TestVM::out.substr(0, 4), "1;2;");
}

TEST(Suspend, NativeSuspendsWithAValue) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    register_fn(v, u"wait", native_wait);
    ASSERT_TRUE(t.compile("local r = wait(); return r * 2;"));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
    EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
    SQInteger i = 0;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 100);
    sq_pop(v, 1);
    sq_pushinteger(v, 21);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQTrue, SQTrue, SQFalse, SQFalse)));
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
}

TEST(Suspend, WakeupWithThrowRaisesInTheScript) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.compile(
        "try { suspend(); } catch (e) { return \"caught \" + e; } return \"not thrown\";"));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse)));
    ASSERT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
    sq_throwerror(v, u"quit");
    ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQFalse, SQTrue, SQFalse, SQTrue)));
    const SQChar* s;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &s)));
    EXPECT_EQ(A(s), "caught quit");
}

TEST(Suspend, WakeupOfAnIdleVmFails) {
    TestVM t;
    EXPECT_TRUE(SQ_FAILED(sq_wakeupvm(t.v, SQFalse, SQFalse, SQFalse, SQFalse)));
    EXPECT_EQ(sq_getvmstate(t.v), SQ_VMSTATE_IDLE);
}

TEST(Suspend, CannotSuspendThroughNativeCalls) {
    TestVM t;
    EXPECT_FALSE(t.run("[1].map(function(x) { suspend(); });"));
    EXPECT_EQ(t.lasterror(), "cannot suspend through native calls/metamethods");
    EXPECT_EQ(sq_getvmstate(t.v), SQ_VMSTATE_IDLE);
}

TEST(Suspend, ThreadsSuspendIndependently) {
    TestVM t;
    ASSERT_TRUE(
        t.run("local th = newthread(function(a) { local b = suspend(a + 1); return b * 10; });"
              "local first = th.call(1);"
              "local st = th.getstatus();"
              "local last = th.wakeup(4);"
              "print(first + \" \" + st + \" \" + last + \" \" + th.getstatus());"));
    EXPECT_EQ(TestVM::out, "2 suspended 40 idle");
}

// Finished threads hand their stacks to the next ones: a new thread must start clean, also
// after a deep one (whose stack is not kept) and while earlier ones are still suspended.
TEST(Suspend, ThreadsStartedOneAfterAnotherStartClean) {
    TestVM t;
    ASSERT_TRUE(
        t.run("function down(n) { local pad = [n]; return n == 0 ? suspend(pad) : down(n - 1); }"
              "local kept = [];"
              "local sum = 0;"
              "for (local k = 0; k < 200; k++) {"
              "  local th = newthread(function(depth, k) { local a; local r = down(depth);"
              "                                          return (a == null ? 0 : 1000) + r + k; });"
              "  local first = th.call(k % 50 == 0 ? 5000 : k % 7, k);"
              "  if (first[0] != 0) sum += 100000;"
              "  if (k % 3 == 0) kept.push(th); else sum += th.wakeup(1) - k - 1;"
              "}"
              "foreach (th in kept) sum += th.getstatus() == \"suspended\" ? 0 : 1;"
              "print(sum + \" \" + kept.len());"));
    EXPECT_EQ(TestVM::out, "0 67");
}

TEST(Suspend, GeneratorResumeFromNative) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.run("function gen() { yield 1; yield 2; } ::g <- gen();"));
    sq_pushroottable(v);
    sq_pushstring(v, u"g", -1);
    sq_get(v, -2);
    SQInteger i = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQFalse)));
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 1);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQFalse)));
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 2);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQFalse, SQFalse))); // runs to the end
    EXPECT_TRUE(SQ_FAILED(sq_resume(v, SQFalse, SQFalse)));
    EXPECT_EQ(t.lasterror(), "resuming dead generator");
}
