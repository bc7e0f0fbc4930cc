#!/usr/bin/env bash
# The longer fuzzing run (opt-in): every target for SECONDS (default 600), one after the
# other, keeping what they find in build/fuzz/fuzz-corpus/. Prints each target's figures.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
bash tools/bootstrap.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
for target in register_parser device_address block_rule frame_encoder frame_decoder; do
    corpus="build/fuzz/fuzz-corpus/$target"
    mkdir -p "$corpus"
    echo "== $target ($seconds s)"
    "build/fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 "$corpus" "fuzz/corpus/$target" 2>&1 |
        grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb|INFO: Loaded)|ERROR|SUMMARY" || true
done
