// Stack behaviour of the C API: what each call pushes and pops.
#include "vm_test_util.h"
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

TEST(ApiStack, PushPopSettopRemove) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    EXPECT_EQ(sq_gettop(v), 0);
    sq_pushinteger(v, 1);
    sq_pushfloat(v, 2.5f);
    sq_pushstring(v, u"abc", -1);
    sq_pushbool(v, SQTrue);
    sq_pushnull(v);
    EXPECT_EQ(sq_gettop(v), 5);
    EXPECT_EQ(sq_gettype(v, 1), OT_INTEGER);
    EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
    EXPECT_EQ(sq_gettype(v, -3), OT_STRING);
    sq_remove(v, 2); // the float
    EXPECT_EQ(sq_gettop(v), 4);
    EXPECT_EQ(sq_gettype(v, 2), OT_STRING);
    sq_settop(v, 7);
    EXPECT_EQ(sq_gettop(v), 7);
    EXPECT_EQ(sq_gettype(v, 7), OT_NULL);
    sq_settop(v, 1);
    EXPECT_EQ(sq_gettop(v), 1);
    sq_push(v, 1);
    SQInteger i = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &i)));
    EXPECT_EQ(i, 1);
    sq_pop(v, 2);
    EXPECT_EQ(sq_gettop(v), 0);
}

TEST(ApiStack, GettersConvertOrFail) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_pushfloat(v, 3.75f);
    SQInteger i = 0;
    SQFloat f = 0;
    SQBool b;
    const SQChar* s;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &i)));
    EXPECT_EQ(i, 3);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getfloat(v, -1, &f)));
    EXPECT_FLOAT_EQ(f, 3.75f);
    EXPECT_TRUE(SQ_FAILED(sq_getbool(v, -1, &b)));
    EXPECT_TRUE(SQ_FAILED(sq_getstring(v, -1, &s)));
    sq_tobool(v, -1, &b);
    EXPECT_EQ(b, SQTrue);
    sq_pushinteger(v, 0);
    sq_tobool(v, -1, &b);
    EXPECT_EQ(b, SQFalse);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_tostring(v, -2)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &s)));
    EXPECT_EQ(A(s), "3.75");
}

TEST(ApiStack, CallPopsParamsAndPushesResult) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.compile("return vargv.len() * 10 + vargv[0];"));
    sq_pushroottable(v);
    sq_pushinteger(v, 7);
    sq_pushinteger(v, 8);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQFalse)));
    EXPECT_EQ(sq_gettop(v), 2); // closure + result
    SQInteger r = 0;
    sq_getinteger(v, -1, &r);
    EXPECT_EQ(r, 27);
    sq_pop(v, 1);
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_FAILED(sq_call(v, 1, SQTrue, SQFalse))); // vargv[0] does not exist
    EXPECT_EQ(sq_gettop(v), 1);                             // only the closure is left
    EXPECT_EQ(t.lasterror(), "the index '0' does not exist");
}

TEST(ApiStack, TableSlotsGetSetDelete) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_newtable(v);
    sq_pushstring(v, u"k", -1);
    sq_pushinteger(v, 5);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse)));
    EXPECT_EQ(sq_gettop(v), 1);
    EXPECT_EQ(sq_getsize(v, -1), 1);
    sq_pushstring(v, u"k", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    SQInteger i = 0;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 5);
    sq_pop(v, 1);
    sq_pushstring(v, u"missing", -1);
    EXPECT_TRUE(SQ_FAILED(sq_get(v, -2)));
    EXPECT_EQ(sq_gettop(v), 1); // key popped, nothing pushed
    sq_pushstring(v, u"missing", -1);
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sq_set(v, -3))); // set needs an existing slot
    EXPECT_EQ(sq_gettop(v), 1);
    sq_pushstring(v, u"k", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_deleteslot(v, -2, SQTrue)));
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 5);
    sq_pop(v, 1);
    EXPECT_EQ(sq_getsize(v, -1), 0);
}

