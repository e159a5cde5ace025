// canvas.drawImage in its short form (image, [x, y]) and every way its arguments can be wrong:
// each wrong call returns false and draws nothing, the right ones draw where they say.
function px(c, x, y) {
    local d = c.getImageData(x, y, 1, 1);
    return d.length == 4 ? format("%d,%d,%d,%d", d.data[0], d.data[1], d.data[2], d.data[3]) : "none";
}
function row(c, y) {
    local s = "";
    for (local x = 0; x < c.getWidth(); ++x) s += px(c, x, y) == "0,0,0,0" ? "." : "#";
    return s;
}

local img = Graphics.Image("sprite.png");   // 4x2, its top-left pixel opaque
local c = Graphics.Canvas(24, 4);
c.clear();
c.begin();
println("point: " + c.drawImage(img, [1, 0]));
println("float point: " + c.drawImage(img, [6.9, 0.8]));
println("negative point: " + c.drawImage(img, [-3, 0]));
println("one element: " + c.drawImage(img, [12]));
println("three elements: " + c.drawImage(img, [12, 0, 1]));
println("text element: " + c.drawImage(img, ["12", 0]));
println("null element: " + c.drawImage(img, [12, null]));
println("string: " + c.drawImage(img, "ab"));
println("table: " + c.drawImage(img, { x = 12, y = 0 }));
println("null image: " + c.drawImage(null, [12, 0]));
println("number image: " + c.drawImage(3, [12, 0]));
println("itself: " + c.drawImage(c, [12, 0]));
println("no destination: " + c.drawImage(img));
println("eight arguments: " + c.drawImage(img, [12, 0], null, null, null, null, null, null));
println("bad blend: " + c.drawImage(img, [12, 0], null, null, null, "1"));
println("bad effect: " + c.drawImage(img, [12, 0], null, null, null, null, []));
println("bad rotation: " + c.drawImage(img, [12, 0], null, [1, 2]));
println("all null: " + c.drawImage(img, [16, 0], null, null, null, null, null));
c.end();
println("row 0: " + row(c, 0));
println("row 1: " + row(c, 1));
println("row 2: " + row(c, 2));

// Another canvas is drawn through its texture like an image; a thousand short draws of one
// image stay in order and end up where they say.
local green = Graphics.Canvas(2, 2);
green.clear([255, 0, 255, 0]);
local big = Graphics.Canvas(100, 20);
big.clear();
big.begin();
println("canvas as image: " + big.drawImage(green, [0, 0]));
local ok = true;
for (local i = 0; i < 1000; ++i) ok = ok && big.drawImage(img, [(i % 25) * 4, 2 + (i / 25) % 9 * 2]);
big.drawImage(green, [98, 18]);
big.end();
println("thousand draws: " + ok);
println("canvas pixels: " + px(big, 0, 0) + " " + px(big, 1, 1) + " " + px(big, 2, 0) + " " + px(big, 99, 19));
println("sprite pixels: " + px(big, 0, 2) + " " + px(big, 96, 18) + " " + px(big, 3, 19));
