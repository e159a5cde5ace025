#include "script/bind/Bind.h"
#include "script/plugin/Plugin.h"
#include "script/plugin/koplugin.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

using namespace KoScript;

namespace {

struct Counter {
    int value = 0;
    int step = 1;
};

ClassTag counterTag{"Counter"};
ClassTag fancyTag{"FancyCounter"};
ClassTag otherTag{"Other"};
std::weak_ptr<Counter> lastCreated;

SQInteger counterCtor(HSQUIRRELVM v) {
    auto c = std::make_shared<Counter>();
    if (argCount(v) == 1) {
        auto start = getInt(v, 2);
        if (!start) return throwWrongParams(v);
        c->value = *start;
    }
    lastCreated = c;
    setInstance(v, 1, c);
    return 0;
}

SQInteger counterInc(HSQUIRRELVM v) {
    auto c = getInstance<Counter>(v, 1, counterTag);
    if (!c) return throwScriptError(v, u"not a counter");
    c->value += c->step;
    push(v, c->value);
    return 1;
}

SQInteger getValue(HSQUIRRELVM v) {
    push(v, getInstance<Counter>(v, 1, counterTag)->value);
    return 1;
}

SQInteger setStep(HSQUIRRELVM v) {
    auto n = getInt(v, 2);
    if (!n) return throwWrongParams(v);
    getInstance<Counter>(v, 1, counterTag)->step = *n;
    return 0;
}

SQInteger getStep(HSQUIRRELVM v) {
    push(v, getInstance<Counter>(v, 1, counterTag)->step);
    return 1;
}

SQInteger twice(HSQUIRRELVM v) {
    auto c = getInstance<Counter>(v, 1, counterTag);
    push(v, c->value * 2);
    return 1;
}

// Makes a counter from native code, as factories do.
SQInteger makeCounter(HSQUIRRELVM v) {
    auto c = std::make_shared<Counter>();
    c->value = 100;
    if (!pushInstance(v, counterTag, c)) return throwScriptError(v, kCreateFailed);
    return 1;
}

SQInteger masked(HSQUIRRELVM v) {
    // The mask is the first argument; the rest is checked against it.
    const SQChar* m;
    sq_getstring(v, 2, &m);
    std::string mask(m, m + sq_getsize(v, 2));
    sq_remove(v, 2);
    push(v, checkParams(v, mask.c_str()));
    return 1;
}

SQInteger zero(HSQUIRRELVM v) { return push(v, u"zero"), 1; }
SQInteger two(HSQUIRRELVM v) {
    push(v, format(u"two %s %s", {toString(v, 2), toString(v, 3)}));
    return 1;
}

void bindAll(HSQUIRRELVM v) {
    sq_pushroottable(v);
    ClassBuilder(v, -1, u"Counter", counterTag)
        .ctor(counterCtor)
        .method(u"inc", counterInc)
        .property(u"value", getValue)
        .property(u"step", getStep, setStep)
        .constant(u"LIMIT", 10)
        .done();
    ClassBuilder(v, -1, u"FancyCounter", fancyTag, &counterTag).method(u"twice", twice).done();
    ClassBuilder(v, -1, u"Other", otherTag).done();
    setFunction(v, -1, u"makeCounter", makeCounter);
    setFunction(v, -1, u"masked", masked);
    setOverloads(v, -1, u"over", {{0, zero}, {2, two}});
    pushNewTable(v, -1, u"Lib");
    setValue(v, -1, u"answer", 42);
    setValue(v, -1, u"name", u"名前");
    sq_pop(v, 2);
}

} // namespace

TEST(Bind, ParameterMasks) {
    KoTest::ScriptVm vm;
    bindAll(vm.vm());
    EXPECT_EQ(vm.eval("masked(\"ifs\", 1, 2.5, \"s\")"), "true");
    EXPECT_EQ(vm.eval("masked(\"fi\", 1, 2.5)"), "true"); // numbers accept each other
    EXPECT_EQ(vm.eval("masked(\"i\", 1, 2)"), "false");   // count must match exactly
    EXPECT_EQ(vm.eval("masked(\"ii\", 1)"), "false");
    EXPECT_EQ(vm.eval("masked(\"s\", 1)"), "false");
    EXPECT_EQ(vm.eval("masked(\"b o a t\", true, null, [], {})"), "true");
    EXPECT_EQ(vm.eval("masked(\"c\", function() {})"), "true");
    EXPECT_EQ(vm.eval("masked(\"c\", print)"), "true");
    EXPECT_EQ(vm.eval("masked(\"x\", Counter())"), "true");
    EXPECT_EQ(vm.eval("masked(\"x\", {})"), "false");
    EXPECT_EQ(vm.eval("masked(\"q\", 1)"), "false"); // unknown letter
    EXPECT_EQ(vm.eval("masked(\"\")"), "true");
}

