// Real X input, driven by xdotool between frames, as Input reads it frame by frame: key edges,
// the two Enters, modifiers, the cursor in and out of the window, buttons and wheel notches.
local W = "$(xdotool search --sync --name '^input-devices$' | head -n 1)";

local kb = Input.Controller();
kb.setButton(0, ["key.a"]);
kb.setButton(1, ["key.numenter"]);
kb.setButton(2, ["key.enter"]);
kb.setButton(3, ["key.lshift"]);
kb.setButton(4, ["key.rshift"]);
kb.setButton(5, ["key.semcolon"]);

local mouse = Input.Controller();
mouse.setButton(0, ["mouse.left"]);
mouse.setButton(1, ["mouse.right"]);
mouse.setButton(2, ["mouse.middle"]);
mouse.setAxis(3, ["mouse.x"]);
mouse.setAxis(4, ["mouse.y"]);
mouse.setAxis(5, ["mouse.gx"]);
mouse.setAxis(6, ["mouse.wheel"]);
mouse.setAxis(7, ["mouse.wheelu"]);
mouse.setAxis(8, ["mouse.wheeld"]);

local frames = 0;
function frame() {
    Util.fwait(100);
    ++frames;
    kb.update();
    mouse.update();
}

// Runs the command, then waits (at most 3 s) for the condition; false when it never held.
function act(command, done) {
    if (system(command) != 0) {
        println("failed: " + command);
    }
    for (local i = 0; i < 300; ++i) {
        frame();
        if (done()) {
            return true;
        }
    }
    println("timed out after: " + command);
    return false;
}

function edges(c, key) {
    return (c.isPushed(key) ? "pushed " : "") + (c.isPressed(key) ? "pressed " : "") +
           (c.isReleased(key) ? "released " : "") + "value " + c.getInput(key);
}

frame();
system("xdotool mousemove --window " + W + " 100 100 windowfocus --sync " + W);
for (local i = 0; i < 10; ++i) {
    frame();
}

// A key: pushed on the first frame it is down, pressed while held, released once.
act("xdotool keydown a", @() kb.isPressed(0));
println("a down:    " + edges(kb, 0));
frame();
println("a held:    " + edges(kb, 0));
frame();
println("a held:    " + edges(kb, 0));
act("xdotool keyup a", @() !kb.isPressed(0));
println("a up:      " + edges(kb, 0));
frame();
println("a after:   " + edges(kb, 0));

// The keypad Enter drives key.numenter only, the main Enter key.enter only.
act("xdotool keydown KP_Enter", @() kb.isPressed(1));
println("KP_Enter:  numenter " + kb.getInput(1) + " enter " + kb.getInput(2));
act("xdotool keyup KP_Enter", @() !kb.isPressed(1));
act("xdotool keydown Return", @() kb.isPressed(2));
println("Return:    numenter " + kb.getInput(1) + " enter " + kb.getInput(2));
act("xdotool keyup Return", @() !kb.isPressed(2));

// Left and right Shift apart (by keycode: xdotool presses a modifier's keysym on every key
// that has it); held keys listed in table order.
act("xdotool keydown 62", @() kb.isPressed(4));
act("xdotool keydown semicolon", @() kb.isPressed(5));
println("Shift_R:   lshift " + kb.getInput(3) + " rshift " + kb.getInput(4) + " semcolon " + kb.getInput(5));
local held = Input.getKeyboardKeys();
println("held:      " + held.reduce(@(a, b) a + " " + b));
act("xdotool keyup semicolon keyup 62", @() !kb.isPressed(4) && !kb.isPressed(5));

// The cursor in client coordinates (inside and left of the window) and in screen ones.
act("xdotool mousemove --window " + W + " 10 20", @() mouse.getInput(3) == 10);
local p = Input.getCursorPosition();
println("inside:    x " + mouse.getInput(3) + " y " + mouse.getInput(4) + " gx " + mouse.getInput(5) +
        " position " + p[0] + "," + p[1]);
// Outside our windows SDL reads the pointer afresh after device motion, not after a warp.
act("xdotool mousemove 2 300 mousemove_relative 1 0", @() mouse.getInput(3) < 0);
p = Input.getCursorPosition();
println("outside:   x " + mouse.getInput(3) + " y " + mouse.getInput(4) + " position " + p[0] + "," + p[1]);
Input.setCursorPosition(30, 40);
act("true", @() mouse.getInput(3) == 30);
println("warped:    x " + mouse.getInput(3) + " y " + mouse.getInput(4));

// Buttons.
act("xdotool mousedown 1", @() mouse.isPressed(0));
println("left:      " + edges(mouse, 0) + " right " + mouse.getInput(1));
act("xdotool mouseup 1", @() !mouse.isPressed(0));
println("left up:   " + edges(mouse, 0));
act("xdotool mousedown 3", @() mouse.isPressed(1));
println("right:     " + edges(mouse, 1) + " left " + mouse.getInput(0));
act("xdotool mouseup 3 click 2", @() !mouse.isPressed(1));

// Wheel notches: away from the user is button 4, towards button 5. Count what arrives until
// the expected number of notches is in, then a frame reads 0.
function wheel(command, notches) {
    local sum = 0, away = 0, towards = 0;
    act(command, function() {
        sum += mouse.getInput(6);
        away += mouse.getInput(7);
        towards += mouse.getInput(8);
        return sum == notches;
    });
    frame();
    return "wheel " + sum + " wheelu " + away + " wheeld " + towards + " then " + mouse.getInput(6);
}
println("up 1:      " + wheel("xdotool click 4", -1));
println("down 3:    " + wheel("xdotool click --repeat 3 --delay 1 5", 3));

println("frames ok: " + (frames > 20));
