#include "TestSupport.h"
#include "io/DiskPath.h"
#include "io/File.h"
#include "io/Path.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

using namespace KoIO;
using namespace KoIOTest;
using Core::File;

TEST(PathHelpers, NormaliseSplitAndJoin) {
    EXPECT_EQ(normalizePath(u"a/b\\c/"), u"a\\b\\c");
    EXPECT_EQ(normalizePath(u"a\\\\"), u"a\\"); // only one trailing separator goes
    EXPECT_EQ(normalizePath(u"./A/../b"), u".\\A\\..\\b");
    EXPECT_EQ(getParentPath(u"a\\b\\c.txt"), u"a\\b");
    EXPECT_EQ(getParentPath(u"c.txt"), u"");
    EXPECT_EQ(getName(u"a\\b\\c.txt"), u"c.txt");
    EXPECT_EQ(getName(u"c.txt"), u"c.txt");
    EXPECT_EQ(getNameWithoutExtension(u"a\\b.c\\d.tar.gz"), u"d.tar");
    EXPECT_EQ(getNameWithoutExtension(u"a\\noext"), u"noext");
    EXPECT_EQ(getExtension(u"a.d\\file"), u"d\\file"); // after the last '.' of the whole path
    EXPECT_EQ(getExtension(u"file"), u"");
    EXPECT_EQ(getChildPath(u"a", u"b/"), u"a\\b");
    EXPECT_EQ(getChildPath(u"a", u"x:y"), u"");
}

TEST(PathHelpers, AbsoluteFoldsDotsAndSeparators) {
    EXPECT_EQ(getAbsolutePath(u"x/./y//z/../w", u"\\base\\dir"), u"\\base\\dir\\x\\y\\w");
    EXPECT_EQ(getAbsolutePath(u"../../../..", u"\\base"), u"\\");
    EXPECT_EQ(getAbsolutePath(u"/abs/p/", u"\\base"), u"\\abs\\p");
    EXPECT_EQ(getAbsolutePath(u"", u"\\base"), u"");
    std::u16string tooLong(5000, u'a');
    EXPECT_EQ(getAbsolutePath(tooLong, u"\\base"), u"");
}

TEST(PathHelpers, Utf8EdgesRejectBrokenText) {
    std::string out;
    EXPECT_FALSE(utf16ToUtf8(std::u16string(1, char16_t(0xD800)), out));
    std::u16string w;
    EXPECT_FALSE(utf8ToUtf16("\xC0\xAF", w)); // overlong '/'
    EXPECT_TRUE(utf8ToUtf16("\xF0\x9F\x98\x80", w));
    EXPECT_EQ(w, u"\U0001F600");
    EXPECT_EQ(toPosixPath(u"\\a\\b"), "/a/b");
    EXPECT_EQ(toPosixPath(std::u16string(u"a\0b", 3)), ""); // no NUL reaches the system
}

TEST(File, FactoryRules) {
    EXPECT_EQ(File::create(u""), nullptr);
    auto colon = File::create(u"x:y");
    ASSERT_NE(colon, nullptr);
    EXPECT_EQ(colon->getPath(), u"x:y");
    auto rel = File::create(u"a/b/", u"\\base");
    ASSERT_NE(rel, nullptr);
    EXPECT_EQ(rel->getPath(), u"\\base\\a\\b");
    auto cwd = File::create(u"q");
    ASSERT_NE(cwd, nullptr);
    EXPECT_EQ(cwd->getPath(), getCurrentDirectory() + u"\\q");
}

TEST(File, KindsHiddenReadOnlyAndSize) {
    TempDir d;
    d.write("plain.txt", "12345");
    d.write(".hidden", "");
    d.write("dir/x", "");
    chmod(d.at("plain.txt").c_str(), 0444);
    auto f = File::create(u16(d.at("plain.txt")));
    EXPECT_TRUE(f->exists());
    EXPECT_TRUE(f->isFile());
    EXPECT_FALSE(f->isDirectory());
    EXPECT_TRUE(f->isReadOnly());
    EXPECT_FALSE(f->isHidden());
    EXPECT_EQ(f->getSize(), 5u);
    auto dir = File::create(u16(d.at("dir")));
    EXPECT_TRUE(dir->isDirectory());
    EXPECT_FALSE(dir->isFile());
    EXPECT_FALSE(dir->isReadOnly());
    EXPECT_EQ(dir->getSize(), 0u);
    EXPECT_TRUE(File::create(u16(d.at(".hidden")))->isHidden());
    auto missing = File::create(u16(d.at("nope")));
    EXPECT_FALSE(missing->exists());
    EXPECT_FALSE(missing->isFile());
    EXPECT_FALSE(missing->isReadOnly());
    EXPECT_EQ(missing->getLastWriteTime(), 0u);
    EXPECT_EQ(missing->getSize(), 0u);
}

