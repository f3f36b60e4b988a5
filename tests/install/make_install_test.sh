#!/usr/bin/env bash
# make install DESTDIR=ROOT puts every part in its place under the default
# prefix, and the installed sfxpack makes a working installer without --stub
# (there is no stub beside it: it finds the installed one).
# Usage: make_install_test.sh SOURCE BUILD ROOT
set -euo pipefail
source_dir=$1 build=$2 root=$3
prefix=$root/usr/local
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$root"
# This runs inside make check: its make's flags are not this make's.
env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$source_dir" install BUILD="$build" DESTDIR="$root" \
    > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "make install"; }
for file in bin/sfxpack share/sfx/sfxstub.exe share/man/man1/sfxpack.1 share/bash-completion/completions/sfxpack \
    lib/cmake/sfx/sfxConfig.cmake lib/cmake/sfx/sfxConfigVersion.cmake share/doc/sfxpack/README.md \
    share/doc/sfxpack/LICENSE; do
    [ -f "$prefix/$file" ] || fail "not installed: $prefix/$file"
done
[ ! -e "$prefix/bin/sfxstub.exe" ] || fail "a stub beside the installed sfxpack"

mkdir -p "$work/tree/sub"
echo "hello" > "$work/tree/sub/hello.txt"
"$prefix/bin/sfxpack" create "$work/tree" -o "$work/setup.exe" --quiet || fail "create without --stub"
"$prefix/bin/sfxpack" verify "$work/setup.exe" || fail "verify"
# The installer's stub is the installed one but for its PE checksum, which
# covers the whole installer: compare around that field.
checksum=$(( $(od -An -tu4 -j60 -N4 "$work/setup.exe") + 88 ))
cmp -n "$checksum" "$work/setup.exe" "$prefix/share/sfx/sfxstub.exe" &&
    cmp -i $((checksum + 4)) -n $((11264 - checksum - 4)) "$work/setup.exe" "$prefix/share/sfx/sfxstub.exe" ||
    fail "the installer does not start with the stub"
echo "PASS"
