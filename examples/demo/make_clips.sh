#!/bin/sh
# Makes the demo's clips from the audio in audio/ with zlt900-snx. The seeds
# fix the clips' key bytes and dither, so the clips, and the demo image, come
# out the same every time.
#
#   examples/demo/make_clips.sh [ZLT900_SNX]
#
# The audio itself was made once with espeak-ng and sox (16-bit WAV, speech
# trimmed of its silence, everything at 0.7 of full scale):
#   espeak-ng -v en-us -s 150 -w raw.wav "Hello"    (and "Good morning")
#   sox raw.wav -r 16000 -b 16 audio/hello.wav silence 1 0.01 0.5% reverse \
#       silence 1 0.01 0.5% reverse gain -n -3
#   sox -n -r 16000 -b 16 audio/beep.wav synth 0.25 sine 880 fade q 0.01 0.25 0.03 gain -n -3
#   sox -n -r 22050 -b 16 audio/chime.wav synth 0.3 sine 1568 sine 2093 remix 1,2 \
#       fade q 0.003 0.3 0.25 gain -n -3
set -eu
here=$(cd "$(dirname "$0")" && pwd)
snx=${1:-}
if [ -z "$snx" ]; then
    for build in release asan debug; do
        if [ -x "$here/../../build/$build/zlt900-snx" ]; then snx=$here/../../build/$build/zlt900-snx; break; fi
    done
fi
[ -n "$snx" ] || { echo "make_clips.sh: build zlt900-snx first, or name it" >&2; exit 2; }
case $snx in */*) snx=$(cd "$(dirname "$snx")" && pwd)/$(basename "$snx") ;; esac
cd "$here"
"$snx" --seed 1 --bits 8 --rate 8000 -o beep.snx audio/beep.wav
"$snx" --seed 2 -o hello.snx audio/hello.wav
"$snx" --seed 3 --rate 11025 -o good_morning.snx audio/good_morning.wav
"$snx" --seed 4 --bits 8 -o chime.snx audio/chime.wav
