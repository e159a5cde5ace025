// The 3D classes as a game uses them: models from files, actors, a camera, fog, drawWorld.
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function rgb(c, x, y) {
    local d = c.getImageData(x, y, 1, 1).data;
    return [d[2], d[1], d[0]];
}
function near(a, b) {
    foreach (i, v in a) if (abs(v - b[i]) > 3) return false;
    return true;
}
function show(a) {
    if (a == null) return "null";
    local s = "[";
    foreach (i, v in a) s += (i ? ", " : "") + (typeof v == "float" ? format("%.4f", v) : v);
    return s + "]";
}

// The camera's defaults and setters.
local cam = Graphics.Camera();
println("camera: " + show(cam.getPosition()) + " " + show(cam.getLook()) + " " + show(cam.getUp()));
println("fov " + format("%.7f", cam.getFov()) + " aspect " + format("%.7f", cam.getAspect()) +
        " near " + cam.getNear() + " far " + cam.getFar());
println("setAspect(640, 480): " + cam.setAspect(640, 480) + " " + format("%.7f", cam.getAspect()));
println("setAspect(2.5): " + cam.setAspect(2.5) + " " + cam.getAspect());
println("setPosition([1, 2]): " + cam.setPosition([1, 2]) + ", ([1, 2, \"z\"]): " +
        cam.setPosition([1, 2, "z"]) + ", (1, 2, 3): " + cam.setPosition(1, 2, 3) + " " + show(cam.getPosition()));
println("setLook([4, 5, 6]): " + cam.setLook([4, 5, 6]) + " " + show(cam.getLook()));
println(err(@() cam.setPosition(1, 2)));
println(err(@() Graphics.Camera(1)));

// Worlds make actors; a file that is no model gives null.
local world = Graphics.World();
println("missing: " + world.createActor("missing.mqo") + ", broken: " + world.createActor("broken.mqo") +
        ", huge number: " + world.createActor("huge.mqo"));
println(err(@() world.createActor()));
println(err(@() world.createActor(1)));
println(err(@() Graphics.Actor()));
local a = world.createActor("models/ship.mqo");
local b = world.createActor("models/ship.mqo");
println("actor: " + (a instanceof Graphics.Actor) + " released " + a.isReleased() + " visible " + a.isVisible() +
        " clipping " + a.isClipping() + " priority " + a.getPriority());
println("position " + show(a.getPosition()) + " rotation " + show(a.getRotation()) + " scale " + show(a.getScale()));
println("hull diffuse " + show(a.getDiffuse(0)) + " deck diffuse " + show(a.getDiffuse(1)) + " subset 2: " + show(a.getDiffuse(2)));
println("ambient " + show(a.getAmbient(0)) + " power " + a.getPower(0));
println("setDiffuse: " + a.setDiffuse(1, [255, 0, 0]) + " " + show(a.getDiffuse(1)) + ", the other actor " + show(b.getDiffuse(1)));
println("setDiffuse(9, ...): " + a.setDiffuse(9, [1, 2, 3]) + ", bad colour: " + a.setDiffuse(1, [1, 2]));
println("setScale([2, 1, 1]): " + a.setScale([2, 1, 1]) + " " + show(a.getScale()) + ", setRotation(0, 0, 1.5): " +
        a.setRotation(0, 0, 1.5) + " " + show(a.getRotation()));
a.setScale(1, 1, 1);
a.setRotation([0, 0, 0]);
a.setDiffuse(1, [255, 255, 255]);

// Fog.
println(err(@() Graphics.Effect3D.Fog([1, 2], 1, 2)));
println(err(@() Graphics.Effect3D.Fog([1], 1, 2)));
println(err(@() Graphics.Effect3D.Fog([1, 2, 3])));
local fog = Graphics.Effect3D.Fog([255, 0, 0], 10, 50);
println("fog " + show(fog.getColor()) + " " + fog.getNear() + " " + fog.getFar());
println("fog setColor([9, 1, 2, 3]): " + fog.setColor([9, 1, 2, 3]) + " " + show(fog.getColor()) + ", [1]: " + fog.setColor([1]));

// Drawing: the camera looks at the front face, which wears the hull texture.
local c = Graphics.Canvas(64, 64);
cam = Graphics.Camera();
cam.setPosition(0, 0, -5);
cam.setLook(0, 0, 0);
cam.setAspect(64, 64);
b.release();
println("drawWorld outside begin: " + c.drawWorld(world, cam));
c.clear([255, 0, 0, 0]);
c.begin();
println("drawWorld: " + c.drawWorld(world, cam) + ", no world: " + c.drawWorld(null, cam));
println(err(@() c.drawWorld(world)));
c.end();
// White hull stripe: diffuse (204, 101, 0) lit by 0.789; blue stripe: that times (64, 128, 255).
local top = rgb(c, 26, 32), bottom = rgb(c, 38, 32);
println("hull: " + (near(top, [161, 80, 0]) || near(bottom, [161, 80, 0])) + " stripe: " +
        (near(top, [40, 40, 0]) || near(bottom, [40, 40, 0])) + " corner " + show(rgb(c, 1, 1)));

// The texture off, the hull colour back to white: the front face is lit, the top face too,
// the bottom (seen from below) turned away.
a.setTexture(0, 0, null);
a.setDiffuse(0, [255, 255, 255]);
c.clear([255, 0, 0, 0]);
c.begin();
c.drawWorld(world, cam);
c.end();
println("untextured front " + show(rgb(c, 32, 32)));
cam.setPosition(0, -5, -5);
c.clear([255, 0, 0, 0]);
c.begin();
c.drawWorld(world, cam);
c.end();
println("from below: front " + show(rgb(c, 32, 24)) + " bottom " + show(rgb(c, 32, 36)));

// A texture from a canvas; hidden actors and those behind the camera are not drawn.
local paint = Graphics.Canvas(4, 4);
paint.clear([0, 255, 0]);
println("setTexture(canvas): " + a.setTexture(0, 0, paint) + ", stage 4: " + a.setTexture(0, 4, paint));
cam.setPosition(0, 0, -5);
c.begin();
c.drawWorld(world, cam);
c.end();
println("canvas texture " + show(rgb(c, 32, 32)));
a.setVisible(false);
c.clear([255, 0, 0, 0]);
c.begin();
c.drawWorld(world, cam);
c.end();
println("hidden: " + show(rgb(c, 32, 32)));
a.setVisible(true);
a.setPosition(0, 0, -20);
a.setClipping(true);
c.begin();
c.drawWorld(world, cam);
c.end();
println("behind the camera: " + show(rgb(c, 32, 32)));

// Fog on the front face: far away it turns to the fog colour.
a.setPosition(0, 0, 0);
a.setTexture(0, 0, null);
println("setEffect: " + a.setEffect(0, fog) + ", subset 7: " + a.setEffect(7, fog));
fog.setColor([0, 0, 255]);
fog.setNear(2);
fog.setFar(30);
c.clear([255, 0, 0, 0]);
c.begin();
c.drawWorld(world, cam);
c.end();
local near4 = rgb(c, 32, 32);
a.setPosition(0, 0, 20);
c.clear([255, 0, 0, 0]);
c.begin();
c.drawWorld(world, cam);
c.end();
local far24 = rgb(c, 32, 32);
println("fog near " + show(near4) + " far " + show(far24));
print("released: " + a.isReleased());
a.release();
println(" -> " + a.isReleased());