TEST(ApiStack, NextIteratesInInsertionOrder) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_newtable(v);
    const char16_t* keys[] = {u"zeta", u"alpha", u"mid"};
    for (int k = 0; k < 3; k++) {
        sq_pushstring(v, keys[k], -1);
        sq_pushinteger(v, k);
        sq_newslot(v, -3, SQFalse);
    }
    sq_pushnull(v);
    std::string seen;
    int n = 0;
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        const SQChar* key;
        SQInteger val;
        sq_getstring(v, -2, &key);
        sq_getinteger(v, -1, &val);
        EXPECT_EQ(val, n);
        seen += A(key) + ",";
        sq_pop(v, 2);
        n++;
    }
    sq_pop(v, 1);
    EXPECT_EQ(seen, "zeta,alpha,mid,");
    EXPECT_EQ(sq_gettop(v), 1);
}

TEST(ApiStack, ArrayFunctions) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_newarray(v, 0);
    for (int k = 0; k < 4; k++) {
        sq_pushinteger(v, k);
        sq_arrayappend(v, -2);
    }
    EXPECT_EQ(sq_getsize(v, -1), 4);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayreverse(v, -1)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arraypop(v, -1, SQTrue)));
    SQInteger i = -1;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 0);
    sq_pop(v, 1);
    EXPECT_TRUE(SQ_FAILED(sq_arrayremove(v, -1, 10)));
    sq_pushinteger(v, 99);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayinsert(v, -2, 0)));
    sq_pushinteger(v, 0);
    sq_get(v, -2);
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 99);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayresize(v, -1, 10)));
    EXPECT_EQ(sq_getsize(v, -1), 10);
    EXPECT_TRUE(SQ_FAILED(sq_arrayresize(v, -1, -1)));
    EXPECT_EQ(sq_gettop(v), 1);
}

static SQInteger native_sum(HSQUIRRELVM v) {
    SQInteger a, b;
    sq_getinteger(v, 2, &a);
    sq_getinteger(v, 3, &b);
    sq_pushinteger(v, a + b);
    return 1;
}

TEST(ApiStack, NativeClosureParamsCheck) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_pushroottable(v);
    sq_pushstring(v, u"sum", -1);
    sq_newclosure(v, native_sum, 0);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setparamscheck(v, 3, u".ii")));
    sq_setnativeclosurename(v, -1, u"sum");
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    ASSERT_TRUE(t.run("print(sum(2, 3));"));
    EXPECT_EQ(TestVM::out, "5");
    EXPECT_FALSE(t.run("sum(2);"));
    EXPECT_EQ(t.lasterror(), "wrong number of parameters");
    EXPECT_FALSE(t.run("sum(2, \"x\");"));
    EXPECT_EQ(t.lasterror(), "parameter 2 has an invalid type 'string' ; expected: 'integer'");
}

static SQInteger native_ok(HSQUIRRELVM v) {
    sq_pushinteger(v, sq_gettop(v));
    return 1;
}

// Registers `name` with the type mask; false if the mask is refused.
static bool define_checked(TestVM& t, const char16_t* name, SQInteger nparams,
                           const char16_t* mask) {
    HSQUIRRELVM v = t.v;
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, native_ok, 0);
    bool ok = SQ_SUCCEEDED(sq_setparamscheck(v, nparams, mask));
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    return ok;
}

