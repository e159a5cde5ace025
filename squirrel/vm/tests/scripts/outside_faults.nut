// Faults that programs written elsewhere found: each case prints its result so
// that the first differing line names the case.
function attempt(label, f) {
  try { print(label + " -> " + f() + "\n"); } catch (e) print(label + " -> error: " + e + "\n");
}

print("-- eos is true once the last byte has been read\n");
{
  local f = file("eos.bin", "wb");
  foreach (c in [1, 2, 3]) f.writen(c, 'b');
  f.close();
  f = file("eos.bin", "rb");
  local got = [];
  print("fresh file eos " + (f.eos() ? "yes" : "no") + "\n");
  while (!f.eos()) got.append(f.readn('b'));
  print("read " + got.len() + " bytes, eos " + f.eos() + "\n");
  f.seek(1);
  print("after seek back eos " + (f.eos() ? "yes" : "no") + "\n");
  f.close();
  f = file("eos.bin", "rb+");
  f.seek(0, 'e');
  print("seek to end eos " + f.eos() + "\n");
  f.writen(9, 'b');
  print("after write at end eos " + f.eos() + "\n");
  f.seek(0);
  print("rewound eos " + (f.eos() ? "yes" : "no") + ", len " + f.len() + "\n");
  f.close();
  local e = file("empty.bin", "wb");
  print("new empty file eos " + e.eos() + "\n");
  e.close();
  local b = blob(0);
  b.writen(7, 'b'); b.writen(8, 'b');
  b.seek(0);
  local n = 0;
  while (!b.eos()) { b.readn('b'); n++; }
  print("blob read " + n + " bytes, eos " + b.eos() + "\n");
}

print("-- one three-way compare\n");
local nan = sqrt(-1.0);
attempt("null < 1", @() null < 1);
attempt("1 > null", @() 1 > null);
attempt("null <=> \"a\"", @() null <=> "a");
attempt("\"a\" <=> null", @() "a" <=> null);
attempt("null <=> null", @() null <=> null);
attempt("null >= null", @() null >= null);
attempt("null < {}", @() null < {});
attempt("[3, null, 1].sort()", function() { local a = [3, null, 1]; a.sort(); return a[0] + " " + a[1] + " " + a[2]; });
attempt("true > false", @() true > false);
attempt("false < true", @() false < true);
attempt("true <=> true", @() true <=> true);
attempt("false <=> true", @() false <=> true);
attempt("nan > 0", @() nan > 0);
attempt("nan >= 0", @() nan >= 0);
attempt("nan < 0", @() nan < 0);
attempt("nan <= 0", @() nan <= 0);
attempt("0 > nan", @() 0 > nan);
attempt("nan <=> 1", @() nan <=> 1);
attempt("nan <=> nan", @() nan <=> nan);
local arr = [], tab = {};
attempt("arr <=> arr", @() arr <=> arr);
attempt("[] <=> [] not equal", @() ([] <=> []) != 0);
attempt("[] < [] antisymmetric", function() { local x = [], y = []; return (x < y) != (y < x); });
attempt("{} <= {} antisymmetric", function() { local x = {}, y = {}; return (x <= y) != (y <= x); });
attempt("sort of tables keeps them", function() { local a = [{}, {}, {}]; a.sort(); return a.len(); });
attempt("true < 1 still raises", @() true < 1);
attempt("1 < \"a\" still raises", @() 1 < "a");
attempt("[] < {} still raises", @() [] < {});

print("-- heap sort as scripts observe it\n");
{
  local a = [[1,0],[0,1],[1,2],[0,3],[1,4],[0,5],[1,6],[0,7]];
  a.sort(@(x, y) x[0] <=> y[0]);
  local s = "";
  foreach (p in a) s += p[1] + " ";
  print("stable? " + s + "\n");
  local log = "";
  local b = [5, 3, 8, 1];
  b.sort(function(x, y) { log += x + "-" + y + " "; return x <=> y; });
  print("log " + log + "\n");
  print("sorted " + b[0] + b[1] + b[2] + b[3] + "\n");
  attempt("always smaller", function() { local c = [1, 2, 3]; c.sort(@(x, y) -1); return c.len(); });
  attempt("one element", function() { local c = [1]; c.sort(@(x, y) -1); return c[0]; });
  attempt("default sort", function() { local c = [4, 1.5, -2, 9, 0]; c.sort(); local s = ""; foreach (v in c) s += v + " "; return s; });
}