TEST(File, MakeFileCreatesEveryMissingFolder) {
    TempDir d;
    auto f = File::create(u16(d.at("a/b/c.txt")));
    EXPECT_TRUE(f->makeFile());
    EXPECT_TRUE(d.exists("a/b/c.txt"));
    EXPECT_EQ(d.read("a/b/c.txt"), "");
    EXPECT_TRUE(f->makeFile()); // already a file
    EXPECT_FALSE(File::create(u16(d.at("a/b")))->makeFile()); // a folder is there
    EXPECT_TRUE(File::create(u16(d.at("x/y/z")))->makeDirectory());
    EXPECT_TRUE(File::create(u16(d.at("x/y/z")))->isDirectory());
    EXPECT_FALSE(File::create(u16(d.at("a/b/c.txt")))->makeDirectory());
}

TEST(File, RemoveMissingNonEmptyAndEmpty) {
    TempDir d;
    d.write("full/f", "x");
    EXPECT_TRUE(File::create(u16(d.at("missing")))->remove());
    EXPECT_FALSE(File::create(u16(d.at("full")))->remove());
    EXPECT_TRUE(File::create(u16(d.at("full/f")))->remove());
    EXPECT_TRUE(File::create(u16(d.at("full")))->remove());
    EXPECT_FALSE(d.exists("full"));
}

