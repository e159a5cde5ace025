# The recording holds the tone at full level for a while, then silence after the stop. The
# device records from the library's load, so the tone starts after some silence; under load
# frames run late and every section grows, so sections are found, not timed.
set -e
test -s out.wav
len=$(soxi -D out.wav 2>/dev/null)
seg=0.1
n=$(awk -v l="$len" -v s="$seg" 'BEGIN { print int(l / s) }')
levels=()
for ((i = 0; i < n; ++i)); do
    levels+=("$(sox out.wav -n trim "$(awk -v i="$i" -v s="$seg" 'BEGIN { print i * s }')" "$seg" stat 2>&1 |
        awk '/RMS +amplitude/ { rms = $3 } /Maximum amplitude/ { peak = $3 } END { print rms, peak }')")
done
printf '%s\n' "${levels[@]}" | awk -v n="$n" '
    { rms[NR] = $1; peak[NR] = $2 }
    END {
        run = 0; best = 0; loudEnd = 0
        for (i = 1; i <= n; ++i) {
            if (rms[i] > 0.3) { run++; if (run > best) { best = run; loudEnd = i } } else run = 0
        }
        # the silence after the stop: the last three segments, and none loud after them
        quiet = peak[n] < 0.001 && peak[n - 1] < 0.001 && peak[n - 2] < 0.001
        printf "segments %d, longest full-level run %d, ends at %d, quiet end %d\n", n, best, loudEnd, quiet
        exit !(best >= 4 && quiet && loudEnd < n - 3)
    }'
