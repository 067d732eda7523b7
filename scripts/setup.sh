#!/usr/bin/env bash
# Installs every system package that building and testing Pellion needs.
# Non-interactive and safe to run again; skips apt entirely when all is present.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config ccache
  juce-modules-source
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-tidy-14 python3
  libcurl4-openssl-dev libfreetype-dev libfontconfig1-dev zlib1g-dev
  libpng-dev libjpeg-dev
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev libxcomposite-dev
  libasound2-dev
  xvfb openbox xsettingsd xauth
  fonts-inter
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

# The plug-in carries Fira Sans, which Debian does not package: fetch the pinned
# npm package once into a cache outside the repository and check its integrity.
fira_version=0.4.1
fira_integrity="sha512-zQVs67baYyBVEScaCGKG3MBtGe2hPNc7R3Axmj7JmWs310kOem4poL1mB+O52rwfFqiigzxV876BHFZBxoie1Q=="
fira_dir="${PELLION_CACHE:-$HOME/.cache/pellion}/fira-sans-$fira_version"
if [ ! -f "$fira_dir/package/LICENSE_FONT" ]; then
  if ! command -v npm >/dev/null; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends npm
  fi
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "@expo-google-fonts/fira-sans@$fira_version" >/dev/null)
  tarball="$work/expo-google-fonts-fira-sans-$fira_version.tgz"
  actual="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
  if [ "$actual" != "$fira_integrity" ]; then
    echo "setup: the Fira Sans package does not match its pinned integrity" >&2
    exit 1
  fi
  mkdir -p "$work/unpacked"
  tar -xzf "$tarball" -C "$work/unpacked"
  mkdir -p "$(dirname "$fira_dir")"
  rm -rf "$fira_dir"
  mv "$work/unpacked" "$fira_dir"
fi
