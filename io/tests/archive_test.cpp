#include "TestSupport.h"
#include "io/Encoding.h"
#include "io/KoaFile.h"
#include "io/Path.h"

#include <gtest/gtest.h>

using namespace KoIO;
using namespace KoIOTest;
using Koa::Writer::MemoryItem;

namespace {
void putLe32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}
uint32_t le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(s[at + i])) << (8 * i);
    return v;
}
std::string scrambled(std::string s) {
    Koa::scramble(reinterpret_cast<uint8_t*>(s.data()), s.size(), Koa::kBuiltinKey);
    return s;
}
// Unscrambles an entry block of an archive in place, applies f, scrambles it back.
template <class F>
void editEntry(std::string& a, size_t blockStart, F f) {
    uint32_t len = le32(a, blockStart);
    std::string e = scrambled(a.substr(blockStart + 4, len));
    f(e);
    a.replace(blockStart + 4, len, scrambled(e));
}
// A raw directory block holding the given entry bytes (scrambled here).
std::string block(const std::string& entry) {
    std::string b(4, '\0');
    putLe32(b, 0, uint32_t(entry.size()));
    return b + scrambled(entry);
}
std::string entryBytes(uint8_t kind, uint32_t size, uint32_t offset, uint32_t next,
                       const std::string& name) {
    std::string e(17, '\0');
    e[0] = char(kind);
    putLe32(e, 1, size);
    putLe32(e, 5, offset);
    putLe32(e, 9, next);
    return e + name + '\0';
}
// A next-entry offset past the end: the walk goes on right after the block.
constexpr uint32_t kStay = 0xFFFFFFFFu;
std::string headerOnly() { return archive({}).substr(0, Koa::kHeaderSize); }
} // namespace

TEST(Scramble, IsItsOwnInverseAndRestartsPerBlock) {
    std::string s = "Korvan Archive File";
    s += '\0';
    std::string once = scrambled(s);
    EXPECT_NE(once, s);
    EXPECT_EQ(uint8_t(once[0]), uint8_t('K' ^ uint8_t('q' + 8)));
    EXPECT_EQ(scrambled(once), s);
    std::string none = s;
    Koa::scramble(reinterpret_cast<uint8_t*>(none.data()), none.size(), "");
    EXPECT_EQ(none, s);
    // Continuing from an index gives the same bytes as one pass.
    std::string split = s;
    Koa::scramble(reinterpret_cast<uint8_t*>(split.data()), 5, Koa::kBuiltinKey, 0);
    Koa::scramble(reinterpret_cast<uint8_t*>(split.data()) + 5, split.size() - 5, Koa::kBuiltinKey, 5);
    EXPECT_EQ(split, once);
}

TEST(ArchiveReader, CaseFoldedLookupWithBothSeparators) {
    auto a = openBytes(archive({{"DATA", 1, ""}, {"DATA\\img.png", 0, "PNGDATA"}, {"x/y.txt", 0, "Y"}}));
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->exists(u"data/Img.PNG"));
    EXPECT_TRUE(a->isFile(u"data\\IMG.png"));
    EXPECT_EQ(a->getSize(u"Data/img.png"), 7u);
    EXPECT_EQ(bytes(a->read(u"data/img.png")), "PNGDATA");
    EXPECT_EQ(bytes(a->read(u"X\\Y.TXT")), "Y");
    EXPECT_TRUE(a->isDirectory(u"data"));
    EXPECT_FALSE(a->isFile(u"data"));
    // Leading separators and dots are not removed.
    EXPECT_FALSE(a->exists(u"\\data\\img.png"));
    EXPECT_FALSE(a->exists(u".\\data\\img.png"));
    // Only ASCII letters fold.
    auto j = openBytes(archive({{"\x82\x60.txt", 0, "fullwidth A"}})); // "Ａ.txt"
    EXPECT_TRUE(j->exists(u"Ａ.txt"));
    EXPECT_FALSE(j->exists(u"ａ.txt"));
}

