#!/usr/bin/env bash
# Installs every system package that building and testing Pellion needs.
# Non-interactive and safe to run again; skips apt entirely when all is present.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config ccache
  juce-modules-source
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  libcurl4-openssl-dev libfreetype-dev libfontconfig1-dev zlib1g-dev
  libpng-dev libjpeg-dev
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev libxcomposite-dev
  libasound2-dev
  xvfb openbox xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
