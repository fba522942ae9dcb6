#!/usr/bin/env bash
# Prints the CPU share of one capturing Sondeo process: a private PipeWire
# daemon, one ltcsource node playing 25 fps LTC, and Sondeo decoding it in
# real time for a while. A measurement to read, not a test: it asserts nothing.
#
# Usage: cpu_share.sh [BUILD_DIR] [SECONDS]   (defaults: $KAIRON_BUILD_DIR or build/, 30)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-${KAIRON_BUILD_DIR:-$root/build}}
seconds=${2:-30}
sondeo=$build/lib/kairon/PlugIns/LtcInput.plugin/Resources/Sondeo
ltcsource=$build/bin/ltcsource
for program in "$sondeo" "$ltcsource"; do
  [ -x "$program" ] || { echo "cpu_share: $program is missing: build the Sondeo and ltcsource targets first" >&2; exit 1; }
done

dir=$(mktemp -d "${TMPDIR:-/tmp}/kairon-bench-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/run" "$dir/config" "$dir/state"
export XDG_RUNTIME_DIR=$dir/run PIPEWIRE_RUNTIME_DIR=$dir/run XDG_CONFIG_HOME=$dir/config XDG_STATE_HOME=$dir/state
export PIPEWIRE_REMOTE=pipewire-0 PIPEWIRE_LOG_SYSTEMD=false

pipewire >"$dir/pipewire.log" 2>&1 &
pids+=($!)
pipewire_pid=$!
for _ in $(seq 300); do pw-cli info 0 >/dev/null 2>&1 && break; sleep 0.1; done
pw-cli info 0 >/dev/null 2>&1 || { echo "cpu_share: pipewire did not start" >&2; cat "$dir/pipewire.log" >&2; exit 1; }

"$ltcsource" --fps 25 --rate 48000 >"$dir/ltcsource.out" 2>&1 &
pids+=($!)
ltc_pid=$!
for _ in $(seq 300); do grep -q '^ltcsource: ready' "$dir/ltcsource.out" && break; sleep 0.1; done
grep -q '^ltcsource: ready' "$dir/ltcsource.out" || { echo "cpu_share: ltcsource did not get ready" >&2; exit 1; }

"$sondeo" 0 0 >"$dir/sondeo.out" 2>"$dir/sondeo.err" &
pids+=($!)
sondeo_pid=$!
for _ in $(seq 300); do [ -s "$dir/sondeo.out" ] && break; sleep 0.1; done
[ -s "$dir/sondeo.out" ] || { echo "cpu_share: Sondeo decoded nothing" >&2; cat "$dir/sondeo.err" >&2; exit 1; }

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }   # utime + stime
hz=$(getconf CLK_TCK)
lines_before=$(grep -c '^[0-9][0-9]:' "$dir/sondeo.out" || true)
declare -A before
for pid in $sondeo_pid $ltc_pid $pipewire_pid; do before[$pid]=$(ticks "$pid"); done
start=$(date +%s.%N)
sleep "$seconds"
end=$(date +%s.%N)
declare -A after
for pid in $sondeo_pid $ltc_pid $pipewire_pid; do after[$pid]=$(ticks "$pid"); done
lines=$(( $(grep -c '^[0-9][0-9]:' "$dir/sondeo.out" || true) - lines_before ))

share() { awk -v t=$(( after[$1] - before[$1] )) -v hz="$hz" -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", 100 * t / hz / (e - s) }'; }
elapsed=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", e - s }')
echo "Sondeo capturing 25 fps LTC from a 48 kHz node for $elapsed s ($lines frame lines, $(nproc) cores):"
echo "  Sondeo     CPU share: $(share "$sondeo_pid") % of one core"
echo "  ltcsource  CPU share: $(share "$ltc_pid") % of one core"
echo "  pipewire   CPU share: $(share "$pipewire_pid") % of one core"
