#!/usr/bin/env bash
# Eight virtual radios on eight pseudo-terminals (COM 11 to 18, each holding a 5.9 codeplug of
# its own, boot code current, new firmware expecting 5.11) updated by one `quillon-tool fleet`
# run, against one single update of the same kind. Checks that every radio returned 0, received
# the build's code image and the 5.11 conversion of its codeplug, that a backup was kept for each
# and that the updaters, writing the update log side by side, left one whole line per radio;
# prints the wall times, their ratio and the CPU time per radio per wall second.
#
#   bench/fleet/fleet-bench.sh [BUILD_DIR]      (default build/release, built beforehand)
set -euo pipefail
cd "$(dirname "$0")/../.."
bin=$(realpath "${1:-build/release}")
radios=8
work=$(mktemp -d)
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

export QUILLON_COM_DIR="$work/com" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
mkdir -p "$QUILLON_COM_DIR" "$work/single"
"$bin/tests/app/imagedata/quillon-image-data" CODE "$work/expected-code.bin"

# start_radio N: a radio as COM N with a codeplug of its own (seed N) and serial number N.
start_radio() {
    local n=$1
    "$bin/tools/quillon-tool" codeplug sample --format 5.9 --seed "$n" "$work/held-$n.cpl" >/dev/null
    "$bin/tools/quillon-tool" codeplug convert --to 5.11 --hard-key "$work/held-$n.cpl" \
        "$work/expected-$n.cpl" >/dev/null
    "$bin/sim/quillon-radiosim" --com "$n" --scenario sim/scenarios/update-normal.json \
        --serial "$(printf '%016X' "$n")" --codeplug "$work/held-$n.cpl" \
        --codeplug-out "$work/written-$n.cpl" --code-out "$work/code-$n.bin" >"$work/radio-$n.out" &
    sims+=($!)
    for _ in $(seq 50); do [ -s "$work/radio-$n.out" ] && return; sleep 0.1; done
    echo "radio $n did not start" >&2
    exit 1
}

# received N: whether radio N got the code image and its converted codeplug.
received() {
    local n=$1 size
    size=$(stat -c %s "$work/expected-code.bin")
    cmp -s <(head -c "$size" "$work/code-$n.bin") "$work/expected-code.bin" || return 1
    size=$(stat -c %s "$work/expected-$n.cpl")
    [ -f "$work/written-$n.cpl" ] &&
        cmp -s <(head -c "$size" "$work/written-$n.cpl") "$work/expected-$n.cpl"
}

# One single update (COM 10), as a batch file runs it; its backup and log line kept apart.
start_radio 10
/usr/bin/time -f "%e %U %S" -o "$work/single.time" \
    env XDG_DATA_HOME="$work/single/data" XDG_STATE_HOME="$work/single/state" \
    sh -c "cd '$work/single' && exec '$bin/app/quillon-updater' /d /sp 10 /c </dev/null >/dev/null" ||
    { echo "single update failed"; exit 1; }
received 10 || { echo "single update: the radio did not receive its code and codeplug"; exit 1; }
read -r single_wall single_user single_sys <"$work/single.time"

ports=""
for n in $(seq 11 $((10 + radios))); do
    start_radio "$n"
    ports="${ports:+$ports,}$n"
done
status=0
/usr/bin/time -f "%e %U %S" -o "$work/fleet.time" \
    "$bin/tools/quillon-tool" fleet --ports "$ports" --report "$work/report.json" \
    >"$work/fleet.out" || status=$?
read -r fleet_wall fleet_user fleet_sys <"$work/fleet.time"
sed -n '/^Port/,$p' "$work/fleet.out"

# The update log as `quillon-tool log` reads it: every line a record, one per radio, each
# with return code 0 and a backup that exists.
"$bin/tools/quillon-tool" log >"$work/log.out" 2>"$work/log.err"
ok=0
logged=0
for n in $(seq 11 $((10 + radios))); do
    if received "$n"; then ok=$((ok + 1)); else echo "COM$n: code or codeplug NOT as expected"; fi
    line=$(grep "  COM$n  " "$work/log.out" || true)
    backup=${line##*  backup }
    if [ "$(printf '%s' "$line" | grep -c .)" -eq 1 ] && [[ $line == *"return code 0 ("* ]] &&
        [ -f "$backup" ]; then
        logged=$((logged + 1))
    else
        echo "COM$n: log line NOT as expected: $line"
    fi
done
backups=$(find "$XDG_DATA_HOME/quillon/backups" -type f | wc -l)
loglines=$(wc -l <"$XDG_STATE_HOME/quillon/updates.jsonl")
echo
echo "fleet exit code: $status; radios with their code and converted codeplug: $ok of $radios"
echo "backups kept: $backups; update log lines: $loglines, of them one per radio as expected:" \
    "$logged of $radios"
[ -s "$work/log.err" ] && cat "$work/log.err"
awk -v sw="$single_wall" -v su="$single_user" -v ss="$single_sys" \
    -v fw="$fleet_wall" -v fu="$fleet_user" -v fs="$fleet_sys" -v n="$radios" 'BEGIN {
    printf "single update: %.2f s wall, %.3f CPU s (%.4f CPU s per wall s)\n", sw, su + ss, (su + ss) / sw
    printf "fleet of %d:    %.2f s wall, %.3f CPU s with its updaters\n", n, fw, fu + fs
    printf "wall time ratio fleet / single: %.3f (target 1.2)\n", fw / sw
    printf "CPU per radio: %.4f CPU s per wall s (target 0.02)\n", (fu + fs) / n / fw
}'
[ "$status" -eq 0 ] && [ "$ok" -eq "$radios" ] && [ "$logged" -eq "$radios" ] &&
    [ "$loglines" -eq "$radios" ] && [ "$backups" -eq "$radios" ] && [ ! -s "$work/log.err" ]
