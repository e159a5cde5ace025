// Collision in the runner: a ball moved frame by frame until it meets a wall, a laser
// segment swept across targets, the rule edge cases, and the constructor errors.

function error(f) {
    try {
        f();
    } catch (e) {
        return e;
    }
    return "no error";
}

// A ball of radius 5 moves 3 pixels a frame towards a wall whose left edge is at x = 50.
local ball = Collision.Circle([0, 20], 5);
local wall = Collision.Rectangle(60, 0, 50, 40); // given right to left: normalised
local frame = 0;
while (!Collision.intersects(ball, wall)) {
    ball.x += 3;
    ++frame;
    suspend();
}
println("ball meets the wall in frame " + frame + " at x " + ball.x + " (wall " + wall.left + ".." + wall.right + ")");

// A laser from the origin sweeps down; each target is hit from the first angle that reaches it.
local targets = [Collision.Point(50, 10), Collision.Rectangle([70, 30], [90, 40]),
                 Collision.Circle([80, 70, 6]), Collision.Line([60, 100], [100, 90])];
local laser = Collision.Line(0, 0, 100, 0);
local hits = [];
foreach (t in targets) hits.append(-1);
for (local y = 0; y <= 120; y += 2) {
    laser.ey = y;
    foreach (i, t in targets) {
        if (hits[i] < 0 && Collision.intersects(laser, t)) hits[i] = y;
    }
}
local s = "";
foreach (h in hits) s += " " + h;
println("laser hits at" + s);

local cases = [
    ["point on rectangle corner", Collision.Point(5, 5), Collision.Rectangle(0, 0, 5, 5)],
    ["point 7.07 from circle", Collision.Point(5, 5), Collision.Circle(0, 0, 5)],
    ["point on circle", Collision.Point(3, 4), Collision.Circle(0, 0, 5)],
    ["segment end", Collision.Line(0, 0, 10, 0), Collision.Point(10, 0)],
    ["segment start", Collision.Line(0, 0, 10, 0), Collision.Point(0, 0)],
    ["collinear apart", Collision.Line(0, 0, 1, 0), Collision.Line(5, 0, 6, 0)],
    ["crossing", Collision.Line(0, 0, 10, 10), Collision.Line(0, 10, 10, 0)],
    ["tangent segment", Collision.Line(-10, 5, 10, 5), Collision.Circle(0, 0, 5)],
    ["start on circle", Collision.Line(5, 0, 10, 0), Collision.Circle(0, 0, 5)],
    ["shared corner", Collision.Rectangle(0, 0, 10, 10), Collision.Rectangle(10, 10, 20, 20)],
    ["touching circles", Collision.Circle(0, 0, 5), Collision.Circle(10, 0, 5)],
    ["collinear with top edge", Collision.Line(20, 0, 30, 0), Collision.Rectangle(0, 0, 10, 10)],
];
foreach (c in cases) {
    println(c[0] + ": " + Collision.intersects(c[1], c[2]) + " " + Collision.intersects(c[2], c[1]));
}

local r = Collision.Rectangle(10, 10, 0, 0);
println("normalised: " + r.left + " " + r.top + " " + r.right + " " + r.bottom);
local c = Collision.Circle(0, 0, 4);
c.radius = -1;
println("negative radius ignored: " + c.radius);
println(error(@() Collision.Circle(0, 0, -1)));
println(error(@() Collision.Line([0, 0], [1])));
println(error(@() Collision.Point(1, 2, 3)));
println(error(@() Collision.intersects(c, "not a shape")));
