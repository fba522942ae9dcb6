#!/usr/bin/env bash
# A minute of libFuzzer on the LTC decoder (detector and decoder under
# AddressSanitizer and UBSan). Fails on a crash, a trap, a leak or a hang.
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DKAIRON_FUZZ=ON -DKAIRON_TESTS=OFF \
  -DKAIRON_BENCHMARKS=OFF > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" --target sondeo_decoder_fuzz -j"$(nproc)" || exit 1

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp sondeo/fuzz/seeds/* "$corpus"/
# -timeout: one input taking this long counts as a hang.
"$dir/fuzz/sondeo_decoder_fuzz" -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$PWD/$dir/fuzz/" "$corpus"
