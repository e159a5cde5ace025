// Font benchmark: a 640x480 window.
title = "font bench";
width = 640;
height = 480;
