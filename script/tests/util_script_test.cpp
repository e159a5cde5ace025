// The Util table: the literal writer and serializer round trips, counters (the huge-step
// LoopCounter against the stepwise rule), the ring buffer, and Timer/Fps over a fake clock.
#include "script/ScUtil.h"
#include "script/tests/ScriptVm.h"
#include "timer/Clock.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

class FakeClock : public KoTimer::IClock {
public:
    uint32_t now() override { return t; }
    void sleep(uint32_t ms) override { t += ms; }
    uint32_t t = 5000;
};

class UtilScript : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::UtilLibrary>(clock))) << vm.takeErr();
        run("function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }"
            "function show(v) {"
            "  switch (typeof v) {"
            "  case \"array\": { local s = \"[\"; foreach (e in v) s += show(e) + \" \"; return s + \"]\"; }"
            "  case \"table\": { local k = []; foreach (key, e in v) k.append(key);"
            "    k.sort(); local s = \"{\"; foreach (key in k) s += key + \"=\" + show(v[key]) + \" \";"
            "    return s + \"}\"; }"
            "  case \"string\": return \"'\" + v + \"'\";"
            "  case \"null\": return \"null\";"
            "  default: return typeof v + \":\" + v; } }"
            "function trip(v) { return Util.deserialize(Util.serialize(v)); }");
    }
    void run(const std::string& code) { ASSERT_TRUE(vm.run(code)) << vm.takeErr(); }
    std::string eval(const std::string& e) { return vm.eval(e); }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    KoTest::ScriptVm vm;
};

TEST(UtilText, LiteralsReadBackAsTheSameValue) {
    using KoScript::UtilText::floatLiteral;
    using KoScript::UtilText::stringLiteral;
    EXPECT_EQ(floatLiteral(2.0f), u"2");
    EXPECT_EQ(floatLiteral(-0.5f), u"-0.5");
    EXPECT_EQ(floatLiteral(0.1f), u"0.10000000149012");
    // Integral but beyond 32 bits: must stay a float when read back.
    EXPECT_EQ(floatLiteral(3e9f), u"3000000000.0");
    EXPECT_EQ(floatLiteral(1e20f), u"1.0000000200409e+20");
    EXPECT_EQ(stringLiteral(u"a\"b\\c\nd\re\tf"), u"\"a\\\"b\\\\c\\nd\re\tf\"");
}

