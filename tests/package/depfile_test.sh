#!/bin/sh
# Runs the documentation's Makefile on a copy of the demo: the first make
# links, the second finds the image up to date, and the project or any clip
# (one whose name needs escaping among them) newer than the image relinks.
#
#   depfile_test.sh LINK_TOOL SOURCE_DIR
set -eu
tool=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$src/examples/demo/." "$src/docs/examples/Makefile" "$work/"
mv "$work/chime.snx" "$work/the #chime.snx"
sed -i 's/^W0004=chime.snx/W0004=the #chime.snx/' "$work/demo.zlp"

expect() {  # WHAT EXPECTED: the count of commands `make -n` would run
    got=$(make -s -C "$work" LINK="$tool" -n | wc -l)
    [ "$2" = "$got" ] || { echo "$1: expected $2 link(s), got $got"; cat "$work/demo.cfo.d"; exit 1; }
}
make -s -C "$work" LINK="$tool"
expect "up to date" 0
for f in demo.zlp beep.snx "the #chime.snx" good_morning.snx; do
    touch -d @1000000000 "$work"/*; touch "$work/$f"  # only $f is newer than the image
    expect "after touching $f" 1
    make -s -C "$work" LINK="$tool"
done
echo ok
