#!/usr/bin/env bash
# Runs one script with the interpreter in a fresh folder and compares its standard output with
# NAME.out and, where NAME.err exists, its standard error with NAME.err, byte for byte.
#   run_script.sh SQ SCRIPT.nut
set -u
sq=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") script=$2
base=${script%.nut}
dir=$(mktemp -d -t sqvm.XXXXXX) || exit 2
trap 'rm -rf "$dir"' EXIT
cp "$script" "$dir/"
(cd "$dir" && timeout 120 "$sq" "$(basename "$script")" >"$dir/stdout" 2>"$dir/stderr" </dev/null)
status=0
if ! cmp -s "$base.out" "$dir/stdout"; then
    echo "stdout differs from $base.out:"
    diff "$base.out" "$dir/stdout" | head -40
    status=1
fi
if [ -f "$base.err" ] && ! cmp -s "$base.err" "$dir/stderr"; then
    echo "stderr differs from $base.err:"
    diff "$base.err" "$dir/stderr" | head -40
    status=1
fi
if [ $status -ne 0 ] && [ ! -f "$base.err" ]; then
    echo "stderr:"
    head -40 "$dir/stderr"
fi
exit $status
