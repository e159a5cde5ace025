// The IO table from script, over a scratch game folder with a disk tree and an archive beside
// it: blobs and binary streams at their edges, text in every encoding, string readers and
// writers, files and their name helpers, and the whole-file shortcuts.
#include "io/FileManager.h"
#include "io/Path.h"
#include "io/koa/KoaWriter.h"
#include "script/ScIO.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

class IOScript : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ko-io-script.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        oldCwd = fs::current_path();
        fs::current_path(dir);
        // The archive: a Shift_JIS text, binary data, an empty file and a folder entry.
        std::string archive = Koa::Writer::buildArchive({
            {"arc\\hello.txt", 0,
             "\x82\xa0"
             "bc\r\nline2\r\n"},
            {"arc/bin.dat", 0, std::string("\x01\x02\x03\x04\xff", 5)},
            {"arc\\empty.txt", 0, ""},
            {"arc\\sub", 1, ""},
            {"arc", 1, ""},
            {"shadow.txt", 0, "from the archive"},
        });
        writeFile("data.koa", archive);
        writeFile("shadow.txt", "from the disk");
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", true));
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::IOLibrary>())) << vm.takeErr();
        ASSERT_TRUE(vm.run(
            "function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }"));
    }
    void TearDown() override {
        KoIO::setFileManager(nullptr);
        fs::current_path(oldCwd);
        fs::remove_all(dir);
    }
    void writeFile(const std::string& rel, const std::string& data) {
        fs::create_directories((dir / rel).parent_path());
        std::ofstream(dir / rel, std::ios::binary) << data;
    }
    std::string readFile(const std::string& rel) {
        std::ifstream in(dir / rel, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string eval(const std::string& e) { return vm.eval(e); }
    // Runs statements and fails the test with the VM's report when they raise.
    void run(const std::string& code) { ASSERT_TRUE(vm.run(code)) << vm.takeErr(); }

    fs::path dir, oldCwd;
    KoTest::ScriptVm vm;
};

// Names alone are checked once, for every library, by the library-names game.
TEST_F(IOScript, EncodingAndOpenOptionValues) {
    EXPECT_EQ(eval("IO.Encoding.SJIS + IO.Encoding.SHIFTJIS * 10 + IO.Encoding.UTF8 * 100 + "
                   "IO.Encoding.UTF16 * 1000 + IO.Encoding.UTF16LE * 10000 + IO.Encoding.UTF16BE * "
                   "100000"),
              "543211");
    EXPECT_EQ(eval("IO.OpenOption.TRUNCATE + IO.OpenOption.END * 10 + IO.OpenOption.APPEND * 100"),
              "421");
}

TEST_F(IOScript, BlobCursorAndValues) {
    run("b <- IO.Blob(4);");
    EXPECT_EQ(eval("b.getLength()"), "4");
    EXPECT_EQ(eval("b.setCursor(4)"), "false"); // the end itself is refused
    EXPECT_EQ(eval("b.setCursor(-1)"), "false");
    EXPECT_EQ(eval("b.setCursor(3)"), "true");
    EXPECT_EQ(eval("b.getCursor()"), "3");
    EXPECT_EQ(eval("b.writeInt16(1)"), "false"); // one byte left: nothing written
    EXPECT_EQ(eval("b.getCursor()"), "3");
    EXPECT_EQ(eval("b.writeUint8(0x1ff)"), "true"); // low 8 bits
    EXPECT_EQ(eval("b.getCursor()"), "4");
    EXPECT_EQ(eval("b.writeInt8(0)"), "false");
    run("b.setCursor(0);");
    EXPECT_EQ(eval("b.readInt32()"), "-16777216"); // 00 00 00 ff, little-endian
    // Reads that find too few bytes give 0 and leave the cursor.
    EXPECT_EQ(eval("b.readInt8()"), "0");
    EXPECT_EQ(eval("b.getCursor()"), "4");

    run("b = IO.Blob(8); b.writeInt32(0x01020304); b.writeInt16(-2); b.writeUint16(65535); "
        "b.setCursor(0);");
    EXPECT_EQ(eval("b.readUint8() + \",\" + b.readUint8() + \",\" + b.readUint16()"), "4,3,258");
    EXPECT_EQ(eval("b.readInt16() + \",\" + b.readUint8() + \",\" + b.readInt8()"), "-2,255,-1");
    EXPECT_EQ(eval("b.readUint8()"), "0"); // at the end

    run("b = IO.Blob(12); b.writeFloat32(1.5); b.writeFloat64(-0.25); b.setCursor(0);");
    EXPECT_EQ(eval("b.readFloat32()"), "1.5");
    EXPECT_EQ(eval("b.readFloat64()"), "-0.25");
    run("b.setCursor(8);");
    EXPECT_EQ(eval("b.readFloat64()"), "0"); // 4 bytes left
    EXPECT_EQ(eval("b.writeFloat64(1)"), "false");

    EXPECT_EQ(eval("err(@() IO.Blob(-1))"), "failed create instance");
    EXPECT_EQ(eval("err(@() IO.Blob())"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.Blob(\"4\"))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() b.writeInt8(\"x\"))"), "wrong number of parameters");
    EXPECT_EQ(eval("IO.Blob(0).setCursor(0)"), "false");
    EXPECT_EQ(eval("IO.Blob(0).readInt8()"), "0");
    // An instance made without its constructor holds nothing and answers the defaults.
    EXPECT_EQ(
        eval("IO.Blob.instance().getLength() + \",\" + IO.Blob.instance().readInt32() + \",\" + "
             "IO.Blob.instance().writeInt8(1)"),
        "0,0,false");
}

TEST_F(IOScript, BlobCopiesStayInside) {
    run("src <- IO.Blob(6); for (local i = 0; i < 6; ++i) src.writeUint8(i + 1); "
        "src.setCursor(2);");
    EXPECT_EQ(eval("(src.readBlob(0)) == null"), "true");
    run("part <- src.readBlob(100);"); // more than remains: what remains
    EXPECT_EQ(eval("part.getLength() + \",\" + part.readUint8() + \",\" + src.getCursor()"),
              "4,3,6");
    EXPECT_EQ(eval("(src.readBlob()) == null"), "true"); // nothing remains
    run("src.setCursor(1);");
    EXPECT_EQ(eval("src.readBlob(-5).getLength()"), "5");
    run("src.setCursor(1);");
    EXPECT_EQ(eval("src.readBlob(2).readUint16()"), "770");
    EXPECT_EQ(eval("err(@() src.readBlob(1, 2))"), "wrong number of parameters");

    // writeBlob copies what fits between the cursor and the end.
    run("dst <- IO.Blob(4); dst.setCursor(1);");
    EXPECT_EQ(eval("dst.writeBlob(src)"), "3");
    EXPECT_EQ(eval("dst.getCursor()"), "4");
    EXPECT_EQ(eval("dst.writeBlob(src)"), "0");
    run("dst.setCursor(0);");
    EXPECT_EQ(eval("dst.readUint8() + \",\" + dst.readUint8() + \",\" + dst.readUint8() + \",\" + "
                   "dst.readUint8()"),
              "0,1,2,3");
    run("dst.setCursor(0);");
    EXPECT_EQ(eval("dst.writeBlob(src, 4, 100)"), "2"); // cut to what src holds from 4
    run("dst.setCursor(0);");
    EXPECT_EQ(eval("dst.readUint16()"), "1541");
    EXPECT_EQ(eval("dst.writeBlob(src, 6, 1)"), "0");  // offset at the end
    EXPECT_EQ(eval("dst.writeBlob(src, -1, 1)"), "0"); // offset before the start
    EXPECT_EQ(eval("dst.writeBlob(src, 0, -1)"), "0"); // negative count
    EXPECT_EQ(eval("dst.getCursor()"), "2");
    EXPECT_EQ(eval("dst.writeBlob(null, 0, 1)"), "0");
    EXPECT_EQ(eval("dst.writeBlob(null)"), "0");
    EXPECT_EQ(eval("dst.writeBlob(IO.Blob(0))"), "0");
    EXPECT_EQ(eval("err(@() dst.writeBlob(src, 0))"),
              "No overload matching this argument list found");
    // A blob written into itself copies as if from a snapshot.
    run("src.setCursor(1);");
    EXPECT_EQ(eval("src.writeBlob(src, 0, 5)"), "5");
    run("src.setCursor(0);");
    EXPECT_EQ(eval("src.readUint8() * 100000 + src.readUint8() * 10000 + src.readUint8() * 1000 + "
                   "src.readUint8() * 100 + src.readUint8() * 10 + src.readUint8()"),
              "112345");
}

TEST_F(IOScript, ClonesShareAndSubclassesInherit) {
    run("a <- IO.Blob(4); c <- clone a; c.writeInt32(99);");
    EXPECT_EQ(eval("a.getCursor()"), "4"); // one byte array, one cursor
    run("a.setCursor(0);");
    EXPECT_EQ(eval("c.readInt32()"), "99");
    run("sw <- IO.StringWriter(); sw2 <- clone sw; sw2.write(\"x\"); sw.write(\"y\");");
    EXPECT_EQ(eval("sw.getString() + sw2.getString()"), "xyxy");
    EXPECT_EQ(eval("(clone IO.File(\"a/b.txt\")).getName()"), "b.txt");
    run("class Big extends IO.Blob { constructor(n) { base.constructor(n * 2); } function size() { "
        "return getLength(); } }");
    EXPECT_EQ(eval("Big(3).size()"), "6");
    EXPECT_EQ(eval("IO.Blob(2).writeBlob(Big(1))"), "2")
        << "a subclass instance is a blob argument";
    // A constructor called on some other object leaves it as it was.
    run("f <- IO.File(\"a/b.txt\");");
    EXPECT_EQ(eval("err(@() IO.Blob.constructor.call(f, 4))"), "failed create instance");
    EXPECT_EQ(eval("err(@() IO.BinaryWriter.constructor.call({}, \"never.bin\"))"),
              "failed create instance");
    EXPECT_EQ(eval("f.getName() + \",\" + IO.exists(\"never.bin\")"), "b.txt,false");
}

TEST_F(IOScript, BinaryStreamsOverDisk) {
    run("IO.File(\"out\").makeDirectory(); w <- IO.BinaryWriter(\"out/data.bin\");");
    EXPECT_EQ(eval("err(@() IO.BinaryWriter(\"out/data.bin\", 0, 1))"),
              "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.BinaryWriter(\"nodir/x.bin\"))"),
              "ファイル 'nodir/x.bin' の生成に失敗しました。");
    EXPECT_EQ(eval("w.isWritable() + \",\" + w.isClosed()"), "true,false");
    EXPECT_EQ(eval("w.writeInt8(-1) + w.writeInt16(0x1234) + w.writeInt32(-2) + w.writeUint8(7) + "
                   "w.writeUint16(0xfffe) + w.writeFloat32(2.5) + w.writeFloat64(0.5)"),
              "22");
    run("b <- IO.Blob(4); b.writeInt32(0x41424344);");
    EXPECT_EQ(eval("w.writeBlob(b) + \",\" + w.writeBlob(b, 2, 10) + \",\" + w.writeBlob(b, 4, 1) "
                   "+ \",\" + w.writeBlob(b, 1, -1)"),
              "4,2,0,0");
    EXPECT_EQ(eval("w.getLength() + \",\" + w.getCursor()"), "28,28");
    EXPECT_EQ(eval("w.setCursor(29) + \",\" + w.setCursor(-1) + \",\" + w.setCursor(1)"),
              "false,false,true");
    EXPECT_EQ(eval("w.writeInt8(0x55)"), "1");
    EXPECT_EQ(eval("w.flush()"), "true");
    run("w.close();");
    EXPECT_EQ(readFile("out/data.bin"),
              std::string("\xff\x55\x12\xfe\xff\xff\xff\x07\xfe\xff\x00\x00\x20\x40"
                          "\x00\x00\x00\x00\x00\x00\xe0\x3f"
                          "DCBABA",
                          28));

    run("r <- IO.BinaryReader(\"out\\\\data.bin\");"); // either separator
    EXPECT_EQ(eval("r.getLength() + \",\" + r.isReadable() + \",\" + r.isClosed()"),
              "28,true,false");
    EXPECT_EQ(eval("r.readInt8() + \",\" + r.readUint8() + \",\" + r.readInt8()"), "-1,85,18");
    EXPECT_EQ(eval("r.setCursor(1) + \",\" + r.readInt16() + \",\" + r.readInt32() + \",\" + "
                   "r.readUint8()"),
              "true,4693,-2,7");
    EXPECT_EQ(eval("r.readUint16() + \",\" + r.readFloat32() + \",\" + r.readFloat64()"),
              "65534,2.5,0.5");
    EXPECT_EQ(eval("r.readBlob(2).readUint16() + \",\" + r.getCursor()"), "17220,24");
    EXPECT_EQ(eval("r.readBlob(-1).getLength()"), "4");
    EXPECT_EQ(eval("(r.readBlob() == null) + \",\" + r.readInt32() + \",\" + r.isReadable()"),
              "true,0,false");
    EXPECT_EQ(eval("r.setCursor(28) + \",\" + r.setCursor(29) + \",\" + r.setCursor(-1)"),
              "true,false,false");
    run("r.setCursor(26);");
    EXPECT_EQ(eval("r.readInt32()"), "0"); // two bytes left: no partial value
    run("r.close();");
    EXPECT_EQ(eval("r.isReadable() + \",\" + (r.readBlob() == null)"), "false,true");

    // Options: END starts at the end, APPEND adds at the end, TRUNCATE empties.
    EXPECT_EQ(eval("IO.BinaryReader(\"out/data.bin\", IO.OpenOption.END).isReadable()"), "false");
    run("local a = IO.BinaryWriter(\"out/data.bin\", IO.OpenOption.APPEND); a.writeInt8(1); "
        "a.close();");
    EXPECT_EQ(readFile("out/data.bin").size(), 29u);
    run("IO.BinaryWriter(\"out/data.bin\").close();"); // write-only without APPEND empties
    EXPECT_EQ(readFile("out/data.bin").size(), 0u);

    EXPECT_EQ(eval("err(@() IO.BinaryReader(\"missing/x.bin\"))"),
              "ファイル 'missing/x.bin' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() IO.BinaryReader(\"out/data.bin\", IO.OpenOption.TRUNCATE))"),
              "ファイル 'out/data.bin' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() IO.BinaryWriter(\"shadow.txt/x\"))"),
              "ファイル 'shadow.txt/x' の生成に失敗しました。");
    EXPECT_EQ(eval("err(@() IO.BinaryReader(1))"), "wrong number of parameters");
}

