// The C functions of the standard libraries, driven through the VM's API:
// registration, blob and file helpers, sqstd_format, script loading with
// every encoding, and the error reports as a host receives them.
#include <gtest/gtest.h>

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdprintf.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "squirrel/internal/utf16.h"

namespace fs = std::filesystem;

namespace {

std::u16string g_out, g_err;

void print_out(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sqstd::vappendf(g_out, fmt, ap);
    va_end(ap);
}

void print_err(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sqstd::vappendf(g_err, fmt, ap);
    va_end(ap);
}

class Api : public ::testing::Test {
protected:
    void SetUp() override {
        g_out.clear();
        g_err.clear();
        v = sq_open(1024);
        sq_setprintfunc(v, print_out, print_err);
        sq_pushroottable(v);
        sqstd_register_iolib(v);
        sqstd_register_bloblib(v);
        sqstd_register_mathlib(v);
        sqstd_register_systemlib(v);
        sqstd_register_stringlib(v);
        sqstd_seterrorhandlers(v);
        sq_pop(v, 1);
        dir = fs::temp_directory_path() / ("sqstd_api_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        sq_close(v);
        fs::remove_all(dir);
    }
    std::u16string path(const char* name) { return sqstd::from_utf8((dir / name).string()); }
    void write(const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // Runs source text; returns the printed output, or "error: <last error>".
    std::string run(const char* src) {
        std::u16string s = sqstd::from_utf8(src);
        SQInteger top = sq_gettop(v);
        std::string r;
        if (SQ_FAILED(sq_compilebuffer(v, s.data(), static_cast<SQInteger>(s.size()), u"test.nut",
                                       SQTrue))) {
            r = "compile error";
        } else {
            sq_pushroottable(v);
            if (SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)))
                r = "error";
            else
                r = sqstd::to_utf8(g_out);
        }
        sq_settop(v, top);
        return r;
    }
    HSQUIRRELVM v = nullptr;
    fs::path dir;
};

TEST_F(Api, RegistrationLeavesTheStackAsItWas) {
    sq_pushroottable(v);
    SQInteger top = sq_gettop(v);
    EXPECT_EQ(sqstd_register_mathlib(v), SQ_OK);
    EXPECT_EQ(sqstd_register_stringlib(v), SQ_OK);
    EXPECT_EQ(sq_gettop(v), top);
    sq_pop(v, 1);
    EXPECT_EQ(
        run("print(typeof stream + \" \" + typeof blob + \" \" + typeof file + \" \" + RAND_MAX);"),
        "class class class 32767");
}

TEST_F(Api, BlobHelpers) {
    SQInteger top = sq_gettop(v);
    uint8_t* p = static_cast<uint8_t*>(sqstd_createblob(v, 3));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(sq_gettop(v), top + 1);
    p[0] = 1;
    p[2] = 0xFF;
    EXPECT_EQ(sqstd_getblobsize(v, -1), 3);
    SQUserPointer q = nullptr;
    ASSERT_EQ(sqstd_getblob(v, -1, &q), SQ_OK);
    EXPECT_EQ(q, p);
    sq_pushinteger(v, 5);
    EXPECT_TRUE(SQ_FAILED(sqstd_getblob(v, -1, &q)));
    EXPECT_EQ(sqstd_getblobsize(v, -1), -1);
    sq_settop(v, top);
}

TEST_F(Api, FileHelpersWrapHostStreams) {
    std::string name = (dir / "host.bin").string();
    FILE* f = std::fopen(name.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(sqstd_createfile(v, f, SQFalse), SQ_OK);
    SQFILE got = nullptr;
    ASSERT_EQ(sqstd_getfile(v, -1, &got), SQ_OK);
    EXPECT_EQ(got, f);
    sq_pop(v, 1);
    sq_collectgarbage(v);
    // not owned: still open after the instance went
    EXPECT_EQ(std::fputc('x', f), 'x');
    std::fclose(f);

    SQFILE h = sqstd_fopen(path("c.txt").c_str(), u"w");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(sqstd_fwrite(const_cast<char*>("abc"), 1, 3, h), 3);
    EXPECT_EQ(sqstd_ftell(h), 3);
    EXPECT_EQ(sqstd_fseek(h, 0, SQ_SEEK_SET), 0);
    EXPECT_EQ(sqstd_fseek(h, 0, 77), -1);
    EXPECT_EQ(sqstd_fclose(h), 0);
    EXPECT_EQ(sqstd_fopen(path("c.txt").c_str(), u"rw"), nullptr); // not a mode
}

TEST_F(Api, FormatFromTheStack) {
    SQInteger top = sq_gettop(v);
    sq_pushstring(v, u"%s=%05.1f|%x", -1);
    sq_pushstring(v, u"pi", -1);
    sq_pushfloat(v, 3.14159f);
    sq_pushinteger(v, 255);
    SQChar* out = nullptr;
    SQInteger len = 0;
    ASSERT_EQ(sqstd_format(v, top + 1, &len, &out), SQ_OK);
    EXPECT_EQ(std::u16string(out, static_cast<size_t>(len)), u"pi=003.1|ff");
    sq_pop(v, 1);
    EXPECT_TRUE(SQ_FAILED(sqstd_format(v, top + 1, &len, &out)));
    sq_getlasterror(v);
    const SQChar* e = nullptr;
    sq_getstring(v, -1, &e);
    EXPECT_EQ(std::u16string(e), u"not enough paramters for the given format string");
    sq_settop(v, top);
}

TEST_F(Api, ScriptsLoadInEveryEncoding) {
    std::string body = "return \"\xE6\x97\xA5\" + vargv.len();";
    write("utf8.nut", body);
    write("bom8.nut", "\xEF\xBB\xBF" + body);
    std::u16string w = sqstd::from_utf8(body);
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char16_t c : w) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    write("le.nut", le);
    write("be.nut", be);
    for (const char* n : {"utf8.nut", "bom8.nut", "le.nut", "be.nut"}) {
        SQInteger top = sq_gettop(v);
        sq_pushroottable(v);
        ASSERT_TRUE(SQ_SUCCEEDED(sqstd_dofile(v, path(n).c_str(), SQTrue, SQTrue))) << n;
        const SQChar* s = nullptr;
        ASSERT_EQ(sq_getstring(v, -1, &s), SQ_OK);
        EXPECT_EQ(std::u16string(s), u"日0") << n;
        EXPECT_EQ(sq_gettop(v), top + 2); // `this` and the result
        sq_settop(v, top);
    }
    EXPECT_TRUE(g_err.empty());
}

TEST_F(Api, BytecodeRoundTripAndBadBytecode) {
    write("m.nut", "return 6 * 7;");
    ASSERT_EQ(sqstd_loadfile(v, path("m.nut").c_str(), SQTrue), SQ_OK);
    ASSERT_EQ(sqstd_writeclosuretofile(v, path("m.cnut").c_str()), SQ_OK);
    sq_pop(v, 1);
    std::ifstream in(dir / "m.cnut", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFA);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFA);
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sqstd_dofile(v, path("m.cnut").c_str(), SQTrue, SQFalse)));
    SQInteger r = 0;
    sq_getinteger(v, -1, &r);
    EXPECT_EQ(r, 42);
    sq_pop(v, 2);
    // every truncation of the file, and flipped bytes, fail cleanly or load
    for (size_t n = 2; n < bytes.size(); n += 1 + bytes.size() / 64) {
        write("cut.cnut", bytes.substr(0, n));
        SQInteger top = sq_gettop(v);
        EXPECT_TRUE(SQ_FAILED(sqstd_loadfile(v, path("cut.cnut").c_str(), SQFalse))) << n;
        EXPECT_EQ(sq_gettop(v), top);
    }
    for (size_t i = 2; i < bytes.size(); i += 1 + bytes.size() / 64) {
        std::string bad = bytes;
        bad[i] = static_cast<char>(bad[i] ^ 0x5A);
        write("bad.cnut", bad);
        SQInteger top = sq_gettop(v);
        if (SQ_SUCCEEDED(sqstd_loadfile(v, path("bad.cnut").c_str(), SQFalse))) sq_pop(v, 1);
        EXPECT_EQ(sq_gettop(v), top);
    }
    EXPECT_TRUE(SQ_FAILED(sqstd_loadfile(v, path("none.nut").c_str(), SQFalse)));
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sqstd_writeclosuretofile(v, path("x.cnut").c_str())));
    sq_pop(v, 1);
}

