# A broken setup.nut ends the program before any window or script, names the problem on
# standard error and reports nothing in error.txt.
[ ! -s "$OUT" ] || { cat "$OUT"; exit 1; }
[ ! -e error.txt ] || { cat error.txt; exit 1; }
[ "$(wc -l < "$ERR")" = 1 ] && grep -q "setup.nut" "$ERR" || { cat "$ERR"; exit 1; }
