// Every slot with a value of the wrong type or an absurd size.
title = [1, 2, 3];
ID = null;
width = -640;
height = 1e300;
single = "no";
debug = {};
scripts = "notalist.nut";
plugins = 12;
