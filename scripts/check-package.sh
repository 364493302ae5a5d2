#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 (a minimal debootstrap root, as root) with
# apt, so its declared dependencies are all it gets, then runs the programs from there: the
# usage texts, the window (offscreen) and a whole update in command-line mode against the
# virtual radio. Takes some minutes (the root is downloaded once and kept in build/deb12-root).
# Usage: sudo scripts/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

root=$PWD/build/deb12-root
command -v debootstrap >/dev/null || { apt-get update -q && apt-get install -y -q debootstrap; }
if [ ! -x "$root/usr/bin/apt-get" ]; then
    rm -rf "$root"
    # debootstrap's own default mirror: no host name is written here.
    debootstrap --variant=minbase bookworm "$root"
fi

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON >/dev/null
cmake --build build/release
rm -rf build/deb-out
(cd build/release && cpack -G DEB -B "$PWD/../deb-out" >/dev/null)
deb=$(ls build/deb-out/*.deb)
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

cleanup() {
    for m in dev/pts dev proc; do umount "$root/$m" 2>/dev/null || true; done
}
trap cleanup EXIT
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/package.deb"

chroot "$root" bash -s <<'EOF'
set -euo pipefail
apt-get update -q >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get install -y -q /tmp/package.deb >/dev/null
quillon-updater /? </dev/null | head -n 1
quillon-tool --help | head -n 1
quillon-radiosim --help | head -n 1
work=$(mktemp -d)
cd "$work"
status=0
QT_QPA_PLATFORM=offscreen timeout 3 quillon-updater 2>/dev/null || status=$?
[ "$status" -eq 124 ] || { echo "the window did not stay open ($status)"; exit 1; }
echo "window: open until closed"

mkdir -p com run
export QUILLON_COM_DIR=$work/com XDG_DATA_HOME=$work/data
quillon-tool codeplug sample --format 5.9 radio.cpl >/dev/null
quillon-radiosim --com 7 --codeplug radio.cpl --codeplug-out written.cpl >radio.out &
radio=$!
for _ in $(seq 50); do [ -s radio.out ] && break; sleep 0.1; done
status=0
(cd run && quillon-updater /d /sp 7 /c </dev/null >../console.txt) || status=$?
kill "$radio"
tail -n 2 console.txt; echo
[ "$status" -eq 0 ] && [ -s written.cpl ] || { echo "update: return code $status"; exit 1; }
echo "update: return code 0, codeplug written back"
rm -rf "$work"
EOF
echo "== the package installs and runs on a clean Debian 12 =="
