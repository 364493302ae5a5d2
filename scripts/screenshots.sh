#!/usr/bin/env bash
# Pictures of the window for the README: starts the virtual radio as COM 7 and the updater's
# window on a virtual X screen, drives the window with synthetic clicks and keys, and saves
#   docs/screenshots/idle.png     the window at rest, COM 7 chosen
#   docs/screenshots/panel.png    the version panel opened and filled by Retrieve
#   docs/screenshots/running.png  an update in progress (code download)
# then lets the update finish and closes the window. Exits 0 only when all three pictures exist.
set -euo pipefail
cd "$(dirname "$0")/.."

# The X tools this script drives the window with (command:Debian package).
tools=(Xvfb:xvfb xdotool:xdotool xwd:x11-apps xwdtopnm:netpbm)
missing=()
for tool in "${tools[@]}"; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON >/dev/null
cmake --build build/release --target quillon-updater quillon-radiosim quillon-tool

bin=$PWD/build/release
out=$PWD/docs/screenshots
work=$(mktemp -d)
shots="$work/shots"  # copied to $out once all three are there
mkdir -p "$shots"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A display number nobody uses.
display=""
for n in $(seq 90 150); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display number"; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
wait_for 100 xdotool getdisplaygeometry || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

export QUILLON_COM_DIR="$work/com"
export XDG_DATA_HOME="$work/data"
mkdir -p "$QUILLON_COM_DIR" "$work/run"

# The virtual radio on COM 7, holding a 5.9 codeplug.
"$bin/tools/quillon-tool" codeplug sample --format 5.9 "$work/radio-5.9.cpl" >/dev/null
"$bin/sim/quillon-radiosim" --com 7 --scenario sim/scenarios/update-normal.json \
    --codeplug "$work/radio-5.9.cpl" --codeplug-out "$work/written.cpl" \
    --code-out "$work/code.bin" --log "$work/frames.log" >"$work/radio.out" &
pids+=($!)
wait_for 50 test -s "$work/radio.out" || { echo "the virtual radio did not start"; exit 1; }
echo "Virtual radio on $(head -n1 "$work/radio.out") as COM7, X display $display"

(cd "$work/run" && exec "$bin/app/quillon-updater") >"$work/updater.log" 2>&1 &
updater=$!
pids+=("$updater")

# The updater's windows that are shown: the main window and any dialog over it.
windows() { xdotool search --onlyvisible --classname quillon-updater 2>/dev/null || true; }
window_count_above() { [ "$(windows | wc -l)" -gt "$1" ]; }
wait_for 100 window_count_above 0 || { echo "the window did not open"; cat "$work/updater.log"; exit 1; }
window=$(windows | head -n1)

# Clicks at a point of the main window's client area.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
# Saves the main window as a PNG.
capture() {
    xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1"
    echo "took $1"
}
# Waits until no window other than the main one is shown (a modal box has closed).
only_main() { [ "$(windows | wc -l)" -eq 1 ]; }

sleep 1

# COM 7: open the port list and click its seventh item (items 13 pixels high, the first
# centred 7 pixels below the list's top edge).
click 116 254
list=$(windows | grep -vx "$window" | head -n1)
[ -n "$list" ] || { echo "the port list did not open"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$list" | grep -E '^[XY]=')"
xdotool mousemove $((X + 16)) $((Y + 7 + 6 * 13)) click 1
sleep 0.5
capture idle.png

# The version panel (">>"), filled by Retrieve from the radio.
click 388 42
click 548 292
sleep 3
wait_for 200 only_main || true
capture panel.png

# Start asks for the service access code in a modal dialog.
speeds=$(grep -c '^SPEED' "$work/frames.log" || true)
click 204 379
wait_for 50 window_count_above 1 || { echo "no password dialog"; exit 1; }
dialog=$(windows | grep -vx "$window" | head -n1)
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool type --delay 20 pelican
xdotool key Return
# The download begins when the line changes speed; the loader takes half a second, the flash
# erase two, then the code goes for about seven seconds.
speed_changed() { [ "$(grep -c '^SPEED' "$work/frames.log")" -gt "$speeds" ]; }
wait_for 300 speed_changed || { echo "the download did not start"; tail -n 20 "$work/frames.log"; exit 1; }
sleep 5
capture running.png

# Let the update finish (the radio stores the converted codeplug near the end), then close
# the window through File > Exit, answering Yes should it still ask.
if wait_for 900 test -s "$work/written.cpl"; then
    echo "the update wrote the codeplug back"
else
    echo "the update did not finish in time"
fi
sleep 3
for _ in $(seq 5); do
    only_main && break
    xdotool key Return  # a message box at the end of the update
    sleep 0.5
done
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+f x
sleep 1
if window_count_above 1; then
    echo "the window asked before closing; answering Yes"
    xdotool key alt+y
fi
if wait_for 50 bash -c '! xdotool search --onlyvisible --classname quillon-updater'; then
    echo "the window closed"
else
    echo "the window did not close; stopping it"
fi

for picture in idle.png panel.png running.png; do
    [ -s "$shots/$picture" ] || { echo "missing: $picture"; exit 1; }
done
mkdir -p "$out"
cp "$shots"/*.png "$out/"
echo "saved idle.png, panel.png and running.png in docs/screenshots/"