TEST_F(IOScript, ShortcutsAndEncodings) {
    EXPECT_EQ(eval("IO.writeTextFile(\"t/crlf.txt\", \"a\\nb\")"), "false")
        << "folder t does not exist";
    run("IO.File(\"t\").makeDirectory();");
    EXPECT_EQ(eval("IO.writeTextFile(\"t/crlf.txt\", \"a\\nb\")"), "true");
    EXPECT_EQ(readFile("t/crlf.txt"), "a\r\nb");
    EXPECT_EQ(eval("IO.readTextFile(\"t/crlf.txt\")"), "a\nb");
    EXPECT_EQ(eval("IO.appendTextFile(\"t/crlf.txt\", \"c\")"), "true");
    EXPECT_EQ(readFile("t/crlf.txt"), "a\r\nbc");
    EXPECT_EQ(eval("IO.appendTextFile(\"t/new.txt\", \"n\")"), "true");
    EXPECT_EQ(readFile("t/new.txt"), "n");
    EXPECT_EQ(eval("IO.writeTextFile(\"t/empty.txt\", \"\")"), "true");
    EXPECT_TRUE(fs::exists(dir / "t/empty.txt"));
    EXPECT_EQ(readFile("t/empty.txt"), "");
    EXPECT_EQ(eval("(IO.readTextFile(\"t/missing.txt\")) == null"), "true");
    EXPECT_EQ(eval("(IO.readTextFile(\"t/crlf.txt\", 9)) == null"), "true");
    EXPECT_EQ(eval("IO.exists(\"t\") + \",\" + IO.existsFile(\"t\") + \",\" + "
                   "IO.existsDirectory(\"t/\") + \",\" + "
                   "IO.existsFile(\"T/CRLF.TXT\") + \",\" + IO.exists(\"t/none\")"),
              "true,false,true,true,false");

    // Shift_JIS is the default; the other encodings by number.
    EXPECT_EQ(eval("IO.writeTextFile(\"sjis.txt\", \"あ\")"), "true");
    EXPECT_EQ(readFile("sjis.txt"), "\x82\xa0");
    EXPECT_EQ(eval("IO.writeTextFile(\"u8.txt\", \"あ\", IO.Encoding.UTF8)"), "true");
    EXPECT_EQ(readFile("u8.txt"), "\xe3\x81\x82");
    EXPECT_EQ(eval("IO.writeTextFile(\"le.txt\", \"あ\", IO.Encoding.UTF16LE)"), "true");
    EXPECT_EQ(readFile("le.txt"), "\x42\x30");
    EXPECT_EQ(eval("IO.writeTextFile(\"be.txt\", \"あ\", IO.Encoding.UTF16)"), "true");
    EXPECT_EQ(readFile("be.txt"), "\x30\x42");
    writeFile("bom.txt", std::string("\xff\xfe\x42\x30x\x00", 6));
    EXPECT_EQ(eval("IO.readTextFile(\"bom.txt\", IO.Encoding.UTF16)"), "あx");
    EXPECT_EQ(
        eval("IO.readTextFile(\"be.txt\", IO.Encoding.UTF16BE) + IO.readTextFile(\"u8.txt\", 2)"),
        "ああ");

    // An unknown encoding fails before the file is touched.
    writeFile("keep.txt", "keep");
    EXPECT_EQ(eval("err(@() IO.TextWriter(\"keep.txt\", 0, 0))"),
              "ファイル 'keep.txt' の生成に失敗しました。");
    EXPECT_EQ(eval("IO.writeTextFile(\"keep.txt\", \"x\", 6)"), "false");
    EXPECT_EQ(readFile("keep.txt"), "keep");
    EXPECT_EQ(eval("err(@() IO.TextReader(\"keep.txt\", 0, 7))"),
              "ファイル 'keep.txt' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() IO.TextReader(\"keep.txt\", 0, 1, 1))"), "wrong number of parameters");
}

