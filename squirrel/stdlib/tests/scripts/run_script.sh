#!/usr/bin/env bash
# Runs one script with the interpreter in a fresh folder and compares its
# standard output with the expected text, byte for byte.
#   run_script.sh SQ SCRIPT.nut EXPECTED.out
set -u
sq=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") script=$2 expected=$3
dir=$(mktemp -d -t sqstd.XXXXXX) || exit 2
trap 'rm -rf "$dir"' EXIT
cp "$script" "$dir/"
(cd "$dir" && timeout 60 "$sq" "$(basename "$script")" >"$dir/stdout" 2>"$dir/stderr" </dev/null)
if ! cmp -s "$expected" "$dir/stdout"; then
    echo "output differs from $expected:"
    diff "$expected" "$dir/stdout" | head -40
    echo "stderr:"
    head -40 "$dir/stderr"
    exit 1
fi
