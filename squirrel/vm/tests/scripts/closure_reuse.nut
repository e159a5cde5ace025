// Closures and captured variables reuse freed blocks: every new one must start clean (no
// environment, defaults or outers of the one before), shared outers stay shared, a closure in
// a cycle is still collected, and closures made on another thread outlive it.
local s = "";
for (local round = 0; round < 3; round++) {
    local keep = [], envs = [];
    for (local i = 0; i < 100; i++) {
        local k = i;
        local f = function(a, b = 5) { return a + b + k + ("x" in this ? 1000 : 0); };
        if (i % 2) {
            envs.push({ x = i });
            f = f.bindenv(envs.top());
        }
        keep.push(f);
    }
    local sum = 0;
    foreach (f in keep) sum += f(1);
    keep = null;
    local plain = [];
    for (local i = 0; i < 100; i++) plain.push(function(a) { return a + ("x" in this ? 1000 : 0); });
    local psum = 0;
    foreach (f in plain) psum += f(1);
    local pairs = [];
    for (local i = 0; i < 70; i++) {
        local n = i;
        pairs.push([@() n++, @() n]);
    }
    local shared = 0;
    foreach (p in pairs) { p[0](); p[0](); shared += p[1](); }
    local weak = null;
    {
        local self = null;
        self = function() { return self; };
        weak = self.weakref();
    }
    collectgarbage();
    s += sum + " " + psum + " " + shared + " " + (weak.ref() == null) + "\n";
}
local th = newthread(function() { local fs = []; for (local i = 0; i < 80; i++) { local j = i; fs.push(@() j); } suspend(fs); });
local fs = th.call();
local t = 0;
foreach (f in fs) t += f();
fs = null;
th = null;
print(s + t + "\n");
