#!/bin/sh
# Runs the whole test suite of a plain debug build (no sanitizer) under
# valgrind memcheck with leak checking. Every test fails on any memcheck
# error or definite or indirect leak; the tools the tests start
# (zlt900-link, zlt900-inspect) run under memcheck too. The tests of the
# Windows DLL (label wine) are left out: memcheck would watch only the test
# driver, not the DLL under Wine; so are the tests run through a shell,
# Python, cmake or make (label outside), where it would watch those.
#
#   scripts/memcheck.sh [CTEST-ARGS...]     e.g. -R Pipeline
#
# The logs are in build/debug/Testing/Temporary/MemoryChecker.<test>.log;
# a tool that a test starts writes into the same log and exits with status
# 99 on a finding, which fails the test that checks its exit status.
set -eu
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind is not installed" >&2; exit 2; }
cmake --preset debug >/dev/null
cmake --build --preset debug -j2 >/dev/null
options="--tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect"
options="$options --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --track-origins=yes"
options="$options --trace-children=yes --trace-children-skip=/usr/bin/*,/usr/sbin/*"
ctest --test-dir build/debug -j2 -T memcheck --timeout 1800 --output-on-failure -LE 'wine|outside' \
    --overwrite MemoryCheckCommand="$(command -v valgrind)" \
    --overwrite MemoryCheckCommandOptions="$options" "$@"
