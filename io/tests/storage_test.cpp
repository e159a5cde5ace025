#include "TestSupport.h"
#include "io/File.h"
#include "io/FileManager.h"
#include "io/KoaFile.h"
#include "io/Path.h"

#include <gtest/gtest.h>

using namespace KoIO;
using namespace KoIOTest;
using Koa::Writer::MemoryItem;

namespace {
StoragePtr archiveStorage(const std::vector<MemoryItem>& items) {
    return std::make_shared<KoaFileStorage>(openBytes(archive(items)));
}

std::string readVia(IFileManager& fm, const std::u16string& path) {
    auto in = fm.openInputStream(path, 0);
    return in ? bytes(in->readAll()) : std::string("<none>");
}

std::vector<std::u16string> childNames(const FilePtr& f) {
    std::vector<std::u16string> names;
    for (auto& c : f->getChildren()) names.push_back(c->getPath());
    return names;
}
} // namespace

TEST(FileStorageManager, HighestPriorityFirstEqualPrioritiesInAddedOrder) {
    auto a = archiveStorage({{"x.txt", 0, "a"}});
    auto b = archiveStorage({{"x.txt", 0, "b"}});
    auto c = archiveStorage({{"x.txt", 0, "c"}, {"only-c", 0, "c"}});
    FileStorageManager m;
    EXPECT_FALSE(m.addStorage(5, nullptr));
    EXPECT_TRUE(m.addStorage(1, a));
    EXPECT_TRUE(m.addStorage(7, b));
    EXPECT_TRUE(m.addStorage(7, c));
    FileManager fm(std::shared_ptr<IFileStorageManager>(&m, [](IFileStorageManager*) {}));
    EXPECT_EQ(readVia(fm, u"x.txt"), "b");
    EXPECT_EQ(m.getFiles(u"x.txt").size(), 3u);
    m.removeStorage(b);
    EXPECT_EQ(readVia(fm, u"x.txt"), "c");
    m.removeStorage(b); // not there any more: nothing happens
    EXPECT_EQ(m.getFiles(u"x.txt").size(), 2u);
    m.clearStorages();
    EXPECT_EQ(m.getFile(u"x.txt"), nullptr);
}

TEST(FileStorageManager, DefaultStorageAnswersLastWhetherTheFileExistsOrNot) {
    TempDir d;
    auto m = std::make_shared<FileStorageManager>();
    auto disk = std::make_shared<Core::FileStorage>(d.wide());
    EXPECT_TRUE(m->setDefaultStorage(disk));
    EXPECT_EQ(m->getDefaultStorage(), disk);
    m->addStorage(3, archiveStorage({{"in-archive", 0, "A"}}));
    auto files = m->getFiles(u"nowhere");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_FALSE(files[0]->exists());
    EXPECT_EQ(m->getFiles(u"in-archive").size(), 2u);
    m->clearStorages();
    EXPECT_EQ(m->getDefaultStorage(), disk);
    EXPECT_TRUE(m->setDefaultStorage(nullptr));
    EXPECT_TRUE(m->getFiles(u"nowhere").empty());
}

TEST(FileManager, ForwardsAndRefusesWithoutStorageManager) {
    FileManager none;
    EXPECT_EQ(none.getFile(u"a"), nullptr);
    EXPECT_FALSE(none.exists(u"a"));
    EXPECT_EQ(none.openInputStream(u"a", 0), nullptr);
    EXPECT_FALSE(none.setStorageManager(nullptr));
}

TEST(ManagedFile, MissingPathCanBeCreatedOnDisk) {
    TempDir d;
    auto fm = buildFileManager(d.wide(), u"");
    ASSERT_NE(fm, nullptr);
    EXPECT_FALSE(fm->exists(u"new\\file.txt"));
    EXPECT_EQ(fm->openOutputStream(u"new\\file.txt", 0), nullptr); // no folder yet
    auto f = fm->getFile(u"new\\file.txt");
    EXPECT_TRUE(f->makeFile());
    auto out = fm->openOutputStream(u"top.txt", 0);
    ASSERT_NE(out, nullptr);
    out->write(toBytes("hi"));
    out->close();
    EXPECT_EQ(d.read("top.txt"), "hi");
    EXPECT_TRUE(d.exists("new/file.txt"));
    EXPECT_EQ(f->getPath(), u"new\\file.txt"); // as given, not resolved
    EXPECT_EQ(f->getParent()->getPath(), u"new");
    EXPECT_EQ(fm->getFile(u"top.txt")->getParent(), nullptr);
    // An empty path resolves to nothing.
    EXPECT_FALSE(fm->exists(u""));
    EXPECT_EQ(fm->openOutputStream(u"", 0), nullptr);
    EXPECT_FALSE(fm->getFile(u"")->makeFile());
}

TEST(BuildFileManager, SearchOrderAppendedArchiveThenDiskThenNumberedThenOthers) {
    TempDir d;
    d.write("both.txt", "disk");
    d.write("3.koa", archive({{"both.txt", 0, "three"}, {"numbered.txt", 0, "three"},
                              {"n-vs-plain.txt", 0, "three"}}));
    d.write("1.koa", archive({{"numbered.txt", 0, "one"}, {"only1.txt", 0, "one"}}));
    d.write("plain.koa", archive({{"n-vs-plain.txt", 0, "plain"}, {"plain.txt", 0, "plain"}}));
    d.write("upper.KOA", archive({{"upper.txt", 0, "upper"}}));
    d.write("broken.koa", "KOA\0not an archive");
    d.write("game", withTrailer(std::string(1000, 'E'),
                                archive({{"both.txt", 0, "appended"}, {"linked.txt", 0, "appended"}})));
    auto fm = buildFileManager(d.wide(), fromPosixPath(d.at("game")));
    ASSERT_NE(fm, nullptr);
    EXPECT_EQ(readVia(*fm, u"both.txt"), "appended");
    EXPECT_EQ(readVia(*fm, u"linked.txt"), "appended");
    EXPECT_EQ(readVia(*fm, u"numbered.txt"), "three");
    EXPECT_EQ(readVia(*fm, u"only1.txt"), "one");
    EXPECT_EQ(readVia(*fm, u"n-vs-plain.txt"), "three");
    EXPECT_EQ(readVia(*fm, u"plain.txt"), "plain");
    EXPECT_EQ(readVia(*fm, u"upper.txt"), "<none>"); // the extension is compared exactly

    auto withoutLinked = buildFileManager(d.wide(), fromPosixPath(d.at("3.koa")));
    EXPECT_EQ(readVia(*withoutLinked, u"both.txt"), "disk");
    EXPECT_EQ(readVia(*withoutLinked, u"linked.txt"), "<none>");
}

