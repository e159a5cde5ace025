// sqrt, sin ... called with a number skip the native frame: results, the release of `this`,
// bound and called copies, and every argument the native itself rejects must stay as they were.
local s = "";
s += sqrt(16) + " " + sqrt(2.25) + " " + sqrt(-1) + " " + floor(-1.5) + " " + typeof floor(2) + " " + cos(0) + " " + fabs(-3) + " ";
sqrt(4);
local t = { f = sqrt };
s += t.f(9) + " ";
local w = t.weakref();
t.f(25);
t = null;
s += (w.ref() == null) + " ";
s += sqrt.bindenv({}) (36) + " " + sqrt.call(this, 49) + " " + sqrt.acall([this, 64]) + " ";
foreach (e in [@() sqrt("x"), @() sqrt(), @() sqrt(1, 2), @() sin(null), @() exp(true)]) {
    try { e(); } catch (x) { s += "[" + x + "]"; }
}
print(s + "\n");
