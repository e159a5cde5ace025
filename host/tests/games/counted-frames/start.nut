// A counted run: the clock moves by the frame keeper's interval per frame, so the times a
// script reads are the same on every machine; the run ends after the counted frames.
exit_handlers.add(function() { print("exit handler\n"); });
local timer = Util.Timer();
for (local frame = 1; ; ++frame) {
    print(frame + ": " + timer.get() + "\n");
    Util.fwait(60);
}
