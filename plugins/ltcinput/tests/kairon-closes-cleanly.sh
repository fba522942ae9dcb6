#!/usr/bin/env bash
# The real Kairon of a build tree with two LTC sources on a private PipeWire:
# each Audio LTC input runs a Sondeo child; a source that goes away ends its
# Sondeo, which Kairon collects (no zombie); closing Kairon, from its menu or
# with SIGTERM, leaves no Sondeo running. Usage: kairon-closes-cleanly.sh <build tree>
set -uo pipefail
build=${1:?usage: kairon-closes-cleanly.sh <build tree>}
command -v xdotool >/dev/null || { echo "needs xdotool (scripts/install-deps.sh installs it)"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under xvfb-run -a"; exit 1; }
unset QT_QPA_PLATFORM
# In a sanitizer build: libxkbcommon-x11 (under Qt's X11 platform) copies
# fixed-length strings with strndup, which the strict string check misreads
# as an overflow. A later option overrides an earlier one.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

work=$(mktemp -d)
pids=()
kairon=
cleanup() {
  [ -n "$kairon" ] && kill "$kairon" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL after ${SECONDS}s: $*"; echo "--- Kairon's output:"; grep -v -E "^(processTCLine|i [0-9])" "$work/kairon.log" | grep -A25 -m1 -E "ERROR: AddressSanitizer|runtime error" ; grep -v -E "^(processTCLine|i [0-9])" "$work/kairon.log" | tail -15; exit 1; }

mkdir -p "$work/run" "$work/config" "$work/state"
export PIPEWIRE_RUNTIME_DIR=$work/run PIPEWIRE_REMOTE=pipewire-0 XDG_CONFIG_HOME=$work/config
XDG_RUNTIME_DIR=$work/run XDG_STATE_HOME=$work/state PIPEWIRE_LOG_SYSTEMD=false pipewire >"$work/pipewire.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do timeout 2 pw-cli info 0 >/dev/null 2>&1 && break; sleep 0.1; done
timeout 2 pw-cli info 0 >/dev/null 2>&1 || { cat "$work/pipewire.log"; fail "private PipeWire did not start"; }

start_source() { # name -> pid in $source_pid
  "$build/bin/ltcsource" --name "$1" --fps 25 >"$work/$1.log" 2>&1 &
  source_pid=$!
  for _ in $(seq 100); do grep -q '^ltcsource: ready' "$work/$1.log" && return 0; sleep 0.1; done
  cat "$work/$1.log"; fail "ltcsource $1 did not get ready"
}

# "pid state" of each Sondeo child of a process, zombies included.
sondeo_children() {
  local parent=$1 s line comm state ppid rest p
  for s in /proc/[0-9]*/stat; do
    line=$(cat "$s" 2>/dev/null) || continue
    comm=${line#*(}; comm=${comm%)*}
    rest=${line##*) }
    read -r state ppid _ <<< "$rest"
    if [ "$ppid" = "$parent" ] && [ "$comm" = Sondeo ]; then p=${s#/proc/}; echo "${p%/stat} $state"; fi
  done
}

wait_for() { # seconds command...: true once the command is
  local end=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $end ]; do "$@" && return 0; sleep 0.1; done
  "$@"
}

for how in menu SIGTERM; do
  start_source A; a=$source_pid
  start_source B; b=$source_pid
  "$build/bin/Kairon" >"$work/kairon.log" 2>&1 &
  kairon=$!
  two_running() {
    kill -0 "$kairon" 2>/dev/null || fail "Kairon ended while starting"
    [ "$(sondeo_children "$kairon" | awk '$2 != "Z"' | wc -l)" -eq 2 ]
  }
  wait_for 20 two_running || fail "Kairon does not run two Sondeo children: $(sondeo_children "$kairon")"
  recorded=$(sondeo_children "$kairon" | awk '{print $1}')

  kill "$b"; wait "$b" 2>/dev/null
  one_left() { [ "$(sondeo_children "$kairon" | wc -l)" -eq 1 ]; }
  wait_for 5 one_left || fail "the Sondeo of a stopped source is left over: $(sondeo_children "$kairon")"

  if [ "$how" = menu ]; then
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kairon$' | head -1)
    [ -n "$wid" ] || fail "no window named Kairon appeared"
    # No window manager under Xvfb: a --sync focus may wait forever.
    timeout 5 xdotool windowfocus "$wid"; sleep 0.3
    xdotool key --clearmodifiers alt+k; sleep 0.5; xdotool key --clearmodifiers q
  else
    kill -TERM "$kairon"
  fi
  gone() { ! kill -0 "$kairon" 2>/dev/null; }
  wait_for 10 gone || fail "Kairon still runs after closing it ($how)"
  wait "$kairon" 2>/dev/null
  kairon=
  no_sondeo() { for p in $recorded; do [ "$(cat /proc/"$p"/comm 2>/dev/null)" = Sondeo ] && return 1; done; return 0; }
  wait_for 5 no_sondeo || fail "Sondeo still runs after Kairon was closed ($how)"
  echo "Kairon closed ($how): no Sondeo left, no zombie"
  kill "$a"; wait "$a" 2>/dev/null
done
