#!/usr/bin/env bash
# Configures and builds one flavour of the project:
#   build.sh DIR [cmake options...] [-- ninja arguments (targets, -jN)...]
# The number of compile jobs fits both the cores and the free memory, unless
# PELLION_BUILD_JOBS sets it (a -jN after -- wins over both).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
command_line="$(printf '%q ' "$0" "$@")"
dir="$1"; shift

export CCACHE_SLOPPINESS=time_macros
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift

# Memory one compile job may need: the framework's largest unit, juce_gui_basics,
# peaks at 1.3 GB (1273 MB under AddressSanitizer, 1348 MB under ThreadSanitizer).
memory_per_job_kb=$((1536 * 1024))

# What this machine can give now: the kernel's estimate of available memory,
# or less where a control group limits this process.
available_memory_kb() {
  local available limit usage
  available="$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo 2>/dev/null || true)"
  available="${available:-0}"
  for pair in "/sys/fs/cgroup/memory.max /sys/fs/cgroup/memory.current" \
              "/sys/fs/cgroup/memory/memory.limit_in_bytes /sys/fs/cgroup/memory/memory.usage_in_bytes"; do
    set -- $pair
    if [ -r "$1" ] && [ -r "$2" ] && [ "$(cat "$1")" != "max" ]; then
      limit="$(cat "$1")"; usage="$(cat "$2")"
      # A limit beyond any real memory means none.
      if [ "${#limit}" -lt 19 ] && [ $(((limit - usage) / 1024)) -lt "$available" ]; then
        available=$(((limit - usage) / 1024))
      fi
    fi
  done
  echo "$available"
}

if [ -n "${PELLION_BUILD_JOBS:-}" ]; then
  if ! [[ "$PELLION_BUILD_JOBS" =~ ^[1-9][0-9]*$ ]]; then
    echo "build.sh: PELLION_BUILD_JOBS must be a whole number of jobs from 1, not '$PELLION_BUILD_JOBS'" >&2
    exit 2
  fi
  jobs="$PELLION_BUILD_JOBS"
  why="PELLION_BUILD_JOBS"
else
  cores="$(nproc)"
  memory_kb="$(available_memory_kb)"
  by_memory=$((memory_kb / memory_per_job_kb))
  jobs=$((by_memory < cores ? by_memory : cores))
  jobs=$((jobs < 1 ? 1 : jobs))
  why="$cores cores, $((memory_kb / 1024)) MB of memory free, up to 1.5 GB a job"
fi

# The caller's own ninja arguments come last, so that a -jN among them wins.
jobs_used="$jobs"
count_follows=false
for argument in "$@"; do
  if $count_follows; then
    jobs_used="$argument"; why="-j after --"; count_follows=false
    continue
  fi
  case "$argument" in
    -j) count_follows=true ;;
    -j[0-9]*) jobs_used="${argument#-j}"; why="-j after --" ;;
  esac
done
echo "build.sh: building $dir with $jobs_used jobs ($why)"

cmake -S "$root" -B "$root/$dir" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null

if ! ninja -C "$root/$dir" -j "$jobs" "$@"; then
  fewer=$((jobs_used > 1 ? jobs_used / 2 : 1))
  if [ "$why" = "-j after --" ]; then
    smaller="pass a smaller -j after --, e.g. -j$fewer"
  else
    smaller="use fewer jobs, e.g.
    PELLION_BUILD_JOBS=$fewer $command_line
  (or PELLION_BUILD_JOBS=$fewer scripts/run.sh, and the same for scripts/test.sh)"
  fi
  cat >&2 <<EOF

build.sh: the build of $dir stopped (with $jobs_used jobs). What finished is kept:
  to go on from there, run the same command again.
  If a compiler was killed ("Killed", "signal 9"), memory ran short: $smaller.
EOF
  exit 1
fi
