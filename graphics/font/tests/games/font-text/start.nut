// Text in the runner: a font registered from an archive, drawn into a canvas and read back;
// the gradient layer of FontG; Japanese through a Windows face name; the constructor errors.

function error(f) {
    try {
        f();
    } catch (e) {
        return e;
    }
    return "no error";
}

// BGRA bytes of the pixel (x, y) of image data as "b,g,r,a".
function px(d, x, y) {
    local i = (y * d.width + x) * 4;
    return d.data[i] + "," + d.data[i + 1] + "," + d.data[i + 2] + "," + d.data[i + 3];
}

print("register archived: " + Graphics.registerFont("fonts/square.ttf") + "\n");
print("register not a font: " + Graphics.registerFont("start.nut") + "\n");
print("register missing: " + Graphics.registerFont("no/such.ttf") + "\n");

local f = Graphics.Font("KoTest Square", 10);
print(f.getName() + " " + f.getSize() + " " + f.isBold() + " " + f.isItalic() + "\n");
print("width " + f.getWidth("AB\nA") + " height " + f.getHeight("AB\nA") + "\n");
local fb = Graphics.Font("KoTest Square", 12, true, false);
print("bold " + fb.isBold() + " " + fb.getWidth("A") + "\n");

// 'A' fills its 10 x 10 cell, 'B' the top half; the line feed returns to the left.
local c = Graphics.Canvas(40, 32);
c.clear([255, 0, 0, 0]);
c.begin();
print("drawText " + c.drawText(f, "AB\nA", [2, 3], [255, 255, 0, 0]) + "\n");
print("drawText with a non-font " + c.drawText(c, "A", [0, 0]) + "\n");
c.end();
local d = c.getImageData();
local red = 0;
for (local i = 0; i < d.length; i += 4) {
    if (d.data[i + 2] == 255 && d.data[i + 1] == 0) ++red;
}
print("red pixels " + red + "\n");
print(px(d, 2, 3) + " " + px(d, 11, 12) + " " + px(d, 12, 8) + " " + px(d, 1, 3) + "\n");

// FontG top 255, bottom 0, start 0.5: blue over red, opaque down to row 8, then fading.
local g = Graphics.FontG("KoTest Square", 16, 255, 0, 0.5);
local cg = Graphics.Canvas(16, 16);
cg.clear([255, 0, 0, 0]);
cg.begin();
cg.drawText(g, "A", [0, 0], [255, 255, 0, 0], Graphics.Blend.NORMAL, [255, 0, 0, 255]);
cg.end();
local dg = cg.getImageData();
print("fontg rows " + px(dg, 5, 0) + " " + px(dg, 5, 8) + " " + px(dg, 5, 12) + " " + px(dg, 5, 15) + "\n");

// Japanese from "ＭＳ ゴシック": every character inked, 16 pixels apart.
local ja = Graphics.Font("ＭＳ ゴシック", 16);
print("ja width " + ja.getWidth("日本語") + "\n");
local cj = Graphics.Canvas(64, 16);
cj.clear([255, 0, 0, 0]);
cj.begin();
cj.drawText(ja, "日本語", [0, 0]);
cj.end();
local dj = cj.getImageData();
local inked = [0, 0, 0, 0];
for (local y = 0; y < 16; ++y) {
    for (local x = 0; x < 64; ++x) {
        if (dj.data[(y * 64 + x) * 4] > 128) ++inked[x / 16];
    }
}
print("ja inked " + (inked[0] > 25) + " " + (inked[1] > 25) + " " + (inked[2] > 25) + " " + inked[3] + "\n");

print(error(@() Graphics.Font()) + "\n");
print(error(@() Graphics.Font("x", 0)) + "\n");
print(error(@() Graphics.Font("x", 12, 1)) + "\n");
print(error(@() Graphics.FontG("x", 12, "a", 1)) + "\n");
local g7 = Graphics.FontG("MS Gothic", 12, true, true, 200, 10, 0.25);
print(g7.getName() + " " + g7.isBold() + " " + g7.isItalic() + " " + g7.getHeight("a\nb\nc") + "\n");
