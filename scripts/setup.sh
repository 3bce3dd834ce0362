#!/usr/bin/env bash
# Installs the Debian 12 packages Melodeck needs to build, run and test.
# Only missing packages are installed; sudo is used when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev libgl-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libsdl2-dev libfftw3-dev libarchive13
  libtag1-dev
  libx11-dev libxi-dev
  fonts-liberation
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg zstd gzip zlib1g-dev libzstd-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick dbus dbus-daemon
  shared-mime-info desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
else
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