namespace {
// Sets TZ for one test and puts the old zone back.
class Zone {
public:
    explicit Zone(const char* tz) {
        if (const char* old = getenv("TZ")) old_ = old, had_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~Zone() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

// 2020-06-15 12:34:56.5 UTC: 1592179200 (2020-06-15 00:00 UTC) + 45296 s.
constexpr time_t kInstant = 1592224496;
} // namespace

// File times are 100 ns counts since 1601-01-01 in local wall-clock time. The counts below
// are worked out by hand: (kInstant + offset + 11644473600) * 10^7 + 5 * 10^6.
TEST(File, WriteAndAccessTimesRoundTripInLocalTime) {
    struct Case {
        const char* tz;
        FileTime local; // the count a script sees for kInstant.5
    };
    const Case cases[] = {
        {"XST-9", 132367304965000000ULL},                       // 21:34:56 at UTC+9
        {"YST5", 132366800965000000ULL},                        // 07:34:56 at UTC-5
        {"CET-1CEST,M3.5.0,M10.5.0/3", 132367052965000000ULL}, // summer: 14:34:56 at UTC+2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        Zone zone(c.tz);
        TempDir d;
        d.write("t", "x");
        auto f = File::create(u16(d.at("t")));
        EXPECT_EQ(Core::toFileTime(kInstant, 500000000), c.local);
        int64_t seconds = 0;
        long nanoseconds = 0;
        ASSERT_TRUE(Core::fromFileTime(c.local, seconds, nanoseconds));
        EXPECT_EQ(seconds, kInstant);
        EXPECT_EQ(nanoseconds, 500000000);

        EXPECT_TRUE(f->setLastWriteTime(c.local));
        EXPECT_EQ(f->getLastWriteTime(), c.local);
        struct stat st;
        ASSERT_EQ(stat(d.at("t").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, kInstant);
        EXPECT_EQ(st.st_mtim.tv_nsec, 500000000);
        EXPECT_TRUE(f->setLastAccessTime(c.local + 10000000));
        EXPECT_EQ(f->getLastAccessTime(), c.local + 10000000);
        ASSERT_EQ(stat(d.at("t").c_str(), &st), 0);
        EXPECT_EQ(st.st_atim.tv_sec, kInstant + 1);
        EXPECT_EQ(f->getLastWriteTime(), c.local); // untouched
        EXPECT_FALSE(f->setCreationTime(c.local));
        EXPECT_NE(f->getCreationTime(), 0u);
        EXPECT_FALSE(f->setLastWriteTime(0));
        EXPECT_FALSE(File::create(u16(d.at("missing")))->setLastWriteTime(c.local));
    }
}

TEST(File, ChildrenInNameOrderAndParent) {
    TempDir d;
    d.write("dir/b", "");
    d.write("dir/a", "");
    d.write("dir/C/x", "");
    auto dir = File::create(u16(d.at("dir")));
    auto children = dir->getChildren();
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(children[0]->getPath(), dir->getPath() + u"\\C");
    EXPECT_EQ(children[1]->getPath(), dir->getPath() + u"\\a");
    EXPECT_EQ(children[2]->getPath(), dir->getPath() + u"\\b");
    EXPECT_TRUE(File::create(u16(d.at("dir/b")))->getChildren().empty());
    EXPECT_EQ(children[1]->getParent()->getPath(), dir->getPath());
}

TEST(File, ExactCaseMissingFallsBackToCaseInsensitiveComponents) {
    TempDir d;
    d.write("data/title.png", "png!");
    auto f = File::create(u16(d.at("DATA/Title.PNG")));
    EXPECT_TRUE(f->exists());
    EXPECT_TRUE(f->isFile());
    EXPECT_EQ(f->getSize(), 4u);
    EXPECT_EQ(f->getPath(), fromPosixPath(d.at("DATA/Title.PNG"))); // the path as given
    auto in = f->openInputStream(0);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(bytes(in->readAll()), "png!");
    EXPECT_TRUE(File::create(u16(d.at("Data")))->isDirectory());
    EXPECT_FALSE(File::create(u16(d.at("DATA/Title.PNGX")))->exists());
    // Only ASCII letters fold.
    d.write("dir/é", "");
    EXPECT_FALSE(File::create(u16(d.at("dir/É")))->exists());
}

TEST(File, ExactMatchWinsAndAmbiguousNamesPickTheFirstInByteOrder) {
    TempDir d;
    d.write("Same.txt", "upper");
    d.write("same.txt", "lower");
    auto read = [&](const std::string& name) {
        auto in = File::create(u16(d.at(name)))->openInputStream(0);
        return in ? bytes(in->readAll()) : std::string("none");
    };
    EXPECT_EQ(read("same.txt"), "lower");
    EXPECT_EQ(read("Same.txt"), "upper");
    EXPECT_EQ(read("SAME.TXT"), "upper"); // "Same.txt" < "same.txt"
}

TEST(File, NewFilesGoIntoTheMatchedFolderAndTheCacheFollowsChanges) {
    TempDir d;
    d.write("Save/old.txt", "");
    // Looked up (and its listing cached) before the file exists.
    auto f = File::create(u16(d.at("save/New.txt")));
    EXPECT_FALSE(f->exists());
    auto out = f->openOutputStream(0);
    ASSERT_NE(out, nullptr);
    out->write(toBytes("n"));
    out->close();
    EXPECT_TRUE(d.exists("Save/New.txt"));
    EXPECT_FALSE(d.exists("save"));
    EXPECT_TRUE(File::create(u16(d.at("SAVE/NEW.TXT")))->exists());
    EXPECT_TRUE(File::create(u16(d.at("SAVE/NEW.TXT")))->remove());
    EXPECT_FALSE(d.exists("Save/New.txt"));
    EXPECT_FALSE(File::create(u16(d.at("save/new.txt")))->exists());
    EXPECT_TRUE(File::create(u16(d.at("SAVE/sub/deep.txt")))->makeFile());
    EXPECT_TRUE(d.exists("Save/sub/deep.txt"));
    EXPECT_TRUE(File::create(u16(d.at("save/SUB/DEEP.txt")))->isFile());
}

TEST(File, StreamsHonourOpenOptions) {
    TempDir d;
    d.write("f", "abc");
    auto f = File::create(u16(d.at("f")));
    auto in = f->openInputStream(END);
    ASSERT_NE(in, nullptr);
    EXPECT_FALSE(in->isReadable());
    EXPECT_EQ(f->openInputStream(TRUNCATE), nullptr);
    auto app = f->openOutputStream(APPEND);
    ASSERT_NE(app, nullptr);
    app->write(toBytes("d"));
    app->close();
    EXPECT_EQ(d.read("f"), "abcd");
    auto io = f->openIoStream(0);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->input().getLength(), 4u);
    io->close();
    EXPECT_EQ(File::create(u16(d.at("missing")))->openIoStream(0), nullptr);
    auto created = File::create(u16(d.at("new")))->openIoStream(TRUNCATE);
    EXPECT_NE(created, nullptr);
    auto w = f->openOutputStream(0); // write-only empties the file
    ASSERT_NE(w, nullptr);
    w->close();
    EXPECT_EQ(d.read("f"), "");
}
