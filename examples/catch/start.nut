// 星あつめ (Catch the Stars): move the basket, catch falling stars, dodge the rocks.
// Keys: arrows or A/D move, Enter/Space start, P or Escape pause; the mouse and the first
// joystick work too. Started with the argument "demo", the game plays itself for a fixed
// number of frames and prints its score, so a counted run gives the same lines every time.

const W = 640;
const H = 480;
const GROUND = 440;
const SAVE_FILE = "save.txt";
const DEMO_FRAMES = 600;

// "shots" (with demo) saves pictures of the title and of play for the documentation.
// "soak" plays the demo without end, game after game, until a file "soak-stop" appears
// (bench/soak measures the memory of such a run).
local demo = false, shots = false, soak = false;
for (local i = 1; i < cmdline.len(); ++i) {
    if (cmdline[i] == "demo") demo = true;
    if (cmdline[i] == "shots") shots = true;
    if (cmdline[i] == "soak") demo = soak = true;
}

// ---- media -------------------------------------------------------------------------------
function image(name) { return Graphics.Image("media/" + name + ".png", true); }
local img = {
    sky = image("sky"), basket = image("basket"), star = image("star"), rock = image("rock"),
    glow = image("glow"), panel = image("panel")
};

// Fonts are optional: without them the game still runs, just without text.
local hasFont = "Font" in Graphics;
local fontBig = null, fontTitle = null, fontText = null, fontSmall = null;
if (hasFont) {
    try {
        fontTitle = Graphics.FontG("MS Gothic", 64, true, false, 255, 120, 0.2);
        fontBig = Graphics.Font("MS Gothic", 32, true, false);
        fontText = Graphics.Font("MS Gothic", 20);
        fontSmall = Graphics.Font("MS Gothic", 16);
    } catch (e) {
        hasFont = false;
    }
}

// Sounds in two groups: the tune and the effects, each with its own volume.
local music = Audio.Group();
local effects = Audio.Group();
effects.setVolume(0.8);
function sound(name, group) {
    try { return Audio.Sound("media/" + name + ".ogg", group); } catch (e) { return null; }
}
local snd = {
    music = sound("music", music), catchStar = sound("catch", effects),
    hit = sound("hit", effects), start = sound("start", effects)
};
function playEffect(s) { if (s != null) s.play(); }

// ---- save --------------------------------------------------------------------------------
function loadBest() {
    local text = IO.existsFile(SAVE_FILE) ? IO.readTextFile(SAVE_FILE, IO.Encoding.UTF8) : null;
    if (text == null) return 0;
    try {
        local save = Util.deserialize(text);
        return ("best" in save && typeof save.best == "integer") ? save.best : 0;
    } catch (e) {
        return 0; // a damaged save starts over
    }
}
function saveBest(best) {
    IO.writeTextFile(SAVE_FILE, Util.serialize({ best = best, version = 1 }), IO.Encoding.UTF8);
}

// ---- input -------------------------------------------------------------------------------
enum Key { LEFT, RIGHT, START, PAUSE }
local pad = Input.Controller();
pad.setButton(Key.LEFT, ["key.left", "key.a", "joy0.left"]);
pad.setButton(Key.RIGHT, ["key.right", "key.d", "joy0.right"]);
pad.setButton(Key.START, ["key.enter", "key.space", "key.numenter", "joy0.btn1", "mouse.left"]);
pad.setButton(Key.PAUSE, ["key.p", "key.escape", "joy0.btn2"]);