TEST(ArchiveReader, NamesThatDifferOnlyInCaseAnswerWithTheFirstInCodeUnitOrder) {
    auto a = openBytes(archive({{"b.txt", 0, "lower"}, {"B.TXT", 0, "upper"}}));
    ASSERT_EQ(a->getCount(), 2u);
    EXPECT_EQ(a->getNames(), (std::vector<std::u16string>{u"B.TXT", u"b.txt"}));
    EXPECT_EQ(bytes(a->read(u"b.txt")), "upper");
    EXPECT_EQ(bytes(a->read(u"B.TXT")), "upper");
    // An identical name later in the directory replaces the earlier entry.
    auto r = openBytes(archive({{"same", 0, "first"}, {"same", 0, "second"}}));
    EXPECT_EQ(r->getCount(), 1u);
    EXPECT_EQ(bytes(r->read(u"same")), "second");
}

TEST(ArchiveReader, EmptyFilesAndEmptyArchives) {
    auto a = openBytes(archive({{"empty", 0, ""}, {"other", 7, "?"}}));
    EXPECT_TRUE(a->exists(u"empty"));
    EXPECT_TRUE(a->isFile(u"empty"));
    EXPECT_TRUE(a->read(u"empty").empty());
    uint8_t b;
    EXPECT_FALSE(a->read(u"empty", &b));
    // A kind that is neither exists but is neither.
    EXPECT_TRUE(a->exists(u"other"));
    EXPECT_FALSE(a->isFile(u"other"));
    EXPECT_FALSE(a->isDirectory(u"other"));
    auto none = openBytes(archive({}));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->getCount(), 0u);
    EXPECT_FALSE(none->exists(u""));
}

TEST(ArchiveReader, HeaderMustBeComplete) {
    std::string good = archive({{"a", 0, "x"}});
    EXPECT_NE(openBytes(good), nullptr);
    EXPECT_EQ(openBytes(good.substr(0, 24)), nullptr);
    EXPECT_NE(openBytes(good.substr(0, 25)), nullptr); // a header alone is an empty archive
    std::string sig = good;
    sig[3] = 'X';
    EXPECT_EQ(openBytes(sig), nullptr);
    std::string text = good;
    text[10] ^= 1;
    EXPECT_EQ(openBytes(text), nullptr);
    EXPECT_EQ(openBytes(good, "otherkey"), nullptr);
    EXPECT_EQ(openBytes(""), nullptr);
    // Byte 4 is not looked at.
    std::string free = good;
    free[4] = 'Z';
    EXPECT_NE(openBytes(free), nullptr);
    // Text followed by something other than its terminator.
    std::string unterminated = good;
    unterminated[5 + 19] = char(uint8_t('!') ^ uint8_t(Koa::kBuiltinKey[3] + 8));
    EXPECT_EQ(openBytes(unterminated), nullptr);
}

TEST(ArchiveReader, EmptyKeyMeansNoScrambling) {
    std::string plain = "KOA";
    plain += '\0';
    plain += '\0';
    plain += "Korvan Archive File";
    plain += '\0';
    std::string e = entryBytes(0, 2, 0, kStay, "f");
    uint32_t dataAt = uint32_t(plain.size() + 4 + e.size() + 4);
    putLe32(e, 5, dataAt);
    plain += std::string(4, '\0');
    putLe32(plain, plain.size() - 4, uint32_t(e.size()));
    plain += e + std::string(4, '\0') + "hi";
    auto a = openBytes(plain, "");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(bytes(a->read(u"f")), "hi");
}

