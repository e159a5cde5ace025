# The tone is loud while it plays and the recording is silent after the stop.
set -e
test -s out.wav
len=$(soxi -D out.wav)
rms() { sox out.wav -n trim "$1" "$2" stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
peak() { sox out.wav -n trim "$1" "$2" stat 2>&1 | awk '/Maximum amplitude/ { print $3 }'; }
loud=$(rms 0.1 0.3)
quiet=$(peak "$(awk -v l="$len" "BEGIN { print l - 0.3 }")" 0.3)
echo "length $len, rms while playing $loud, peak after the stop $quiet"
awk -v l="$loud" -v q="$quiet" 'BEGIN { exit !(l > 0.15 && q < 0.001) }'
