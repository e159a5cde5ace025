// Bytes that are not UTF-8 where text enters the VM (the script file, a file run by dofile)
// become U+FFFD, one per stray byte; a lone surrogate leaves it as U+FFFD too.
function codes(s) { local r = ""; foreach (i, c in s) r += (i ? " " : "") + format("%04X", c); return r; }

local s = "café!";
print(codes(s) + "\n");
print(s + "\n");

local f = file("latin1.nut", "wb");
foreach (b in "return \"") f.writen(b, 'b');
foreach (b in [0xE9, 0x74, 0xE9, 0xE6, 0x97, 0xA5, 0x80]) f.writen(b, 'b');
f.writen('"', 'b');
f.close();
print(codes(dofile("latin1.nut")) + "\n");

print("[\xD800] [\xD83D\xDE00]\n");
