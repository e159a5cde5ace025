// A console example: a ball bounces around the window's area at 60 frames per second,
// collision tests tell when it meets a wall, and a small save file keeps the number of runs
// and the best bounce count between starts.

print("Hello from KoPlayhost\n");

local saveFile = "save.txt";
local save = IO.existsFile(saveFile) ? Util.deserialize(IO.readTextFile(saveFile, IO.Encoding.UTF8))
                                     : { runs = 0, bestBounces = 0 };
save.runs += 1;
printf("run number %d\n", save.runs);
Log.i("hello", "run " + save.runs); // only with debug = true in setup.nut

// Walls are thick, so a fast ball cannot jump over one between two frames.
local walls = {
    top = Collision.Rectangle(-1000, -1000, 1640, 0),
    bottom = Collision.Rectangle(-1000, 479, 1640, 1480),
    left = Collision.Rectangle(-1000, -1000, 0, 1480),
    right = Collision.Rectangle(639, -1000, 1640, 1480),
};
// Every run throws the ball in another direction, the same one for the same run number.
local random = Math.Random(save.runs);
local ball = Collision.Circle(320, 240, 12);
local dx = random.nextInt(20, 40) * (random.nextInt(1) ? 1 : -1);
local dy = random.nextInt(15, 30) * (random.nextInt(1) ? 1 : -1);
local bounces = 0;

for (local frame = 1; frame <= 60; ++frame) {
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
            bounces += 1;
            printf("frame %2d: the ball hits the %s wall at (%d, %d)\n", frame, name, ball.x, ball.y);
        }
    }
    Util.fwait(60);
}
save.bestBounces = Math.max(save.bestBounces, bounces);
IO.writeTextFile(saveFile, Util.serialize(save), IO.Encoding.UTF8);
printf("%d bounces this time, %d at best\n", bounces, save.bestBounces);
print("bye\n");
