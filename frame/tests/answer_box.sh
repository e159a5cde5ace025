#!/usr/bin/env bash
# Answers the next top-level window that appears (the message box) with a key press.
#   answer_box.sh KEY READY_FILE STATUS_FILE
# Touches READY_FILE once it knows the windows already there; writes xdotool's exit status to
# STATUS_FILE (1 if no new window came up within 10 s). The box's caption cannot be searched
# for: SDL stores it with a property type xdotool cannot read.
set -u
key=$1 ready=$2 status=$3
list() { xdotool search --maxdepth 1 '' 2>/dev/null | sort; }
before=$(list)
touch "$ready"
for _ in $(seq 1 1000); do
    new=$(comm -13 <(echo "$before") <(list) | head -n1)
    if [ -n "$new" ]; then
        sleep 0.1 # let the box map and draw before the key arrives
        xdotool windowfocus --sync "$new" key "$key"
        echo $? >"$status"
        exit 0
    fi
    sleep 0.01
done
echo 1 >"$status"
