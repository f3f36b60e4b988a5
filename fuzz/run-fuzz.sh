#!/bin/sh
# Bounded fuzzing: fresh seeds of the kind the target reads, then a fixed time.
# Usage: run-fuzz.sh MAKE_SEEDS blocks|archives FUZZER CORPUS_DIR [SECONDS]
set -eu
make_seeds=$1 kind=$2 fuzzer=$3 corpus=$4 seconds=${5:-60}
mkdir -p "$corpus"
"$make_seeds" "$kind" "$corpus"
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
