#!/usr/bin/env bash
# A staged install (DESTDIR, as package builds do) puts the application's files,
# its desktop entry included, under DESTDIR only, and the entry starts the
# executable at its final place.
# Usage: staged-install.sh <build tree> [cmake]
set -euo pipefail
build=${1:?usage: staged-install.sh <build tree> [cmake]}
cmake=${2:-cmake}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/final/prefix
DESTDIR=$work/stage "$cmake" -DCMAKE_INSTALL_PREFIX="$prefix" -P "$build/kairon/cmake_install.cmake" >/dev/null
entry=$work/stage$prefix/share/applications/kairon.desktop
[ -f "$entry" ] || { echo "FAIL: no desktop entry at $entry"; exit 1; }
[ ! -e "$work/final" ] || { echo "FAIL: files written outside DESTDIR:"; find "$work/final"; exit 1; }
grep -qx "Exec=$prefix/bin/Kairon" "$entry" || { echo "FAIL: $(grep Exec "$entry")"; exit 1; }
echo "desktop entry staged under DESTDIR, Exec=$prefix/bin/Kairon"
