#!/bin/sh
# Bounded fuzzing of the decoder: fresh seeds from the encoder, then about a minute.
# Usage: run-fuzz.sh MAKE_SEEDS FUZZ_DECODER CORPUS_DIR [SECONDS]
set -eu
make_seeds=$1 fuzzer=$2 corpus=$3 seconds=${4:-60}
mkdir -p "$corpus"
"$make_seeds" "$corpus"
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
