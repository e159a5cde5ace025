// Library behaviour of the original platform that the conformance corpus
// leaves out: the Windows runtime's rand and float text, error texts, bad
// input to streams, paths with backslashes, corrupt bytecode.
function attempt(label, f) {
  try { print(label + " -> " + f() + "\n"); } catch (e) print(label + " -> error: " + e + "\n");
}

print("-- rand follows the Windows runtime\n");
print("RAND_MAX " + RAND_MAX + "\n");
srand(1);
local seq = [];
for (local i = 0; i < 5; i++) seq.append(rand());
print("srand(1): " + seq[0] + " " + seq[1] + " " + seq[2] + " " + seq[3] + " " + seq[4] + "\n");
srand(0);
print("srand(0): " + rand() + " " + rand() + "\n");
srand(12.9);
local a = rand();
srand(12);
print("srand truncates floats: " + (a == rand()) + "\n");

print("-- float text of the Windows runtime\n");
local inf = 1e30 * 1e30;
foreach (f in ["%e", "%E", "%g", "%.3g", "%.1f", "%.0f", "%f"]) {
  local line = f + ":";
  foreach (v in [1.5, 1e20, 1.25, 0.000012, inf, -inf]) line += " [" + format(f, v) + "]";
  print(line + "\n");
}
print("nan: [" + format("%f", inf - inf) + "] [" + format("%+8.2f|", inf) + "]\n");

print("-- math\n");
print("abs " + abs(-5.7) + " " + abs(-2147483648) + " " + abs(7) + "\n");
print(format("PI %.7f, sqrt(2) %.6f, pow(2, 10) %g, atan2(1, 2) %.4f", PI, sqrt(2), pow(2, 10), atan2(1, 2)) + "\n");
print("floor/ceil " + floor(-1.5) + " " + ceil(-1.5) + " " + typeof floor(1) + "\n");

print("-- blob globals\n");
print(format("swap2 %x %x, swap4 %x, castf2i %d, casti2f %g", swap2(0x1234), swap2(0x80), swap4(0x11223344), castf2i(1.0), casti2f(0x3FC00000)) + "\n");
print("swapfloat twice " + swapfloat(swapfloat(2.5)) + "\n");

print("-- blob errors\n");
local b = blob(4);
attempt("b[4]", @() b[4]);
attempt("b[-1] = 1", function() { b[-1] = 1; });
attempt("b.resize(-1)", @() b.resize(-1));
attempt("blob(2000000000)", @() blob(2000000000));
attempt("b.resize(2000000000)", @() b.resize(2000000000));
attempt("b.readn('x')", @() b.readn('x'));
attempt("b.writen(1, 'q')", @() b.writen(1, 'q'));
b.seek(0, 'e');
attempt("readn at the end", @() b.readn('i'));
attempt("readblob at the end", @() b.readblob(4));
b.seek(0);
attempt("readblob(0)", @() b.readblob(0));
attempt("readblob(-5)", @() b.readblob(-5));
attempt("writeblob(5)", @() b.writeblob(5));
attempt("writeblob of a table", @() b.writeblob({}));
local big = b.readblob(1000000);
print("readblob larger than the data " + big.len() + "\n");
local c = clone b;
c[0] = 99;
print("clone is independent " + b[0] + " " + c[0] + ", typeof " + typeof c + "\n");
b[1] = 300; b[2] = -1; b[3] = 7.9;
local bytes = "";
foreach (i, x in b) bytes += i + "=" + x + " ";
print("bytes " + bytes + "\n");
attempt("blob.len.pcall(5)", @() blob.len.pcall(5));
attempt("blob.tell.pcall(regexp(\"a\"))", @() blob.tell.pcall(regexp("a")));

print("-- files\n");
attempt("file(\"x.tmp\", \"rw\")", @() file("x.tmp", "rw"));
attempt("file(\"x.tmp\", \"\")", @() file("x.tmp", ""));
attempt("file(5, \"r\")", @() file(5, "r"));
attempt("file(\"missing.tmp\", \"r\")", @() file("missing.tmp", "r"));
local w = file(".\\bs.tmp", "wb");
w.writen(0x41424344, 'i');
w.writen(2.5, 'd');
w.close();
attempt("closed file len()", @() w.len());
attempt("closed file readn", @() w.readn('b'));
w.close();
print("close twice is harmless\n");
local r = file("bs.tmp", "rb");
print("backslash path wrote " + r.len() + " bytes: " + format("%x", r.readn('i')) + " " + r.readn('d') + "\n");
print("seek past the end " + r.seek(100) + " tell " + r.tell() + "\n");
attempt("seek origin 'z'", @() r.seek(0, 'z'));
r.close();
remove("bs.tmp");
local cw = file("CaseTest.tmp", "wb");
cw.writen(7, 'b');
cw.close();
local cr = file("casetest.TMP", "rb");
print("other case finds the file: " + cr.readn('b') + "\n");
cr.close();
local ca = file("CASETEST.tmp", "ab");
ca.writen(8, 'b');
ca.close();
print("appending in another case reaches the same file: " + file("CaseTest.tmp", "rb").len() + "\n");
remove("casetest.tmp");
attempt("removed through another case", function() { file("CaseTest.tmp", "rb"); return "still there"; });
print("typeof stdout " + typeof stdout + ", stdin " + typeof stdin + "\n");
stdout.writen(0x4B, 'b');
stdout.writen(0x0A, 'b');
stdout.flush();

print("-- bad bytecode is an error\n");
local bad = file("bad.cnut", "wb");
foreach (x in [0xFA, 0xFA, 1, 2, 3, 0xFF, 0xFF, 0xFF, 0x7F]) bad.writen(x, 'b');
bad.close();
local outcome = "loaded";
try { loadfile("bad.cnut"); } catch (e) outcome = "error";
print("corrupt bytecode -> " + outcome + "\n");
local trunc = file("trunc.cnut", "wb");
trunc.writen(0xFA, 'b');
trunc.writen(0xFA, 'b');
trunc.close();
outcome = "loaded";
try { dofile("trunc.cnut"); } catch (e) outcome = "error";
print("truncated bytecode -> " + outcome + "\n");
remove("bad.cnut");
remove("trunc.cnut");

print("-- system\n");
attempt("date(-1)", function() { date(-1); return "accepted"; });
print("system exit code " + system("exit 3") + "\n");
attempt("rename of a missing file", @() rename("no_such.tmp", "other.tmp"));

print("-- string errors\n");
attempt("split(\"a\", \"\")", @() split("a", ""));
attempt("format(\"%d\", [])", @() format("%d", []));
attempt("format(\"%5.3s|\", \"abcdef\")", @() format("%5.3s|", "abcdef"));
attempt("regexp(\"\")", @() regexp(""));
attempt("regexp(\"[z-a]\")", @() regexp("[z-a]"));
local s = "a";
for (local i = 0; i < 14; i++) s += s;
attempt("runaway regexp", @() regexp("(a)+b").search(s));
attempt("plain repetition on the same text", @() regexp("a+b").search(s) == null);
print("\\b looks at white space: " + regexp("\\w+\\b").search("foo bar").end + "\n");
