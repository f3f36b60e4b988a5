#!/usr/bin/env bash
# The man page documents, in bold, every command and option that sfxpack
# --help lists, groff formats it without a warning, and no scdoc markup is
# left in its text (an _ or * that did not take, as in -o_FILE_).
# Usage: man_page_test.sh SFXPACK PAGE
set -euo pipefail
sfxpack=$1 page=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

help=$("$sfxpack" --help)
commands=$(sed -n 's/^  sfxpack \([a-z]*\) .*/\1/p' <<< "$help")
options=$(grep -oE '(^|[][ ,])--?[a-zA-Z][-a-zA-Z]*' <<< "$help" | grep -oE -- '--?[a-zA-Z][-a-zA-Z]*' | sort -u)
[ -n "$commands" ] && grep -qx -- --help <<< "$options" || fail "cannot read the commands and options from --help"
missing=
for word in $commands $options; do
    grep -qF -- "\\fB$word\\fR" "$page" || missing+=" $word"
done
[ -z "$missing" ] || fail "the man page lacks:$missing"

warnings=$(groff -ww -man -Tutf8 -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"
leftover=$(groff -man -Tutf8 -P -cbou "$page" | grep -E '_[A-Z][A-Za-z.]*_([^A-Za-z0-9_]|$)|\*[-A-Za-z][^* ]*\*' || true)
[ -z "$leftover" ] || fail "markup shown as text: $leftover"
echo "PASS: $(wc -w <<< "$commands $options") commands and options"
