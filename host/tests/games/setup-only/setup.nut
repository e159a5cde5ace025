// No start.nut: the included scripts are the whole game.
title = "setup only";
scripts = ["intro.nut", "more.nut"];
