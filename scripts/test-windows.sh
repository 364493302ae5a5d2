#!/usr/bin/env bash
# Runs the Windows programs of build/windows under wine64 against the virtual radio of the
# Linux build, on a pseudo-terminal registered with wine as COM7: a whole console update
# (/d /sp 7 /c returns 0, the radio holds the build's code and the 5.11 conversion of its
# codeplug, the backup is under %LOCALAPPDATA%), a silent radio (returns 1), the usage text
# (byte for byte as the Linux build's), quillon-tool ports / codeplug read / write, and the
# unit tests built for Windows. One wine prefix for the whole run, under the temp folder.
#
#   scripts/test-windows.sh [HOST_BUILD]      (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

HOST_BUILD=${1:-build/release}
failures=0
pass() { echo "PASS $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

echo "== wine prefix =="
# shellcheck source=scripts/wine-radio.sh
source scripts/wine-radio.sh

echo "== usage text =="
if [ -x "$host/app/quillon-updater" ] &&
   cmp -s <("$host/app/quillon-updater" '/?' </dev/null 2>&1) <("$wine" "$win/app/quillon-updater.exe" '/?' </dev/null 2>&1); then
    pass "quillon-updater.exe /? prints the Linux build's usage text byte for byte"
elif [ ! -x "$host/app/quillon-updater" ]; then
    fail "no Linux quillon-updater in $host to compare the usage text with"
else
    fail "quillon-updater.exe /? differs from the Linux build's usage text"
fi
if "$wine" "$win/app/quillon-updater.exe" </dev/null | grep -q "this build has no window"; then
    pass "without arguments the Windows updater says it has no window"
else
    fail "without arguments the Windows updater does not say it has no window"
fi

echo "== whole console update on COM7 =="
mkdir -p "$work/update/run"
"$wine" "$win/tools/quillon-tool.exe" codeplug sample --format 5.9 "Z:$work/radio-5.9.cpl" >/dev/null
start_radio update sim/scenarios/update-normal.json --codeplug "$work/radio-5.9.cpl" \
    --codeplug-out "$work/update/written.cpl" --code-out "$work/update/code.bin"
status=0
(cd "$work/update/run" && "$wine" "$win/app/quillon-updater.exe" /d /sp 7 /c </dev/null \
    >"$work/update/transcript.txt" 2>&1) || status=$?
stop_radio
[ "$status" -eq 0 ] && pass "update returns 0" || fail "update returns $status"
"$host/tests/app/imagedata/quillon-image-data" CODE "$work/expected-code.bin" 2>/dev/null || true
if [ -s "$work/expected-code.bin" ] &&
   cmp -s <(head -c "$(stat -c %s "$work/expected-code.bin")" "$work/update/code.bin") "$work/expected-code.bin"; then
    pass "the radio received the build's code image"
else
    fail "the radio did not receive the build's code image"
fi
"$wine" "$win/tools/quillon-tool.exe" codeplug convert --to 5.11 --hard-key "Z:$work/radio-5.9.cpl" \
    "Z:$work/expected-5.11.cpl" >/dev/null 2>&1 || true
if [ -s "$work/expected-5.11.cpl" ] && [ -f "$work/update/written.cpl" ] &&
   cmp -s <(head -c "$(stat -c %s "$work/expected-5.11.cpl")" "$work/update/written.cpl") "$work/expected-5.11.cpl"; then
    pass "the radio holds the 5.11 conversion of its codeplug"
else
    fail "the radio does not hold the 5.11 conversion of its codeplug"
fi
backup=$(find "$WINEPREFIX/drive_c/users" -path '*AppData/Local/quillon/backups/*.bin' | head -n1)
[ -n "$backup" ] && pass "backup under %LOCALAPPDATA%: ${backup#"$WINEPREFIX/"}" ||
    fail "no backup under %LOCALAPPDATA%\\quillon\\backups"
log=$(find "$WINEPREFIX/drive_c/users" -path '*AppData/Local/quillon/updates.jsonl' | head -n1)
if [ -n "$log" ] && [ "$(wc -l <"$log")" -eq 1 ] &&
   python3 -c 'import json,sys; r=json.loads(open(sys.argv[1]).read()); sys.exit(r["return_code"] != 0 or r["port"] != 7 or not r["backup"])' "$log"; then
    pass "one update log line under %LOCALAPPDATA%\\quillon (return code 0, port 7, the backup)"
else
    fail "no update log line under %LOCALAPPDATA%\\quillon\\updates.jsonl"
fi

echo "== silent radio =="
start_radio silent sim/scenarios/silent-radio.json
status=0
"$wine" "$win/app/quillon-updater.exe" /d /sp 7 /c </dev/null >"$work/silent.txt" 2>&1 || status=$?
stop_radio
[ "$status" -eq 1 ] && pass "a silent radio gives 1" || fail "a silent radio gives $status"

echo "== quillon-tool.exe =="
start_radio tool sim/scenarios/update-normal.json --codeplug "$work/radio-5.9.cpl" \
    --codeplug-out "$work/tool-written.cpl"
if "$wine" "$win/tools/quillon-tool.exe" ports 2>&1 | grep -q "^COM7"; then
    pass "ports lists COM7"
else
    fail "ports does not list COM7"
fi
if "$wine" "$win/tools/quillon-tool.exe" info --port COM7 >"$work/info.txt" 2>&1 &&
   grep -q "^Radio Serial Number: *12-34-56-78-9A-BC-DE-F0" "$work/info.txt"; then
    pass "info --port COM7 reads the radio's versions and serial number"
else
    fail "info --port COM7 (see below)"
    cat "$work/info.txt" || true
fi
"$wine" "$win/tools/quillon-tool.exe" codeplug read --port 7 "Z:$work/read.cpl" >"$work/read.txt" 2>&1 || true
"$wine" "$win/tools/quillon-tool.exe" codeplug write --port 7 "Z:$work/read.cpl" >"$work/write.txt" 2>&1 || true
stop_radio
# The radio hands out its whole image, the codeplug it was given at its head.
if [ -s "$work/read.cpl" ] &&
   cmp -s <(head -c "$(stat -c %s "$work/radio-5.9.cpl")" "$work/read.cpl") "$work/radio-5.9.cpl" &&
   cmp -s <(head -c "$(stat -c %s "$work/read.cpl")" "$work/tool-written.cpl" 2>/dev/null) "$work/read.cpl"; then
    pass "codeplug read then write round trip byte for byte"
else
    fail "codeplug read/write round trip (see read.txt/write.txt)"
    cat "$work/read.txt" "$work/write.txt" || true
fi

echo "== quillon-tool.exe download =="
# A loader and 16 KiB of code as S-records made by objcopy; the radio keeps what it received.
head -c 16384 /dev/urandom >"$work/code.bin"
head -c 2000 /dev/urandom >"$work/loader.bin"
objcopy -I binary -O srec --srec-len=32 --srec-forceS3 "$work/code.bin" "$work/code.srec"
objcopy -I binary -O srec --srec-len=32 --change-addresses=0x10000 "$work/loader.bin" "$work/loader.srec"
start_radio download sim/scenarios/update-normal.json --code-out "$work/stored.bin"
"$wine" "$win/tools/quillon-tool.exe" download --port 7 --loader "Z:$work/loader.srec" \
    --code "Z:$work/code.srec" >"$work/download.txt" 2>&1 && download_status=0 || download_status=$?
stop_radio
if [ "$download_status" -eq 0 ] && cmp -s <(head -c 16384 "$work/stored.bin") "$work/code.bin"; then
    pass "download sends the code, which the radio stores byte for byte"
else
    fail "download (exit $download_status; see below)"
    cat "$work/download.txt" || true
fi

echo "== installer: silent install and uninstall =="
rm -f "$win"/QuillonCodeUpdater-*-win64.exe
(cd "$win" && cpack -G NSIS >"$work/cpack.log" 2>&1) || { fail "cpack -G NSIS"; cat "$work/cpack.log"; }
installer=$(ls "$win"/QuillonCodeUpdater-*-win64.exe 2>/dev/null | head -n1)
target="$WINEPREFIX/drive_c/Quillon"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillon Code Updater"
if [ -n "$installer" ] && "$wine" "$installer" /S '/D=C:\Quillon' </dev/null >/dev/null 2>&1 &&
   [ -f "$target/quillon-updater.exe" ] && [ -f "$target/quillon-tool.exe" ] &&
   [ -f "$target/README.txt" ] && [ -f "$menu/Quillon Code Updater console.lnk" ] &&
   "$wine" 'C:\Quillon\quillon-updater.exe' '/?' </dev/null >"$work/installed-usage.txt" 2>&1 &&
   head -n1 "$work/installed-usage.txt" | grep -q "^Usage: quillon-updater"; then
    pass "silent install: both programs, README.txt, the Start-menu console entry; the updater runs"
else
    fail "silent install"
fi
# _?= keeps the uninstaller in place and waits for it; it removes everything else.
if [ -f "$target/Uninstall.exe" ] &&
   "$wine" 'C:\Quillon\Uninstall.exe' /S '_?=C:\Quillon' </dev/null >/dev/null 2>&1 &&
   [ ! -e "$target/quillon-updater.exe" ] && [ ! -e "$target/quillon-tool.exe" ] &&
   [ ! -e "$target/README.txt" ] && [ ! -e "$menu" ]; then
    pass "silent uninstall removes the programs, the README and the Start-menu entries"
else
    fail "silent uninstall; left behind:"
    ls -R "$target" "$menu" 2>&1 || true
fi

if [ -f "$win/CTestTestfile.cmake" ]; then
    echo "== unit tests under wine =="
    # The tests share the build's own wine prefix: make it once here, or the first programs
    # started side by side would each begin to make it and one of them fail.
    WINEPREFIX="$win/wine-prefix" "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    (cd "$win" && ctest --output-on-failure -j "$(nproc)") || fail "unit tests under wine"
    WINEPREFIX="$win/wine-prefix" "$wineserver" -k 2>/dev/null || true
fi

if [ "$failures" -ne 0 ]; then
    echo "== $failures Windows check(s) failed; console transcript of the update: =="
    tail -c 2000 "$work/update/transcript.txt" || true
    exit 1
fi
echo "== all Windows checks passed =="
