// Windows-style paths: backslashes and case-insensitive lookup.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "squirrel/stdlib/pathcase.h"

#include <cstring>
#include <sqstdio.h>

namespace fs = std::filesystem;

namespace {

class PathCase : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("sqstd_pathcase_" + std::to_string(::getpid()));
        fs::create_directories(root / "Data" / "Sub");
        std::ofstream(root / "Data" / "Sub" / "Save.DAT") << "x";
        std::ofstream(root / "Data" / "日本.txt") << "y";
    }
    void TearDown() override { fs::remove_all(root); }
    std::string r(const std::string& rel) { return root.string() + "/" + rel; }
    fs::path root;
};

TEST_F(PathCase, ExactPathsAndBackslashes) {
    EXPECT_EQ(sqstd::resolve_path(r("Data/Sub/Save.DAT"), false), r("Data/Sub/Save.DAT"));
    EXPECT_EQ(sqstd::resolve_path(root.string() + "\\Data\\Sub\\Save.DAT", false),
              r("Data/Sub/Save.DAT"));
}

TEST_F(PathCase, MissingCaseIsFoundOnDisk) {
    EXPECT_EQ(sqstd::resolve_path(r("data/SUB/save.dat"), false), r("Data/Sub/Save.DAT"));
    EXPECT_EQ(sqstd::resolve_path(r("DATA\\./日本.TXT"), false), r("Data/./日本.txt"));
}

TEST_F(PathCase, NewFilesKeepTheirNameInAnExistingFolder) {
    EXPECT_EQ(sqstd::resolve_path(r("data/sub/new.dat"), true), r("Data/Sub/new.dat"));
    // an existing file in another case is the same file, as on Windows
    EXPECT_EQ(sqstd::resolve_path(r("data/sub/SAVE.dat"), true), r("Data/Sub/Save.DAT"));
}

TEST_F(PathCase, NothingFoundLeavesThePathForTheCallerToFail) {
    EXPECT_EQ(sqstd::resolve_path(r("nope/save.dat"), false), r("nope/save.dat"));
    EXPECT_EQ(sqstd::resolve_path(r("nope/new.dat"), true), r("nope/new.dat"));
    EXPECT_EQ(sqstd::resolve_path(r("Data/Sub/Save.DAT/x"), false), r("Data/Sub/Save.DAT/x"));
    EXPECT_EQ(sqstd::resolve_path("", false), "");
}

} // namespace

TEST_F(PathCase, NamesDifferingOnlyInCaseResolveToTheFirstInByteOrder) {
    fs::create_directories(root / "pair" / "data");
    fs::create_directories(root / "pair" / "Data");
    std::ofstream(root / "pair" / "data" / "a.txt") << "lower";
    std::ofstream(root / "pair" / "Data" / "A.txt") << "upper";
    // Whatever order the folder lists them in, "Data" < "data".
    EXPECT_EQ(sqstd::resolve_path(r("pair/DATA/a.TXT"), false), r("pair/Data/A.txt"));
}

namespace {
std::string g_target;
int g_calls = 0;
SQBool mapEverything(const char* name, SQBool may_be_new, char* out, SQInteger size) {
    ++g_calls;
    std::string result = std::string(name) == "new" && may_be_new ? "made-new" : g_target;
    if (SQInteger(result.size()) >= size) return SQFalse; // asks for a larger buffer
    std::memcpy(out, result.c_str(), result.size() + 1);
    return SQTrue;
}
} // namespace

TEST_F(PathCase, AHostResolverDecidesEveryNameUntilReset) {
    g_target = r("Data/Sub/Save.DAT") + std::string(600, '/'); // longer than the first buffer
    g_calls = 0;
    sqstd_setfilenameresolver(mapEverything);
    EXPECT_EQ(sqstd::resolve_path("anything", false), g_target);
    EXPECT_GT(g_calls, 1); // refused once for size, then given room
    EXPECT_EQ(sqstd::resolve_path("new", true), "made-new");
    sqstd_setfilenameresolver(nullptr);
    EXPECT_EQ(sqstd::resolve_path(r("data/sub/save.dat"), false), r("Data/Sub/Save.DAT"));
}
