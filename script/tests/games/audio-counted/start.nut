// A counted run takes no real time per frame; its sounds keep the run's time instead, so they
// end after the same number of frames on every machine (0.5 s of tone: 30 frames at 60 fps).
local tone = Audio.Sound("tone.ogg");
function framesUntilEnd(channel) {
    local n = 0;
    while (channel.isPlaying() && n < 1000) {
        Util.fwait(60);
        ++n;
    }
    return n;
}
println("play(): " + framesUntilEnd(tone.play()));
println("play(11025): " + framesUntilEnd(tone.play(11025)));
println("loop(0, 1): " + framesUntilEnd(tone.loop(0, 1)));
println("loop(0, 2, 11025): " + framesUntilEnd(tone.loop(0, 2, 11025)));
local paused = tone.play();
paused.pause();
for (local i = 0; i < 60; ++i) Util.fwait(60);
paused.restart();
println("paused for 60 frames, then: " + framesUntilEnd(paused));
