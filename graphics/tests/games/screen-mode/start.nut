// Screen modes as a script sees them: a request is reported at once and carried out at the
// next frame; toggling twice within one frame leaves the window as it was.
function show(what) { println(what + ": mode " + Graphics.getScreenMode()); }
show("start");
println("setScreenMode(2): " + Graphics.setScreenMode(2));
show("same frame");
Util.fwait(60);
show("next frame");
println("setScreenMode(0): " + Graphics.setScreenMode(0));
show("refused");
println("changeScreenMode(): " + Graphics.changeScreenMode());
show("toggled");
println("changeScreenMode(): " + Graphics.changeScreenMode());
show("toggled back");
Util.fwait(60);
show("after the frame");
println("changeScreenMode(): " + Graphics.changeScreenMode());
Util.fwait(60);
show("windowed");
println("canvas " + Graphics.getScreenWidth() + "x" + Graphics.getScreenHeight());
