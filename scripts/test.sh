#!/usr/bin/env bash
# Installs what the project needs, then builds and runs every test twice: a normal build with
# g++, and an AddressSanitizer + UndefinedBehaviorSanitizer build with clang that also runs the
# fuzz targets for a bounded time. Warnings are errors in both.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

echo "== normal build =="
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
release_status=0
(cd build/release && ctest --output-on-failure -j "$jobs") || release_status=$?

echo "== sanitizer build =="
CC=clang CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQUILLON_WERROR=ON -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON -DQUILLON_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"
sanitize_status=0
(cd build/sanitize && ctest --output-on-failure -j "$jobs") || sanitize_status=$?

echo "== Windows build under wine =="
windows_status=0
(./scripts/build-windows.sh && ./scripts/test-windows.sh build/release) || windows_status=$?

if [ "$release_status" -ne 0 ] || [ "$sanitize_status" -ne 0 ] || [ "$windows_status" -ne 0 ]; then
    echo "FAILED: normal build ctest status $release_status, sanitizer build ctest status $sanitize_status, Windows status $windows_status"
    exit 1
fi
