# Only an archive beside the runner: still a game folder, so no usage text, no report.
[ ! -s "$ERR" ] || { cat "$ERR"; exit 1; }
[ ! -e error.txt ] || { cat error.txt; exit 1; }
