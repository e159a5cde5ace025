# Two log lines naming where they were written from, CRLF like every text file written.
lines=$(grep -c $'\r$' log.txt)
[ "$lines" = 2 ] || { cat -A log.txt; exit 1; }
grep -q '^\[i\] <game> [0-9/]* [0-9:]* start.nut(23) started' log.txt || { cat -A log.txt; exit 1; }
grep -q '^\[w\] <game> .* start.nut(24) frame 31' log.txt || { cat -A log.txt; exit 1; }
