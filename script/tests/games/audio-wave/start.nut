// A looped tone heard for half a second, faded out and stopped over the next half, then
// half a second of silence; check.sh measures what OpenAL Soft's wave writer recorded.
local s = Audio.Sound("tone.ogg");
local c = s.loop();
println("playing: " + c.isPlaying());
for (local i = 0; i < 30; ++i) Util.fwait(60);
s.fadeOut(30);
for (local i = 0; i < 60; ++i) Util.fwait(60);
println("stopped: " + c.isInvalid() + " " + s.isPlaying() + " " + s.getVolume());
