// Runaway recursion of every kind ends in a script error, never in a crash: in script, through
// natives that call back (sort, call), metamethods, the compiler, the serializer, and a chain of
// a million nested arrays released at once. The last one is left uncaught.
function attempt(what, f) {
    try {
        f();
        print(what + ": returned\n");
    } catch (e) {
        print(what + ": " + e + "\n");
    }
}
function nested(open, n) {
    local s = open;
    while (s.len() < n) s += s;
    return s;
}
function down(n) { return down(n + 1) + 1; }
attempt("script", @() down(0));
function sorter(a, b) { [2, 1].sort(sorter); return 0; }
attempt("sort", @() [2, 1].sort(sorter));
function again() { return again.call(this); }
attempt("call", again);
class Getter { function _get(k) { return this[k]; } }
attempt("_get", @() Getter().x);
class Text { function _tostring() { return "<" + this + ">"; } }
attempt("_tostring", @() print(Text() + "\n"));
attempt("compile (", @() compilestring("return " + nested("(", 200000) + "1;"));
attempt("compile {", @() compilestring(nested("{", 200000)));
attempt("compile [", @() compilestring("return " + nested("[", 200000) + ";"));
local chain = [];
for (local i = 0; i < 1000000; ++i) chain = [chain];
attempt("serialize", @() Util.serialize(chain));
attempt("deserialize", @() Util.deserialize(nested("[", 200000)));
chain = null; // a million arrays, each holding the next, released at once
collectgarbage();
print("released\n");
suspend();
down(0);
