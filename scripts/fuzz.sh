#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds (default 60) and prints, per target, the executions
# and the coverage libFuzzer reached (cov: edges, ft: features, from its final statistics).
# Configures and builds a clang fuzz build in build/fuzz when needed; the corpora stay there, so
# a later run starts from what earlier runs found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON -DQUILLON_BENCH=OFF -DQUILLON_APP=OFF >/dev/null
fi
mapfile -t targets < <(ctest --test-dir "$build" -N -R '^fuzz\.' | sed -n 's/^ *Test *#[0-9]*: fuzz\.//p')
nice -n 10 cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

status=0
printf '%-24s %12s %8s %8s  %s\n' target executions cov ft result
for target in "${targets[@]}"; do
    binary=$(find "$build/fuzz" -type f -name "$target" -perm -u+x | head -n 1)
    corpus=$(dirname "$binary")/$target-corpus
    mkdir -p "$corpus"
    log=$(dirname "$binary")/$target.log
    result=ok
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$(dirname "$binary")/" \
        "$corpus" >"$log" 2>&1 || { result="FAILED (see $log)"; status=1; }
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    # The last status line (#N ... cov: C ft: F ...) holds the final coverage.
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    printf '%-24s %12s %8s %8s  %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
exit $status
