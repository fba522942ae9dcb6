#!/usr/bin/env bash
# Runs the real Kairon of a build tree on a virtual X server of its own,
# reads what its window shows through the clipboard (the active name and the
# first row of the table, copied with the keyboard as a user would), checks
# the message without a display, and quits it from its menu.
# Usage: kairon-under-xvfb.sh <build tree>
set -uo pipefail
build=${1:?usage: kairon-under-xvfb.sh <build tree>}
for tool in xdotool xclip; do
  command -v "$tool" >/dev/null || { echo "needs $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
if [ -z "${KAIRON_TEST_XVFB:-}" ]; then
  # A random first server number: parallel xvfb-run -a calls starting from the
  # same number race for it.
  exec xvfb-run -a -n $((200 + RANDOM % 3000)) -s "-screen 0 1280x800x24" \
    env KAIRON_TEST_XVFB=1 "$0" "$build"
fi

work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
# In a sanitizer build: libxkbcommon-x11 (under Qt's X11 platform) copies
# fixed-length strings with strndup, which the strict string check misreads
# as an overflow. A later option overrides an earlier one.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

fail() { echo "FAIL: $*"; echo "--- Kairon's output:"; cat "$work/log"; exit 1; }

# Without a display, or with one that does not answer: a clear message and status 1.
for display in "" ":4095"; do
  out=$(env -u WAYLAND_DISPLAY DISPLAY="$display" "$build/bin/Kairon" 2>&1)
  status=$?
  [ "$status" -eq 1 ] && [[ "$out" == "Kairon: "*"xvfb-run -a"* ]] ||
    { echo "FAIL: with DISPLAY='$display' Kairon said '$out' (status $status)"; exit 1; }
done

# Qt's own -platform option needs no DISPLAY: Kairon starts (and is still
# running when stopped) instead of refusing.
out=$(env -u WAYLAND_DISPLAY DISPLAY= timeout 2 "$build/bin/Kairon" -platform offscreen 2>&1)
status=$?
[ "$status" -eq 124 ] || { echo "FAIL: with -platform offscreen Kairon said '$out' (status $status)"; exit 1; }

"$build/bin/Kairon" >"$work/log" 2>&1 &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kairon$' | head -1)
[ -n "$wid" ] || fail "no window named Kairon appeared"
sleep 1 # a few table and active ticks
xdotool windowfocus --sync "$wid"

copy() { # keys... : types them, then leaves the clipboard in $clip
  xdotool key --clearmodifiers "$@"
  sleep 0.3
  clip=$(xclip -o -selection clipboard 2>/dev/null || true)
}

# Focus starts in the table: Right makes the text cell current and selects the
# row, which makes System Time the active input and turns the set-clock button
# on; Shift+Tab twice goes back past that button to the active name.
copy Right ctrl+c
row=$clip
[[ "$row" =~ ^System\ Time$'\n'[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{2}\ {3}[+-][0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{2}$ ]] ||
  fail "first table row is '$row'"
copy shift+Tab shift+Tab ctrl+a ctrl+c
name=$clip
[ "$name" = "System Time" ] || fail "active name is '$name', expected 'System Time'"
echo "active: $name; first row: ${row//$'\n'/ | }"

# Quit from the menu: the Kairon menu (Alt+K), then its Quit item (Q).
xdotool key --clearmodifiers alt+k
sleep 0.5
xdotool key --clearmodifiers q
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then fail "Kairon still runs after Quit"; fi
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "Kairon exited with status $status"
echo "Kairon quit cleanly from its menu"
