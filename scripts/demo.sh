#!/usr/bin/env bash
# The main job on a fresh machine: installs what is needed, builds the updater and the virtual
# radio, starts the virtual radio as COM 7 (boot code current, holding a 5.9 codeplug, its new
# firmware expecting 5.11), runs a complete update in command-line mode against it, and checks
# what the radio received: the code stream against the build's image, and the codeplug against
# the 5.11 conversion of the one it held.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON >/dev/null
cmake --build build/release --target quillon-updater quillon-radiosim quillon-tool quillon-image-data

bin=$PWD/build/release
work=$(mktemp -d)
radio_pid=""
cleanup() {
    if [ -n "$radio_pid" ]; then kill "$radio_pid" 2>/dev/null || true; wait "$radio_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

export QUILLON_COM_DIR="$work/com"
export XDG_DATA_HOME="$work/data"
export QUILLON_TRACE="$work/trace.log"
mkdir -p "$QUILLON_COM_DIR" "$work/run"

# The codeplug the radio holds: a 5.9 example.
"$bin/tools/quillon-tool" codeplug sample --format 5.9 "$work/radio-5.9.cpl" >/dev/null

"$bin/sim/quillon-radiosim" --com 7 --scenario sim/scenarios/update-normal.json \
    --codeplug "$work/radio-5.9.cpl" --codeplug-out "$work/written.cpl" \
    --code-out "$work/code.bin" --log "$work/frames.log" >"$work/radio.out" &
radio_pid=$!
# The radio prints its device path once it is ready.
for _ in $(seq 50); do
    [ -s "$work/radio.out" ] && break
    sleep 0.1
done
echo "Virtual radio on $(head -n1 "$work/radio.out") as COM7"

echo "== quillon-updater /d /sp 7 /c (console transcript) =="
status=0
(cd "$work/run" && "$bin/app/quillon-updater" /d /sp 7 /c </dev/null) || status=$?
echo
echo "== return code: $status =="

ok=1
echo "== what the radio received =="
if "$bin/tests/app/imagedata/quillon-image-data" CODE "$work/expected-code.bin" &&
   cmp -s <(head -c "$(stat -c %s "$work/expected-code.bin")" "$work/code.bin") "$work/expected-code.bin"; then
    echo "code stream: $(stat -c %s "$work/code.bin") bytes, the image data of this build"
else
    echo "code stream: $(stat -c %s "$work/code.bin" 2>/dev/null || echo 0) bytes, NOT the image data"
    ok=0
fi
"$bin/tools/quillon-tool" codeplug convert --to 5.11 --hard-key "$work/radio-5.9.cpl" \
    "$work/expected-5.11.cpl" >/dev/null
expected_size=$(stat -c %s "$work/expected-5.11.cpl")
if [ -f "$work/written.cpl" ] &&
   cmp -s <(head -c "$expected_size" "$work/written.cpl") "$work/expected-5.11.cpl"; then
    echo "codeplug: the 5.11 conversion of the 5.9 codeplug it held ($expected_size bytes)"
else
    echo "codeplug: NOT the 5.11 conversion of the codeplug it held"
    ok=0
fi
leftovers=$(cd "$work/run" && ls Loader* Code* 2>/dev/null || true)
if [ -n "$leftovers" ]; then
    echo "files left in the working folder: $leftovers"
    ok=0
else
    echo "no image files left in the working folder"
fi
echo "backup of the codeplug read out: $(find "$XDG_DATA_HOME/quillon/backups" -type f 2>/dev/null | head -n1)"
echo "protocol trace: $(wc -l <"$QUILLON_TRACE" 2>/dev/null || echo 0) lines"
if [ "$status" -ne 0 ] || [ "$ok" -ne 1 ]; then
    echo "== frames on the wire (last 40) =="
    tail -n 40 "$work/frames.log"
    exit 1
fi
echo "== the update is complete =="
