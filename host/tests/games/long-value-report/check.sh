# The whole report is a few kilobytes of valid UTF-8, on standard error as in error.txt.
size=$(stat -c %s error.txt)
[ "$size" -lt 8192 ] || { echo "error.txt has $size bytes"; exit 1; }
iconv -f UTF-8 -t UTF-8 error.txt >/dev/null || { echo "error.txt is not valid UTF-8"; exit 1; }
[ "$(stat -c %s "$ERR")" -lt 16384 ] || { echo "standard error has $(stat -c %s "$ERR") bytes"; exit 1; }
