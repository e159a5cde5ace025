// Every container and codec a game of that time ships, played through Graphics.Video and drawn
// into a canvas: each clip is red for its first second and blue for its second.
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function colour(video) {
    local c = Graphics.Canvas(64, 48);
    c.begin();
    c.drawImage(video, [0, 0]);
    c.end();
    local d = c.getImageData(32, 24, 1, 1).data; // blue, green, red, alpha
    if (d[2] > 200 && d[1] < 60 && d[0] < 60) return "red";
    if (d[0] > 200 && d[2] < 60 && d[1] < 60) return "blue";
    return format("%d,%d,%d", d[2], d[1], d[0]);
}
// Plays on until the cursor reaches t, one frame more so the picture of that moment is in,
// then holds the video still to look at it.
function lookAt(v, t) {
    for (local i = 0; i < 600 && v.isPlaying() && v.getCursor() < t; ++i) Util.fwait(60);
    Util.fwait(60);
    v.pause();
    local seen = colour(v);
    v.restart();
    return seen;
}
function playThrough(name) {
    local v = Graphics.Video(name);
    local line = format("%s %dx%d %.1f s", name, v.getWidth(), v.getHeight(), v.getLength());
    line += " before play: " + colour(v);
    v.play();
    // Far from the change at 1 s and from the end: a slow frame must not carry the look past.
    line += ", early: " + lookAt(v, 0.2);
    line += ", late: " + lookAt(v, 1.3);
    for (local i = 0; i < 600 && v.isPlaying(); ++i) Util.fwait(60);
    line += format(", ended: %s at %.1f", (!v.isPlaying()).tostring(), v.getCursor());
    println(line);
}

foreach (name in ["mpeg1.mpg", "mpeg2.mpg", "wmv1.wmv", "wmv2.wmv", "mjpeg.avi", "mpeg4.avi",
                  "msmpeg4v2.avi", "msmpeg4v3.avi", "theora.ogv", "movie/intro.ogv"])
    playThrough(name);

println(err(@() Graphics.Video("missing.mpg")));
println(err(@() Graphics.Video("broken.wmv")));
println(err(@() Graphics.Video("notes.avi")));
println(err(@() Graphics.Video()));
println(err(@() Graphics.Video(1)));

// Transport and volume.
local v = Graphics.Video("wmv2.wmv");
println("play: " + v.play() + " playing: " + v.isPlaying() + " looped: " + v.isLooped());
println("loop: " + v.loop() + " looped: " + v.isLooped());
println("pause: " + v.pause() + " paused: " + v.isPaused() + " playing: " + v.isPlaying());
println("restart: " + v.restart() + " paused: " + v.isPaused() + " restart again: " + v.restart());
println("stop: " + v.stop() + " paused: " + v.isPaused() + " cursor: " + v.getCursor());
println("setCursor(length + 1): " + v.setCursor(v.getLength() + 1.0) + ", setCursor(0): " + v.setCursor(0.0)
        + ", setCursor(1.5): " + v.setCursor(1.5) + " cursor: " + v.getCursor());
println("setVolume(0.5): " + v.setVolume(0.5) + " getVolume: " + v.getVolume());
println("setVolume(1.5): " + v.setVolume(1.5) + " getVolume: " + v.getVolume());
println("silent clip setVolume: " + Graphics.Video("silent.mpg").setVolume(0.5));
println(err(@() v.setVolume("loud")));
// A looping video keeps going past its end.
v.setVolume(1.0);
v.setCursor(1.8);
v.loop();
local wrapped = false;
for (local i = 0; i < 600 && !wrapped; ++i) {
    Util.fwait(60);
    wrapped = v.getCursor() < 1.0;
}
println("after the end: wrapped " + wrapped + " playing " + v.isPlaying() + " looped " + v.isLooped());
