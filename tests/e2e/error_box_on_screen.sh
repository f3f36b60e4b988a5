#!/usr/bin/env bash
# As a person would see it: a damaged installer shows its error box on a real
# (virtual) display; the box is photographed, closed with Enter, and the
# installer then exits with 255.
#   error_box_on_screen.sh STUB SCREENSHOT_DIR PREFIX
set -uo pipefail
stub=$1 shots=$2 prefix=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/common/virtual_display.sh"
fail() { echo "FAIL: $*"; exit 1; }

export SFX_WINEPREFIX=$prefix
"$root/scripts/wine-prefix" || fail "no Wine prefix"
# Errors only: without a display, Wine's message box returns at once, and
# only its error says why.
export WINEPREFIX=$prefix WINEDEBUG=fixme-all
# The prefix's server started without a display; the run must start its own.
wineserver -k 2>/dev/null

scratch=$prefix/drive_c/on-screen
rm -rf "$scratch" && mkdir -p "$scratch" "$shots"
cp "$stub" "$scratch/damaged.exe"   # the stub alone: no archive at its offset

cleanup() { wineserver -k 2>/dev/null; stop_virtual_display; }
trap cleanup EXIT
start_virtual_display "$scratch.xvfb.log" || fail "no virtual display"

(cd "$scratch" && exec setarch -R wine damaged.exe </dev/null >"$scratch.log" 2>&1) &
installer=$!

window=
deadline=$((SECONDS + 150))   # a machine busy with a parallel build is slow to start Wine
while ((SECONDS < deadline)); do
    window=$(xdotool search --name '^Greska$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    if ! kill -0 "$installer" 2>/dev/null; then
        wait "$installer"
        fail "installer ended (exit code $?) without showing its box: $(cat "$scratch.log")"
    fi
    sleep 0.1
done
[ -n "$window" ] || fail "no window captioned Greska appeared"
sleep 1   # let the box finish painting
import -window root "$shots/error-box.png" || fail "no screenshot"
echo "screenshot: $shots/error-box.png"

xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key --window "$window" Return
for _ in $(seq 300); do kill -0 "$installer" 2>/dev/null || break; sleep 0.1; done
kill -0 "$installer" 2>/dev/null && fail "installer still running after Enter"
wait "$installer"
status=$?
[ "$status" = 255 ] || fail "exit code $status, expected 255"
echo "PASS: error box shown, closed with Enter, exit code 255"
