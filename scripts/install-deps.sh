#!/usr/bin/env bash
# Installs every Debian package Kairon needs to build, run and test.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  # build
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev qt6-base-dev-tools qt6-qpa-plugins
  libpipewire-0.3-dev libspa-0.2-dev libltc-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run and test
  pipewire pipewire-bin wireplumber dbus-daemon
  xvfb xauth xdotool xclip imagemagick fonts-dejavu-core sox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
