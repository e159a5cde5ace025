// Archives beside the game: one good, one cut short in its data, one cut in its header, one of
// random bytes, one empty. The good one still serves its file; a file whose data was cut
// cannot be read; the others hold nothing. The last read is left uncaught.
function attempt(what, f) {
    try {
        local r = f();
        print(what + ": " + r + "\n");
    } catch (e) {
        print(what + ": " + e + "\n");
    }
}
function readAll(name) {
    local f = file(name, "rb");
    local n = f.len();
    local b = f.readblob(n);
    f.close();
    return b.len() + " of " + n + " bytes";
}
attempt("good.txt", @() IO.readTextFile("good.txt", IO.Encoding.UTF8));
attempt("cut.bin", @() readAll("cut.bin"));
attempt("cut.txt", @() readAll("cut.txt"));
attempt("lost.txt", @() readAll("lost.txt"));
attempt("exists lost.txt", @() IO.existsFile("lost.txt"));
suspend();
readAll("cut.txt");
