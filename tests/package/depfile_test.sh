#!/bin/sh
# Runs the documentation's Makefile on a copy of the demo: the first make
# links, the second finds the image up to date, and touching the project or
# any clip (one with a space in its name among them) relinks.
#
#   depfile_test.sh LINK_TOOL SOURCE_DIR
set -eu
tool=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$src/examples/demo/." "$work/"
cp "$src/docs/examples/Makefile" "$work/"
# A clip whose name needs escaping in the dependency file.
mv "$work/chime.snx" "$work/the chime.snx"
sed -i 's/^W0004=chime.snx/W0004=the chime.snx/' "$work/demo.zlp"

expect() {  # WHAT EXPECTED ACTUAL: the count of commands `make -n` would run
    [ "$2" = "$3" ] || { echo "$1: expected $2 link(s), got $3"; cat "$work/demo.cfo.d"; exit 1; }
}
make -s -C "$work" LINK="$tool"
[ -f "$work/demo.cfo" ] || { echo "no image"; exit 1; }
expect "up to date" 0 "$(make -s -C "$work" LINK="$tool" -n | wc -l)"
for f in demo.zlp beep.snx "the chime.snx" good_morning.snx; do
    sleep 1; touch "$work/$f"
    expect "after touching $f" 1 "$(make -s -C "$work" LINK="$tool" -n | wc -l)"
    make -s -C "$work" LINK="$tool"
done
echo ok
