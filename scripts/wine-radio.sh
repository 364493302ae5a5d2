# Shared by scripts/test-windows.sh and bench/windows-update-cpu.sh (sourced, from the source
# root): one wine prefix under the temp folder with COM7 registered as a stable link, and the
# virtual radio of the Linux build on a fresh pseudo-terminal that COM7 is pointed at.
#   HOST_BUILD: the Linux build (default build/release)

host=${HOST_BUILD:-build/release}
win=$PWD/build/windows
radiosim=$PWD/$host/sim/quillon-radiosim
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
radio_pid=""
cleanup() {
    if [ -n "$radio_pid" ]; then kill "$radio_pid" 2>/dev/null || true; wait "$radio_pid" 2>/dev/null || true; fi
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$wine" wineboot -i >"$work/wineboot.log" 2>&1
# COM7 is a stable link, pointed at the radio's pseudo-terminal of each test.
ln -sfn "$work/no-radio-yet" "$work/com7"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$work/com7" /f >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true
"$wineserver" -p >/dev/null 2>"$work/wineserver.log" </dev/null
# Wine's services start with the first program and keep its descriptors: start them now with
# none of a test's pipes open, or a pipe read to its end would never end.
"$wine" wineboot >/dev/null 2>&1 </dev/null

# start_radio NAME SCENARIO [radiosim options]: the radio on a fresh pty, COM7 pointed at it.
start_radio() {
    local name=$1 scenario=$2
    shift 2
    mkdir -p "$work/$name/com"
    QUILLON_COM_DIR="$work/$name/com" "$radiosim" --com 7 --scenario "$scenario" "$@" \
        --log "$work/$name/frames.log" >"$work/$name/radio.out" 2>"$work/$name/radio.err" &
    radio_pid=$!
    for _ in $(seq 50); do
        [ -s "$work/$name/radio.out" ] && break
        sleep 0.1
    done
    ln -sfn "$(head -n1 "$work/$name/radio.out")" "$work/com7"
}
stop_radio() {
    if [ -n "$radio_pid" ]; then kill "$radio_pid" 2>/dev/null || true; wait "$radio_pid" 2>/dev/null || true; fi
    radio_pid=""
}

