#!/usr/bin/env bash
# Makes the pictures and sounds of the catch example again (ImageMagick and sox).
# The results are committed in media/, so running this is needed only to change them.
set -euo pipefail
cd "$(dirname "$0")/media"
export SOURCE_DATE_EPOCH=0

# Night sky: a vertical gradient, stretched to the window by the game.
convert -size 16x120 gradient:'#0b1030'-'#3a2a5a' -strip PNG32:sky.png
# The player: a little basket with a rim.
convert -size 64x32 xc:none -fill '#c98a3c' -stroke '#6b4420' -strokewidth 2 \
    -draw 'polygon 4,8 60,8 52,30 12,30' -fill '#e8b060' -draw 'rectangle 2,4 62,10' \
    -stroke '#8a5a2a' -draw 'line 20,12 24,28' -draw 'line 32,12 32,28' -draw 'line 44,12 40,28' \
    -strip PNG32:basket.png
# A star to catch.
convert -size 28x28 xc:none -fill '#ffd84a' -stroke '#fff4b0' -strokewidth 1 \
    -draw 'polygon 14,1 17,10 27,10 19,16 22,26 14,20 6,26 9,16 1,10 11,10' -strip PNG32:star.png
# A rock to dodge.
convert -size 26x26 xc:none -fill '#7a6f80' -stroke '#3b3340' -strokewidth 2 \
    -draw 'polygon 6,3 18,2 24,10 22,22 10,24 2,15' -fill '#9d93a6' -stroke none \
    -draw 'circle 10,9 12,10' -strip PNG32:rock.png
# A soft glow, drawn with additive blending behind stars and on a catch.
convert -size 32x32 radial-gradient:'#ffffff'-'#000000' -colorspace sRGB \
    \( +clone -channel RGB -evaluate set 100% +channel \) +swap -alpha off -compose CopyOpacity -composite \
    -strip PNG32:glow.png
# The nine-slice panel: rounded frame in 3x3 cells of 12 pixels.
convert -size 36x36 xc:none -fill '#1a1638e0' -stroke '#c8b8ff' -strokewidth 2 \
    -draw 'roundrectangle 1,1 34,34 8,8' -strip PNG32:panel.png

# Sounds: short effects and a small looping tune, mono 22 kHz Ogg Vorbis.
sox -n -r 22050 -c 1 catch.ogg synth 0.12 sine 880:1760 fade 0 0.12 0.08 vol 0.6
sox -n -r 22050 -c 1 hit.ogg synth 0.25 brownnoise synth 0.25 sine amod 40 fade 0 0.25 0.2 vol 0.8
sox -n -r 22050 -c 1 start.ogg synth 0.08 sine 660 : synth 0.08 sine 880 : synth 0.16 sine 1320 fade 0 0.16 0.1
# The tune: a pentatonic phrase over a soft bass, eight beats of 0.25 s, repeated by the game.
sox -n -r 22050 -c 1 -t wav /tmp/catch-melody.wav \
    synth 0.25 pluck E5 : synth 0.25 pluck G5 : synth 0.25 pluck A5 : synth 0.25 pluck C6 : \
    synth 0.25 pluck A5 : synth 0.25 pluck G5 : synth 0.25 pluck E5 : synth 0.25 pluck D5
sox -n -r 22050 -c 1 -t wav /tmp/catch-bass.wav \
    synth 1 sine A2 fade 0 1 0.3 : synth 1 sine F2 fade 0 1 0.3
sox -m -v 0.7 /tmp/catch-melody.wav -v 0.5 /tmp/catch-bass.wav -C 0 music.ogg
rm -f /tmp/catch-melody.wav /tmp/catch-bass.wav
ls -l
