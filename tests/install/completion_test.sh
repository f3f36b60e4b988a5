#!/usr/bin/env bash
# The bash completion, sourced as bash-completion would: what a few command
# lines complete to (code-page names among them), and every command and
# option that sfxpack --help lists is offered (the level names come from
# --help too).
# Usage: completion_test.sh SFXPACK COMPLETION
set -euo pipefail
sfxpack=$(realpath "$1")
source "$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p app/sub out
touch app.exe notes.txt

# What bash would offer for the words, the last being the one completed.
offered() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _sfxpack sfxpack "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    ((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' '
}

help=$("$sfxpack" --help)
commands=$(sed -n 's/^  sfxpack \([a-z]*\) .*/\1/p' <<< "$help" | LC_ALL=C sort | tr '\n' ' ')
levels=$(grep -oE -- '--level [a-z|]+' <<< "$help" | cut -d' ' -f2 | tr '|' '\n' | LC_ALL=C sort | tr '\n' ' ')
[ -n "$commands" ] && [ -n "$levels" ] || fail "cannot read the commands and levels from --help"

while IFS='|' read -r words expected; do
    eval "line=($words)"
    got=$(offered sfxpack "${line[@]}")
    [ "$got" = "$expected" ] || fail "sfxpack $words<TAB>: offered '$got', expected '$expected'"
done << CASES
c|create 
create --le|--level 
create app --level ''|$levels
create ''|app out 
create app -o ''|app app.exe out 
create app --stub ''|app app.exe notes.txt out 
create app --target ''|
list app.exe --codepage KOI|KOI8-R KOI8-U 
extract app.exe ''|app out 
verify ''|app app.exe out 
try ''|app app.exe out 
try app.exe --keep ''|app out 
CASES

# Every command first, and each option after a command it goes with.
all=$(offered sfxpack '')
for command in $commands; do
    [[ " $all " == *" $command "* ]] || fail "sfxpack <TAB> does not offer $command"
    all+=" $(offered sfxpack "$command" -)"
done
for option in $(grep -oE '(^|[][ ,])--?[a-zA-Z][-a-zA-Z]*' <<< "$help" | grep -oE -- '--?[a-zA-Z][-a-zA-Z]*'); do
    [[ " $all " == *" $option "* ]] || fail "no command line completes $option"
done
echo "PASS"
