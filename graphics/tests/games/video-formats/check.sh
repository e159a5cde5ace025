# The clips' 440 Hz tone went through the sound engine into OpenAL Soft's wave writer.
set -e
test -s out.wav
peak=$(sox out.wav -n stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
echo "peak $peak"
awk -v p="$peak" 'BEGIN { exit !(p > 0.05) }'
