#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice:
# a normal build and one under AddressSanitizer + UBSan.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh || exit 1

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"

status=0
run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  scripts/build.sh "$dir" "$@" || { status=1; return; }
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)" --timeout 300) || status=1
}

run_suite build
run_suite build-asan -DKAIRON_SANITIZE=ON -DKAIRON_BENCHMARKS=OFF
for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  bash "$extra" || status=1
done
[ $status -eq 0 ] && echo "all suites passed" || echo "some suites FAILED"
exit $status
