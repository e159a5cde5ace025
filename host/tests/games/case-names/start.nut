// Two folders whose names differ only in case: the standard library's file() and the IO
// library must pick the same one, and find files inside it whatever case the script writes.
function viaFile(name) {
    local f = file(name, "rb");
    local s = "";
    for (local i = 0; i < f.len(); i++) s += format("%c", f.readn('b'));
    f.close();
    return s;
}
function viaIO(name) {
    return IO.readTextFile(name, IO.Encoding.UTF8);
}
foreach (name in ["Data\\B.TXT", "data/b.txt", "DATA/B.txt", "data\\DEEP\\c.txt"]) {
    local a = null, b = null;
    try { a = viaFile(name); } catch (e) { a = "error: " + e; }
    b = viaIO(name);
    print(name + " " + a + " " + b + (a == b ? "" : " DIFFER") + "\n");
}
