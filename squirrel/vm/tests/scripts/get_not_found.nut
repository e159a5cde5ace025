// A _get that throws null means "not found". Lookups that fall through (an unqualified name in
// a method of a class with such a _get) report nothing; a missing member that nothing catches is
// reported once, as the missing index it is, from the line that asked for it.
class V {
    x = 1;
    function _get(k) { if (k == "s") return 2; throw null; }
    function make() { return V(); }
    function useGlobal() { return print; }
}
local v = V();
print(v.make().x + " " + v.s + " " + (v.useGlobal() == print) + "\n");
local t = {};
t.setdelegate({ _get = function(k) { throw null; } });
try { t.zz; } catch (e) print("caught: " + e + "\n");
print("then uncaught\n");
print(v.missing);
print("not reached\n");
