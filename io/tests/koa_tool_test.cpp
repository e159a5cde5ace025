// The packer end to end: what `koa` writes, the reader reads back byte for byte.
#include "TestSupport.h"
#include "io/FileManager.h"
#include "io/KoaFile.h"
#include "io/Path.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace KoIO;
using namespace KoIOTest;

namespace {
const std::string kKoa = KO_KOA_TOOL;

std::string q(const std::string& s) { return "'" + s + "'"; }

// A game folder of a few hundred files: binary and text, nested, Japanese names, an empty
// file and an empty folder. Returns relative path (UTF-8, '/') -> contents.
std::map<std::string, std::string> makeGame(const TempDir& d, const std::string& root) {
    std::map<std::string, std::string> files;
    std::mt19937 rng(12345);
    const char* folders[] = {"", "data", "data/img", "画像", "画像/背景", "se/ｻｳﾝﾄﾞ", "deep/a/b/c/d"};
    int n = 0;
    for (const char* folder : folders) {
        for (int i = 0; i < 45; ++i, ++n) {
            std::string name = (i % 3 == 0) ? "テキスト" + std::to_string(i) + ".txt"
                               : (i % 3 == 1) ? "Bin" + std::to_string(i) + ".DAT"
                                              : "file_" + std::to_string(i) + ".nut";
            std::string rel = std::string(folder).empty() ? name : std::string(folder) + "/" + name;
            std::string data;
            size_t size = (n * 977) % 20000 + (i == 7 ? 300000 : 0);
            if (i % 3 == 0) {
                for (size_t k = 0; data.size() < size; ++k) data += "行 " + std::to_string(k) + " テスト\r\n";
            } else {
                data.resize(size);
                for (auto& c : data) c = char(rng());
            }
            files[rel] = data;
        }
    }
    files["empty.bin"] = "";
    for (auto& [rel, data] : files) d.write(root + "/" + rel, data);
    makeDirs(d.at(root + "/空のフォルダ"));
    return files;
}

void expectAllReadBack(const Koa::ArchivePtr& r, const std::map<std::string, std::string>& files) {
    for (auto& [rel, data] : files) {
        std::u16string name = normalizePath(u16(rel));
        ASSERT_TRUE(r->isFile(name)) << rel;
        ASSERT_EQ(r->getSize(name), data.size()) << rel;
        EXPECT_EQ(bytes(r->read(name)), data) << rel;
    }
}
} // namespace

TEST(KoaTool, HelpAndUsage) {
    std::string out;
    EXPECT_EQ(run(kKoa + " --help", &out), 0);
    EXPECT_NE(out.find("koa create <archive.koa> <folder>"), std::string::npos);
    EXPECT_NE(out.find("koa append <executable> <archive.koa> <output>"), std::string::npos);
    EXPECT_EQ(run(kKoa, &out), 2);
    EXPECT_EQ(run(kKoa + " create onlyone", &out), 2);
    EXPECT_EQ(run(kKoa + " frobnicate a b", &out), 2);
}

