// Windows-style paths: backslashes and case-insensitive lookup.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "squirrel/stdlib/pathcase.h"

namespace fs = std::filesystem;

namespace {

class PathCase : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("sqstd_pathcase_" + std::to_string(::getpid()));
        fs::create_directories(root / "Data" / "Sub");
        std::ofstream(root / "Data" / "Sub" / "Save.DAT") << "x";
        std::ofstream(root / "Data" / "日本.txt") << "y";
    }
    void TearDown() override { fs::remove_all(root); }
    std::string r(const std::string& rel) { return root.string() + "/" + rel; }
    fs::path root;
};

TEST_F(PathCase, ExactPathsAndBackslashes)
{
    EXPECT_EQ(sqstd::resolve_path(r("Data/Sub/Save.DAT"), false), r("Data/Sub/Save.DAT"));
    EXPECT_EQ(sqstd::resolve_path(root.string() + "\\Data\\Sub\\Save.DAT", false), r("Data/Sub/Save.DAT"));
}

TEST_F(PathCase, MissingCaseIsFoundOnDisk)
{
    EXPECT_EQ(sqstd::resolve_path(r("data/SUB/save.dat"), false), r("Data/Sub/Save.DAT"));
    EXPECT_EQ(sqstd::resolve_path(r("DATA\\./日本.TXT"), false), r("Data/./日本.txt"));
}

TEST_F(PathCase, NewFilesKeepTheirNameInAnExistingFolder)
{
    EXPECT_EQ(sqstd::resolve_path(r("data/sub/new.dat"), true), r("Data/Sub/new.dat"));
    // an existing file in another case is the same file, as on Windows
    EXPECT_EQ(sqstd::resolve_path(r("data/sub/SAVE.dat"), true), r("Data/Sub/Save.DAT"));
}

TEST_F(PathCase, NothingFoundLeavesThePathForTheCallerToFail)
{
    EXPECT_EQ(sqstd::resolve_path(r("nope/save.dat"), false), r("nope/save.dat"));
    EXPECT_EQ(sqstd::resolve_path(r("nope/new.dat"), true), r("nope/new.dat"));
    EXPECT_EQ(sqstd::resolve_path(r("Data/Sub/Save.DAT/x"), false), r("Data/Sub/Save.DAT/x"));
    EXPECT_EQ(sqstd::resolve_path("", false), "");
}

}  // namespace
