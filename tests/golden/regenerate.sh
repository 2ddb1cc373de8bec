#!/bin/sh
# Rewrites the expected images and logs of the end-to-end tests from the
# current linker, and what the commands of the transcripts (demo.play.txt,
# link.txt, check.txt, inspect.txt, snx.txt, studio.txt) print from the current tools. Run it only
# on purpose, after a change that is meant to alter the output, and check the
# new images by hand (see golden_test.cpp) and the transcripts' differences.
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
    # The library's lines: the tool's summary line after them is left out.
    (cd "$work" && "$tool" --timestamp=1700000000 "$project" out.cfo 2>/dev/null | sed '/^out\.cfo: /d' >"$here/$case.log")
    if [ -f "$work/out.cfo" ]; then cp "$work/out.cfo" "$here/$case.cfo"; else rm -f "$here/$case.cfo"; fi
    rm -rf "$work"
    echo "$case: $(wc -c <"$here/$case.log") bytes of log, $( [ -f "$here/$case.cfo" ] && wc -c <"$here/$case.cfo" || echo no) image bytes"
done
"$inspect" "$here/demo.cfo" >"$here/demo.inspect.txt"

# The transcripts' commands and remarks stay as they are; what the commands
# print is written anew (see transcript_test.cpp).
for name in demo.play link check inspect snx studio; do
    work=$(mktemp -d)
    cp -R "$here/../../examples/demo"/. "$work"/
    cp "$here/demo.cfo" "$work/demo.cfo"
    list=$(mktemp)
    grep -E '^(\$ |#)' "$here/$name.txt" >"$list"
    while IFS= read -r line; do
        printf '%s\n' "$line"
        case $line in '$ '*) ;; *) continue ;; esac
        status=0
        (cd "$work" && unset SOURCE_DATE_EPOCH && PATH=$(dirname "$tool"):$PATH && eval "${line#\$ }" </dev/null 2>&1) || status=$?
        [ "$status" -eq 0 ] || echo "[exit $status]"
    done <"$list" >"$here/$name.txt.new"
    mv "$here/$name.txt.new" "$here/$name.txt"
    rm -rf "$work" "$list"
    echo "$name.txt: $(grep -c '^\$ ' "$here/$name.txt") commands"
done