TEST(Bind, OverloadsDispatchOnCount) {
    KoTest::ScriptVm vm;
    bindAll(vm.vm());
    EXPECT_EQ(vm.eval("over()"), "zero");
    EXPECT_EQ(vm.eval("over(1, \"b\")"), "two 1 b");
    EXPECT_TRUE(vm.run("try { over(1); } catch (e) { err <- e; }"));
    EXPECT_EQ(vm.eval("err"), "No overload matching this argument list found");
    EXPECT_EQ(vm.eval("Lib.answer + Lib.name"), "42名前");
}

TEST(Bind, ClassesHoldNativeObjects) {
    KoTest::ScriptVm vm;
    bindAll(vm.vm());
    EXPECT_EQ(vm.eval("Counter(5).inc()"), "6");
    EXPECT_TRUE(vm.run("c <- Counter(); c.step = 3; c.inc(); c.inc();"));
    EXPECT_EQ(vm.eval("c.value"), "6");
    EXPECT_EQ(vm.eval("c.step"), "3");
    EXPECT_EQ(vm.eval("Counter.LIMIT"), "10");
    // Read-only and unknown properties fail like any missing index.
    EXPECT_FALSE(vm.run("c.value = 1;"));
    EXPECT_FALSE(vm.run("c.nothing;"));
    EXPECT_EQ(vm.eval("c.value"), "6");
    EXPECT_TRUE(vm.run("try { Counter(\"x\"); } catch (e) { err <- e; }"));
    EXPECT_EQ(vm.eval("err"), "wrong number of parameters");
}

TEST(Bind, DerivedClassesInheritMethodsAndProperties) {
    KoTest::ScriptVm vm;
    bindAll(vm.vm());
    EXPECT_TRUE(vm.run("f <- FancyCounter(4); f.inc();"));
    EXPECT_EQ(vm.eval("f.value"), "5");
    EXPECT_EQ(vm.eval("f.twice()"), "10");
    EXPECT_EQ(vm.eval("f instanceof Counter"), "true");
    // A method called on an instance of an unrelated class sees no native object.
    EXPECT_TRUE(vm.run("try { Counter.inc.call(Other()); } catch (e) { err <- e; }"));
    EXPECT_EQ(vm.eval("err"), "not a counter");
}

TEST(Bind, NativeObjectLivesExactlyAsLongAsTheInstance) {
    KoTest::ScriptVm vm;
    bindAll(vm.vm());
    ASSERT_TRUE(vm.run("keep <- Counter(1);"));
    auto weak = lastCreated;
    EXPECT_FALSE(weak.expired());
    ASSERT_TRUE(vm.run("keep = null;"));
    EXPECT_TRUE(weak.expired()); // released at once, no collection needed
    EXPECT_EQ(vm.eval("makeCounter().value"), "100");
}

