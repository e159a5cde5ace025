// Without a sound device the library still loads; sounds play silently and end on time:
// never early, and not long after their length.
local s = Audio.Sound("short.ogg");    // 0.1 s
println("length: " + s.getLength());
local timer = Util.Timer();
local once = s.play();
local tenTimes = s.loop(0, 9);           // 1.0 s in all
Util.fwait(60);
println("after one frame: " + tenTimes.isPlaying());
local frames = 0;
while (!once.isInvalid() && frames++ < 600) Util.fwait(60);
local t = timer.get();
println("once ended: " + (t >= 95) + " " + (t < 2500));
while (!tenTimes.isInvalid() && frames++ < 600) Util.fwait(60);
t = timer.get();
println("ten times ended: " + (t >= 995) + " " + (t < 5000) + " " + s.isPlaying());
try {
    Audio.Sound("start.nut");
} catch (e) {
    println(e);
}
