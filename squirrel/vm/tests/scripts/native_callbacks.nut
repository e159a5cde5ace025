// Script functions called again and again from one native loop (sort comparators, map, apply,
// reduce, filter): each call is a call of its own, whatever the loop reuses between calls.
function show(a) {
    local s = "";
    foreach (i, x in a) s += (i ? " " : "") + x;
    return s;
}
function attempt(name, f) {
    try {
        print(name + ": " + f() + "\n");
    } catch (e) {
        print(name + ": error " + e + "\n");
    }
}

print("-- closures made in the callback keep that call's arguments and locals\n");
{
    local made = [];
    local a = [5, 3, 8, 1];
    a.sort(function(x, y) {
        local d = x - y;
        made.push(@() x + "-" + y + "=" + d);
        return x <=> y;
    });
    local s = "";
    foreach (f in made) s += f() + " ";
    print(s + "\n");
    print("sorted " + show(a) + "\n");
    local counters = [1, 2, 3].map(function(v) {
        local n = v * 10;
        return function() { n++; return n; };
    });
    print("counters " + counters[0]() + " " + counters[0]() + " " + counters[1]() + " " +
          counters[2]() + "\n");
    local adders = [];
    [1, 2, 3].apply(function(v) { adders.push(@(k) v + k); return v; });
    print("adders " + adders[0](100) + " " + adders[1](100) + " " + adders[2](100) + "\n");
}

print("-- an error in the k-th call\n");
foreach (k in [1, 2, 5, 12]) {
    local a = [5, 3, 8, 1];
    local calls = 0;
    try {
        a.sort(function(x, y) {
            if (++calls == k) throw "stop at " + calls;
            return x <=> y;
        });
        print("k " + k + ": no error\n");
    } catch (e) {
        print("k " + k + ": " + e + ", array " + show(a) + "\n");
    }
}
{
    local a = [4, 2, 9, 7, 1];
    local calls = 0;
    attempt("map stops", function() {
        return show(a.map(function(v) { if (++calls == 3) throw "map " + v; return v; }));
    });
    calls = 0;
    attempt("apply stops", function() {
        a.apply(function(v) { if (++calls == 3) throw "apply " + v; return v * 2; });
        return show(a);
    });
    print("after apply " + show(a) + "\n");
    attempt("reduce stops", function() {
        return a.reduce(function(p, v) { if (v == 18) throw "reduce " + p; return p + v; });
    });
    attempt("filter stops", function() {
        return show(a.filter(function(i, v) { if (i == 4) throw "filter " + v; return true; }));
    });
    attempt("runtime error in comparator", function() {
        local b = [3, 1, 2];
        b.sort(function(x, y) { return x.nokey <=> y; });
        return show(b);
    });
    attempt("result not a number", function() { [3, 1, 2].sort(@(x, y) "a"); return "ok"; });
    attempt("float results", function() {
        local b = [3, 1, 2, 0];
        b.sort(@(x, y) (x - y) * 0.5);
        return show(b);
    });
}
{
    // the loop goes on after a caught error inside the callback
    local log = "";
    local a = [3, 1, 2];
    a.sort(function(x, y) {
        try {
            if (x == 1) throw "inner";
        } catch (e) {
            log += e + " ";
        }
        return x <=> y;
    });
    print("caught inside: " + log + "-> " + show(a) + "\n");
}

print("-- a callback that sorts, maps or calls again\n");
{
    local inner = "";
    local a = [3, 1, 2];
    a.sort(function(x, y) {
        local b = [x, y, x + y];
        b.sort(@(p, q) q <=> p);
        inner += show(b) + ";";
        return x <=> y;
    });
    print("outer " + show(a) + "\n");
    print("inner " + inner + "\n");
    local nested = [[3, 1], [2, 5, 4], []].map(function(row) {
        local r = clone row;
        r.sort(@(p, q) p <=> q);
        return show(r.map(@(v) v * 10));
    });
    print("nested maps " + nested[0] + " | " + nested[1] + " | " + nested[2] + "\n");
    local depth = 0;
    local function rec(n) {
        if (n == 0) return 0;
        return [n].reduce(@(p, v) v) + [n - 1].map(@(v) rec(v))[0];
    }
    print("recursive " + rec(30) + "\n");
}

