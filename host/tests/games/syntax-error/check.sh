# One compile report, nothing printed: the script never ran.
[ "$(wc -l < error.txt)" = 1 ] || { cat error.txt; exit 1; }
grep -Eq '^start\.nut line = \(2\) column = \([0-9]+\) : error ' error.txt || { cat error.txt; exit 1; }
[ ! -s "$OUT" ]
