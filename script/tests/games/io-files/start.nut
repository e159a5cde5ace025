// Every IO class over files on disk and in data.koa (packed from archive-src/ with
// `koa create data.koa archive-src`; skip.KOA from skip-src/ is never mounted, its extension
// not being "koa"). check.sh looks at the bytes written under out/.

function show(label, value) {
    println(label + ": " + value);
}

function error(f) {
    try {
        f();
    } catch (e) {
        return e;
    }
    return "no error";
}

function names(files) {
    local s = "";
    foreach (f in files) s += (s == "" ? "" : ",") + f.getName();
    return s;
}

// --- text files on disk ----------------------------------------------------------------------
show("no folder yet", IO.writeTextFile("out/sjis.txt", "x"));
show("make out", IO.File("out/").makeDirectory());
show("write sjis", IO.writeTextFile("out/sjis.txt", "日本語\nline"));
show("write utf8", IO.writeTextFile("out/utf8.txt", "日本語\n", IO.Encoding.UTF8));
show("write utf16le", IO.writeTextFile("out/utf16le.txt", "ab", IO.Encoding.UTF16LE));
show("append", IO.appendTextFile("out/utf8.txt", "more", IO.Encoding.UTF8));
show("read sjis", IO.readTextFile("out/sjis.txt").len());
show("read utf8 as sjis", IO.readTextFile("out/utf8.txt") == IO.readTextFile("out/utf8.txt", IO.Encoding.UTF8));
show("missing", IO.readTextFile("out/none.txt") == null);
show("bad encoding", error(@() IO.TextReader("out/sjis.txt", 0, 7)));

local w = IO.TextWriter("out/lines.txt", 0, IO.Encoding.UTF8);
show("writer counts", w.write("abc") + "," + w.writeLine("defg", 2) + "," + w.writeLine("xyz", 1, 99) + "," + w.write("abc", 4));
w.close();
show("writer closed", w.isClosed());
local r = IO.TextReader("out/lines.txt", 0, IO.Encoding.UTF8);
local lines = r.readLines();
show("lines", lines.len() + " [" + lines[0] + "|" + lines[1] + "|" + lines[2] + "]");
show("at end", r.read()[0] == 0xFFFF && r.readLine() == "");
r.close();

// --- binary files on disk --------------------------------------------------------------------
local bw = IO.File("out/values.bin").createBinaryWriter();
bw.writeInt32(-123456);
bw.writeUint16(0xBEEF);
bw.writeFloat64(0.125);
local blob = IO.Blob(3);
blob.writeInt8(1);
blob.writeInt8(2);
blob.writeInt8(3);
show("blob full", blob.writeInt8(4));
show("write blob", bw.writeBlob(blob) + "," + bw.writeBlob(blob, 1, 100) + "," + bw.writeBlob(blob, 3, 1));
bw.close();
local br = IO.BinaryReader("out\\values.bin");
show("binary length", br.getLength());
show("binary values", br.readInt32() + "," + br.readUint16() + "," + br.readFloat64());
local rest = br.readBlob(-1);
show("rest", rest.getLength() + ":" + rest.readUint8() + rest.readUint8() + rest.readUint8() + rest.readUint8() + rest.readUint8());
show("past end", br.readInt32() + "," + (br.readBlob() == null));
local whole = IO.File("out/values.bin").createBlob();
whole.setCursor(4);
show("blob from file", whole.getLength() + "," + whole.readUint16() + "," + whole.setCursor(whole.getLength()));

// --- strings ---------------------------------------------------------------------------------
local sw = IO.StringWriter();
sw.write("0123456789", 8, 5);
sw.writeLine("ab", 9);
sw.write("tail");
show("string writer", sw.getString() == "89ab\ntail");
local sr = IO.StringReader("a\r\nb");
show("string reader", sr.readLine().len() + "," + sr.readAll());

// --- files -----------------------------------------------------------------------------------
local f = IO.File("out/sub.d/name.tar.gz");
show("names", f.getName() + "|" + f.getNameWithoutExtension() + "|" + f.getExtension() + "|" + f.getParentName());
show("dotted folder", IO.File("out/sub.d/plain").getExtension() == "");
show("make file", f.makeFile() + "," + f.isFile() + "," + f.getSize() + "," + f.getParent().isDirectory());
show("out children", names(IO.File("out").getChildren()));
show("remove", f.remove() + "," + f.exists() + "," + f.getParent().remove() + "," + IO.exists("out/sub.d"));
show("absolute", IO.File("out").getAbsolutePath() == IO.File(IO.File("shared").getAbsolutePath()).getParentPath() + "\\out");
show("case", IO.existsFile("OUT/SJIS.TXT"));

// --- archived files --------------------------------------------------------------------------
local hello = IO.File("packed/hello.txt");
show("archived", hello.exists() + "," + hello.isFile() + "," + hello.getSize() + "," + hello.isReadOnry());
show("archived text", IO.readTextFile("PACKED/HELLO.TXT"));
show("archived lines", IO.TextReader("packed/hello.txt").readLines().len());
show("archived remove", hello.remove() + "," + hello.exists());
show("archived write", IO.writeTextFile("packed/hello.txt", "x") + "," + error(@() IO.BinaryWriter("packed/hello.txt")));
local bytes = IO.File("packed/bytes.bin").createBinaryReader();
show("archived bytes", bytes.readUint8() + "," + bytes.readInt16() + "," + bytes.getCursor() + "/" + bytes.getLength());
show("archived blob", IO.File("packed/bytes.bin").createBlob().readInt32());
show("archived folder", IO.existsDirectory("packed") + "," + names(IO.File("packed").getChildren()));
show("disk and archive", names(IO.File("shared").getChildren()) + "," + IO.readTextFile("shared/b.txt"));
show("not mounted", IO.exists("skipped.txt"));