TEST(UtilText, LoopCounterStepMatchesTheStepwiseRule) {
    auto stepwise = [](int64_t value, int64_t min, int64_t max, int64_t step) {
        for (int64_t i = 0; i < (step < 0 ? -step : step); ++i) {
            value += step > 0 ? 1 : -1;
            if (value < min) value = max;
            else if (value > max) value = min;
        }
        return int32_t(value);
    };
    std::mt19937 gen(7);
    for (int n = 0; n < 3000; ++n) {
        int32_t min = int32_t(gen() % 41) - 20;
        int32_t max = min + int32_t(gen() % 12);
        // Values set out of range come in through fields the script may assign directly.
        int32_t value = min + int32_t(gen() % uint32_t(max - min + 9)) - 4;
        int32_t step = int32_t(gen() % 81) - 40;
        EXPECT_EQ(KoScript::loopCounterStep(value, min, max, step), stepwise(value, min, max, step))
            << value << " in [" << min << "," << max << "] by " << step;
    }
    // Whole integer range and extreme steps: no overflow.
    EXPECT_EQ(KoScript::loopCounterStep(INT32_MAX, INT32_MIN, INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(KoScript::loopCounterStep(0, 0, 2, INT32_MIN), stepwise(0, 0, 2, INT32_MIN % 3));
    EXPECT_EQ(KoScript::loopCounterStep(1, 0, 2, INT32_MAX), stepwise(1, 0, 2, INT32_MAX % 3));
}

TEST_F(UtilScript, SerializeRoundTrips) {
    EXPECT_EQ(eval("show(trip([1, \"two\", [true, null, -3], {a = 1, b = [false]}, 2.5]))"),
              "[integer:1 'two' [bool:true null integer:-3 ] {a=integer:1 b=[bool:false ] } "
              "float:2.5 ]");
    EXPECT_EQ(eval("typeof trip(2.0)"), "integer");
    EXPECT_EQ(eval("trip({[3] = \"x\"})[3]"), "x");
    // Escaped and raw characters both survive.
    EXPECT_EQ(eval("trip(\"q\\\"b\\\\n\\nc\\rt\\t\") == \"q\\\"b\\\\n\\nc\\rt\\t\""), "true");
    EXPECT_EQ(eval("Util.serialize_([1, \"a\\\"\", {k = null}])"), "[1,\"a\\\"\",{\"k\":null,},]");
    // Shared parts come back shared; a reference is written for the second occurrence.
    run("shared <- [1, 2]; back <- trip({x = shared, y = [shared]});");
    EXPECT_EQ(eval("back.x == back.y[0]"), "true");
    EXPECT_EQ(eval("back.x.len()"), "2");
    EXPECT_EQ(eval("(function() { local s = Util.Serializer(); s.push([shared, shared]);"
                   " return s.m_buffer.filter(@(i, v) v == SERIALIZE_MARKER_REF).len(); })()"),
              "1");
}

TEST_F(UtilScript, InstancesTakePartThroughTheirOwnMethods) {
    run("class Point { x = 0; y = 0; tag = null;"
        "  function serialize_class() { return \"Point\"; }"
        "  function serialize_process(o) { x = o.process(x); y = o.process(y); tag = o.process(tag); } }"
        "p <- Point(); p.x = 3; p.y = -4; p.tag = [\"t\"];"
        "q <- trip([p, p]);");
    EXPECT_EQ(eval("q[0] instanceof Point"), "true");
    EXPECT_EQ(eval("q[0].x + \",\" + q[0].y + \",\" + q[0].tag[0]"), "3,-4,t");
    EXPECT_EQ(eval("q[0] == q[1]"), "true");
}

TEST_F(UtilScript, SerializeRefusesWhatCannotComeBack) {
    // A cycle would never finish; the error names where it closes.
    run("c <- {inner = []}; c.inner.append(c);");
    EXPECT_EQ(eval("err(@() Util.serialize(c))"),
              "Util.Serializer: the value contains itself: value.inner[0] is value");
    EXPECT_EQ(eval("err(@() Util.serialize_(c))"), "Util.serialize_: the value contains itself");
    EXPECT_EQ(eval("err(@() Util.serialize({f = print}))"),
              "Util.serialize_: a value of type 'function' cannot be written");
    // Not serializer output: the compiler's own message for text that is no expression, or a
    // clear one.
    EXPECT_EQ(eval("err(@() Util.deserialize(\"[1,\"))"), "expression expected");
    EXPECT_EQ(eval("err(@() Util.deserialize(\"5\"))"), "Util.Deserializer: the text is not serialized data");
    EXPECT_EQ(eval("err(@() Util.deserialize(\"[\\\"@A#^r%Y\\\", \\\"id\\\", 3, 1]\"))"),
              "Util.Deserializer: the data ends too early");
    EXPECT_EQ(eval("err(@() Util.deserialize(\"[\\\"@R#^e%F\\\", \\\"id\\\"]\"))"),
              "Util.Deserializer: reference to an unknown object id");
}

TEST_F(UtilScript, Counters) {
    run("lc <- Util.LoopCounter(0, 2); seq <- [];"
        "for (local i = 0; i < 3; ++i) seq.append(lc.inc());"
        "lc.set(0); seq.append(lc.dec());");
    EXPECT_EQ(eval("show(seq)"), "[integer:1 integer:2 integer:0 integer:2 ]");
    EXPECT_EQ(eval("Util.LoopCounter(-5, 5).inc(1000000007)"), "1"); // 1000000007 = 6 mod 11
    EXPECT_EQ(eval("(function() { local s = Util.StopCounter(0, 2); s.inc(5); local a = s.get();"
                   " s.dec(9); return a + \",\" + s.get(); })()"),
              "2,0");
    EXPECT_EQ(eval("Util.LoopCounter(1, 3, 3).get()"), "3");
    EXPECT_EQ(eval("err(@() Util.LoopCounter(3, 1))"), "Util.LoopCounter: min > max");
    EXPECT_EQ(eval("err(@() Util.StopCounter(0, 1, 2))"), "Util.StopCounter: value is out range");
    EXPECT_EQ(eval("(function() { local c = Util.StopCounter(0, 4, 2); local e = err(@() c.set(5));"
                   " return e + \",\" + c.get(); })()"),
              "Util.StopCounter: value is out range,2");
    // Reverse runs the wrapped counter backwards; clones are independent.
    EXPECT_EQ(eval("(function() { local c = Util.Counter(10); local r = Util.ReverseCounter(c);"
                   " r.inc(3); local d = clone r; d.inc(); return c.get() + \",\" + d.get(); })()"),
              "7,6");
    EXPECT_EQ(eval("(function() { local a = Util.LoopCounter(0, 9, 4); local b = clone a; b.inc();"
                   " return a.get() + \",\" + b.get() + \",\" + b.getMax(); })()"),
              "4,5,9");
}

TEST_F(UtilScript, RingBufferKeepsTheNewest) {
    run("rb <- Util.RingBuffer(3);");
    EXPECT_EQ(eval("err(@() rb.top())"), "out of range");
    EXPECT_EQ(eval("err(@() rb.bottom())"), "out of range");
    run("rb.append(\"a\"); rb.append(\"b\");");
    EXPECT_EQ(eval("rb.len() + rb.top() + rb.bottom()"), "2ab");
    run("rb.append(\"c\"); rb.append(\"d\");");
    EXPECT_EQ(eval("rb.len() + rb.top() + rb.bottom() + rb.getCapacity()"), "3bd3");
    EXPECT_EQ(eval("show(rb.toArray())"), "['b' 'c' 'd' ]");
    EXPECT_EQ(eval("err(@() rb.get(3))"), "out of range");
    EXPECT_EQ(eval("err(@() rb.get(-1))"), "out of range");
    run("for (local i = 0; i < 7; ++i) rb.append(i);");
    EXPECT_EQ(eval("show(rb.toArray())"), "[integer:4 integer:5 integer:6 ]");
    run("rb.clear(); rb.append(9);");
    EXPECT_EQ(eval("rb.len() + \",\" + rb.top() + \",\" + rb.bottom()"), "1,9,9");
}

TEST_F(UtilScript, TimerAndFpsRunOnTheLibraryClock) {
    run("t <- Util.Timer();");
    clock->t += 250;
    EXPECT_EQ(eval("t.get()"), "250");
    run("t.stop();");
    clock->t += 100;
    EXPECT_EQ(eval("t.get() + \",\" + t.isStopped()"), "250,true");
    run("t.start(); t.set(1000);");
    clock->t += 5;
    EXPECT_EQ(eval("t.get()"), "1005");
    run("t.reset();");
    EXPECT_EQ(eval("t.get()"), "0");

    // The 60 fps schedule: frames end at 17, 33 and 50 ms after the cycle starts.
    uint32_t start = clock->t;
    run("f <- Util.Fps(60); f.wait(); f.wait(); f.wait();");
    EXPECT_EQ(clock->t - start, 50u);
    EXPECT_EQ(eval("f.getFps()"), "60");
    EXPECT_EQ(eval("err(@() Util.Fps())"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Util.Fps(\"60\"))"), "wrong number of parameters");
    EXPECT_EQ(eval("Util.g_koplayhost_fps.getFps()"), "60");
}

} // namespace
