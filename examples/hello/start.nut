// A console example: a ball bounces around the window's area for a few frames, collision
// tests tell when it meets a wall, and the number of runs is kept in a file between starts.

print("Hello from KoPlayhost\n");

local runsFile = "runs.txt";
local runs = IO.existsFile(runsFile) ? IO.readTextFile(runsFile, IO.Encoding.UTF8).tointeger() : 0;
runs += 1;
IO.writeTextFile(runsFile, runs.tostring(), IO.Encoding.UTF8);
printf("run number %d\n", runs);

// Walls are thick, so a fast ball cannot jump over one between two frames.
local walls = {
    top = Collision.Rectangle(-1000, -1000, 1640, 0),
    bottom = Collision.Rectangle(-1000, 479, 1640, 1480),
    left = Collision.Rectangle(-1000, -1000, 0, 1480),
    right = Collision.Rectangle(639, -1000, 1640, 1480),
};
local ball = Collision.Circle(320, 240, 12);
local dx = 37, dy = 23;

for (local frame = 1; frame <= 40; ++frame) {
    ball.x += dx;
    ball.y += dy;
    foreach (name, wall in walls) {
        if (Collision.intersects(ball, wall)) {
            switch (name) {
            case "left": dx = abs(dx); break;
            case "right": dx = -abs(dx); break;
            case "top": dy = abs(dy); break;
            case "bottom": dy = -abs(dy); break;
            }
            printf("frame %2d: the ball hits the %s wall at (%d, %d)\n", frame, name, ball.x, ball.y);
        }
    }
    halt();
}
print("bye\n");
