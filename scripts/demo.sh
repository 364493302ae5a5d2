#!/usr/bin/env bash
# Runs the tool against the built-in virtual radio on a fresh machine: installs what is needed,
# builds, starts the virtual radio as COM 7 in a private folder, and reads the radio's versions
# the way the Retrieve button does. The full firmware update joins this script once the update
# workflow exists.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON >/dev/null
cmake --build build/release --target quillon-tool quillon-radiosim

work=$(mktemp -d)
radio_pid=""
cleanup() {
    if [ -n "$radio_pid" ]; then kill "$radio_pid" 2>/dev/null || true; wait "$radio_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

export QUILLON_COM_DIR="$work/com"
mkdir -p "$QUILLON_COM_DIR"
build/release/sim/quillon-radiosim --com 7 --scenario sim/scenarios/portable-6700.json \
    --log "$work/frames.log" >"$work/radio.out" &
radio_pid=$!
# The radio prints its device path once it is ready.
for _ in $(seq 50); do
    [ -s "$work/radio.out" ] && break
    sleep 0.1
done
echo "Virtual radio on $(head -n1 "$work/radio.out") as COM7"

echo "== COM ports =="
build/release/tools/quillon-tool ports
echo "== Radio versions (COM7) =="
status=0
build/release/tools/quillon-tool info --port 7 || status=$?
echo "== Frames on the wire =="
cat "$work/frames.log"
exit "$status"
