#!/usr/bin/env bash
# Remakes the test clips (needs the ffmpeg command; the build and the tests do not). Each clip
# is 2 s at 25 fps, 64x48: red for the first second, blue for the second, with a 440 Hz tone.
set -eu
cd "$(dirname "$0")"
pic='color=c=red:s=64x48:r=25:d=1[a];color=c=blue:s=64x48:r=25:d=1[b];[a][b]concat=n=2'
make() { # out audio-rate video-options... -- audio-options...
    local out=$1 rate=$2; shift 2
    local v=() a=()
    while [ "$1" != -- ]; do v+=("$1"); shift; done
    shift
    a=("$@")
    ffmpeg -loglevel error -y -f lavfi -i "$pic" -f lavfi -i "sine=f=440:d=2:r=$rate" \
        -map 0:v -map 1:a -ac 1 "${v[@]}" "${a[@]}" -t 2 "$out"
}
make mpeg1.mpg 32000 -c:v mpeg1video -b:v 64k -g 12 -- -c:a mp2 -b:a 32k -f mpeg
make mpeg2.mpg 32000 -c:v mpeg2video -b:v 64k -g 12 -bf 2 -- -c:a mp2 -b:a 32k -f vob
make wmv1.wmv 22050 -c:v wmv1 -b:v 64k -- -c:a wmav1 -b:a 24k -f asf
make wmv2.wmv 22050 -c:v wmv2 -b:v 64k -- -c:a wmav2 -b:a 24k -f asf
make mjpeg.avi 8000 -c:v mjpeg -q:v 10 -- -c:a adpcm_ima_wav -f avi
make mpeg4.avi 8000 -c:v mpeg4 -vtag XVID -b:v 64k -- -c:a adpcm_ima_wav -f avi
make msmpeg4v2.avi 8000 -c:v msmpeg4v2 -b:v 64k -- -c:a adpcm_ima_wav -f avi
make msmpeg4v3.avi 8000 -c:v msmpeg4 -b:v 64k -- -c:a adpcm_ima_wav -f avi
make theora.ogv 22050 -c:v libtheora -q:v 5 -- -c:a libvorbis -q:a 0 -f ogg
# A picture without sound.
ffmpeg -loglevel error -y -f lavfi -i "$pic" -c:v mpeg1video -b:v 64k -t 2 -f mpeg silent.mpg