TEST(ApiStack, TypeMasksJoinAlternativesAndSkipSpaces) {
    TestVM t;
    ASSERT_TRUE(define_checked(t, u"f", SQ_MATCHTYPEMASKSTRING, u". n|s  t|a"));
    TestVM::out.clear();
    ASSERT_TRUE(t.run("print(f(1, {}) + f(\"x\", []) + f(1.5, []));"));
    EXPECT_EQ(TestVM::out, "9");
    EXPECT_FALSE(t.run("f({}, {});"));
    EXPECT_EQ(t.lasterror(),
              "parameter 1 has an invalid type 'table' ; expected: 'integer|float|string'");
    EXPECT_FALSE(t.run("f(1);"));
    EXPECT_EQ(t.lasterror(), "wrong number of parameters");
    // a space may follow '|'; '.' takes anything, also as an alternative
    ASSERT_TRUE(define_checked(t, u"g", -2, u".b| i x|."));
    TestVM::out.clear();
    ASSERT_TRUE(t.run("print(g(true) + g(2, null));"));
    EXPECT_EQ(TestVM::out, "5");
    EXPECT_FALSE(t.run("g(\"s\");"));
    // refused masks: unknown letters, a trailing '|', '|' after '.'
    EXPECT_FALSE(define_checked(t, u"h1", 2, u".q"));
    EXPECT_FALSE(define_checked(t, u"h2", 2, u".n|"));
    EXPECT_FALSE(define_checked(t, u"h3", 2, u"..|n"));
}

static SQInteger native_fail(HSQUIRRELVM v) {
    return sq_throwerror(v, u"native failure");
}

TEST(ApiStack, NativeErrorsBecomeScriptExceptions) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_pushroottable(v);
    sq_pushstring(v, u"fail", -1);
    sq_newclosure(v, native_fail, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    ASSERT_TRUE(t.run("try { fail(); } catch (e) { print(e); }"));
    EXPECT_EQ(TestVM::out, "native failure");
    EXPECT_EQ(sq_gettop(v), 0);
}

TEST(ApiStack, ClassesInstancesAndMemberHandles) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.run("class ::P { x = 1; static s = 2; function get() { return x; } }"));
    sq_pushroottable(v);
    sq_pushstring(v, u"P", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(v, -1)));
    sq_pushstring(v, u"x", -1);
    HSQMEMBERHANDLE h;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getmemberhandle(v, -3, &h)));
    sq_pushinteger(v, 42);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setbyhandle(v, -2, &h)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getbyhandle(v, -1, &h)));
    SQInteger i = 0;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 42);
    sq_pop(v, 1);
    sq_push(v, -2);
    EXPECT_EQ(sq_instanceof(v), SQTrue);
    sq_pop(v, 1);
    EXPECT_EQ(sq_gettop(v), 3);
}

TEST(ApiStack, StackOverflowIsAScriptError) {
    TestVM t;
    EXPECT_FALSE(t.run("function f(n) { return 1 + f(n + 1); } f(0);"));
    EXPECT_EQ(t.lasterror(), "stack overflow");
    // runaway recursion through a metamethod (C-level recursion) too
    EXPECT_FALSE(t.run(
        "local d = { _get = function(k) { return this[k]; } }; local o = {}.setdelegate(d); o.x;"));
    // the VM is still usable
    EXPECT_TRUE(t.run("print(1 + 1);"));
}

TEST(ApiStack, CompileErrorsReportPosition) {
    TestVM t;
    static std::string got;
    got.clear();
    sq_setcompilererrorhandler(
        t.v, [](HSQUIRRELVM, const SQChar* desc, const SQChar* src, SQInteger line, SQInteger col) {
            got = A(src) + ":" + std::to_string(line) + ":" + std::to_string(col) + ": " + A(desc);
        });
    std::u16string s = U("local a = 1;\nlocal b = ;\n");
    EXPECT_TRUE(
        SQ_FAILED(sq_compilebuffer(t.v, s.data(), (SQInteger)s.size(), u"bad.nut", SQTrue)));
    EXPECT_EQ(got.substr(0, 10), "bad.nut:2:");
    EXPECT_NE(got.find("expression expected"), std::string::npos);
    EXPECT_EQ(t.lasterror(), "expression expected");
    EXPECT_EQ(sq_gettop(t.v), 0);
    // deeply nested input is a compile error, not a crash
    std::string deep(100000, '(');
    EXPECT_FALSE(t.compile("local x = " + deep));
}

