// Output helpers: print pieces, print_r layout, printf and acall limits, handler lists.
local pieces = [];
local realPrint = squirrel_default_print__;
::squirrel_default_print__ = function(s) { pieces.append(s.len()); };
local long = "";
for (local i = 0; i < 1000; ++i) long += "x";
print(long);
local pair = "a";
for (local i = 0; i < 399; ++i) pair += "b";
pair = pair.slice(0, 399) + (0xD83D).tochar() + (0xDE00).tochar() + "tail";   // a surrogate pair across the 400 mark
print(pair);
::squirrel_default_print__ = realPrint;
foreach (n in pieces) print("" + n + " ");
println("");

print_r(["tab\there\nnext", { key = 1 }, null, 2.5]);

class Point { x = 1; y = "two"; }
print_r(Point());

// A parent and child that point at each other print once each; a table met twice side by
// side is no cycle and prints in full both times.
local parent = { child = {} };
parent.child.up <- parent;
print_r(parent);
local shared = [1];
print_r([shared, shared]);

printf("%d-%s-%.1f\n", 7, "seven", 7.0);
try { printf("%d%d%d%d%d%d%d%d%d%d%d", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11); } catch (e) println(e);

function sum(...) { local s = 0; foreach (v in vargv) s += v; return s; }
println("" + acall(sum, []) + " " + acall(sum, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12]));
try { acall(sum, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13]); } catch (e) println(e);
println(acall(Point, []).y);

local h = SystemEventHandlers__();
local f = function(a) { println("handler " + a); };
h.add(f);
h.add(f);
println("" + h.contains(f) + " " + h.removeAt(-1) + " " + h.removeAt(2) + " " + h.remove(f));
h.call("called");
try { h.call(1, 2, 3, 4, 5, 6); } catch (e) println(e);

local a3 = array3(2, 3, 4, "f");
println("" + a3.len() + " " + a3[1].len() + " " + a3[1][2].len() + " " + a3[1][2][3]);
dprintln("debug only");