// The demo's player: the same questions as a controller, answered by a little autopilot.
class DemoPad {
    frame = 0;
    want = 0;      // -1 left, 1 right, 0 stay
    pauseAt = 0;
    constructor(pause) { pauseAt = pause; }
    function update() { ++frame; pad.update(); }
    function isPressed(key) {
        if (key == Key.LEFT) return want < 0;
        if (key == Key.RIGHT) return want > 0;
        return false;
    }
    function isPushed(key) {
        // A soak presses start every three seconds (title and game-over screens) and pauses
        // once every 20 seconds.
        local f = soak ? frame % 1200 : frame;
        if (key == Key.START) return soak ? frame % 180 == 30 : frame == 30;
        if (key == Key.PAUSE) return f == pauseAt || f == pauseAt + 40;
        return false;
    }
    // Heads for the lowest star, away from a rock falling onto the basket.
    function think(player, things) {
        local target = null, danger = null;
        foreach (t in things) {
            if (t.kind == "star" && t.y < GROUND && (target == null || t.y > target.y)) target = t;
            if (t.kind == "rock" && t.y > 300 && abs(t.x - player.x) < 56) danger = t;
        }
        if (danger != null) want = danger.x > player.x ? -1 : 1;
        else if (target != null && abs(target.x - player.x) > 6) want = target.x > player.x ? 1 : -1;
        else want = 0;
    }
}
local control = demo ? DemoPad(280) : pad;

// ---- the game ----------------------------------------------------------------------------
local random = Math.Random(demo ? 17 : Math.Random().nextInt());
local best = loadBest();
local state = "title";
local paused = false;
local frame = 0;
local score = 0, lives = 3, level = 1;
local player = { x = W / 2, y = GROUND - 16, flash = 0 };
local things = [];
local sparks = [];
local lastMouse = Input.getCursorPosition();
local gray = Graphics.Effect2D.Gray();
local fillRed = Graphics.Effect2D.Fill([255, 90, 90]);
local sepia = Graphics.Effect2D.Sepia();
local screen = Graphics.getScreenCanvas();

// Twinkling background stars, fixed for the run.
local skyDots = [];
local dotRandom = Math.Random(5);
for (local i = 0; i < 48; ++i)
    skyDots.append({ x = dotRandom.nextInt(W), y = dotRandom.nextInt(GROUND - 40),
                     s = dotRandom.nextInt(4, 12), p = dotRandom.nextInt(120) });

function startGame() {
    score = 0; lives = 3; level = 1; things = []; sparks = [];
    player.x = W / 2; player.flash = 0;
    state = "play";
    playEffect(snd.start);
    if (snd.music != null) {
        snd.music.loop();
        music.fade(60, 0.0, 0.7); // fades in over a second
    }
}

function gameOver() {
    state = "over";
    music.fadeOut(90);
    if (score > best) {
        best = score;
        saveBest(best);
    }
}

function spawn() {
    local rockChance = 20 + level * 6;
    local kind = random.nextInt(99) < rockChance ? "rock" : "star";
    local speed = 2.0 + level * 0.5 + random.nextInt(10) / 10.0;
    things.append({ kind = kind, x = random.nextInt(20, W - 20), y = -20.0, vy = speed,
                    spin = random.nextInt(-8, 8) / 100.0, angle = 0.0 });
}

function burst(x, y) {
    for (local i = 0; i < 10; ++i) {
        local a = i * PI / 5;
        sparks.append({ x = x.tofloat(), y = y.tofloat(), vx = cos(a) * 3, vy = sin(a) * 3 - 1, life = 30 });
    }
}