// rawget on an array replaces the index with the element; a bad index pops it and fails.
TEST(ApiStack, RawgetOnArraysReplacesTheIndex) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_newarray(v, 0);
    for (SQInteger n : {10, 20, 30}) {
        sq_pushinteger(v, n);
        sq_arrayappend(v, -2);
    }
    sq_pushstring(v, u"s", -1);
    sq_arrayappend(v, 1);
    auto elementAt = [&](auto key, SQObjectType expected) {
        sq_settop(v, 1);
        if constexpr (std::is_same_v<decltype(key), float>)
            sq_pushfloat(v, key);
        else
            sq_pushinteger(v, key);
        bool ok = SQ_SUCCEEDED(sq_rawget(v, 1));
        EXPECT_EQ(sq_gettop(v), ok ? 2 : 1);
        if (ok) {
            EXPECT_EQ(sq_gettype(v, -1), expected);
        }
        return ok;
    };
    ASSERT_TRUE(elementAt(SQInteger(1), OT_INTEGER));
    SQInteger i = 0;
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 20);
    ASSERT_TRUE(elementAt(2.9f, OT_INTEGER)); // a float index truncates
    sq_getinteger(v, -1, &i);
    EXPECT_EQ(i, 30);
    EXPECT_TRUE(elementAt(SQInteger(3), OT_STRING));
    EXPECT_FALSE(elementAt(SQInteger(4), OT_NULL));
    EXPECT_FALSE(elementAt(SQInteger(-1), OT_NULL));
    // The element survives the array: the stack holds its own reference.
    sq_settop(v, 1);
    sq_pushinteger(v, 3);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_rawget(v, -2)));
    sq_remove(v, 1);
    const SQChar* s = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &s)));
    EXPECT_EQ(std::u16string(s), u"s");
    // A string key on an array is no index.
    sq_settop(v, 0);
    sq_newarray(v, 2);
    sq_pushstring(v, u"len", -1);
    EXPECT_TRUE(SQ_FAILED(sq_rawget(v, 1)));
    EXPECT_EQ(sq_gettop(v), 1);
}

// Elements come out as they are, the stack is left alone, and a range past either end or
// anything but an array fails without writing.
TEST(ApiStack, GetArrayElementsCopiesARange) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    sq_newarray(v, 0);
    sq_pushinteger(v, 7);
    sq_arrayappend(v, 1);
    sq_pushfloat(v, 2.5f);
    sq_arrayappend(v, 1);
    sq_pushnull(v);
    sq_arrayappend(v, 1);
    HSQOBJECT out[4];
    for (auto& o : out) o._type = OT_BOOL;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getarrayelements(v, -1, 0, 3, out)));
    EXPECT_EQ(sq_gettop(v), 1);
    EXPECT_EQ(out[0]._type, OT_INTEGER);
    EXPECT_EQ(sq_objtointeger(&out[0]), 7);
    EXPECT_EQ(out[1]._type, OT_FLOAT);
    EXPECT_FLOAT_EQ(sq_objtofloat(&out[1]), 2.5f);
    EXPECT_EQ(out[2]._type, OT_NULL);
    EXPECT_EQ(out[3]._type, OT_BOOL);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getarrayelements(v, 1, 1, 1, out + 3)));
    EXPECT_EQ(out[3]._type, OT_FLOAT);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getarrayelements(v, 1, 3, 0, out))); // empty, at the end
    out[0]._type = OT_BOOL;
    EXPECT_TRUE(SQ_FAILED(sq_getarrayelements(v, 1, 2, 2, out)));
    EXPECT_TRUE(SQ_FAILED(sq_getarrayelements(v, 1, -1, 1, out)));
    EXPECT_TRUE(SQ_FAILED(sq_getarrayelements(v, 1, 0, -1, out)));
    EXPECT_TRUE(SQ_FAILED(sq_getarrayelements(v, 1, 4, 0, out)));
    EXPECT_EQ(out[0]._type, OT_BOOL);
    sq_newtable(v);
    EXPECT_TRUE(SQ_FAILED(sq_getarrayelements(v, -1, 0, 0, out)));
    EXPECT_EQ(sq_gettop(v), 2);
}