TEST(ArchiveReader, TruncatedDirectoryKeepsTheEntriesReadSoFar) {
    std::string a = archive({{"one", 0, "1"}, {"two", 0, "2"}});
    size_t second = Koa::kHeaderSize + 4 + le32(a, Koa::kHeaderSize);
    for (size_t cut : {second + 2, second + 10}) {
        auto r = openBytes(a.substr(0, cut));
        ASSERT_NE(r, nullptr) << cut;
        EXPECT_EQ(r->getCount(), 1u);
        EXPECT_TRUE(r->exists(u"one"));
        EXPECT_TRUE(r->read(u"one").empty()); // its data was cut off too
    }
}

TEST(ArchiveReader, MalformedEntriesEndTheDirectory) {
    std::string head = headerOnly();
    // Shorter than the fields and a name.
    auto shortEntry = openBytes(head + block(std::string(10, '\0')) + block(entryBytes(0, 0, 0, kStay, "x")));
    ASSERT_NE(shortEntry, nullptr);
    EXPECT_EQ(shortEntry->getCount(), 0u);
    // A name without its terminator.
    std::string e = entryBytes(0, 0, 0, kStay, "abc");
    e.pop_back();
    auto noNul = openBytes(head + block(e));
    ASSERT_NE(noNul, nullptr);
    EXPECT_EQ(noNul->getCount(), 0u);
    // An entry length past the end of the data.
    std::string longLen = head + std::string("\xFF\xFF\xFF\x7F", 4) + "junk";
    auto past = openBytes(longLen);
    ASSERT_NE(past, nullptr);
    EXPECT_EQ(past->getCount(), 0u);
    // A name that is not code page 932 is skipped; later entries still count.
    auto bad = openBytes(head + block(entryBytes(0, 0, 0, kStay, "\x82")) + block(entryBytes(0, 0, 0, kStay, "ok")));
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->getNames(), std::vector<std::u16string>{u"ok"});
}

TEST(ArchiveReader, NextEntryChain) {
    std::string head = headerOnly();
    // Next offset at the end of the source: the walk continues right after the block.
    std::string b1 = block(entryBytes(0, 0, 0, kStay, "first"));
    std::string b2 = block(entryBytes(0, 0, 0, kStay, "second"));
    uint32_t total = uint32_t(head.size() + b1.size() + b2.size() + 4);
    std::string e1 = entryBytes(0, 0, 0, total, "first");
    std::string e2 = entryBytes(0, 0, 0, total + 100, "second");
    auto r = openBytes(head + block(e1) + block(e2) + std::string(4, '\0'));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getCount(), 2u);
    // Jumping over garbage to the next block.
    std::string jumper = entryBytes(0, 0, 0, kStay, "a");
    uint32_t target = uint32_t(head.size() + 4 + jumper.size() + 7);
    putLe32(jumper, 9, target);
    auto j = openBytes(head + block(jumper) + "GARBAGE" + block(entryBytes(0, 0, 0, kStay, "b")));
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(j->getNames(), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST(ArchiveReader, LoopsAndOverlapsInTheChainEndTheWalk) {
    std::string head = headerOnly();
    // Back to the first block.
    auto self = openBytes(head + block(entryBytes(0, 0, 0, Koa::kHeaderSize, "loop")));
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->getCount(), 1u);
    // Two blocks pointing at each other.
    std::string e1 = entryBytes(0, 0, 0, kStay, "ping");
    uint32_t second = uint32_t(head.size() + 4 + e1.size());
    putLe32(e1, 9, second);
    auto pingPong = openBytes(head + block(e1) + block(entryBytes(0, 0, 0, Koa::kHeaderSize, "pong")));
    ASSERT_NE(pingPong, nullptr);
    EXPECT_EQ(pingPong->getCount(), 2u);
    // Into the middle of a block already read (every offset + 1 would make the walk quadratic).
    std::string big = head;
    std::string filler(5000, 'n');
    big += block(entryBytes(0, 0, 0, Koa::kHeaderSize + 1, filler));
    auto overlap = openBytes(big);
    ASSERT_NE(overlap, nullptr);
    EXPECT_EQ(overlap->getCount(), 1u);
}

