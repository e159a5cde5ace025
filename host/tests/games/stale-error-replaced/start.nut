// The first error of a run replaces what an earlier run left in error.txt (a compile error
// reported although the script catches it); the next one is appended.
function fail(what) {
    local detail = what.len();
    throw "failed: " + what;
}
print("start\n");
try {
    include("broken.nut");
} catch (e) {
    print(e + "\n");
}
exit_handlers.add(function() { print("exit handler\n"); });
fail("for real");
