#!/usr/bin/env bash
# The installed CMake package: a project's build makes its installer with
# sfx_add_installer(), makes it again when a file changes or appears, and
# leaves it alone when nothing did; each keyword reaches sfxpack as its
# option, a word no keyword knows is refused; and a MinGW cross build finds
# the package and makes a signed installer of the program it builds.
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

keys=$work/keys
mkdir -p "$keys"
echo "open sesame" > "$keys/password.txt"
openssl req -x509 -newkey rsa:2048 -keyout "$keys/key.pem" -passout "file:$keys/password.txt" -out "$keys/cert.pem" \
    -subj /CN=sfx-package-test -days 2 > "$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; fail "openssl"; }
configure_with() {   # BUILD_DIR [RECORDER]: configure with the call in BUILD_DIR.cmake
    cmake -S "$here/package_project" -B "$1" -DCMAKE_PREFIX_PATH="$prefix" -DCALL="$1.cmake" -DRECORDER="${2:-}" \
        > "$1.log" 2>&1
}

# Every keyword reaches sfxpack as its option, each value whole, also when
# it ends in a backslash as Windows folders do; a recorder stands in for
# sfxpack (the timestamp server is nowhere).
for file in cert.pem key.pem password.txt; do cp "$keys/$file" "$keys/$file\\"; done
rows=(TARGET 'C:\Program Files\App\' --target  LEVEL 'fast\' --level  THREADS '3\' --threads
      CODEPAGE 'CP1250\' --codepage  SHORTCUT 'C:\App\app.exe\' --shortcut  NAME 'the name\' --name
      ICON 'C:\App\app.ico\' --icon  RUN '"C:\App\app.exe" C:\docs\' --run  TEMP_RUN 'C:\Temp\' --temp-run
      SIGN_CERT "$keys/cert.pem\\" --sign-cert  SIGN_KEY "$keys/key.pem\\" --sign-key
      SIGN_PASS_FILE "$keys/password.txt\\" --sign-pass-file  TIMESTAMP 'http://timestamp.invalid/\' --timestamp)
printf '#!/bin/sh\nprintf "%%s\\n" "$@" > %s\n' "$work/received" > "$work/recorder"
chmod +x "$work/recorder"
call="sfx_add_installer(keywords DIRECTORY [[$work/app]] OUTPUT keywords.exe"
printf '%s\n' create "$work/app" -o "$work/keywords/keywords.exe" --quiet > "$work/expected"
for ((i = 0; i < ${#rows[@]}; i += 3)); do
    call+=" ${rows[i]} [[${rows[i + 1]}]]"
    printf '%s\n' "${rows[i + 2]}" "${rows[i + 1]}" >> "$work/expected"
done
call+=' [[http://second.invalid/\]]'   # TIMESTAMP, the last row, takes several servers
printf '%s\n' --timestamp 'http://second.invalid/\' >> "$work/expected"
echo "$call)" > "$work/keywords.cmake"
configure_with "$work/keywords" "$work/recorder" || { cat "$work/keywords.log"; fail "configure with every keyword"; }
cmake --build "$work/keywords" > "$work/keywords-build.log" 2>&1 || { cat "$work/keywords-build.log"; fail "build with every keyword"; }
diff "$work/expected" "$work/received" || fail "sfxpack did not receive every value whole"

# Words that no keyword knows, also after DEPENDS, where they would pass for dependencies.
for unknown in "SIGNCERT $keys/cert.pem" "DEPENDS $keys/cert.pem SIGNCERT $keys/cert.pem"; do
    echo "sfx_add_installer(unknown DIRECTORY [[$work/app]] OUTPUT unknown.exe $unknown)" > "$work/unknown.cmake"
    ! configure_with "$work/unknown" || fail "accepted: $unknown"
    grep -q "SIGNCERT" "$work/unknown.log" || { cat "$work/unknown.log"; fail "the refusal does not name SIGNCERT"; }
    rm -rf "$work/unknown"
done

# The product's own case: a MinGW cross build, whose toolchain file lets it
# look for packages only below the cross compiler's root.
cross=$work/cross
cmake -S "$here/package_project" -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$here/package_project/mingw-toolchain.cmake" \
    -DCMAKE_PREFIX_PATH="$prefix" -DKEYS="$keys" > "$work/cross.log" 2>&1 || { cat "$work/cross.log"; fail "cross configure"; }
cmake --build "$cross" > "$work/cross.log" 2>&1 || { cat "$work/cross.log"; fail "cross build"; }
setup=$cross/setup/app-setup.exe
"$prefix/bin/sfxpack" verify "$setup" --codepage WINDOWS-1250 --sign-ca "$keys/cert.pem" > "$work/verify.log" 2>&1 &&
    grep -q ', signed' "$work/verify.log" || { cat "$work/verify.log"; fail "the cross build's installer is not signed"; }
for name in hello.exe 'čitaj.txt'; do
    grep -qF "  $name" <("$prefix/bin/sfxpack" list "$setup" --codepage WINDOWS-1250) ||
        fail "the cross build's installer lacks $name"
done
echo "PASS"
