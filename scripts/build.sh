#!/usr/bin/env bash
# Configures and builds one flavour of the project:
#   build.sh DIR [cmake options...] [-- targets...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift

export CCACHE_SLOPPINESS=time_macros
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift

cmake -S "$root" -B "$root/$dir" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null
ninja -C "$root/$dir" "$@"
