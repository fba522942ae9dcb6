#!/usr/bin/env bash
# Installs what is missing, builds Kairon and starts it.
#
#   scripts/run.sh            Kairon with a demo: an LTC test source playing the
#                             time of day 2.5 s ahead at 25 fps, so an Audio LTC
#                             input turns green and becomes the shown input
#   scripts/run.sh --no-demo  Kairon alone
#
# The demo source runs on your PipeWire when one answers, otherwise on a
# private PipeWire in a temporary folder that Kairon is pointed at. Both end
# when Kairon exits.
set -euo pipefail
cd "$(dirname "$0")/.."

demo=1
args=()
for a in "$@"; do
  case "$a" in
    --no-demo) demo=0 ;;
    -h|--help)
      sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
      exit 0 ;;
    *) args+=("$a") ;;
  esac
done

scripts/install-deps.sh
scripts/build.sh build
kairon=build/bin/Kairon
if [ ! -x "$kairon" ]; then
  echo "run.sh: built everything in build/, but $kairon is missing: the application did not build." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY is not set). Run it in a desktop session, or under: xvfb-run -a $0 $*" >&2
  exit 1
fi
if [ $demo -eq 0 ]; then
  exec "$kairon" "${args[@]}"
fi

source_bin=build/bin/ltcsource
if [ ! -x "$source_bin" ]; then
  echo "run.sh: $source_bin is missing, starting Kairon without the demo." >&2
  exec "$kairon" "${args[@]}"
fi

pids=()
private=
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  [ -n "$private" ] && rm -rf "$private"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! timeout 5 pw-cli info 0 >/dev/null 2>&1; then
  # No PipeWire of the user's: a private one, seen by the source and by Kairon's Sondeo children.
  private=$(mktemp -d "${TMPDIR:-/tmp}/kairon-demo.XXXXXX")
  mkdir -p "$private/run" "$private/config" "$private/state"
  export PIPEWIRE_RUNTIME_DIR="$private/run" PIPEWIRE_REMOTE=pipewire-0
  XDG_RUNTIME_DIR="$private/run" XDG_CONFIG_HOME="$private/config" XDG_STATE_HOME="$private/state" \
    PIPEWIRE_LOG_SYSTEMD=false pipewire > "$private/pipewire.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    timeout 2 pw-cli info 0 >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! timeout 2 pw-cli info 0 >/dev/null 2>&1; then
    echo "run.sh: could not start a private PipeWire; starting Kairon without the demo. Its log:" >&2
    cat "$private/pipewire.log" >&2 || true
    cleanup
    trap - EXIT
    unset PIPEWIRE_RUNTIME_DIR PIPEWIRE_REMOTE
    exec "$kairon" "${args[@]}"
  fi
  echo "run.sh: no PipeWire running; the demo uses a private one in $private" >&2
fi

source_log=$(mktemp "${TMPDIR:-/tmp}/kairon-demo-source.XXXXXX")
"$source_bin" --name "Kairon Demo LTC" --fps 25 --offset 2.5 > "$source_log" 2>&1 &
pids=($! "${pids[@]}")   # ended before a private daemon
for _ in $(seq 150); do
  grep -q '^ltcsource: ready' "$source_log" && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.1
done
if grep -q '^ltcsource: ready' "$source_log"; then
  echo "run.sh: the demo source \"Kairon Demo LTC\" plays the time of day +2.5 s at 25 fps" >&2
else
  echo "run.sh: the demo LTC source did not start; Kairon runs without it. Its output:" >&2
  cat "$source_log" >&2
fi
rm -f "$source_log"

"$kairon" "${args[@]}" &
kairon_pid=$!
pids=("$kairon_pid" "${pids[@]}")
status=0
wait "$kairon_pid" || status=$?
exit $status
