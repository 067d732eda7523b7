#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: first under AddressSanitizer
# and UndefinedBehaviorSanitizer, then the plain build, whose CTest summary ends the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh

scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DPELLION_SANITIZE=ON
scripts/build.sh build/debug -DCMAKE_BUILD_TYPE=Debug

export ASAN_OPTIONS="fast_unwind_on_malloc=0:detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/Tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build/asan && ctest --output-on-failure -j "$(nproc)")
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

(cd build/debug && ctest --output-on-failure -j "$(nproc)")
