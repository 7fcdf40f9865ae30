#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, in the sanitized folder) and runs each on its seeds for
# SECONDS (default 60), one after the other, one job each. Prints, per target, executions,
# executions per second, coverage and the input of any crash; exits 1 when one crashed.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]; with QD_FUZZ_RUNS=N each target also stops
# after N executions (whichever comes first).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitized.sh

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
sanitized_build "${targets[@]}" >/dev/null
export QT_QPA_PLATFORM=offscreen

failed=0
printf '%-22s %12s %10s %8s  %s\n' target executions exec/s cov result
for t in "${targets[@]}"; do
    # New inputs go to a working corpus beside the build; the committed seeds stay as they are.
    work="$san_dir/fuzz-work/$t"
    crashes="$san_dir/fuzz-crashes"
    mkdir -p "$work" "$crashes"
    log="$san_dir/fuzz-work/$t.log"
    # The targets that keep one grid view across inputs skip libFuzzer's leak check per input:
    # the view's own state grows, which costs a full heap scan on most inputs (ten times
    # slower). They skip the check at exit too: the view lives to the end of the process, and
    # so do the caches Qt fills lazily for what an input happened to reach (style sheet rules,
    # glyphs, the default collator), which the check would report or not depending on the
    # inputs. The sanitized test suite checks the views for leaks at exit.
    leaks=1
    case "$t" in fuzz_columns | fuzz_grid_layout) leaks=0 ;; esac
    status=0
    ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=$leaks" "$san_dir/fuzz/$t" "$work" "fuzz/corpus/$t" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -detect_leaks="$leaks" -print_final_stats=1 \
        -artifact_prefix="$crashes/$t-" ${QD_FUZZ_RUNS:+-runs="$QD_FUZZ_RUNS"} >"$log" 2>&1 ||
        status=$?
    runs=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    speed=$(grep -ao 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    cov=$(grep -ao 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
    result=ok
    if [ "$status" -ne 0 ]; then
        failed=1
        result="FAILED: $(grep -ao 'Test unit written to .*' "$log" | sed 's/Test unit written to //' || true) (log $log)"
    fi
    printf '%-22s %12s %10s %8s  %s\n' "$t" "${runs:-0}" "${speed:-0}" "${cov:-0}" "$result"
done
exit "$failed"
