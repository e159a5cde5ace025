// include resolves names against the including script's folder and runs each name once;
// exec runs every time; eval runs text.
print(include("sub/a.nut") + "\n");
print(typeof include("sub/a.nut") + "\n");
print(typeof include("sub\\b.nut") + "\n");     // same resolved name as the nested include
exec("counter.nut");
exec("counter.nut");
print("" + eval("return 1 + 2;") + "\n");
foreach (name in ["missing.nut", "broken.nut", "loop.nut"]) {
    try {
        include(name);
    } catch (e) {
        print(e + "\n");
    }
}
print(typeof include("broken.nut") + "\n");     // recorded although it failed
try {
    eval("return ;;(");
} catch (e) {
    print(e + "\n");
}
try {
    include(42);
} catch (e) {
    print(e + "\n");
}
