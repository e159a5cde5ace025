// The Graphics table as a game uses it: draw into canvases, then read the pixels back.
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function px(c, x, y) {
    local d = c.getImageData(x, y, 1, 1);
    return d.length == 4 ? format("%d,%d,%d,%d", d.data[0], d.data[1], d.data[2], d.data[3]) : "none";
}

local screen = Graphics.getScreenCanvas();
println("same screen canvas: " + (screen == Graphics.getScreenCanvas()));
println("screen: " + Graphics.getScreenWidth() + "x" + Graphics.getScreenHeight() + " mode " + Graphics.getScreenMode());
println("clearScreen([128]): " + Graphics.clearScreen([128]) + " " + px(screen, 5, 5));
println("clearScreen([1, 2]): " + Graphics.clearScreen([1, 2]) + " " + px(screen, 5, 5));
Graphics.clearScreen();
println("clearScreen(): " + px(screen, 639, 479));
println("setScreenMode(0): " + Graphics.setScreenMode(0) + " mode " + Graphics.getScreenMode());

// Errors of the constructors.
println(err(@() Graphics.Image("missing.png")));
println(err(@() Graphics.Image("broken.png")));
println(err(@() Graphics.Image()));
println(err(@() Graphics.Canvas(0, 10)));
println(err(@() Graphics.Canvas(70000, 10)));
println(err(@() Graphics.Canvas(1)));
println(err(@() Graphics.Effect2D.Fill([1, 2])));
println(err(@() Graphics.Effect2D.Fill(3)));
println(err(@() Graphics.Effect2D.Fill([255, 0, 0])));
println(err(@() Graphics.Effect2D.Gray(1)));

// An image keeps its file's alpha; a cached load shares the image.
local img = Graphics.Image("sprite.png");
println("image " + img.getWidth() + "x" + img.getHeight() + " " + px(img, 0, 0) + " " + px(img, 0, 1) + " " + px(img, 3, 1));
// Cached loads of one path share the texture; an uncached load has its own.
local cached = Graphics.Image("sprite.png", true);
cached.setImageData({ width = 1, height = 1, data = [9, 8, 7, 6] });
println("cached: " + px(Graphics.Image("sprite.png", true), 0, 0) + " uncached: " + px(Graphics.Image("sprite.png"), 0, 0));

// Outside begin/end nothing is drawn.
local c = Graphics.Canvas(100, 40);
println("canvas.clear(): " + c.clear() + " " + px(c, 50, 20));
println("drawImage outside begin: " + c.drawImage(img, [10, 20]) + " " + px(c, 10, 20));
println("end without begin: " + c.end() + ", begin: " + c.begin() + ", again: " + c.begin() + ", ready: " + c.isReady());
println("backup while drawing: " + c.backup());
// Stretched to 64x32 with blending off: the corners come from the image's corners.
println("stretch: " + c.drawImage(img, [0, 0, 64, 32], null, null, null, Graphics.Blend.NONE));
println("bad destination: " + c.drawImage(img, [1, 2, 3]) + ", bad colour: " + c.drawImage(img, [0, 0], null, null, [1, 2]));
c.end();
println("stretched: " + px(c, 0, 0) + " " + px(c, 63, 0) + " " + px(c, 63, 31) + " " + px(c, 64, 32));
c.clear();
c.begin();
c.drawImage(img, [70, 0]);
c.end();
println("kept size: " + px(c, 70, 0) + " " + px(c, 73, 0) + " " + px(c, 74, 0));

// Nine slices: a 30x30 picture of nine 10x10 cells into 100x20.
local cells = Graphics.Canvas(30, 30);
local data = array(30 * 30 * 4, 255);
for (local y = 0; y < 30; ++y)
    for (local x = 0; x < 30; ++x) {
        local i = (y * 30 + x) * 4;
        data[i] = (x / 10) * 100;      // blue by column
        data[i + 1] = (y / 10) * 100;  // green by row
        data[i + 2] = 0;
    }
println("setImageData: " + cells.setImageData({ width = 30, height = 30, data = data }));
println("cell 2,1: " + px(cells, 25, 15));
c.clear();
c.begin();
println("drawPanel: " + c.drawPanel(cells, [0, 0, 100, 20], null, null, null, Graphics.Blend.NONE));
c.end();
println("panel corners: " + px(c, 0, 0) + " " + px(c, 9, 9) + " " + px(c, 99, 0) + " " + px(c, 0, 19) + " " + px(c, 99, 19));
println("panel middle: " + px(c, 50, 5) + " " + px(c, 50, 15));

