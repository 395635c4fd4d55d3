#!/usr/bin/env bash
# Installs the Debian packages Kalvex needs to build, run and test.
# Does nothing when every package is already present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev
  libann-dev libcgal-dev libgmp-dev libmpfr-dev
  libassimp-dev libtinyobjloader-dev libzip-dev
  liblapack-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-qpa-plugins
  xvfb xauth fonts-dejavu-core libgl1-mesa-dri
  povray ghostscript
  admesh prusa-slicer
  stress-ng
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