print("-- errors of call/acall that a script catches\n");
{
  function one(x) { return x; }
  attempt("call", function() { try { one.call(this); } catch (e) return "caught " + e; });
  attempt("acall", function() { try { one.acall([this, 1, 2]); } catch (e) return "caught " + e; });
  attempt("pcall", function() { try { one.pcall(this); } catch (e) return "caught " + e; return "no error"; });
  attempt("native", function() { try { "abc".slice(5); } catch (e) return "caught " + e; });
  attempt("nested", function() { try { [1, 2].map(@(x, y, z) x); } catch (e) return "caught " + e; });
  attempt("metamethod", function() {
    local C = class { function _add(o) { throw "no add"; } };
    try { C() + 1; } catch (e) return "caught " + e;
  });
  attempt("generator", function() {
    local g = (function() { yield 1; throw "gen"; })();
    try { resume g; resume g; } catch (e) return "caught " + e;
  });
}

print("-- _get errors propagate\n");
{
  local C = class {
    function _get(k) { throw "noget " + k; }
    function qualified() { return this.nothere; }
    function unqualified() { return G; }
    function missing() { return nothere; }
  };
  ::G <- "global G";
  local c = C();
  attempt("qualified", @() c.qualified());
  attempt("unqualified global", @() c.unqualified());
  attempt("unqualified missing", @() c.missing());
  local N = class { function _get(k) { throw null; } function f() { return G; } };
  attempt("null error means not found", @() N().f());
  local R = class { function _get(k) { return this[k]; } };
  attempt("recursive _get", @() R().x);
  local T = { _get = function(k) { return this[k]; } };
  local t = {}.setdelegate(T);
  attempt("recursive table _get", @() t.x);
}

print("-- regexp capture of a repeated group\n");
{
  local r = regexp("(\\w)+").capture("xyz");
  print(r.len() + ": " + r[0].begin + "-" + r[0].end + " " + r[1].begin + "-" + r[1].end + "\n");
  local r2 = regexp("(a|b)*c").capture("abbac");
  print(r2[0].begin + "-" + r2[0].end + " " + r2[1].begin + "-" + r2[1].end + "\n");
  local r3 = regexp("x(\\d\\d)+y").capture("x123456y");
  print(r3[0].begin + "-" + r3[0].end + " " + r3[1].begin + "-" + r3[1].end + "\n");
}

print("-- smaller ones\n");
attempt("\"abc\".find(\"\", 3)", @() "abc".find("", 3));
attempt("\"abc\".find(\"\", 2)", @() "abc".find("", 2));
attempt("\"ab\".slice(-5)", @() "ab".slice(-5));
attempt("\"ab\".slice(0, 5)", @() "ab".slice(0, 5));
attempt("[1].slice(-5)", @() [1].slice(-5));
attempt("{}[true]", @() {}[true]);
attempt("{}[1.5]", @() {}[1.5]);
{
  local B = class { function _nexti(k) { return k == null ? "nokey" : null; } };
  local BG = class { function _nexti(k) { return k == null ? "key" : null; } function _get(k) { throw "get " + k; } };
  attempt("_nexti key answered by a throwing _get", function() { foreach (k, v in BG()) return k; });
  attempt("_nexti invalid", function() { foreach (k, v in B()) return k; });
  local S = class { function _tostring() { return 42; } };
  attempt("_tostring non-string", @() (S() + "").slice(0, 10));
}
attempt("format %.0c", @() format("[%.0c]", 'a'));
attempt("format %3c", @() format("[%3c]", 'a'));

print("-- kept\n");
attempt("% by zero", @() 5 % 0);
attempt("array(-1)", @() array(-1));
attempt("min / -1", @() (-2147483647 - 1) / -1);
