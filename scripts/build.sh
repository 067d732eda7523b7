#!/usr/bin/env bash
# Configures and builds one flavour of the project: build.sh DIR [cmake options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift

export CCACHE_SLOPPINESS=time_macros
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

cmake -S "$root" -B "$root/$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
ninja -C "$root/$dir"
