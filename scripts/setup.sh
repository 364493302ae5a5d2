#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent, and quick when all is there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang clang-format libclang-rt-dev
    qt6-base-dev qt6-serialport-dev libjpeg-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev
    binutils srecord help2man lintian
    libssl-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
