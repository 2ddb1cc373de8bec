#!/bin/sh
# Rewrites the expected images and logs of the end-to-end tests, the demo's
# inspector listing, and what the commands of the transcripts
# (tests/golden/*.txt) print, from the tools and tests of a build: the tests
# write instead of compare when ZLT_REGENERATE is set. Run it only on purpose,
# after a change that is meant to alter the output; check new images by hand
# (see golden_test.cpp) and read the differences before committing them.
#
#   tests/golden/regenerate.sh [BUILD_DIR]      (default: build/asan)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build/asan}" && pwd)
export ZLT_REGENERATE=1
"$build/tests/zlt900_tests" --gtest_filter='Golden.*'
"$build/zlt900-inspect" "$here/demo.cfo" >"$here/demo.inspect.txt"
"$build/tests/zlt900_exports_tests" --gtest_filter='Golden/Transcript.*'
