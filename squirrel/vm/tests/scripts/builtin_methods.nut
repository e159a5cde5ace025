// len, tointeger and tofloat of `this` skip the native frame: every value kind keeps its result,
// `this` is released, and calls the fast path does not fit (another `this`, extra arguments,
// bound copies) raise what the natives raise.
local s = "";
local big = 3e9, nan = sqrt(-1);
foreach (x in [7, -2.75, 2.5, true, false, big, -big, nan, 0x7fffffff])
    s += x.tointeger() + "/" + x.tofloat() + " ";
s += "\n" + "".len() + " " + "h\x00e9llo".len() + " " + [].len() + " " + [1, [2], null].len() + " ";
local a = [1, 2, 3];
local w = a.weakref();
s += a.len();
a = null;
s += " " + (w.ref() == null) + " " + typeof (3).tofloat() + " " + typeof (3.5).tointeger() + "\n";
local tries = [@() (5).tointeger.call("x"), @() [].len.call("abc"), @() "ab".len.call([1, 2, 3]),
    @() (1.5).tofloat.call(null), @() [].len(1), @() (2).tointeger.bindenv({})(), @() [4, 5].len.bindenv([1])()];
foreach (f in tries) {
    try { s += "[" + f() + "]"; } catch (e) { s += "[" + e + "]"; }
}
print(s + "\n");
// push and append: into spare room, with growth, of counted values, of the array itself
{
    local a = [], t = {}, tw = t.weakref();
    for (local i = 0; i < 40; i++) a.push(i % 3 ? i : "s" + i);
    a.append(t);
    a.push(a);
    local r = a.push(1);
    t = null;
    local out = a.len() + " " + a[0] + a[3] + a[39] + " " + (a[41] == a) + " " + (r == null) + " " + (tw.ref() != null);
    a.resize(40);
    out += " " + (tw.ref() == null);
    local env = {}, b = [1].push.bindenv(env);
    foreach (f in [@() [].push(), @() [].push(1, 2), @() [].append.call({}, 1), @() b(2)])
        try { out += " [" + f() + "]"; } catch (e) out += " [" + e + "]";
    print(out + "\n");
}
