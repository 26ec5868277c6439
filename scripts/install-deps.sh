#!/usr/bin/env bash
# Installs every Debian package Parlix needs to build, run and test.
# Idempotent: apt-get skips what is already there.
set -euo pipefail

BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  libx11-dev libxi-dev libxtst-dev libxfixes-dev libpulse-dev libevdev-dev
  clang-format clang-tidy
)
RUNTIME_PACKAGES=(
  fonts-noto-color-emoji fonts-noto-cjk python3 python3-venv procps lsof wl-clipboard
)
TEST_PACKAGES=(
  xvfb xauth xdotool xclip trayer x11-apps x11-utils x11-xkb-utils imagemagick
  pulseaudio pulseaudio-utils espeak-ng sox python3-tk
  python3-pocketsphinx pocketsphinx-en-us dpkg-dev file xterm
  locales-all
  sway xwayland weston
)

# Only for the fuzz targets (cmake --preset fuzz).
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

want=("${BUILD_PACKAGES[@]}" "${RUNTIME_PACKAGES[@]}")
for arg in "$@"; do
  case "$arg" in
    --with-tests) want+=("${TEST_PACKAGES[@]}") ;;
    --with-fuzz) want+=("${FUZZ_PACKAGES[@]}") ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