TEST_F(Api, CompileErrorReport) {
    write("bad.nut", "local ok = 1;\nlocal bad = (ok + ;\n");
    EXPECT_TRUE(SQ_FAILED(sqstd_loadfile(v, path("bad.nut").c_str(), SQFalse)));
    EXPECT_TRUE(g_err.empty()); // without printerror nothing is reported
    EXPECT_TRUE(SQ_FAILED(sqstd_loadfile(v, path("bad.nut").c_str(), SQTrue)));
    EXPECT_EQ(sqstd::to_utf8(g_err), (dir / "bad.nut").string() +
                                         " line = (2) column = (20) : error expression expected\n");
}

TEST_F(Api, RuntimeErrorReport) {
    EXPECT_EQ(run("local up = 7;\n"
                  "function f(n, s) {\n"
                  "  local g = function(x) { local y = up + x; throw \"boom\"; };\n"
                  "  foreach (v in [1]) g(2.5);\n"
                  "}\n"
                  "f(1, \"str\");\n"),
              "error");
    EXPECT_EQ(sqstd::to_utf8(g_err),
              "\nAN ERROR HAS OCCURED [boom]\n\nCALLSTACK\n"
              "*FUNCTION [unknown()] test.nut line [3]\n"
              "*FUNCTION [f()] test.nut line [4]\n"
              "*FUNCTION [main()] test.nut line [6]\n"
              "\nLOCALS\n"
              "[up] 7\n[y] 9.5\n[x] 2.5\n[this] TABLE\n"
              "[up] 7\n[v] 1\n[@INDEX@] 0\n[g] CLOSURE\n[s] \"str\"\n[n] 1\n[this] TABLE\n"
              "[up] 7\n[vargv] ARRAY\n[this] TABLE\n");
}

