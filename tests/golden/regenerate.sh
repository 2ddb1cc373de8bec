#!/bin/sh
# Rewrites the expected images and logs of the end-to-end tests from the
# current linker, and the output of the zlt900-play commands in demo.play.txt
# from the current player. Run it only on purpose, after a change that is meant to
# alter the output, and check the new images by hand (see golden_test.cpp).
#
#   tests/golden/regenerate.sh [LINK_TOOL]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../../build/asan/zlt900-link}
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
inspect=$(dirname "$tool")/zlt900-inspect
for case in minimal blocks demo; do
    if [ "$case" = demo ]; then src=$here/../../examples/demo; project=demo.zlp; else src=$here/$case; project=project.zlp; fi
    work=$(mktemp -d)
    cp -R "$src"/. "$work"/
    (cd "$work" && "$tool" --timestamp=1700000000 "$project" out.cfo >"$here/$case.log" || true)
    if [ -f "$work/out.cfo" ]; then cp "$work/out.cfo" "$here/$case.cfo"; else rm -f "$here/$case.cfo"; fi
    rm -rf "$work"
    echo "$case: $(wc -c <"$here/$case.log") bytes of log, $( [ -f "$here/$case.cfo" ] && wc -c <"$here/$case.cfo" || echo no) image bytes"
done
"$inspect" "$here/demo.cfo" >"$here/demo.inspect.txt"

# The player's commands stay as they are; what they print is written anew.
play=$(dirname "$tool")/zlt900-play
work=$(mktemp -d)
cp -R "$here/../../examples/demo"/. "$work"/
cp "$here/demo.cfo" "$work/demo.cfo"
grep '^\$ zlt900-play ' "$here/demo.play.txt" | sed 's/^\$ zlt900-play //' >"$work/commands"
while IFS= read -r args; do
    printf '$ zlt900-play %s\n' "$args"
    status=0
    (cd "$work" && eval "\"\$play\" $args" 2>&1) || status=$?
    [ "$status" -eq 0 ] || echo "[exit $status]"
done <"$work/commands" >"$work/play.txt"
mv "$work/play.txt" "$here/demo.play.txt"
rm -rf "$work"
echo "demo.play.txt: $(grep -c '^\$ ' "$here/demo.play.txt") commands"
