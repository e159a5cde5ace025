// Plugins: loaded once, hooks in frame order, refusals and failures.
probe_log <- [];
function show() {
    local s = "";
    foreach (i, e in probe_log) s += (i ? "," : "") + e;
    print(s + "\n");
    probe_log.clear();
}
import("probe_ok");
import("probe_ok");
show();            // setup, load and an immediate begin
halt();
show();            // the frame's end, the next frame's begin
foreach (name in ["probe_refuse", "no_such_plugin"]) {
    try { import(name); } catch (e) print(e + "\n");
}
import("probe_failload");
import("probe_failload");  // not kept, so tried again
show();
import("probe_setuponly");
show();
import("hello_plugin");
print(hello("plugin") + "\n");
halt();
print("" + helloFrames() + "\n");
probe_log.clear();
