// Window and identity of the example game.
title = "星あつめ — Catch the Stars";
width = 640;
height = 480;
