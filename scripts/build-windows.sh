#!/usr/bin/env bash
# Builds the Windows console programs (quillon-updater.exe, quillon-tool.exe), their tests and
# the installer with the mingw-w64 cross compiler into build/windows, for running under wine64.
# Installs what it needs first. The images are embedded by the quillon-embed of a build for
# this machine (QUILLON_HOST_BUILD, default build/release; configured without Qt when it is not
# there yet).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64-posix wine64 nsis libgtest-dev cmake ninja-build)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
host=${QUILLON_HOST_BUILD:-build/release}
if [ ! -f "$host/CMakeCache.txt" ]; then
    cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_APP=OFF \
        -DQUILLON_BENCH=OFF >/dev/null
fi
# The Linux programs the Windows checks run beside: the radio, the updater whose usage text the
# Windows one must match, and the image data the radio must receive.
cmake --build "$host" -j "$jobs" --target quillon-embed quillon-radiosim quillon-updater \
    quillon-image-data

cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake \
    -DQUILLON_HOST_EMBED="$PWD/$host/tools/embed/quillon-embed" >/dev/null
cmake --build build/windows -j "$jobs"
(cd build/windows && cpack -G NSIS >/dev/null)  # QuillonCodeUpdater-1.4.8-win64.exe