TEST_F(IOScript, TextReaderEdges) {
    writeFile("lines.txt", "a\r\nb\rc\nlast\n");
    run("r <- IO.TextReader(\"lines.txt\", 0, IO.Encoding.UTF8);");
    EXPECT_EQ(eval("r.isReadable() + \",\" + r.isClosed()"), "true,false");
    EXPECT_EQ(eval("r.read()"), "a");
    EXPECT_EQ(eval("r.read().len() + \",\" + r.read(0) + \",\" + r.read(-3)"), "1,,");
    EXPECT_EQ(eval("r.read(3)"), "b\rc");
    EXPECT_EQ(eval("r.readLines().len()"), "3"); // "", "last", ""
    EXPECT_EQ(eval("r.read()[0]"), "65535");     // U+FFFF at the end
    EXPECT_EQ(eval("r.readLine() + \"|\" + r.readAll() + \"|\" + r.readLines().len()"), "||0");
    run("r = IO.TextReader(\"lines.txt\");");
    EXPECT_EQ(eval("r.readLine() + \"|\" + r.readLine()"), "a|b\rc");
    EXPECT_EQ(
        eval("r.readLines(-1).len() + \",\" + r.readLines(1).len() + \",\" + r.readLines(5)[0]"),
        "0,1,");
    run("r.close();");
    EXPECT_EQ(eval("r.isClosed()"), "true");

    run("s <- IO.StringReader(\"a\\r\\nb\\nc\");");
    EXPECT_EQ(eval("s.readLines(2)[0] == \"a\\r\""), "true"); // no CR handling in strings
    EXPECT_EQ(eval("s.read(100) + \",\" + s.read(1) + \",\" + s.read()[0]"), "c,,65535");
    run("s = IO.StringReader(\"xyz\"); s.close();");
    EXPECT_EQ(eval("s.isClosed() + \",\" + s.isReadable() + \",\" + s.readAll() + \",\" + "
                   "s.readLines().len()"),
              "true,false,,0");
    EXPECT_EQ(eval("err(@() IO.StringReader())"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.StringReader(\"x\").read(1, 2))"),
              "No overload matching this argument list found");
    EXPECT_EQ(eval("IO.TextReader.instance().readAll() + IO.TextReader.instance().isClosed()"),
              "true");
}

TEST_F(IOScript, WritersCutPiecesToTheText) {
    run("w <- IO.StringWriter();");
    EXPECT_EQ(eval("w.write(\"abc\") + w.write(\"defg\", 2) + w.write(\"xyz\", 10)"),
              "8"); // strings clamp
    EXPECT_EQ(
        eval("w.write(\"0123456\", 2, 3) + w.write(\"0123\", 3, 100) + w.write(\"01\", 2, 1) + "
             "w.write(\"01\", 3, 1) + w.write(\"01\", -1, 1) + w.write(\"01\", 0, -1) + "
             "w.write(\"01\", -5)"),
        "4");
    EXPECT_EQ(eval("w.getString()"), "abcdexyz2343");
    EXPECT_EQ(eval("w.writeLine(\"L\") + w.writeLine(\"LMN\", 2) + w.writeLine(\"LMN\", 1, 9) + "
                   "w.writeLine(\"\", 4, 1)"),
              "9");
    EXPECT_EQ(eval("w.getString()"), "abcdexyz2343L\nLM\nMN\n\n");
    EXPECT_EQ(eval("err(@() w.write(1))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() w.write())"), "No overload matching this argument list found");
    EXPECT_EQ(eval("w.flush() + \",\" + w.isWritable()"), "true,true");
    run("w.close();");
    EXPECT_EQ(eval("w.write(\"x\") + \",\" + w.isClosed() + \",\" + w.isWritable() + \",\" + "
                   "w.getString()"),
              "0,true,false,abcdexyz2343L\nLM\nMN\n\n");

    run("t <- IO.TextWriter(\"w.txt\", 0, IO.Encoding.UTF8);");
    EXPECT_EQ(eval("t.write(\"ab\", 3)"), "0"); // a stream writer refuses a count beyond the text
    EXPECT_EQ(eval("t.write(\"abc\", 2) + t.write(\"abc\", 1, 5) + t.writeLine(\"x\") + "
                   "t.writeLine(\"xyz\", 2, 1)"),
              "8");
    EXPECT_EQ(eval("t.flush()"), "true");
    run("t.close();");
    EXPECT_EQ(readFile("w.txt"), "abbcx\r\nz\r\n");
    EXPECT_EQ(
        eval("IO.TextWriter.instance().write(\"x\") + \",\" + IO.TextWriter.instance().flush()"),
        "0,false");
}

TEST_F(IOScript, FileNamesAndTree) {
    EXPECT_EQ(eval("IO.File(\"x/\").getName()"), "x");
    EXPECT_EQ(eval("IO.File(\"x/\").getPath()"), "x");
    run("f <- IO.File(\"a/b.c/d\");");
    EXPECT_EQ(eval("f.getPath() + \"|\" + f.getName() + \"|\" + f.getExtension() + \"|\" + "
                   "f.getNameWithoutExtension()"),
              "a\\b.c\\d|d||d"); // a dot in a folder name is no extension
    run("f = IO.File(\"a\\\\b.c\\\\d.tar.gz\");");
    EXPECT_EQ(eval("f.getExtension() + \"|\" + f.getNameWithoutExtension() + \"|\" + "
                   "f.getParentPath() + \"|\" + f.getParentName()"),
              "gz|d.tar|a\\b.c|b.c");
    EXPECT_EQ(
        eval("IO.File(\"top.txt\").getParentPath() + \"|\" + IO.File(\"top.txt\").getParentName()"),
        "|");
    EXPECT_EQ(eval("IO.File(\"top.txt\").getParent().getPath() + \",\" + "
                   "IO.File(\"top.txt\").getParent().exists()"),
              ",false");
    EXPECT_EQ(eval("IO.File(\"top.txt\").getAbsolutePath()"),
              KoIO::toUtf8(KoIO::fromPosixPath((fs::current_path() / "top.txt").string())));
    EXPECT_EQ(eval("err(@() IO.File())"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.File(1))"), "wrong number of parameters");

    // Making, querying and removing on disk.
    run("n <- IO.File(\"p/q/r.txt\");");
    EXPECT_EQ(eval("n.exists() + \",\" + n.makeFile() + \",\" + n.isFile() + \",\" + n.getSize()"),
              "false,true,true,0");
    EXPECT_TRUE(fs::is_regular_file(dir / "p/q/r.txt"));
    EXPECT_EQ(eval("n.getParent().isDirectory() + \",\" + n.getParent().getParent().getPath()"),
              "true,p");
    EXPECT_EQ(eval("IO.File(\"p/q/s\").makeDirectory() + \",\" + IO.File(\"p/q/s\").isDirectory()"),
              "true,true");
    writeFile("p/q/a.txt", "12345");
    EXPECT_EQ(eval("IO.File(\"p/q/a.txt\").getSize() + \",\" + IO.File(\"p/q/a.txt\").isReadOnry() "
                   "+ \",\" + "
                   "IO.File(\"p/q/a.txt\").isHidden()"),
              "5,false,false");
    run("names <- \"\"; foreach (c in IO.File(\"p/q\").getChildren()) names += c.getName() + "
        "\",\";");
    EXPECT_EQ(eval("names"), "a.txt,r.txt,s,");
    EXPECT_EQ(eval("IO.File(\"p/q\").getChildren()[0].getPath()"), "p\\q\\a.txt");
    EXPECT_EQ(eval("IO.File(\"p\").remove()"), "false"); // not empty
    EXPECT_EQ(eval("n.remove() + \",\" + n.exists() + \",\" + IO.File(\"nothing\").remove()"),
              "true,false,true");

    // Objects made from a file go through the IO table's classes, errors included.
    EXPECT_EQ(eval("IO.File(\"p/q/a.txt\").createBlob().readUint8()"), "49");
    EXPECT_EQ(eval("(IO.File(\"p/q/s\").createBlob()) == null"), "true");
    EXPECT_EQ(eval("(IO.File(\"missing\").createBlob()) == null"), "true");
    writeFile("zero.bin", "");
    EXPECT_EQ(eval("(IO.File(\"zero.bin\").createBlob()) == null"), "true");
    EXPECT_EQ(eval("IO.File(\"p/q/a.txt\").createTextReader().readAll()"), "12345");
    EXPECT_EQ(eval("IO.File(\"p/q/a.txt\").createTextReader(IO.OpenOption.END).readAll()"), "");
    EXPECT_EQ(eval("IO.File(\"p/q/a.txt\").createBinaryReader(0).readUint8()"), "49");
    EXPECT_EQ(eval("err(@() IO.File(\"p/q/a.txt\").createTextReader(0, 9))"),
              "ファイル 'p\\q\\a.txt' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() IO.File(\"p/q/a.txt\").createTextReader(0, 1, 1))"),
              "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.File(\"p/q/a.txt\").createBinaryWriter(0, 1))"),
              "wrong number of parameters");
    EXPECT_EQ(eval("err(@() IO.File(\"missing/x\").createBinaryReader())"),
              "ファイル 'missing\\x' の読み込みに失敗しました。");
    run("local w = IO.File(\"p/q/a.txt\").createTextWriter(IO.OpenOption.APPEND, "
        "IO.Encoding.UTF8); w.write(\"6\"); w.close();"
        "w = IO.File(\"p/q/a.txt\").createBinaryWriter(IO.OpenOption.APPEND); w.writeUint8(55); "
        "w.close();");
    EXPECT_EQ(readFile("p/q/a.txt"), "1234567");
    // A replaced class is the one used.
    run("realBlob <- IO.Blob; IO.Blob = function(n) { throw \"no blobs\"; };");
    EXPECT_EQ(eval("err(@() IO.File(\"p/q/a.txt\").createBlob())"), "no blobs");
    run("IO.Blob = realBlob;");
}

