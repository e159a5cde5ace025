// Every name the script libraries promise exists in the runner's root table.
local names = {
    [""] = ["kose_exit_flag___", "kose_exit_code___", "squirrel_default_print__", "exit_handlers",
            "_on_exit_", "import", "include", "exec", "eval", "sleep", "quit", "halt", "exit",
            "stop", "acall", "print", "println", "printf", "print_r", "dprint", "dprintln",
            "dprintf", "dprint_r", "array2", "array3", "array4", "SystemEventHandlers__",
            "Util", "Math", "IO", "Collision", "Collection", "Log", "Input",
            "DEBUG", "cmdline"],
    Util = ["Timer", "Fps", "serialize_", "g_koplayhost_fps", "fwait", "serialize", "deserialize",
            "deserialize_", "Serializer", "Deserializer", "Counter", "LoopCounter", "StopCounter",
            "ReverseCounter", "RingBuffer"],
    Math = ["Random", "Bezier", "toRadian", "toDegree", "add", "sub", "mul", "div", "mod",
            "lerp_v", "lerp", "clamp_v", "clamp", "rclamp_v", "rclamp", "min", "max", "shuffle",
            "shuffled", "range", "between", "distance", "angle"],
    Collection = ["copy", "removed", "selected", "remove", "select"],
    Log = ["Level", "Mode", "g_outputPath", "g_outputMode", "setOutputPath", "getOutputPath",
           "setOutputMode", "getOutputMode", "clear", "d", "i", "w", "e", "write"],
    IO = ["Blob", "BinaryReader", "BinaryWriter", "TextReader", "TextWriter", "StringReader",
          "StringWriter", "File", "Encoding", "OpenOption", "exists", "existsFile",
          "existsDirectory", "readTextFile", "writeTextFile", "appendTextFile"],
    Collision = ["Point", "Line", "Rectangle", "Circle", "intersects"],
    Input = ["isCursorVisible", "setCursorVisible", "setCursorPosition", "getCursorPosition",
             "Controller_", "Controller", "keyboardTable__", "mouseTable__", "joyTable__",
             "keyboard__", "mouse__", "joysticks__", "createKeyboard", "createMouse",
             "createJoystick", "getKeyboardKeys", "getMouseKeys", "getJoystickKeys"],
};
// Lists shared by several classes; an inner array stands for its names.
const READS = "readInt8 readUint8 readInt16 readUint16 readInt32 readFloat32 readFloat64 readBlob";
const WRITES = "writeInt8 writeUint8 writeInt16 writeUint16 writeInt32 writeFloat32 writeFloat64 writeBlob";
const TEXT_READER = "close isClosed isReadable read readLine readAll readLines";
const TEXT_WRITER = "close isClosed isWritable write writeLine flush";
local members = {
    ["Util.Timer()"] = [Util.Timer(), ["set", "get", "stop", "start", "reset", "isStopped"]],
    ["Util.Fps(60)"] = [Util.Fps(60), ["setFps", "getFps", "wait"]],
    ["Util.Serializer()"] = [Util.Serializer(),
                             ["serialize", "reset", "isSerializer", "isDeserializer", "process", "push"]],
    ["Util.Deserializer()"] = [Util.Deserializer("[]"),
                               ["reset", "isSerializer", "isDeserializer", "process", "pop"]],
    ["Util.Counter()"] = [Util.Counter(), ["get", "set", "inc", "dec"] /* _cloned is a metamethod, not a member */],
    ["Util.LoopCounter()"] = [Util.LoopCounter(0, 1),
                              ["getMin", "getMax", "get", "set", "inc", "dec"]],
    ["Util.StopCounter()"] = [Util.StopCounter(0, 1),
                              ["getMin", "getMax", "get", "set", "inc", "dec"]],
    ["Util.ReverseCounter()"] = [Util.ReverseCounter(Util.Counter()), ["get", "set", "inc", "dec"]],
    ["Util.RingBuffer()"] = [Util.RingBuffer(2), ["append", "clear", "getCapacity", "len", "get",
                                                  "top", "bottom", "toArray"]],
    ["Math.Random()"] = [Math.Random(), ["getSeed", "nextInt", "nextFloat"]],
    ["Input.Controller()"] = [Input.Controller(),
                              ["clear", "setButton", "setAxis", "update", "isPushed", "isPressed",
                               "isReleased", "getInput", "getKeys", "setConfig", "getConfig"]],
    ["Math.Bezier()"] = [Math.Bezier([[0, 0], [1, 1]]), ["get"]],
    ["IO.Blob"] = [IO.Blob, ["getLength", "getCursor", "setCursor", READS, WRITES]],
    ["IO.BinaryReader"] = [IO.BinaryReader, ["close", "isClosed", "isReadable", "getLength",
                                             "setCursor", "getCursor", READS]],
    ["IO.BinaryWriter"] = [IO.BinaryWriter, ["close", "isClosed", "isWritable", "getLength",
                                             "getCursor", "setCursor", "flush", WRITES]],
    ["IO.TextReader"] = [IO.TextReader, TEXT_READER],
    ["IO.StringReader"] = [IO.StringReader, TEXT_READER],
    ["IO.TextWriter"] = [IO.TextWriter, TEXT_WRITER],
    ["IO.StringWriter"] = [IO.StringWriter, [TEXT_WRITER, "getString"]],
    ["IO.File"] = [IO.File, ["exists", "isFile", "isDirectory", "isHidden", "isReadOnry", "getSize",
                             "remove", "makeFile", "makeDirectory", "getPath", "getAbsolutePath",
                             "getParentPath", "getParentName", "getName", "getNameWithoutExtension",
                             "getExtension", "createBlob", "createBinaryReader",
                             "createBinaryWriter", "createTextReader", "createTextWriter",
                             "getParent", "getChildren"]],
    ["SystemEventHandlers__()"] = [SystemEventHandlers__(), ["isEmpty", "contains", "add", "remove",
                                                             "removeAt", "clear", "getHandlers", "call"]],
};
local missing = [];
foreach (table, list in names) {
    local t = table == "" ? getroottable() : getroottable()[table];
    foreach (n in list) {
        if (!(n in t)) missing.append(table + "." + n);
    }
}
foreach (what, pair in members) {
    local list = typeof pair[1] == "string" ? [pair[1]] : pair[1];
    foreach (item in list) {
        foreach (n in split(item, " ")) {
            if (!(n in pair[0])) missing.append(what + "." + n);
        }
    }
}
foreach (k, v in { DEBUG = 0, INFO = 1, WARNING = 2, ERROR = 3 }) {
    if (Log.Level[k] != v) missing.append("Log.Level." + k);
}
foreach (c in ["SERIALIZE_MARKER_ARRAY", "SERIALIZE_MARKER_TABLE", "SERIALIZE_MARKER_INSTANCE",
               "SERIALIZE_MARKER_REF", "KOPLAYHOST_VERSION", "SQUIRREL_VERSION"]) {
    if (!(c in getconsttable())) missing.append("const " + c);
}
println(missing.len() == 0 ? "every name is there" : "missing: " + missing.reduce(@(a, b) a + ", " + b));
