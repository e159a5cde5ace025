// A counted run takes no real time per frame; videos keep the run's time instead, so a
// two-second clip ends after the same number of frames (120 at 60 fps) on every machine.
// The clip with sound may be nudged by a few pictures toward the sound decoded so far.
function framesUntilEnd(name, cursorAt60) {
    local v = Graphics.Video(name);
    v.play();
    local n = 0;
    while (v.isPlaying() && n < 400) {
        Util.fwait(60);
        ++n;
        if (n == 60 && cursorAt60) println(name + " at frame 60: " + format("%.2f", v.getCursor()) + " s");
    }
    return n;
}
local n = framesUntilEnd("silent.mpg", true);
println("silent.mpg ended " + (n >= 120 && n <= 122 ? "after 120 frames" : "after " + n + " frames"));
n = framesUntilEnd("mpeg1.mpg", false);
println("mpeg1.mpg ended " + (n >= 118 && n <= 132 ? "after about 120 frames" : "after " + n + " frames"));