TEST_F(IOScript, ArchivedFiles) {
    EXPECT_EQ(
        eval("IO.existsFile(\"ARC/HELLO.TXT\") + \",\" + IO.existsDirectory(\"arc/sub\") + \",\" + "
             "IO.existsDirectory(\"arc\")"),
        "true,true,true");
    run("h <- IO.File(\"arc/hello.txt\");");
    EXPECT_EQ(
        eval("h.getSize() + \",\" + h.isReadOnry() + \",\" + h.remove() + \",\" + h.exists()"),
        "13,true,false,true");
    EXPECT_EQ(eval("IO.readTextFile(\"arc/hello.txt\")"), "あbc\nline2\n");
    EXPECT_EQ(eval("IO.TextReader(\"arc\\\\hello.txt\").readLines().len()"), "3");
    EXPECT_EQ(eval("IO.writeTextFile(\"arc/hello.txt\", \"x\")"), "false");
    EXPECT_EQ(eval("err(@() IO.BinaryWriter(\"arc/hello.txt\"))"),
              "ファイル 'arc/hello.txt' の生成に失敗しました。");
    EXPECT_FALSE(fs::exists(dir / "arc")) << "nothing is written to disk for an archived path";
    run("b <- IO.BinaryReader(\"arc/bin.dat\");");
    EXPECT_EQ(
        eval("b.getLength() + \",\" + b.readInt32() + \",\" + b.readInt8() + \",\" + b.readInt8()"),
        "5,67305985,-1,0");
    EXPECT_EQ(eval("IO.File(\"arc/bin.dat\").createBlob().getLength()"), "5");
    EXPECT_EQ(eval("IO.BinaryReader(\"arc/bin.dat\", IO.OpenOption.END).isReadable()"), "false");
    // An archived empty file opens, closed and unreadable from the start.
    run("e <- IO.BinaryReader(\"arc/empty.txt\");");
    EXPECT_EQ(eval("e.isClosed() + \",\" + e.isReadable() + \",\" + (e.readBlob() == null)"),
              "true,false,true");
    EXPECT_EQ(eval("(IO.File(\"arc/empty.txt\").createBlob()) == null"), "true");
    EXPECT_EQ(eval("IO.readTextFile(\"arc/empty.txt\")"), "");
    run("names <- \"\"; foreach (c in IO.File(\"arc\").getChildren()) names += c.getName() + "
        "\",\";");
    EXPECT_EQ(eval("names"), "bin.dat,empty.txt,hello.txt,sub,");
    // A disk file hides an archived one of the same path.
    EXPECT_EQ(eval("IO.readTextFile(\"shadow.txt\")"), "from the disk");
}

} // namespace