TEST(KoaTool, RoundTripOfAGameFolderThroughArchiveAndExecutable) {
    TempDir d;
    auto files = makeGame(d, "game");
    ASSERT_GT(files.size(), 300u);
    std::string out;
    ASSERT_EQ(run(kKoa + " create " + q(d.at("game.koa")) + " " + q(d.at("game")), &out), 0) << out;

    auto r = Koa::openArchiveFile(fromPosixPath(d.at("game.koa")));
    ASSERT_NE(r, nullptr);
    expectAllReadBack(r, files);
    EXPECT_TRUE(r->isDirectory(u"画像\\背景"));
    EXPECT_TRUE(r->isDirectory(u"空のフォルダ"));
    EXPECT_TRUE(r->isFile(u"DATA/IMG/bin1.dat")); // case-insensitive over packed names
    // Names are stored relative, '\' between parts.
    for (auto& name : r->getNames()) {
        EXPECT_NE(name[0], u'\\');
        EXPECT_EQ(name.find(u'/'), std::u16string::npos);
    }

    // list
    ASSERT_EQ(run(kKoa + " list " + q(d.at("game.koa")), &out), 0);
    EXPECT_NE(out.find("file 0 empty.bin\n"), std::string::npos);
    EXPECT_NE(out.find("dir 0 画像\\背景\n"), std::string::npos);

    // extract
    ASSERT_EQ(run(kKoa + " extract " + q(d.at("game.koa")) + " " + q(d.at("out")), &out), 0) << out;
    for (auto& [rel, data] : files) EXPECT_EQ(d.read("out/" + rel), data) << rel;
    EXPECT_TRUE(std::filesystem::is_directory(d.at("out/空のフォルダ")));

    // append to a copy of an executable
    std::string exe = d.at("runner");
    std::filesystem::copy_file(kKoa, exe);
    ASSERT_EQ(run(kKoa + " append " + q(exe) + " " + q(d.at("game.koa")) + " " + q(d.at("bundle")), &out), 0)
        << out;
    struct stat st;
    ASSERT_EQ(stat(d.at("bundle").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    auto linked = Koa::openLinkedArchive(fromPosixPath(d.at("bundle")));
    ASSERT_NE(linked, nullptr);
    expectAllReadBack(linked, files);
    // The copy still runs as the program it was.
    EXPECT_EQ(run(q(d.at("bundle")) + " --help", &out), 0);
    // list and extract also take the executable.
    ASSERT_EQ(run(kKoa + " extract " + q(d.at("bundle")) + " " + q(d.at("out2")), &out), 0) << out;
    EXPECT_EQ(d.read("out2/deep/a/b/c/d/file_2.nut"), files["deep/a/b/c/d/file_2.nut"]);

    // Appending again replaces the carried archive instead of stacking a second one.
    d.write("small/only.txt", "one");
    ASSERT_EQ(run(kKoa + " create " + q(d.at("small.koa")) + " " + q(d.at("small")), &out), 0);
    ASSERT_EQ(run(kKoa + " append " + q(d.at("bundle")) + " " + q(d.at("small.koa")) + " " + q(d.at("bundle2")), &out), 0);
    EXPECT_EQ(std::filesystem::file_size(d.at("bundle2")),
              std::filesystem::file_size(exe) + std::filesystem::file_size(d.at("small.koa")) + 40);
    auto second = Koa::openLinkedArchive(fromPosixPath(d.at("bundle2")));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->getCount(), 1u);

    // The file manager of that executable reads the game from inside it first.
    d.write("start.nut", "on disk");
    d.write("game/start.nut", "in the bundle");
    ASSERT_EQ(run(kKoa + " create " + q(d.at("game.koa")) + " " + q(d.at("game")), &out), 0);
    ASSERT_EQ(run(kKoa + " append " + q(exe) + " " + q(d.at("game.koa")) + " " + q(d.at("bundle")), &out), 0);
    std::filesystem::remove(d.at("game.koa"));
    auto fm = buildFileManager(d.wide(), fromPosixPath(d.at("bundle")));
    auto in = fm->openInputStream(u"start.nut", 0);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(bytes(in->readAll()), "in the bundle");
    EXPECT_EQ(fm->getSize(u"画像\\背景\\file_2.nut"), files["画像/背景/file_2.nut"].size());
}

TEST(KoaTool, UnreadableInputLeavesNoOutput) {
    TempDir d;
    d.write("game/good.txt", "fine");
    symlink("/nonexistent/target", d.at("game/broken").c_str());
    std::string out;
    EXPECT_EQ(run(kKoa + " create " + q(d.at("out.koa")) + " " + q(d.at("game")), &out), 1);
    EXPECT_NE(out.find("broken"), std::string::npos) << out;
    auto left = [&]() {
        size_t n = 0;
        for (auto& e : std::filesystem::directory_iterator(d.path())) n += e.path().filename() != "game";
        return n;
    };
    EXPECT_EQ(left(), 0u); // no archive, no temporary file

    // An existing output survives a failed run untouched.
    d.write("out.koa", "previous");
    EXPECT_EQ(run(kKoa + " create " + q(d.at("out.koa")) + " " + q(d.at("game")), &out), 1);
    EXPECT_EQ(d.read("out.koa"), "previous");
    std::filesystem::remove(d.at("out.koa"));

    EXPECT_EQ(run(kKoa + " create " + q(d.at("x.koa")) + " " + q(d.at("missing")), &out), 1);
    EXPECT_NE(out.find("not a folder"), std::string::npos);
    EXPECT_EQ(run(kKoa + " list " + q(d.at("game/good.txt")), &out), 1);
    EXPECT_NE(out.find("not a readable archive"), std::string::npos);
    EXPECT_EQ(run(kKoa + " append " + q(d.at("nope")) + " " + q(d.at("game/good.txt")) + " " + q(d.at("o")), &out), 1);
    EXPECT_EQ(left(), 0u);
}

TEST(KoaTool, RefusesNamesAnArchiveCannotHold) {
    TempDir d;
    d.write("emoji/\xF0\x9F\x98\x80.txt", "x");
    std::string out;
    EXPECT_EQ(run(kKoa + " create " + q(d.at("a.koa")) + " " + q(d.at("emoji")), &out), 1);
    EXPECT_NE(out.find("code page 932"), std::string::npos) << out;
    d.write("cases/Readme.txt", "1");
    d.write("cases/README.TXT", "2");
    EXPECT_EQ(run(kKoa + " create " + q(d.at("b.koa")) + " " + q(d.at("cases")), &out), 1);
    EXPECT_NE(out.find("differ only in case"), std::string::npos) << out;
    d.write("loop/sub/f.txt", "x");
    symlink("..", d.at("loop/sub/up").c_str());
    EXPECT_EQ(run(kKoa + " create " + q(d.at("c.koa")) + " " + q(d.at("loop")), &out), 1);
    EXPECT_NE(out.find("links back"), std::string::npos) << out;
    EXPECT_FALSE(d.exists("a.koa"));
    EXPECT_FALSE(d.exists("b.koa"));
    EXPECT_FALSE(d.exists("c.koa"));
}

TEST(KoaTool, ExtractRefusesNamesThatLeaveTheFolder) {
    TempDir d;
    for (const char* evil : {"..\\evil.txt", "a/../../evil.txt", "\\abs.txt"}) {
        d.write("evil.koa", archive({{"ok.txt", 0, "ok"}, {evil, 0, "bad"}}));
        std::string out;
        EXPECT_EQ(run(kKoa + " extract " + q(d.at("evil.koa")) + " " + q(d.at("x/y")), &out), 1) << evil;
        EXPECT_NE(out.find("leave the folder"), std::string::npos) << out;
        EXPECT_FALSE(d.exists("x/evil.txt"));
        EXPECT_FALSE(d.exists("evil.txt"));
    }
    EXPECT_FALSE(std::filesystem::exists("/abs.txt"));
}
