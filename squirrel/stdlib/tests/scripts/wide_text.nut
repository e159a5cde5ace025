// Japanese text (UTF-16 inside the VM) through format, split, regexp, blob and file.
function codes(s) { local r = ""; foreach (i, c in s) r += (i ? " " : "") + format("%04X", c); return r; }
function join(a, sep) { local r = ""; foreach (i, x in a) r += (i ? sep : "") + x; return r; }

local name = "日本語";
print("len " + name.len() + " units " + codes(name) + "\n");

print("-- format\n");
print(format("[%s] [%5s] [%-5s|] [%.2s] [%c%c]\n", name, "かな", "カナ", name, 0x6F22, 0x5B57));
print(format("%s は %d 文字、%.1f%%\n", name, name.len(), 99.5));

print("-- split / strip\n");
local cities = split("東京,大阪,,名古屋、札幌", ",、");
print(cities.len() + ": " + join(cities, "|") + "\n");
print("[" + strip("\t 全角スペース　 ") + "]\n");

print("-- regexp\n");
local text = "漢字とひらがなとカタカナ";
local hira = regexp("[ぁ-ん]+");
local m = hira.search(text);
print(m.begin + ".." + m.end + " " + text.slice(m.begin, m.end) + "\n");
local kv = regexp("(\\w+)=(日本|中国)");
local c = kv.capture("lang=日本 only");
print(c.len() + " " + "lang=日本 only".slice(c[2].begin, c[2].end) + "\n");
print("match " + regexp("日本.").match(name) + " " + regexp("日本.").match("日本") + "\n");

print("-- blob\n");
local b = blob();
foreach (ch in text) b.writen(ch, 'w');
print("bytes " + b.len() + " first " + format("%02X %02X", b[0], b[1]) + "\n");
b.seek(0);
local back = "";
while (!b.eos()) back += b.readn('w').tochar();
print("blob round trip " + (back == text) + " " + back + "\n");

print("-- file\n");
local fname = "テスト_ファイル.bin";
local f = file(fname, "wb");
f.writen(0xFEFF, 'w');
local script = "return \"" + text + "\" + vargv.len();";
foreach (ch in script) f.writen(ch, 'w');
f.close();
local g = file(fname, "rb");
print("file length " + g.len() + "\n");
g.readn('w');
local fromfile = "";
while (g.tell() < g.len()) fromfile += g.readn('w').tochar();
g.close();
print("file round trip " + (fromfile == script) + "\n");
print("dofile of UTF-16 text: " + dofile(fname) + "\n");
remove(fname);
local gone = "yes";
try { file(fname, "rb"); gone = "no"; } catch (e) {}
print("removed " + gone + "\n");
