#!/bin/sh
# Builds the fuzz targets and runs each for SECONDS (default 60) on a copy of
# its committed seed corpus. Exits non-zero on the first finding; the input
# that caused it is left in build/fuzz/findings/.
#
#   fuzz/run.sh [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
targets=${*:-$(ls fuzz/corpus)}
for t in $targets; do
    work=build/fuzz/corpus/$t
    mkdir -p "$work" build/fuzz/findings
    cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
    echo "fuzzing $t for ${seconds}s"
    if ! build/fuzz/fuzz/${t}_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$t"- "$work" \
            >build/fuzz/"$t".log 2>&1; then
        tail -n 40 build/fuzz/"$t".log
        echo "fuzz target $t failed"
        exit 1
    fi
    grep -E '^stat::number_of_executed_units' build/fuzz/"$t".log | sed "s/^/$t: /"
done
