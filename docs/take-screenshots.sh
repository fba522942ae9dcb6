#!/usr/bin/env bash
# Takes the README's screenshots (docs/main-window.png, docs/preferences.png)
# of a build tree's Kairon on a virtual X server, with a fresh user's settings
# plus the Constant Time input switched on. When the tree has the LTC input and
# its test source, a private PipeWire plays LTC 2.5 s ahead of the clock so the
# table shows a timecode input too. Usage: docs/take-screenshots.sh [build tree]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if [ -z "${KAIRON_SCREENSHOT_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" env KAIRON_SCREENSHOT_DISPLAY=1 "$0" "$build"
fi

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run XDG_STATE_HOME=$work/state
export PIPEWIRE_RUNTIME_DIR=$XDG_RUNTIME_DIR
mkdir -p "$XDG_CONFIG_HOME/Kairon" "$XDG_STATE_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
cat >"$XDG_CONFIG_HOME/Kairon/Kairon.conf" <<'CONF'
[General]
ConstantTimeEnabled=true
ConstantTimeValue_HR=10
ConstantTimeValue_MN=0
ConstantTimeValue_SC=0
ConstantTimeValue_FR=0
CONF

if [ -x "$build/lib/kairon/PlugIns/LtcInput.plugin/LtcInput.so" ] && [ -x "$build/bin/ltcsource" ] &&
   command -v pipewire >/dev/null; then
  pipewire >"$work/pipewire.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  "$build/bin/ltcsource" --name "Studio LTC" --fps 25 --offset 2.5 >"$work/ltcsource.log" 2>&1 &
  pids+=($!)
  sleep 1
fi

"$build/bin/Kairon" >"$work/kairon.log" 2>&1 &
kairon=$!
pids+=($kairon)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kairon$' | head -1)
[ -n "$main" ] || { echo "Kairon did not start:"; cat "$work/kairon.log"; exit 1; }
sleep 8 # the LTC input turns green after 60 frames
xdotool windowfocus --sync "$main"
import -window "$main" "$root/docs/main-window.png"

xdotool key --clearmodifiers ctrl+comma
preferences=$(timeout 10 xdotool search --sync --onlyvisible --name '^Preferences$' | head -1)
[ -n "$preferences" ] || { echo "the preferences window did not open:"; cat "$work/kairon.log"; exit 1; }
sleep 1
import -window "$preferences" "$root/docs/preferences.png"
echo "wrote docs/main-window.png and docs/preferences.png"
