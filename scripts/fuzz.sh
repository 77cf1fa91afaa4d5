#!/usr/bin/env bash
# Builds the libFuzzer targets (scripts/setup.sh --fuzz) and runs each for SECONDS (default 60),
# two at a time, over a scratch copy of its seed corpus in build-fuzz/corpus/<target>/ (the
# committed corpus in tests/fuzz/corpus/ stays as it is). Whatever a target finds (a crash, a
# sanitizer report, a leak, a timeout, running out of memory) is kept in
# build-fuzz/findings/<target>/; then the script exits with 1.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/setup.sh --fuzz

out=build-fuzz
# The longest input each target is given: room for its largest seed and then some.
declare -A max_len=([configload]=16384 [reading]=8192 [programming]=2048 [snapshot]=20480)
# Tokens that help a target past the words its input must hold.
declare -A dict=([configload]=xml.dict)
export UBSAN_OPTIONS=print_stacktrace=1

run() {
    local target=$1
    rm -rf "$out/corpus/$target" "$out/findings/$target" "$out/tmp/$target"
    mkdir -p "$out/corpus/$target" "$out/findings/$target" "$out/tmp/$target" "$out/logs"
    cp tests/fuzz/corpus/"$target"/* "$out/corpus/$target/"
    local options=()
    [ -z "${dict[$target]:-}" ] || options+=(-dict="tests/fuzz/${dict[$target]}")
    local status=0
    # A target's temporary files stay under build-fuzz/ even when it dies.
    TMPDIR="$out/tmp/$target" "$out/fuzz/$target" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=2048 -max_len="${max_len[$target]:-4096}" -print_final_stats=1 \
        -artifact_prefix="$out/findings/$target/" "${options[@]}" "$out/corpus/$target" \
        >"$out/logs/$target.log" 2>&1 || status=$?
    echo "$status" >"$out/logs/$target.status"
}

targets=()
for program in "$out"/fuzz/*; do targets+=("$(basename "$program")"); done
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n || true; done
    run "$target" &
done
wait

failed=0
printf '%-12s %12s %6s %7s  %s\n' target executions cov ft findings
for target in "${targets[@]}"; do
    log="$out/logs/$target.log"
    status=$(cat "$out/logs/$target.status")
    last=$(grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1 || true)
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    findings=$(find "$out/findings/$target" -type f | wc -l)
    printf '%-12s %12s %6s %7s  %s\n' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$findings"
    if [ "$status" -ne 0 ] || [ "$findings" -gt 0 ]; then
        failed=$((failed + 1))
        grep -m 3 -E 'ERROR|runtime error|broken:|ALARM|out-of-memory' "$log" | sed 's/^/    /' || true
        for f in "$out/findings/$target"/*; do
            [ -e "$f" ] && echo "    reproduce: $out/fuzz/$target $f"
        done
        echo "    log: $log (exit status $status)"
    fi
done
echo "fuzz: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