// Image data is clipped to the image.
local d = c.getImageData(-2, -3, 5, 5);
println("clipped: " + d.width + "x" + d.height + " " + d.length + " " + d.data.len());
d = c.getImageData(98, 38, 10, 10);
println("clipped: " + d.width + "x" + d.height + " " + d.length);
c.setImageData({ width = 2, height = 1, data = [1, 2, 3, 4, 5, 6, 7, 8] }, 99, 0);
println("set at the edge: " + px(c, 99, 0));

// Shapes, circles, rectangles.
c.clear([255, 0, 0, 0]);
c.begin();
println("drawRectangle fill: " + c.drawRectangle([10, 10, 20, 20], Graphics.Paint.FILL, [0, 255, 0]));
println("drawRectangle none: " + c.drawRectangle([10, 10, 20, 20], Graphics.Paint.NONE, [0, 255, 0]));
println("drawCircle fill: " + c.drawCircle([50, 20, 10], Graphics.Paint.FILL, [0, 0, 255]));
println("drawLines one point: " + c.drawLines([[0, 0]]));
println("drawShape two points: " + c.drawShape([[0, 0], [5, 5]]));
println("drawLines: " + c.drawLines([[70, 5, 0xFF0000FF], [90, 5, 0xFF0000FF]]));
c.end();
println("rectangle: " + px(c, 10, 10) + " " + px(c, 19, 19) + " " + px(c, 20, 20));
println("circle: " + px(c, 50, 20) + " " + px(c, 50, 29) + " " + px(c, 50, 31));
println("line: " + px(c, 75, 5) + " " + px(c, 75, 6));

// Transform2D composes in call order; the T variants report their bounding boxes.
local t = Graphics.Transform2D();
t.translate(10, 0);
t.scale(2, 2);
c.begin();
local box = c.drawShapeT([[0, 0], [1, 0], [0, 1]], t, null, null);
println("translate then scale: " + box[0] + "," + box[1] + "," + box[2] + "," + box[3]);
t.reset();
t.rotate(PI / 2);
box = c.drawImageT(img, [0, 0, 4, 2], t, null, null, null, null);
println("rotated box: " + box[0] + "," + box[1] + "," + box[2] + "," + box[3]);
println("T wrong count: " + c.drawLinesT([[0, 0], [1, 1]], t, null));
c.end();
println("T outside begin: " + c.drawImageT(img, [0, 0, 4, 2], t, null, null, null, null));

// Effects.
local mask = Graphics.Effect2D.Alphamask(img);
println("alphamask rate: " + mask.getBlendRate() + " " + mask.setBlendRate(1.5) + " " + mask.getBlendRate() + " " + mask.setBlendRate(1) + " " + mask.getBlendRate());
c.clear();
c.begin();
c.drawImage(img, [0, 0], null, null, null, Graphics.Blend.NONE, Graphics.Effect2D.Nega());
c.drawImage(img, [10, 0], null, null, [255, 255, 255], Graphics.Blend.NONE, Graphics.Effect2D.Fill([255, 0, 0]));
c.drawImage(img, [20, 0], null, null, [255, 255, 255], Graphics.Blend.NONE, Graphics.Effect2D.Gray());
println("not an effect: " + c.drawImage(img, [0, 0], null, null, null, null, 3));
c.end();
println("nega: " + px(c, 0, 0) + " fill: " + px(c, 11, 0) + " " + px(c, 13, 1) + " gray: " + px(c, 20, 0));

// saveImage writes PNG and BMP by extension; the PNG reads back with the same pixels.
println("saveImage png: " + Graphics.saveImage("saved.png", img));
println("saveImage bmp: " + Graphics.saveImage("saved.bmp", c, 50, 10));
println("saveImage gif: " + Graphics.saveImage("saved.gif", img));
local back = Graphics.Image("saved.png");
local same = true;
local a = img.getImageData(), b = back.getImageData();
for (local i = 0; i < a.length; ++i) if (a.data[i] != b.data[i]) same = false;
println("saved png reads back: " + same + " " + back.getWidth() + "x" + back.getHeight());
println("saved bmp: " + Graphics.Image("saved.bmp").getWidth());

println("Blend " + Graphics.Blend.ALPHACOPY + " Screen " + Graphics.Screen.FULL + " Paint " + Graphics.Paint.FILL);
