#!/usr/bin/env bash
# CPU seconds per wall-clock second of a whole console update (/d /sp 7 /c against the virtual
# radio on COM7), the Windows updater under wine next to the Linux build's updater, measured in
# one run. The Windows figure counts the program's own process and the wine server's share.
#
#   bench/windows/update-cpu.sh [HOST_BUILD]     (after scripts/build-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
HOST_BUILD=${1:-build/release}
source scripts/wine-radio.sh

# The CPU seconds (user + system) the process `pid` has used so far.
cpu_of() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"
}

"$wine" "$win/tools/quillon-tool.exe" codeplug sample --format 5.9 "Z:$work/radio-5.9.cpl" >/dev/null
# This prefix's wine server: it works in a folder named after the prefix's device and inode.
server_dir=$(printf "server-%x-%x" "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server=""
for pid in $(pgrep -x "$(basename "$wineserver")"); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$server_dir" ]; then server=$pid; fi
done
[ -n "$server" ] || { echo "cannot find the wine server of $WINEPREFIX"; exit 1; }

run() {  # run NAME COMMAND...: prints "cpu wall" of COMMAND and its children
    local name=$1
    shift
    mkdir -p "$work/$name/run"
    start_radio "$name" sim/scenarios/update-normal.json --codeplug "$work/radio-5.9.cpl"
    local server_before
    server_before=$(cpu_of "$server")
    local TIMEFORMAT="%U %S %R"
    local times
    times=$( { time (cd "$work/$name/run" && "$@" </dev/null >/dev/null 2>&1) ; } 2>&1 )
    stop_radio
    local server_after
    server_after=$(cpu_of "$server")
    awk -v t="$times" -v sb="$server_before" -v sa="$server_after" -v n="$name" 'BEGIN {
        split(t, f, " "); cpu = f[1] + f[2]; server = n == "linux" ? 0 : sa - sb;
        printf "%-8s wall %6.1f s  cpu %6.2f s  (wine server %5.2f s)  cpu per wall second %.3f\n",
               n, f[3], cpu + server, server, (cpu + server) / f[3] }'
}

echo "== whole update, CPU seconds per wall second =="
QUILLON_COM_DIR="$work/linux/com" XDG_DATA_HOME="$work/linux/data" run linux \
    "$PWD/$HOST_BUILD/app/quillon-updater" /d /sp 7 /c
run windows "$wine" "$win/app/quillon-updater.exe" /d /sp 7 /c
