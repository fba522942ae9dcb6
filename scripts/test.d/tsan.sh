#!/usr/bin/env bash
# ThreadSanitizer build and run of the LTC input's tests: its listener threads
# share state with the main thread, and instances are destroyed while they read.
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=build-tsan
cmake -S . -B "$dir" -G Ninja -DKAIRON_TSAN=ON -DKAIRON_BENCHMARKS=OFF > "$dir.configure.log" 2>&1 \
  || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" --target ltcinput_tests -j"$(nproc)" || exit 1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
cd "$dir" && ctest --output-on-failure -L '^ltcinput$' --timeout 300
