// Root-level helpers every game script uses: frame yielding, output, argument spreading,
// multi-dimensional arrays and the handlers run when the program ends.

kose_exit_flag___ <- false;
kose_exit_code___ <- 0;

// Ends this frame; the host resumes the script in the next one.
function halt() {
    ::suspend();
}

// The end-of-frame hook of this frame ends the program; the code is kept for scripts only.
function exit(exit_code = 0) {
    ::kose_exit_flag___ = true;
    ::kose_exit_code___ = exit_code;
    ::suspend();
}

// Parks the script for good: the program runs on until its window is closed.
function stop() {
    while (true) {
        ::suspend();
    }
}

// Calls func with the elements of args as separate arguments (a class makes an instance).
function acall(func, args) {
    local a = args;
    switch (a.len()) {
    case 0: return func();
    case 1: return func(a[0]);
    case 2: return func(a[0], a[1]);
    case 3: return func(a[0], a[1], a[2]);
    case 4: return func(a[0], a[1], a[2], a[3]);
    case 5: return func(a[0], a[1], a[2], a[3], a[4]);
    case 6: return func(a[0], a[1], a[2], a[3], a[4], a[5]);
    case 7: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    case 8: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    case 9: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 10: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
    case 11: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10]);
    case 12: return func(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11]);
    }
    throw "acall:指定できる引数は０～１２個です。";
}

squirrel_default_print__ <- print;

// Long strings go out in pieces of at most 400 characters, so one output call never
// overflows the host's buffer.
function print(value) {
    if (typeof value != "string") {
        ::squirrel_default_print__(value);
        return;
    }
    local len = value.len();
    local pos = 0;
    while (pos < len) {
        local end = pos + 400;
        if (end >= len) {
            end = len;
        } else if (value[end - 1] >= 0xD800 && value[end - 1] <= 0xDBFF) {
            end -= 1; // keep a surrogate pair in one piece
        }
        ::squirrel_default_print__(value.slice(pos, end));
        pos = end;
    }
}

function println(value) {
    ::print(value);
    ::print("\n");
}

function printf(fmt, ...) {
    local n = vargv.len();
    if (n > 10) {
        throw "printfのパラメータ引数が多すぎます。(最大10個まで)";
    }
    local args = [this, fmt];
    args.extend(vargv);
    ::print(::format.acall(args));
}

function print_r_escape__(s) {
    local out = "";
    foreach (c in s) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c.tochar();
        }
    }
    return out;
}

function print_r_indent__(level) {
    local s = "";
    for (local i = 0; i < level; ++i) {
        s += "    ";
    }
    return s;
}

// `open` holds the containers being printed now: one met again inside itself is a cycle,
// printed as its text form and a mark instead of being followed for ever.
function print_r_value__(value, level, open) {
    local type = typeof value;
    if (type == "null") {
        ::println("null");
    } else if (type == "string") {
        ::println("\"" + ::print_r_escape__(value) + "\"");
    } else if (type == "array" || type == "table" || type == "class" || type == "instance") {
        foreach (o in open) {
            if (o == value) {
                ::println("" + value + " *RECURSION*");
                return;
            }
        }
        ::println(value);
        local indent = ::print_r_indent__(level);
        ::println(indent + "{");
        local inner = ::print_r_indent__(level + 1);
        open.append(value);
        // An instance shows the members its class declares.
        foreach (k, v in (type == "instance" ? value.getclass() : value)) {
            ::print(inner + "[" + k + "] => ");
            ::print_r_value__(type == "instance" ? value[k] : v, level + 1, open);
        }
        open.pop();
        ::println(indent + "}");
    } else {
        ::println(value);
    }
}

function print_r(value) {
    ::print_r_value__(value, 0, []);
}

if (DEBUG) {
    dprint <- print;
    dprintln <- println;
    dprintf <- printf;
    dprint_r <- print_r;
} else {
    dprint <- function(value) {};
    dprintln <- function(value) {};
    dprintf <- function(fmt, ...) {};
    dprint_r <- function(value) {};
}

function array2(d1, d2, fill = null) {
    local a = ::array(d1);
    for (local i = 0; i < d1; ++i) {
        a[i] = ::array(d2, fill);
    }
    return a;
}

function array3(d1, d2, d3, fill = null) {
    local a = ::array(d1);
    for (local i = 0; i < d1; ++i) {
        a[i] = ::array2(d2, d3, fill);
    }
    return a;
}

function array4(d1, d2, d3, d4, fill = null) {
    local a = ::array(d1);
    for (local i = 0; i < d1; ++i) {
        a[i] = ::array3(d2, d3, d4, fill);
    }
    return a;
}

// An ordered list of handlers, called together.
class SystemEventHandlers__ {
    m_handlers = null;

    constructor() {
        m_handlers = [];
    }

    function isEmpty() {
        return m_handlers.len() == 0;
    }

    function contains(handler) {
        foreach (h in m_handlers) {
            if (h == handler) {
                return true;
            }
        }
        return false;
    }

    function add(handler) {
        m_handlers.append(handler);
        return true;
    }

    function remove(handler) {
        foreach (i, h in m_handlers) {
            if (h == handler) {
                m_handlers.remove(i);
                return true;
            }
        }
        return false;
    }

    function removeAt(index) {
        if (index < 0 || index >= m_handlers.len()) {
            return false;
        }
        m_handlers.remove(index);
        return true;
    }

    function clear() {
        m_handlers.clear();
    }

    function getHandlers() {
        return m_handlers;
    }

    function call(...) {
        if (vargv.len() > 5) {
            throw "システムイベントハンドラーの呼び出し引数が多すぎます。";
        }
        local args = [::getroottable()];
        args.extend(vargv);
        foreach (h in m_handlers) {
            h.acall(args);
        }
    }
}

exit_handlers <- SystemEventHandlers__();

function _on_exit_() {
    ::exit_handlers.call();
}
