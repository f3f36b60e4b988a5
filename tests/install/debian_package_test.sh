#!/usr/bin/env bash
# make deb gives a package that lintian finds no error in; installed with
# dpkg, its sfxpack makes a working installer without --stub; purged, it
# leaves nothing behind. Needs root; skipped (77) otherwise, and when an
# sfxpack is in /usr already, which this test must not replace or remove.
# Usage: debian_package_test.sh SOURCE BUILD
set -euo pipefail
source_dir=$1 build=$2
package=sfxpack
if [ "$(id -u)" != 0 ]; then
    echo "SKIP: installing a Debian package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed || [ -e /usr/bin/sfxpack ] ||
    [ -e /usr/share/sfx ]; then
    echo "SKIP: an sfxpack is installed in /usr already; this test leaves it alone"
    exit 77
fi
work=$(mktemp -d)
installed=
trap '[ -z "$installed" ] || dpkg --purge "$package" >/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$source_dir" deb BUILD="$build" DEBDIR="$work" \
    > "$work/make.log" 2>&1 || { cat "$work/make.log"; fail "make deb"; }
deb=$(echo "$work"/${package}_*.deb)
[ -f "$deb" ] || fail "make deb made no package"
# Root is how this test runs: lintian's remark on that is no finding.
lintian_failed=
lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || lintian_failed=1
grep -v 'running with root privileges' "$work/lintian.log" || true
[ -z "$lintian_failed" ] || fail "lintian finds errors"

# The package's paths, and which of them are there before (the folders it shares).
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||; /^$/d' > "$work/paths"
while read -r path; do [ -e "$path" ] && echo "$path"; done < "$work/paths" > "$work/there-before" || true

dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
installed=1
mkdir -p "$work/tree/docs"
echo "hello" > "$work/tree/docs/hello.txt"
/usr/bin/sfxpack create "$work/tree" -o "$work/setup.exe" --quiet || fail "create without --stub"
/usr/bin/sfxpack verify "$work/setup.exe" || fail "verify"

dpkg --purge "$package" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge"; }
installed=
while read -r path; do
    if grep -qxF "$path" "$work/there-before"; then
        [ -e "$path" ] || fail "removing the package removed $path, which was there before"
    else
        [ ! -e "$path" ] || fail "left behind: $path"
    fi
done < "$work/paths"
echo "PASS"
