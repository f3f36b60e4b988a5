#!/usr/bin/env bash
# make uninstall DESTDIR=ROOT removes what make install put there and the
# folders it made, and nothing else: a file of someone else's in one of those
# folders stays, with the folders above it. Then the test removes ROOT.
# Usage: make_uninstall_test.sh SOURCE BUILD ROOT
set -euo pipefail
source_dir=$1 build=$2 root=$3
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$root/usr/local/bin/sfxpack" ] || fail "nothing installed in $root"
echo "not sfx's" > "$root/usr/local/share/other.txt"
env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$source_dir" uninstall BUILD="$build" DESTDIR="$root" >/dev/null ||
    fail "make uninstall"
left=$(cd "$root" && find . | LC_ALL=C sort | tr '\n' ' ')
[ "$left" = ". ./usr ./usr/local ./usr/local/share ./usr/local/share/other.txt " ] || fail "left behind: $left"
echo "PASS"
