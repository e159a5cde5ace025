// Broken pictures and sounds: each load fails with a script error the game can catch; the
// last one is left uncaught and ends the run.
function attempt(what, load) {
    try {
        load();
        print(what + ": loaded\n");
    } catch (e) {
        print(what + ": " + e + "\n");
    }
}
foreach (name in ["garbage.png", "empty.png", "text.png", "truncated.png", "huge.png", "zero.png"]) {
    attempt(name, @() Graphics.Image(name));
    attempt(name + " (cached)", @() Graphics.Image(name, true));
}
local group = Audio.Group();
foreach (name in ["garbage.ogg", "empty.ogg", "truncated.ogg"])
    attempt(name, @() Audio.Sound(name, group).play());
// Fonts and canvases of sizes no display can hold.
attempt("font 0", @() Graphics.Font("MS Gothic", 0));
attempt("font -5", @() Graphics.Font("MS Gothic", -5));
attempt("font 65535", @() Graphics.getScreenCanvas().drawText(Graphics.Font("MS Gothic", 65535), "A", [0, 0]));
attempt("canvas 65535", @() Graphics.Canvas(65535, 65535));
attempt("canvas -1", @() Graphics.Canvas(-1, 10));
suspend();
print("still running\n");
Graphics.Image("garbage.png");
print("never\n");