TEST(BuildFileManager, ArchivePrioritiesStayBelowDiskAndAppendedArchive) {
    EXPECT_EQ(archivePriority(u"data"), 0u);
    EXPECT_EQ(archivePriority(u"0"), 1u);
    EXPECT_EQ(archivePriority(u"12abc"), 13u);
    EXPECT_EQ(archivePriority(u"1048574"), kMaxNumberedArchivePriority);
    EXPECT_EQ(archivePriority(u"99999999999999999999999"), kMaxNumberedArchivePriority);
    EXPECT_LT(kMaxNumberedArchivePriority, kDiskPriority);

    TempDir d;
    d.write("a.txt", "disk");
    d.write("1048574.koa", archive({{"a.txt", 0, "huge"}, {"b.txt", 0, "huge"}}));
    d.write("99999999999.koa", archive({{"b.txt", 0, "huger"}}));
    d.write("game", withTrailer("EXE", archive({{"b.txt", 0, "appended"}})));
    auto fm = buildFileManager(d.wide(), fromPosixPath(d.at("game")));
    EXPECT_EQ(readVia(*fm, u"a.txt"), "disk");
    EXPECT_EQ(readVia(*fm, u"b.txt"), "appended");
}

TEST(BuildFileManager, FailsForAMissingDirectory) {
    TempDir d;
    EXPECT_EQ(buildFileManager(fromPosixPath(d.at("none")), u""), nullptr);
    d.write("file", "");
    EXPECT_EQ(buildFileManager(fromPosixPath(d.at("file")), u""), nullptr);
}

TEST(ManagedFile, ArchivedFilesAreReadOnlyEvenWhenADiskFileCouldBeWritten) {
    TempDir d;
    d.write("game", withTrailer("EXE", archive({{"save.dat", 0, "archived"}})));
    d.write("save.dat", "disk");
    auto fm = buildFileManager(d.wide(), fromPosixPath(d.at("game")));
    auto f = fm->getFile(u"save.dat");
    EXPECT_TRUE(f->isReadOnly());
    EXPECT_EQ(f->openOutputStream(0), nullptr);
    EXPECT_EQ(f->openIoStream(0), nullptr);
    EXPECT_FALSE(f->remove());
    EXPECT_EQ(f->getSize(), 8u);
    EXPECT_EQ(f->getLastWriteTime(), 0u);
    EXPECT_EQ(d.read("save.dat"), "disk");
}

TEST(ManagedFile, ChildrenAreTheUnionOfEveryStorageInCodeUnitOrder) {
    TempDir d;
    d.write("dir/disk-only", "");
    d.write("dir/shared", "");
    d.write("dir/Zed", "");
    d.write("data.koa", archive({{"DIR", 1, ""},
                                 {"dir\\shared", 0, "a"},
                                 {"dir/arc-only", 0, "a"},
                                 {"Dir\\sub", 1, ""},
                                 {"dir\\sub\\deep", 0, "a"},
                                 {"other\\x", 0, "a"}}));
    auto fm = buildFileManager(d.wide(), u"");
    auto names = childNames(fm->getFile(u"dir"));
    std::vector<std::u16string> expected = {u"dir\\Zed", u"dir\\arc-only", u"dir\\disk-only",
                                            u"dir\\shared", u"dir\\sub"};
    EXPECT_EQ(names, expected);
    // Case-insensitively on disk and in the archive.
    EXPECT_EQ(childNames(fm->getFile(u"DIR")).size(), 5u);
    EXPECT_EQ(childNames(fm->getFile(u"dir\\sub")), std::vector<std::u16string>{u"dir\\sub\\deep"});
    EXPECT_TRUE(childNames(fm->getFile(u"missing")).empty());
}

TEST(ManagedFile, CaseInsensitiveLookupOnDiskThroughTheFileManager) {
    TempDir d;
    d.write("Data/Title.png", "img");
    auto fm = buildFileManager(d.wide(), u"");
    EXPECT_EQ(readVia(*fm, u"data\\title.PNG"), "img");
    EXPECT_EQ(readVia(*fm, normalizePath(u"DATA/TITLE.png")), "img");
    EXPECT_TRUE(fm->isDirectory(u"dAtA"));
    EXPECT_EQ(fm->getSize(u"data\\title.png"), 3u);
    // Absolute POSIX paths keep working.
    EXPECT_EQ(readVia(*fm, normalizePath(u16(d.at("Data/Title.png")))), "img");
}

TEST(GetFileManager, BuildsOnceOverTheExecutableDirectory) {
    auto fm = getFileManager();
    ASSERT_NE(fm, nullptr);
    EXPECT_EQ(fm, getFileManager());
    std::u16string exe = getExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(fm->isFile(exe));
    EXPECT_TRUE(fm->isDirectory(getParentPath(exe)));
}
