#!/usr/bin/env bash
# Runs every fuzz target over its corpus and kept regression inputs for a
# bounded time: fuzz.sh BUILD_DIR SECONDS_PER_TARGET. A crash fails the run and
# leaves the input under BUILD_DIR/artifacts to be kept in Fuzz/regressions.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
seconds="${2:-20}"
mkdir -p "$build/artifacts"

for corpus in "$root"/Fuzz/corpus/*/; do
  name="$(basename "$corpus")"
  fuzzer="$build/Fuzz/fuzz_$name"
  [ -x "$fuzzer" ] || { echo "missing fuzzer $fuzzer"; exit 1; }

  work="$(mktemp -d)"
  inputs=("$work" "$corpus")
  [ -d "$root/Fuzz/regressions/$name" ] && inputs+=("$root/Fuzz/regressions/$name")

  echo "fuzzing $name for ${seconds}s"
  # libFuzzer bounds the fuzzing and each input, not the whole; this bounds
  # the whole, with room for a slow machine to read the corpus first.
  limit=$((seconds + 600))
  status=0
  timeout --kill-after=30 "$limit" "$fuzzer" -timeout=3 -max_total_time="$seconds" -close_fd_mask=3 \
    -print_final_stats=0 -artifact_prefix="$build/artifacts/$name-" \
    "${inputs[@]}" > "$build/artifacts/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -40 "$build/artifacts/$name.log"
    [ "$status" -eq 124 ] || [ "$status" -eq 137 ] && echo "fuzz_$name was still running after ${limit}s, so it was stopped"
    rm -rf "$work"
    exit 1
  fi
  grep -E "^Done [0-9]+ runs" "$build/artifacts/$name.log" || true
  rm -rf "$work"
done