TEST(ArchiveReader, DataOutsideTheSourceIsRefused) {
    std::string a = archive({{"f", 0, "12345"}, {"g", 0, "abc"}});
    editEntry(a, Koa::kHeaderSize, [](std::string& e) { putLe32(e, 5, 0xFFFFFFF0u); });
    size_t second = Koa::kHeaderSize + 4 + le32(a, Koa::kHeaderSize);
    editEntry(a, second, [](std::string& e) { putLe32(e, 1, 0x7FFFFFFFu); });
    auto r = openBytes(a);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->exists(u"f"));
    EXPECT_TRUE(r->read(u"f").empty());
    EXPECT_EQ(r->getSize(u"g"), 0x7FFFFFFFu);
    EXPECT_TRUE(r->read(u"g").empty()); // no 2 GiB allocation, no read past the end
    KoaFileStorage storage(r);
    EXPECT_EQ(storage.getFile(u"g")->openInputStream(0), nullptr);
}

TEST(ArchiveReader, ReadsFailHarmlesslyAfterClose) {
    auto r = openBytes(archive({{"f", 0, "data"}}));
    r->close();
    EXPECT_TRUE(r->exists(u"f")); // the directory stays
    EXPECT_TRUE(r->read(u"f").empty());
    uint8_t buf[4];
    EXPECT_FALSE(r->read(u"f", buf));
    r->close();
}

TEST(ArchiveReader, JapaneseNamesInCodePage932) {
    std::string name;
    ASSERT_TRUE(toCp932(u"画像\\タイトル.png", name));
    auto r = openBytes(archive({{name, 0, "img"}}));
    EXPECT_EQ(r->getNames(), std::vector<std::u16string>{u"画像\\タイトル.png"});
    EXPECT_EQ(bytes(r->read(u"画像/タイトル.PNG")), "img");
}

