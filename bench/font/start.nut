// Font benchmark: a screen of Japanese text drawn every frame through one font.
//
//   koplayhost GAME [face=MS Gothic] [size=16] [frames=300] [warmup=30] [misses=10] [rows=5]
//
// Phases, each timed with Util.Timer (whole milliseconds; means are exact to 1/frames ms):
//   font   creating the font and drawing its first glyph (fontconfig and FreeType start-up)
//   empty  frames that only clear the screen (the frame's fixed cost)
//   hit    frames drawing a full screen of text whose glyphs are all cached
//   miss   frames drawing `rows` lines of characters never drawn before (rasterising and
//          packing them into the atlas), `misses` frames of rows x cols new characters each
// One RESULT line per phase; frames run free (halt() once per frame).

local opts = { face = "MS Gothic", size = 16, frames = 300, warmup = 30, misses = 10, rows = 5 };
if ("cmdline" in getroottable()) {
    foreach (i, a in cmdline) {
        local eq = a.find("=");
        if (i > 0 && eq != null && eq > 0) opts[a.slice(0, eq)] <- a.slice(eq + 1);
    }
}
local size = opts.size.tointeger();
local frames = opts.frames.tointeger();
local warmup = opts.warmup.tointeger();
local misses = opts.misses.tointeger();
local missRows = opts.rows.tointeger();

const W = 640;
const H = 480;
local cols = W / size, rows = H / size;

// Kana, kanji, punctuation and ASCII, as a game's dialogue has them.
local source = "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
    + "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。"
    + "Score: 12345 HP 99/99 「はい」「いいえ」　セーブしますか？";
local lines = [];
local at = 0;
for (local r = 0; r < rows; r++) {
    local line = "";
    while (line.len() < cols) {
        line += source.slice(at, at + 1);
        at = (at + 1) % source.len();
    }
    lines.append(line);
}
local glyphsPerFrame = rows * cols;

local canvas = Graphics.getScreenCanvas();
local timer = Util.Timer();

function frame(body) {
    Graphics.clearScreen();
    canvas.begin();
    body();
    canvas.end();
    halt();
}

function result(phase, samples, glyphs) {
    local count = samples.len(), sum = 0, worst = 0;
    foreach (s in samples) { sum += s; if (s > worst) worst = s; }
    local mean = sum.tofloat() / count;
    print(format("RESULT phase=%s frames=%d glyphs_per_frame=%d mean_ms=%.3f max_ms=%d\n",
        phase, count, glyphs, mean, worst));
    return mean;
}

// Runs `count` frames after `skip` untimed ones; returns the frame times.
function run(skip, count, body) {
    local samples = [];
    for (local i = 0; i < skip + count; i++) {
        local t0 = timer.get();
        frame(body);
        if (i >= skip) samples.append(timer.get() - t0);
    }
    return samples;
}

print("INFO engine=koplayhost face=" + opts.face + " size=" + size + "\n");
frame(function() {});                    // the window and the screen canvas are up
print("FIRST_FRAME\n");

local t0 = timer.get();
local font = Graphics.Font(opts.face, size);
frame(function() { canvas.drawText(font, "あ", [0, 0]); });
result("font", [timer.get() - t0], 1);

result("empty", run(warmup, frames, function() {}), 0);

result("hit", run(warmup, frames, function() {
    for (local r = 0; r < rows; r++) canvas.drawText(font, lines[r], [0, r * size]);
}), glyphsPerFrame);

// CJK ideographs from U+4E00 on, skipping any the source text holds, so none is cached.
local next = 0x4E00;
local used = {};
foreach (c in lines) for (local i = 0; i < c.len(); i++) used[c[i]] <- true;
function freshLine() {
    local s = "";
    while (s.len() < cols) {
        if (!(next in used)) s += next.tochar();
        next++;
    }
    return s;
}
local fresh = [];
for (local i = 0; i < misses * missRows; i++) fresh.append(freshLine());
local k = 0;
result("miss", run(0, misses, function() {
    for (local r = 0; r < missRows; r++) canvas.drawText(font, fresh[k++], [0, r * size]);
}), missRows * cols);
return;
