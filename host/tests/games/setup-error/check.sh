# A broken setup.nut ends the program before any window or script (expected.out is empty) and
# names the problem on standard error, not in error.txt.
[ ! -e error.txt ] || { cat error.txt; exit 1; }
[ "$(cat "$ERR")" = "koplayhost: setup.nut does not compile: expression expected" ] || { cat "$ERR"; exit 1; }
