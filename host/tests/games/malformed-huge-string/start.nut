// Strings, arrays and blobs far beyond the VM's limits: a script error each, never an
// allocation the machine cannot make. Integers are 32 bits wide, so 2^31 - 1 is the largest
// size a script can ask for; a string of 2^40 characters can only be built by doubling. The
// last doubling is left uncaught.
function attempt(what, f) {
    try {
        local r = f();
        print(what + ": returned " + typeof r + "\n");
    } catch (e) {
        print(what + ": " + e + "\n");
    }
}
const BIG = 2147483647;
local big = { s = "y" }; // in a table, so the error report's list of locals stays short
for (local i = 0; i < 20; ++i) big.s += big.s; // 2^20 characters
attempt("doubling", function() { local s = "x"; for (local i = 0; i < 40; ++i) s += s; return s; });
attempt("format width", @() format("%" + BIG + "d", 1));
attempt("format precision", @() format("%." + BIG + "f", 1.0));
attempt("array", @() array(BIG));
attempt("array -1", @() array(-1));
attempt("resize", @() [].resize(BIG));
attempt("blob", @() blob(BIG));
attempt("blob -1", @() blob(-1));
attempt("slice", @() "abc".slice(0, BIG));
attempt("write", @() IO.writeTextFile("big.txt", big.s + big.s, IO.Encoding.UTF8));
attempt("serialize", @() Util.serialize(array(1 << 7, big.s)));
suspend();
local box = { s = "x" };
for (local i = 0; i < 40; ++i) box.s += box.s;
