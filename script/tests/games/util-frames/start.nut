// A game's frame loop paced by Util.fwait, with a save round trip and a log, as a game uses them.
Util.fwait(30); local timer = Util.Timer(); // the keeper's cycle began at start-up; 60 restarts it
for (local i = 0; i < 30; ++i) Util.fwait(60);
// 30 frames at 60 fps are due 500 ms after the keeper's cycle began (the run's clock moves by
// the keeper's sleeps alone, so this is exact on any machine).
println("paced: " + timer.get());
Util.fwait(30);
println("target: " + Util.g_koplayhost_fps.getFps());

local save = { stage = 3, score = 12.0, names = ["ア", "b\"c"], flags = [true, null] };
save.again <- save.names;
IO.writeTextFile("save.txt", Util.serialize(save), IO.Encoding.UTF8);
local back = Util.deserialize(IO.readTextFile("save.txt", IO.Encoding.UTF8));
println("save: " + back.stage + " " + typeof back.score + " " + back.names[0] + back.names[1] +
        " " + (back.again == back.names) + " " + back.flags.len());

local order = Math.shuffled(Math.range(1, 6), 42);
println("same order: " + (order.reduce(@(a, b) a + "," + b) ==
                          Math.shuffled(Math.range(1, 6), 42).reduce(@(a, b) a + "," + b)));
println("odd: " + Collection.removed(order, @(i, v) v % 2 == 0).len());

Log.clear();
Log.i("game", "started");
Log.w("game", "frame " + 31);