function updatePlay() {
    if (control.isPushed(Key.PAUSE)) {
        paused = !paused;
        if (paused) music.pause(); else music.restart();
    }
    if (paused) return;

    local speed = 7;
    if (control.isPressed(Key.LEFT)) player.x -= speed;
    if (control.isPressed(Key.RIGHT)) player.x += speed;
    if (!demo) {
        local mouse = Input.getCursorPosition();
        if (mouse[0] != lastMouse[0] && mouse[0] >= 0 && mouse[0] < W) player.x = mouse[0];
        lastMouse = mouse;
    }
    player.x = player.x < 32 ? 32 : player.x > W - 32 ? W - 32 : player.x;
    if (player.flash > 0) --player.flash;

    level = 1 + score / 100;
    if (frame % (level > 6 ? 10 : 30 - level * 3) == 0) spawn();

    local basket = Collision.Rectangle(player.x - 28, player.y - 12, player.x + 28, player.y + 4);
    local kept = [];
    foreach (t in things) {
        t.y += t.vy;
        t.angle += t.spin;
        local shape = Collision.Circle(t.x, t.y.tointeger(), t.kind == "star" ? 12 : 11);
        // After a hit the basket blinks for half a second and rocks pass through it.
        if (Collision.intersects(shape, basket) && (t.kind == "star" || player.flash == 0)) {
            if (t.kind == "star") {
                score += 10;
                playEffect(snd.catchStar);
                burst(t.x, t.y);
            } else {
                --lives;
                player.flash = 30;
                playEffect(snd.hit);
                if (lives <= 0) gameOver();
            }
        } else if (t.y < H + 20) {
            kept.append(t);
        }
    }
    things = kept;
}

function updateSparks() {
    local kept = [];
    foreach (s in sparks) {
        s.x += s.vx; s.y += s.vy; s.vy += 0.15;
        if (--s.life > 0) kept.append(s);
    }
    sparks = kept;
}

// ---- drawing -----------------------------------------------------------------------------
function text(font, str, x, y, colour = [255, 255, 255]) {
    if (font != null) screen.drawText(font, str, [x, y], colour);
}
function centred(font, str, y, colour = [255, 255, 255]) {
    if (font != null) screen.drawText(font, str, [(W - font.getWidth(str)) / 2, y], colour);
}

function drawWorld(effect) {
    screen.drawImage(img.sky, [0, 0, W, H], null, null, null, Graphics.Blend.NONE, effect);
    foreach (d in skyDots) {
        local a = 60 + ((frame + d.p) % 120 < 60 ? (frame + d.p) % 60 : 60 - (frame + d.p) % 60) * 3;
        screen.drawImage(img.glow, [d.x, d.y, d.x + d.s, d.y + d.s], null, null, [a, 200, 210, 255],
                         Graphics.Blend.ADD, effect);
    }
    screen.drawRectangle([0, GROUND, W, H], Graphics.Paint.FILL, [40, 30, 60]);
    screen.drawLines([[0, GROUND, 0x7A68B8FF], [W, GROUND, 0x7A68B8FF]]);
    foreach (t in things) {
        local x = t.x, y = t.y.tointeger();
        if (t.kind == "star") {
            screen.drawImage(img.glow, [x - 24, y - 24, x + 24, y + 24], null, null, [150, 255, 220, 120],
                             Graphics.Blend.ADD, effect);
            screen.drawImage(img.star, [x - 14, y - 14], null, [t.angle, 14, 14], null, null, effect);
        } else {
            screen.drawImage(img.rock, [x - 13, y - 13], null, [t.angle * 3, 13, 13], null, null, effect);
        }
    }
    foreach (s in sparks) {
        local x = s.x.tointeger(), y = s.y.tointeger(), a = s.life * 8;
        screen.drawImage(img.glow, [x - 8, y - 8, x + 8, y + 8], null, null, [a, 255, 230, 140],
                         Graphics.Blend.ADD, effect);
    }
    local basketEffect = player.flash > 0 && (player.flash / 4) % 2 == 0 ? fillRed : effect;
    screen.drawImage(img.basket, [player.x - 32, player.y - 16], null, null, null, null, basketEffect);
}

function drawHud() {
    screen.drawPanel(img.panel, [8, 8, 232, 76], null, null, [230, 255, 255, 255]);
    text(fontText, format("SCORE %5d", score), 22, 18);
    text(fontSmall, format("BEST  %5d", best), 22, 46, [255, 220, 210, 255]);
    for (local i = 0; i < lives; ++i)
        screen.drawImage(img.star, [W - 40 - i * 32, 16, W - 16 - i * 32, 40], null, null, [255, 255, 120, 120]);
    text(fontSmall, "LEVEL " + level, W - 104, 48, [255, 200, 200, 230]);
}