TEST_F(Api, ReportValuesAndNonStringErrors) {
    run("local f = 0.1, big = 1e20, nothing = null, yes = true; throw 5;");
    std::string e = sqstd::to_utf8(g_err);
    EXPECT_EQ(e.rfind("\nAN ERROR HAS OCCURED [unknown]\n", 0), 0u) << e;
    EXPECT_NE(e.find("[f] 0.10000000149012\n"), std::string::npos) << e;
    EXPECT_NE(e.find("[big] 1.0000000200409e+020\n"), std::string::npos) << e;
    EXPECT_NE(e.find("[yes] true\n[nothing] NULL\n[big]"), std::string::npos) << e;
}

// Long strings are cut in the report, with their length, at a character boundary.
TEST_F(Api, ReportShortensLongStrings) {
    run("local edge = \"\";\n"
        "for (local i = 0; i < 255; ++i) edge += \"a\";\n"
        "edge += \"\U0001F600tail\";\n" // the pair would straddle the cut
        "local fits = \"\";\n"
        "for (local i = 0; i < 256; ++i) fits += \"b\";\n" // exactly the limit: kept whole
        "local big = \"0123456789\";\n"
        "for (local i = 0; i < 20; ++i) big += big;\n" // 10 * 2^20 characters
        "throw big;");
    std::string e = sqstd::to_utf8(g_err);
    EXPECT_LT(e.size(), 4000u) << e.substr(0, 2000);
    std::string tenth = "0123456789";
    std::string message;
    for (int i = 0; i < 102; ++i) message += tenth;
    message += "0123"; // 1024 characters
    EXPECT_EQ(e.rfind("\nAN ERROR HAS OCCURED [" + message + "... (10485760 characters)]\n", 0), 0u)
        << e.substr(0, 1200);
    std::string big = "[big] \"" + message.substr(0, 256) + "... (10485760 characters)\"\n";
    EXPECT_NE(e.find(big), std::string::npos) << e;
    EXPECT_NE(e.find("[fits] \"" + std::string(256, 'b') + "\"\n"), std::string::npos) << e;
    // 255 + 2 units of the pair + 4: cut before the pair, never between its halves.
    EXPECT_NE(e.find("[edge] \"" + std::string(255, 'a') + "... (261 characters)\"\n"),
              std::string::npos)
        << e;
}

TEST_F(Api, NoErrorFunctionNoReport) {
    sq_setprintfunc(v, print_out, nullptr);
    EXPECT_EQ(run("throw \"quiet\";"), "error");
    sqstd_printcallstack(v);
    EXPECT_TRUE(g_err.empty());
    EXPECT_TRUE(g_out.empty());
}

} // namespace
