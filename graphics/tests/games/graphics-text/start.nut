// Text through Graphics.Font and Graphics.FontG, counted in the pixels it leaves.
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
// Pixels of the rectangle whose red, green or blue differ from the background's.
function inked(c, x, y, w, h) {
    local d = c.getImageData(x, y, w, h), n = 0;
    for (local i = 0; i < d.length; i += 4) if (d.data[i] + d.data[i + 1] + d.data[i + 2] > 0) ++n;
    return n;
}

local font = Graphics.Font("MS Gothic", 24);
println("font: " + font.getName() + " " + font.getSize() + " " + font.isBold() + " " + font.isItalic());
println("height of two lines: " + font.getHeight("あ\nい") + ", one: " + font.getHeight("あいう"));
println("widest line: " + (font.getWidth("ab\nc") == font.getWidth("ab")) + ", full width kana: " + font.getWidth("あ"));
println(err(@() Graphics.Font("MS Gothic")));
println(err(@() Graphics.Font("MS Gothic", 0)));
println(err(@() Graphics.FontG("MS Gothic", 16, true)));

local c = Graphics.Canvas(200, 60);
c.clear([255, 0, 0, 0]);
println("outside begin: " + c.drawText(font, "日本語", [0, 0]));
c.begin();
println("drawText: " + c.drawText(font, "日本語テキスト", [0, 0], [255, 255, 255]));
println("not a font: " + c.drawText(c, "x", [0, 0]));
c.end();
println("ink in the text: " + (inked(c, 0, 0, 72, 24) > 100) + ", beside it: " + inked(c, 0, 30, 200, 30));

// Two lines: the second starts again at the left, one font size lower.
c.clear([255, 0, 0, 0]);
c.begin();
c.drawText(font, "\nあ", [0, 0]);
c.end();
println("line feed: " + inked(c, 0, 0, 200, 24) + " above, " + (inked(c, 0, 24, 24, 24) > 50) + " below");

// A gradation font: layer 1 in the first colour, layer 2 in the second.
local g = Graphics.FontG("MS Gothic", 32, false, false, 255, 0, 0.5);
println("fontg: " + g.getName() + " " + g.getSize());
c.clear([255, 0, 0, 0]);
c.begin();
println("drawText FontG: " + c.drawText(g, "国", [0, 0], [255, 255, 0, 0], null, [255, 0, 0, 255]));
c.end();
local d = c.getImageData(0, 0, 32, 32), blue = 0, red = 0;
for (local i = 0; i < d.length; i += 4) { if (d.data[i] > 128) ++blue; if (d.data[i + 2] > 128) ++red; }
println("fontg layers: red " + (red > 20) + ", blue " + (blue > 20));

println("registerFont: " + Graphics.registerFont("square.ttf") + " " + Graphics.registerFont("notafont.ttf") + " " + Graphics.registerFont("missing.ttf"));
