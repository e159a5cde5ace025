# The screenshot is the last frame: blue background, green square at (10, 20) of 30 x 40.
px() { convert shot.png -format "%[pixel:p{$1,$2}]" info:; }
[ "$(identify -format '%w %h' shot.png)" = "640 480" ] || { identify shot.png; exit 1; }
[ "$(px 0 0)" = "srgba(0,0,255,1)" ] || { px 0 0; exit 1; }
[ "$(px 10 20)" = "srgba(0,255,0,1)" ] || { px 10 20; exit 1; }
[ "$(px 39 59)" = "srgba(0,255,0,1)" ] || { px 39 59; exit 1; }
[ "$(px 40 60)" = "srgba(0,0,255,1)" ] || { px 40 60; exit 1; }
