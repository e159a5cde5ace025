// Collision in the runner as a game uses it: a ball moved frame by frame until it meets a
// wall, and a laser segment swept across targets. The rules and the constructors are tested
// natively and by the library's script test.

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
