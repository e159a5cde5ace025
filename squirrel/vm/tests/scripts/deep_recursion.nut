// Script calls do not use the C stack: deep recursion is bounded by memory only, ends in a
// "stack overflow" script error, and that error is reported like any other when uncaught.
function depth(n) { if (n == 0) return 0; return 1 + depth(n - 1); }
print("100000 levels: " + depth(100000) + "\n");

// a recursive flood fill over a 128x128 map, as games write it
local seen = {}, cells = 0;
function fill(x, y) {
  if (x < 0 || y < 0 || x >= 128 || y >= 128) return;
  local k = y * 128 + x;
  if (k in seen) return;
  seen[k] <- true;
  cells++;
  fill(x + 1, y); fill(x - 1, y); fill(x, y + 1); fill(x, y - 1);
}
fill(0, 0);
print("flood fill: " + cells + " cells\n");

// methods, constructors and varargs recurse as deep
class Node {
  next = null;
  constructor(n) { if (n > 0) next = Node(n - 1); }
  function length() { return next == null ? 1 : 1 + next.length(); }
}
print("list of constructors: " + Node(100000).length() + "\n");
function sum(...) { return vargv.len() == 0 ? 0 : vargv[0] + sum(); }
print("varargs: " + sum(1) + "\n");

function runaway(n) { return runaway(n + 1) + 1; }
try { runaway(0); } catch (e) print("caught: " + e + "\n");
try { runaway(0); } catch (e) print("caught again: " + e + "\n");
print("after the overflow: " + depth(1000) + "\n");

// native -> script -> native nesting keeps its own guard
function resort(a) { a.sort(function(x, y) { resort([2, 1]); return x <=> y; }); }
try { resort([2, 1]); } catch (e) print("nested sorts: " + e + "\n");
local T = class { function _get(k) { return this[k + "x"]; } };
try { T().a; } catch (e) print("nested _get: " + e + "\n");

// uncaught: the error handler still gets to report it
runaway(0);
print("not reached\n");
