#!/bin/sh
# Times the word image of a link against `cat` of the same clip files.
#
#   bench/word_image_bench.sh [MIB] [RUNS]
#
# Builds the bench preset, writes MIB MiB of clips (default 500) into a
# temporary folder under build/ (removed afterwards), and runs RUNS rounds
# (default 3) of: cat of the clips into one file, the same followed by
# `sync` of that file, and the word image driver. Prints the best time of each, the ratios
# link / cat (target at most 1.3) and the peak resident memory of the link
# (target below 32 MiB). The driver's image is fsync'ed before it is renamed
# into place; the ratio without that fsync is printed too.
set -eu

mib=${1:-500}
runs=${2:-3}
root=$(cd "$(dirname "$0")/.." && pwd)

cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target word_image_bench >/dev/null
bench=$root/build/bench/bench/word_image_bench

work=$(mktemp -d "$root/build/word-image-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
"$bench" make "$work" "$mib"

now() { date +%s.%N; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

cat "$work"/clips/*.snx >/dev/null  # the clips start from the page cache in every run
cat_best= sync_best= link_best= copy_best= rss_max=0
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    t0=$(now)
    cat "$work"/clips/*.snx >"$work/cat.out"
    t1=$(now)
    cat_best=$(best "$cat_best" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
    rm -f "$work/cat.out"

    t0=$(now)
    cat "$work"/clips/*.snx >"$work/cat.out"
    sync "$work/cat.out"
    t1=$(now)
    sync_best=$(best "$sync_best" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
    rm -f "$work/cat.out"

    t0=$(now)
    /usr/bin/time -v "$bench" link "$work/bench.zlp" "$work/words.bin" >/dev/null 2>"$work/time.log"
    t1=$(now)
    link_best=$(best "$link_best" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
    copy=$(awk '/^pages/ { print $4 }' "$work/time.log")
    copy_best=$(best "$copy_best" "$copy")
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.log")
    [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    rm -f "$work/words.bin"
done

awk -v mib="$mib" -v runs="$runs" -v c="$cat_best" -v s="$sync_best" -v l="$link_best" \
    -v k="$copy_best" -v r="$rss_max" 'BEGIN {
    printf "clip data         %d MiB, best of %d runs\n", mib, runs
    printf "cat               %.3f s\n", c
    printf "cat + sync        %.3f s\n", s
    printf "link              %.3f s  (word image %.3f s, the rest is mostly the fsync)\n", l, k
    printf "ratio link / cat              %.2f  (target <= 1.3)\n", l / c
    printf "ratio link / (cat + sync)     %.2f\n", l / s
    printf "ratio link without fsync / cat %.2f\n", k / c
    printf "peak RSS of the link          %.1f MiB  (target < 32 MiB)\n", r / 1024
}'
