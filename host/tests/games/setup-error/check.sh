# A broken setup.nut ends the program before any window or script (expected.out is empty) and
# names the problem in error.txt and on standard error.
[ "$(cat "$ERR")" = "setup.nut does not compile: expression expected" ] || { cat "$ERR"; exit 1; }
