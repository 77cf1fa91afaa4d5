#!/usr/bin/env bash
# Builds everything and runs every test, in the normal build and under the sanitizers (the
# normal build also makes and checks the Debian package), then runs every fuzz target for 15
# seconds (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
for mode in "" --sanitize; do
    scripts/setup.sh $mode
    build=build
    [ -z "$mode" ] || build=build-sanitize
    echo "== tests in $build"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300
    if [ -z "$mode" ]; then
        echo "== the Debian package"
        deb=$(scripts/package.sh)
        tests/package/check.sh "$deb"
    fi
done
scripts/fuzz.sh 15
