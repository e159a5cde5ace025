// Window and identity of the example.
title = "KoPlayhost — hello";
width = 640;
height = 480;