TEST(Sources, FileAndMemorySourceRules) {
    EXPECT_EQ(Koa::MemorySource::create(nullptr, 3), nullptr);
    uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(Koa::MemorySource::create(data, 0), nullptr);
    auto m = Koa::MemorySource::create(data, 3);
    data[0] = 9; // a copy
    uint8_t out[4];
    EXPECT_FALSE(m->seek(3));
    EXPECT_TRUE(m->seek(2));
    EXPECT_EQ(m->read(out, 4), 1u);
    EXPECT_EQ(m->read(out, 4), 0u);
    m->seek(0);
    EXPECT_EQ(m->read(out, 1), 1u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(m->read(nullptr, 1), 0u);
    m->close();
    EXPECT_EQ(m->getSize(), 0u);

    TempDir d;
    d.write("f", "0123456789");
    Koa::FileSource f;
    EXPECT_FALSE(f.seek(0));
    EXPECT_EQ(f.read(out, 1), 0u);
    EXPECT_FALSE(f.open(fromPosixPath(d.at("missing"))));
    ASSERT_TRUE(f.open(fromPosixPath(d.at("F")))); // case-insensitive like every disk path
    EXPECT_EQ(f.getSize(), 10u);
    EXPECT_FALSE(f.seek(10));
    EXPECT_TRUE(f.seek(8));
    EXPECT_EQ(f.read(out, 4), 2u);
    EXPECT_EQ(f.tell(), 10u);
    Koa::FileSource w;
    ASSERT_TRUE(w.open(fromPosixPath(d.at("f")), 3, 4));
    EXPECT_EQ(w.getSize(), 4u);
    EXPECT_EQ(w.read(out, 10), 4u);
    EXPECT_EQ(std::string(out, out + 4), "3456");
}

TEST(LinkedData, FoundByTheTrailerAtTheEnd) {
    std::string a = archive({{"start.nut", 0, "print(1)"}});
    auto src = [](const std::string& s) {
        return Koa::MemorySource::create(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    auto r = Koa::openLinkedArchive(src(withTrailer("\x7F" "ELF....", a)));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(bytes(r->read(u"START.NUT")), "print(1)");
    // The archive need not end where the trailer begins.
    EXPECT_NE(Koa::openLinkedArchive(src("EXE" + a + "pad" + trailer(3, uint32_t(a.size())))), nullptr);
    // Offset or size outside the file, size 0, no marker, too short, not an archive.
    EXPECT_EQ(Koa::openLinkedArchive(src("EXE" + a + trailer(3, 0x10000))), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(src("EXE" + a + trailer(0xFFFFFF00u, uint32_t(a.size())))), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(src("EXE" + a + trailer(3, 0))), nullptr);
    std::string noMarker = withTrailer("EXE", a);
    noMarker.back() = 'X';
    EXPECT_EQ(Koa::openLinkedArchive(src(noMarker)), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(src(trailer(0, 1).substr(1))), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(src("EXE" + std::string(30, 'x') + trailer(3, 30))), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(Koa::SourcePtr()), nullptr);

    TempDir d;
    d.write("game", withTrailer(std::string(5000, 'E'), a));
    auto fromFile = Koa::openLinkedArchive(fromPosixPath(d.at("game")));
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(bytes(fromFile->read(u"start.nut")), "print(1)");
    d.write("plain", "no trailer here, just bytes of a program");
    EXPECT_EQ(Koa::openLinkedArchive(fromPosixPath(d.at("plain"))), nullptr);
    EXPECT_EQ(Koa::openLinkedArchive(fromPosixPath(d.at("missing"))), nullptr);
}

TEST(KoaFile, FileOperationsOverAnArchive) {
    auto r = openBytes(archive({{"dir", 1, ""},
                                {"dir\\a.txt", 0, "AAA"},
                                {"dir/B.txt", 0, "B"},
                                {"dir\\sub\\c.txt", 0, "C"},
                                {"DIR\\empty", 0, ""},
                                {"top.txt", 0, "T"}}));
    KoaFileStorage storage(r);
    auto a = storage.getFile(u"DIR\\A.TXT");
    EXPECT_TRUE(a->exists());
    EXPECT_TRUE(a->isFile());
    EXPECT_FALSE(a->isHidden());
    EXPECT_TRUE(a->isReadOnly());
    EXPECT_EQ(a->getPath(), u"DIR\\A.TXT");
    EXPECT_EQ(a->getSize(), 3u);
    EXPECT_FALSE(a->setLastWriteTime(1));
    EXPECT_EQ(a->getCreationTime(), 0u);
    EXPECT_FALSE(a->remove());
    EXPECT_FALSE(a->makeFile());
    EXPECT_FALSE(storage.getFile(u"new")->makeDirectory());
    EXPECT_EQ(a->openOutputStream(0), nullptr);
    EXPECT_EQ(a->openIoStream(0), nullptr);
    auto in = a->openInputStream(TRUNCATE | APPEND); // both ignored
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(bytes(in->readAll()), "AAA");
    auto atEnd = a->openInputStream(END);
    EXPECT_EQ(atEnd->getCursor(), 3u);
    EXPECT_FALSE(atEnd->isReadable());
    auto empty = storage.getFile(u"dir\\empty")->openInputStream(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isClosed());
    EXPECT_FALSE(empty->isReadable());
    EXPECT_EQ(storage.getFile(u"dir")->openInputStream(0), nullptr);
    EXPECT_EQ(storage.getFile(u"missing")->openInputStream(0), nullptr);

    std::vector<std::u16string> names;
    for (auto& c : storage.getFile(u"Dir")->getChildren()) names.push_back(c->getPath());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"DIR\\empty", u"dir\\B.txt", u"dir\\a.txt"}));
    EXPECT_EQ(a->getParent()->getPath(), u"DIR");
    EXPECT_TRUE(a->getParent()->isDirectory());
    auto top = storage.getFile(u"top.txt")->getParent();
    EXPECT_EQ(top->getPath(), u"");
    EXPECT_FALSE(top->exists());
}
