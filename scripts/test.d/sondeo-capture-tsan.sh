#!/usr/bin/env bash
# ThreadSanitizer build and run of Sondeo's capture layer and the PipeWire
# test fixture: the capture hands buffers from PipeWire's data thread to the
# decoder while its loop thread and Sondeo's main thread share the stream, and
# the fixture reads child output on threads of its own.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
dir=build-tsan
cmake -S . -B "$dir" -G Ninja -DKAIRON_TSAN=ON -DKAIRON_BENCHMARKS=OFF > "$dir.configure.log" 2>&1 \
  || { cat "$dir.configure.log"; exit 1; }
tests=(sondeo_capture_test testsupport_e2e_test sondeo_e2e_test)
cmake --build "$dir" --target Sondeo ltcsource "${tests[@]}" -j"$(nproc)" || exit 1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
export KAIRON_BUILD_DIR=$root/$dir KAIRON_SOURCE_DIR=$root QT_QPA_PLATFORM=offscreen
status=0
for t in "${tests[@]}"; do
  "$dir/tests/$t" --gtest_brief=1 || status=1
done
exit $status