function drawTitle() {
    drawWorld(null);
    screen.drawPanel(img.panel, [120, 90, 520, 380]);
    local glowA = 120 + (frame % 60 < 30 ? frame % 30 : 30 - frame % 30) * 4;
    screen.drawImage(img.glow, [200, 80, 440, 230], null, null, [glowA, 255, 220, 120], Graphics.Blend.ADD);
    if (fontTitle != null) {
        local t = "星あつめ";
        screen.drawText(fontTitle, t, [(W - fontTitle.getWidth(t)) / 2, 120], [255, 255, 230, 120], null,
                        [255, 255, 150, 60]);
    }
    centred(fontBig, "Catch the Stars", 200, [255, 255, 255]);
    centred(fontSmall, "星をひろって、岩をよけよう", 248, [255, 210, 200, 255]);
    if ((frame / 30) % 2 == 0) centred(fontText, "Press Enter / Space / Click", 292, [255, 255, 240]);
    centred(fontSmall, "← → / A D / mouse / joystick    P・Esc: pause", 330, [255, 180, 180, 220]);
    centred(fontSmall, "BEST " + best, 352, [255, 255, 220, 150]);
}

function drawPause() {
    drawWorld(gray); // the frozen scene in gray under the panel
    drawHud();
    screen.drawRectangle([0, 0, W, H], Graphics.Paint.FILL, [110, 0, 0, 0]);
    screen.drawPanel(img.panel, [180, 170, 460, 300]);
    centred(fontBig, "一時停止", 188, [255, 255, 255]);
    centred(fontText, "PAUSED", 232, [255, 255, 230, 150]);
    centred(fontSmall, "P / Esc: continue", 266, [255, 200, 200, 230]);
}

function drawOver() {
    drawWorld(sepia);
    drawHud();
    screen.drawPanel(img.panel, [160, 150, 480, 330]);
    centred(fontBig, "ゲームオーバー", 170, [255, 255, 200, 200]);
    centred(fontText, "SCORE " + score + (score >= best && score > 0 ? "  NEW BEST!" : ""), 222);
    centred(fontSmall, "BEST " + best, 256, [255, 255, 220, 150]);
    if ((frame / 30) % 2 == 0) centred(fontSmall, "Enter: title", 290, [255, 210, 210, 255]);
}

// ---- the frame loop ----------------------------------------------------------------------
local overFrames = 0;
while (true) {
    ++frame;
    control.update();
    if (demo) control.think(player, things);

    if (state == "title") {
        if (control.isPushed(Key.START)) startGame();
    } else if (state == "play") {
        updatePlay();
    } else if (state == "over") {
        ++overFrames;
        if (control.isPushed(Key.START) && overFrames > 30) { state = "title"; overFrames = 0; }
    }
    if (!paused) updateSparks();

    screen.begin();
    if (state == "title") drawTitle();
    else if (state == "play" && paused) drawPause();
    else if (state == "play") { drawWorld(null); drawHud(); }
    else drawOver();
    screen.end();
    if (shots && (frame == 20 || frame == 240 || frame == 300))
        Graphics.saveImage("shot-" + frame + ".png", screen);

    if (demo) {
        if (frame % (soak ? 3600 : 150) == 0)
            println(format("frame %d: %s score %d lives %d things %d%s", frame, state, score, lives,
                           things.len(), paused ? " paused" : ""));
        if (soak) {
            if (state == "over" && overFrames == 1) saveBest(score > best ? score : best);
            if (frame % 60 == 0 && IO.existsFile("soak-stop")) {
                println("soak over after " + frame + " frames");
                exit();
            }
        } else if (frame >= DEMO_FRAMES) {
            if (score > best) { best = score; saveBest(best); }
            println("demo over: score " + score + ", best " + loadBest());
            exit();
        }
    }
    Util.fwait(60);
}
