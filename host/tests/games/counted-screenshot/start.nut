// A counted run saves the last frame shown: a red square on blue in the first frame, a green
// one in the second (last) frame.
local screen = Graphics.getScreenCanvas();
for (local frame = 0; frame < 2; ++frame) {
    Graphics.clearScreen([0, 0, 255]);
    screen.begin();
    screen.drawRectangle([10, 20, 40, 60], Graphics.Paint.FILL, frame ? [0, 255, 0] : [255, 0, 0]);
    screen.end();
    Util.fwait(60);
}
