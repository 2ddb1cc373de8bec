#!/bin/sh
# Times a whole link of a large project against `cat` of its clip files.
#
#   bench/link_bench.sh [MIB] [WORDS] [RUNS]
#
# Builds the bench preset (release), writes MIB MiB of clips (default 500) in
# WORDS clips (default 2048) into a temporary folder under build/ (removed
# afterwards), with a project whose sentences play every word, and runs RUNS
# rounds (default 3) of:
#   - cat of the clips into one file, and the same followed by `sync` of it
#     (the linker fsyncs its image before it renames it into place);
#   - zlt900-link of the project: every stage, every section, the fsync;
#   - the word image driver alone (word table, placing, word image, commit).
# Prints the best time of each, the ratios link / cat and link / (cat + sync),
# and the peak resident memory of the link and of the driver.
set -eu

mib=${1:-500}
words=${2:-2048}
runs=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)

cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target word_image_bench zlt900-link >/dev/null
driver=$root/build/bench/bench/word_image_bench
link=$root/build/bench/zlt900-link

work=$(mktemp -d "$root/build/link-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
"$driver" make "$work" "$mib" "$words"

now() { date +%s.%N; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
# timed OUTVAR COMMAND...: runs COMMAND under /usr/bin/time -v and keeps the
# best wall time in OUTVAR and the largest peak RSS (KiB) in OUTVAR_rss.
timed() {
    var=$1
    shift
    t0=$(now)
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time.log"
    t1=$(now)
    eval "$var=\$(best \"\${$var:-}\" \"\$(awk -v a=$t0 -v b=$t1 'BEGIN { print b - a }')\")"
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.log")
    eval "old=\${${var}_rss:-0}"
    [ "$rss" -gt "$old" ] && eval "${var}_rss=$rss"
    return 0
}

cat "$work"/clips/*.snx >/dev/null  # the clips start from the page cache in every run
cat_best= sync_best= link_best= driver_best=
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    timed cat_best sh -c 'cat "$1"/clips/*.snx >"$1/cat.out"' sh "$work"
    rm -f "$work/cat.out"
    timed sync_best sh -c 'cat "$1"/clips/*.snx >"$1/cat.out" && sync "$1/cat.out"' sh "$work"
    rm -f "$work/cat.out"
    timed link_best "$link" -q "$work/bench.zlp" "$work/out.cfo"
    rm -f "$work/out.cfo"
    timed driver_best "$driver" link "$work/bench.zlp" "$work/words.bin"
    rm -f "$work/words.bin"
done

awk -v mib="$mib" -v words="$words" -v runs="$runs" -v c="$cat_best" -v s="$sync_best" \
    -v l="$link_best" -v d="$driver_best" -v lr="$link_best_rss" -v dr="$driver_best_rss" 'BEGIN {
    printf "clip data                  %d MiB in %d clips, best of %d runs\n", mib, words, runs
    printf "cat                        %.3f s\n", c
    printf "cat + sync                 %.3f s\n", s
    printf "zlt900-link (whole link)   %.3f s\n", l
    printf "word image driver          %.3f s\n", d
    printf "ratio link / cat           %.2f\n", l / c
    printf "ratio link / (cat + sync)  %.2f\n", l / s
    printf "peak RSS of zlt900-link    %.1f MiB\n", lr / 1024
    printf "peak RSS of the driver     %.1f MiB\n", dr / 1024
}'
