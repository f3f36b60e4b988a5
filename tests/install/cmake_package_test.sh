#!/usr/bin/env bash
# The installed CMake package: a project's build makes its installer with
# sfx_add_installer(), makes it again when a file changes or appears, and
# leaves it alone when nothing did.
# Usage: cmake_package_test.sh PREFIX (the installed tree, as with DESTDIR)
set -euo pipefail
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/app/docs"
echo "the program" > "$work/app/app.exe"
echo "how to" > "$work/app/docs/guide.txt"
setup=$work/build/setup/app-setup.exe
build() { cmake --build "$work/build" > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build: $1"; }; }
listing() { "$prefix/bin/sfxpack" list "$setup"; }
stamp() { stat -c %Y.%y "$setup"; }

cmake -S "$here/package_project" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" -DAPP="$work/app" \
    > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; }
build "first"
"$prefix/bin/sfxpack" verify "$setup" >/dev/null || fail "the installer does not verify"
for line in 'target: C:\App\' '  app.exe' '  docs\guide.txt' \
    "control file: desktop shortcut 'My App' to 'C:\\App\\app.exe', icon '', then start '\"C:\\App\\app.exe\" /welcome'"; do
    grep -qF -- "$line" <(listing) || { listing; fail "the listing lacks: $line"; }
done

before=$(stamp)
build "unchanged"
[ "$(stamp)" = "$before" ] || fail "an unchanged directory made the installer again"

echo "the program, version 2" > "$work/app/app.exe"
build "changed file"
grep -qE '^ +23  app.exe$' <(listing) || { listing; fail "a changed file did not make the installer again"; }

echo "new" > "$work/app/docs/new.txt"
build "new file"
grep -qE '^ +4  docs\\new.txt$' <(listing) || { listing; fail "a new file did not make the installer again"; }
# The new file is watched too: the build globbed the directory again.
echo "newer" > "$work/app/docs/new.txt"
build "changed new file"
grep -qE '^ +6  docs\\new.txt$' <(listing) || { listing; fail "a changed new file did not make the installer again"; }
echo "PASS"