print("-- what the callee sees\n");
{
    local a = [2, 1];
    local thisIsRoot = null;
    a.sort(function(x, y) { thisIsRoot = this == getroottable(); return x <=> y; });
    print("comparator this is the root table: " + thisIsRoot + "\n");
    local selves = [7, 8].map(function(v) { return this.len(); });
    print("map this is the array: " + show(selves) + "\n");
    attempt("varargs comparator", function() {
        local b = [3, 1, 2];
        b.sort(function(...) { return vargv[1] <=> vargv[0]; });
        return show(b);
    });
    attempt("comparator with a default parameter", function() {
        local b = [3, 1, 2];
        b.sort(function(x, y, z = 10) { return (x + z) <=> (y + z); });
        return show(b);
    });
    attempt("too few parameters", function() { [3, 1, 2].sort(@(x) 0); return "ok"; });
    attempt("generator comparator", function() {
        [3, 1, 2].sort(function(x, y) { yield x; });
        return "ok";
    });
    attempt("native comparator", function() {
        local b = [3, 1, 2];
        b.sort(type);
        return show(b);
    });
    class Box {
        sign = -1;
        function cmp(x, y) { return sign * (x <=> y); }
    }
    local box = Box();
    attempt("bound method", function() {
        local b = [3, 1, 2];
        b.sort(box.cmp.bindenv(box));
        return show(b);
    });
    attempt("bound method, object gone", function() {
        local b = [3, 1, 2];
        local f = Box().cmp.bindenv(Box());
        b.sort(f);
        return show(b);
    });
    attempt("map with a native", function() { return show(["a", 1, null].map(type)); });
    attempt("collection inside the comparator", function() {
        local b = [[3], [1], [2]];
        local keep = [];
        b.sort(function(x, y) {
            keep.push(@() x[0]);
            collectgarbage();
            return x[0] <=> y[0];
        });
        local s = "";
        foreach (f in keep) s += f();
        return s + " " + b[0][0] + b[1][0] + b[2][0];
    });
    attempt("map with a bound method", function() {
        local o = { k = 5, f = function(v) { return v + k; } };
        return show([1, 2].map(o.f.bindenv(o)));
    });
    local a2 = [4, 3, 2, 1];
    local seen = "";
    a2.sort(function(x, y) {
        a2.clear(); // the sort works on its own copy
        seen += x;
        return x <=> y;
    });
    print("array cleared by the comparator: " + show(a2) + "\n");
}

print("-- suspend inside a callback\n");
{
    local t = newthread(function() {
        local a = [2, 1, 3];
        try {
            a.sort(function(x, y) { suspend("in sort"); return x <=> y; });
            return "sorted " + show(a);
        } catch (e) {
            return "error " + e;
        }
    });
    print("thread: " + t.call() + "\n");
    local u = newthread(function() {
        try {
            return "mapped " + show([1, 2].map(function(v) { return suspend(v); }));
        } catch (e) {
            return "error " + e;
        }
    });
    print("thread map: " + u.call() + "\n");
}

print("-- the debug hook sees every call\n");
{
    local calls = 0, returns = 0;
    local function cmp(x, y) { return x <=> y; }
    setdebughook(function(kind, src, line, name) {
        if (name == "cmp" && kind == 'c') calls++;
        if (name == "cmp" && kind == 'r') returns++;
    });
    local a = [5, 3, 8, 1];
    a.sort(cmp);
    setdebughook(null);
    print("hook calls " + calls + " returns " + returns + ", " + show(a) + "\n");
    // a hook set by the comparator itself applies from the next call on
    local seen = 0;
    local n = 0;
    local b = [4, 3, 2, 1];
    b.sort(function(x, y) {
        if (++n == 2) setdebughook(function(kind, src, line, name) { if (kind == 'c') seen++; });
        return x <=> y;
    });
    setdebughook(null);
    print("hook set midway saw calls: " + seen + ", " + show(b) + "\n");
}

print("-- a try that a callback leaves by return or catch is gone after the native\n");
{
    local a = [5, 3, 8, 1];
    local r = "";
    try {
        a.sort(function(x, y) { try { return x <=> y; } catch (e) { return 0; } });
        r += [3, 1, 2].map(function(v) {
            try { if (v == 1) throw "in"; return v; } catch (e) { return -v; }
        }).reduce(@(p, q) p + " " + q);
        throw "out";
    } catch (e) {
        r += ", caught " + e;
    }
    print(r + ", sorted " + show(a) + "\n");
    try {
        [1, 2].apply(function(v) { try { [v].apply(@(w) w); return v; } catch (e) {} });
        throw "after nested";
    } catch (e) {
        print("caught " + e + "\n");
    }
}

print("-- uncaught error in a comparator\n");
function byValue(x, y) {
    if (x == 8) throw "comparator failed on " + x;
    return x <=> y;
}
function sortAll(a) {
    a.sort(byValue);
    return a;
}
sortAll([5, 3, 8, 1]);
print("not reached\n");
