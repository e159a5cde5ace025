// _get answering through another missing member nests a C-level call per level; the nesting
// must end in "stack overflow" before the C stack runs out, whatever the build's frame sizes.
class P { function _get(k) { return this[k + "x"]; } }
local p = P();
try { p.a; } catch (e) print(e + "\n");
local t = {};
t.setdelegate({ _get = function(k) { return t[k + 1]; } });
try { t[0]; } catch (e) print(e + "\n");
