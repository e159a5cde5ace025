// Every native class's constructor, called on an object of another class, refuses it and leaves
// that object as it was (it used to free the other's native object as one of its own type).
local victim = IO.Blob(3);
victim.writeUint8(7);
local names = [];
foreach (lib in ["Util", "Math", "IO", "Collision", "Input", "Audio", "Graphics"]) {
    if (!(lib in getroottable())) continue;
    foreach (name, value in getroottable()[lib])
        if (typeof value == "class") names.push(lib + "." + name);
}
names.sort();
local refused = [];
foreach (full in names) {
    local dot = full.find(".");
    local cls = getroottable()[full.slice(0, dot)][full.slice(dot + 1)];
    if (cls == IO.Blob || !("constructor" in cls)) continue;
    try {
        cls.constructor.pcall(victim); // pcall: no error report for what is caught here
        println(full + ": accepted");
    } catch (e) {
        if (e == "failed create instance") refused.push(full); else println(full + ": " + e);
    }
}
println("refused: " + refused.len() + " of " + names.len() + " classes");
println(refused.find("Collision.Point") != null && refused.find("Util.Timer") != null);
victim.setCursor(0);
println("blob intact: " + victim.getLength() + " " + victim.readUint8());
