include("loop.nut");
