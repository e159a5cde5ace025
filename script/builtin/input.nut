// The script half of the Input table: the configurable controller, the tables of key names,
// the ready-made keyboard, mouse and joystick controllers and the lists of keys held down.
// The cursor functions and the native controller Controller_ are native.

// A controller that remembers how each key was set, so its bindings can be handed to another
// controller (getConfig / setConfig).
Input.Controller <- class extends Input.Controller_ {
    m_config = null;

    constructor() {
        base.constructor();
        m_config = {};
    }

    function clear(key = null) {
        if (key == null) {
            base.clear();
            m_config = {};
        } else {
            base.clear(key);
            if (key in m_config) {
                delete m_config[key];
            }
        }
    }

    function setButton(key, attachKeys) {
        bind__(key, attachKeys, "button");
    }

    function setAxis(key, attachKeys) {
        bind__(key, attachKeys, "axis");
    }

    function setConfig(config) {
        clear();
        foreach (key, value in config) {
            if (value.type == "button") {
                setButton(key, value.keys);
            } else if (value.type == "axis") {
                setAxis(key, value.keys);
            } else {
                return false;
            }
        }
        return true;
    }

    function getConfig() {
        return m_config;
    }

    // Null unbinds the key; anything else is recorded as given.
    function bind__(key, attachKeys, type) {
        if (type == "button") {
            base.setButton(key, attachKeys);
        } else {
            base.setAxis(key, attachKeys);
        }
        if (attachKeys == null) {
            if (key in m_config) {
                delete m_config[key];
            }
            return;
        }
        m_config[key] <- { type = type, keys = clone attachKeys };
    }
};

Input.keyboardTable__ <- [
    "key.backspace", "key.tab", "key.enter", "key.pause", "key.capslock", "key.escape",
    "key.space", "key.lshift", "key.rshift", "key.lctrl", "key.rctrl", "key.lalt", "key.ralt",
    "key.lwin", "key.rwin", "key.pageup", "key.pagedown", "key.end", "key.home", "key.insert",
    "key.delete", "key.left", "key.up", "key.right", "key.down",
    "key.f1", "key.f2", "key.f3", "key.f4", "key.f5", "key.f6", "key.f7", "key.f8", "key.f9",
    "key.f10", "key.f11", "key.f12",
    "key.0", "key.1", "key.2", "key.3", "key.4", "key.5", "key.6", "key.7", "key.8", "key.9",
    "key.a", "key.b", "key.c", "key.d", "key.e", "key.f", "key.g", "key.h", "key.i", "key.j",
    "key.k", "key.l", "key.m", "key.n", "key.o", "key.p", "key.q", "key.r", "key.s", "key.t",
    "key.u", "key.v", "key.w", "key.x", "key.y", "key.z",
    "key.colon", "key.semcolon", "key.comma", "key.minus", "key.dot", "key.slash", "key.at",
    "key.lsb", "key.yen", "key.rsb", "key.caret", "key.backslash",
    "key.num0", "key.num1", "key.num2", "key.num3", "key.num4", "key.num5", "key.num6",
    "key.num7", "key.num8", "key.num9",
    "key.numadd", "key.numsub", "key.nummul", "key.numdiv", "key.numdot", "key.numenter"
];

Input.mouseTable__ <- [
    "mouse.left", "mouse.right", "mouse.middle", "mouse.ex1", "mouse.ex2",
    "mouse.wheel", "mouse.wheelu", "mouse.wheeld"
];

// Directions in the order left, right, up, down, then the twelve buttons.
Input.joyTable__ <- [];
for (local id = 0; id < 4; ++id) {
    local prefix = "joy" + id + ".";
    local names = [prefix + "left", prefix + "right", prefix + "up", prefix + "down"];
    for (local b = 1; b <= 12; ++b) {
        names.append(prefix + "btn" + b);
    }
    Input.joyTable__.append(names);
}

// A controller with key i bound to names[i].
Input.createFromTable__ <- function(names) {
    local c = ::Input.Controller();
    foreach (i, name in names) {
        c.setButton(i, [name]);
    }
    return c;
}

Input.createKeyboard <- function() {
    return ::Input.createFromTable__(::Input.keyboardTable__);
}

Input.createMouse <- function() {
    return ::Input.createFromTable__(::Input.mouseTable__);
}

Input.createJoystick <- function(ID) {
    if (ID < 0 || ID > 3) {
        return null;
    }
    return ::Input.createFromTable__(::Input.joyTable__[ID]);
}

// The names of `names` whose key is held on the controller, after updating it.
Input.heldKeys__ <- function(controller, names) {
    controller.update();
    local held = [];
    foreach (i, name in names) {
        if (controller.isPressed(i)) {
            held.append(name);
        }
    }
    return held;
}

Input.getKeyboardKeys <- function() {
    return ::Input.heldKeys__(::Input.keyboard__, ::Input.keyboardTable__);
}

Input.getMouseKeys <- function() {
    return ::Input.heldKeys__(::Input.mouse__, ::Input.mouseTable__);
}

Input.getJoystickKeys <- function(ID) {
    if (ID < 0 || ID > 3) {
        return null;
    }
    return ::Input.heldKeys__(::Input.joysticks__[ID], ::Input.joyTable__[ID]);
}

Input.keyboard__ <- Input.createKeyboard();
Input.mouse__ <- Input.createMouse();
Input.joysticks__ <- [Input.createJoystick(0), Input.createJoystick(1), Input.createJoystick(2),
                      Input.createJoystick(3)];
