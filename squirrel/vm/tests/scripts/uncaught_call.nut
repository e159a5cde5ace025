// A wrong number of parameters to call() that nothing catches is reported once, from the
// script line that made the call (a caught one is not reported at all).
function one(x) { return x; }
try { one.call(this); } catch (e) print("caught: " + e + "\n");
try { one.acall([this, 1, 2]); } catch (e) print("caught: " + e + "\n");
print("then uncaught\n");
one.call(this);
print("not reached\n");
