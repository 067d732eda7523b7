#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the threaded tests under
# ThreadSanitizer, each fuzz target for a bounded time, the drift tables
# optimised, clang-tidy over our own code, and last every other test under
# AddressSanitizer and UndefinedBehaviorSanitizer,
# whose CTest summary ends the run. Each stage prints when it starts, so a slow one shows.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh

# The editor's window and menu tests need a display: a virtual one unless one is set.
source scripts/display.sh
pellion_start_virtual_display || echo "display: none; the tests that need a window skip" >&2

# Every test runs under the test guard, which fails it within its limit when it
# hangs or leaves a process running (Tests/CMakeLists.txt); CTest's timeout
# here is the backstop for anything else it runs.
ctest_timeout=900

echo "== ThreadSanitizer (the audio rings, the update jobs, the pedal link, the processor and the host interface, whose tests run their threads) $(date +%T)"
scripts/build.sh build/tsan -DCMAKE_BUILD_TYPE=Debug -DPELLION_TSAN=ON -- PellionUnitTests PellionLinkTests PellionPluginTests PellionHostTests
# Each test in a process of its own, as many at once as there are cores.
(
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
  cd build/tsan && ctest --output-on-failure -j "$(nproc)" --timeout "$ctest_timeout"
)

# Optimised lightly: the framework is instrumented too, and compiling it is most of this stage.
echo "== Fuzzing $(date +%T)"
scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DPELLION_FUZZ=ON -DPELLION_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -- fuzzers
scripts/fuzz.sh build/fuzz 10

# Hours of simulated streaming check arithmetic and timing, not memory: they
# run once, optimised and without a sanitizer.
echo "== Drift tables (the pedal link streaming under every block size, host rendering, clock drift, late callbacks and gaps) $(date +%T)"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -- PellionDriftTests
(cd build/release && ctest --output-on-failure -j "$(nproc)" --timeout "$ctest_timeout" -R "AudioDrift|ProcessorAtHalfWet")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: build $(date +%T)"
scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DPELLION_SANITIZE=ON

# Over what that build compiled of ours, with its compile commands.
echo "== clang-tidy $(date +%T)"
scripts/tidy.py build/asan

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: tests $(date +%T)"
(
  export ASAN_OPTIONS="fast_unwind_on_malloc=0:detect_leaks=1"
  export LSAN_OPTIONS="suppressions=$root/Tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  cd build/asan && ctest --output-on-failure -j "$(nproc)" --timeout "$ctest_timeout"
)