// The layout plugins are compiled against, written out here on its own: a swapped pair in the
// table would call the wrong function in every plugin.
TEST(Plugin, EntryPointTableOrder) {
    using Fn = void (*)();
    const Fn expected[] = {
        // VM                                                                           0
        Fn(&sq_open), Fn(&sq_newthread), Fn(&sq_seterrorhandler), Fn(&sq_close),
        Fn(&sq_setforeignptr), Fn(&sq_getforeignptr), Fn(&sq_setprintfunc),
        Fn(&sq_getprintfunc), Fn(&sq_geterrorfunc), Fn(&sq_suspendvm), Fn(&sq_wakeupvm),
        Fn(&sq_getvmstate), Fn(&sq_getversion),
        // compiler                                                                    13
        Fn(&sq_compile), Fn(&sq_compilebuffer), Fn(&sq_enabledebuginfo),
        Fn(&sq_notifyallexceptions), Fn(&sq_setcompilererrorhandler),
        // stack                                                                       18
        Fn(&sq_push), Fn(&sq_pop), Fn(&sq_poptop), Fn(&sq_remove), Fn(&sq_gettop),
        Fn(&sq_settop), Fn(&sq_reservestack), Fn(&sq_cmp), Fn(&sq_move),
        // object creation                                                             27
        Fn(&sq_newuserdata), Fn(&sq_newtable), Fn(&sq_newarray), Fn(&sq_newclass),
        Fn(&sq_newclosure), Fn(&sq_setparamscheck), Fn(&sq_bindenv), Fn(&sq_pushstring),
        Fn(&sq_pushfloat), Fn(&sq_pushinteger), Fn(&sq_pushbool), Fn(&sq_pushuserpointer),
        Fn(&sq_pushnull),
        // reading values                                                              40
        Fn(&sq_gettype), Fn(&sq_getsize), Fn(&sq_getbase), Fn(&sq_instanceof),
        Fn(&sq_tostring), Fn(&sq_tobool), Fn(&sq_getstring), Fn(&sq_getinteger),
        Fn(&sq_getfloat), Fn(&sq_getbool), Fn(&sq_getthread), Fn(&sq_getuserpointer),
        Fn(&sq_getuserdata), Fn(&sq_settypetag), Fn(&sq_gettypetag), Fn(&sq_setreleasehook),
        Fn(&sq_getscratchpad), Fn(&sq_getclosureinfo), Fn(&sq_setnativeclosurename),
        Fn(&sq_setinstanceup), Fn(&sq_getinstanceup), Fn(&sq_setclassudsize),
        Fn(&sq_createinstance), Fn(&sq_setattributes), Fn(&sq_getattributes),
        Fn(&sq_getclass), Fn(&sq_weakref), Fn(&sq_getdefaultdelegate),
        // object manipulation                                                         68
        Fn(&sq_pushroottable), Fn(&sq_pushregistrytable), Fn(&sq_pushconsttable),
        Fn(&sq_setroottable), Fn(&sq_setconsttable), Fn(&sq_newslot), Fn(&sq_deleteslot),
        Fn(&sq_set), Fn(&sq_get), Fn(&sq_rawget), Fn(&sq_rawset), Fn(&sq_rawdeleteslot),
        Fn(&sq_arrayappend), Fn(&sq_arraypop), Fn(&sq_arrayresize), Fn(&sq_arrayreverse),
        Fn(&sq_arrayremove), Fn(&sq_arrayinsert), Fn(&sq_setdelegate), Fn(&sq_getdelegate),
        Fn(&sq_clone), Fn(&sq_setfreevariable), Fn(&sq_next), Fn(&sq_getweakrefval),
        Fn(&sq_clear),
        // calls                                                                       93
        Fn(&sq_call), Fn(&sq_resume), Fn(&sq_getlocal), Fn(&sq_getfreevariable),
        Fn(&sq_throwerror), Fn(&sq_reseterror), Fn(&sq_getlasterror),
        // raw object handling                                                        100
        Fn(&sq_getstackobj), Fn(&sq_pushobject), Fn(&sq_addref), Fn(&sq_release),
        Fn(&sq_resetobject), Fn(&sq_objtostring), Fn(&sq_objtobool), Fn(&sq_objtointeger),
        Fn(&sq_objtofloat), Fn(&sq_getobjtypetag),
        // GC, serialization, memory, debug                                           110
        Fn(&sq_collectgarbage), Fn(&sq_writeclosure), Fn(&sq_readclosure), Fn(&sq_malloc),
        Fn(&sq_realloc), Fn(&sq_free), Fn(&sq_stackinfos), Fn(&sq_setdebughook),
        // hashes, members, callee, reference counts                                 118
        Fn(&sq_newtableex), Fn(&sq_typeof), Fn(&sq_gethash), Fn(&sq_getfunctioninfo),
        Fn(&sq_getclosurename), Fn(&sq_getmemberhandle), Fn(&sq_getbyhandle),
        Fn(&sq_setbyhandle), Fn(&sq_newmember), Fn(&sq_rawnewmember), Fn(&sq_getcallee),
        Fn(&sq_throwobject), Fn(&sq_getrefcount), Fn(&sq_objtouserpointer),
        Fn(&sq_resurrectunreachable), Fn(&sq_setnativedebughook),
    };
    constexpr size_t count = sizeof(expected) / sizeof(expected[0]);
    static_assert(count == 134);
    ASSERT_EQ(sizeof(sq_api), count * sizeof(Fn));
    const Fn* slots = reinterpret_cast<const Fn*>(KoPlayhost::pluginApi());
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(slots[i], expected[i]) << "slot " << i;
}

TEST(Plugin, MissingLibraryGivesNothing) {
    KoTest::ScriptVm vm;
    EXPECT_EQ(KoPlayhost::createPlugin(u"surely_not_a_plugin_here", vm.vm(), nullptr), nullptr);
    EXPECT_EQ(KoPlayhost::createPlugin(u"", vm.vm(), nullptr), nullptr);
}
