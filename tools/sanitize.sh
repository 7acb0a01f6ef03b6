#!/usr/bin/env bash
# Builds the programs and the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-san and runs every test there. Any
# report aborts the process that made it, so it fails its test.
#   TARVOK_SAN_EXCLUDE  ctest regex of tests to leave out (slow under ASan)
#   TARVOK_SAN_JOBS     parallel build and test jobs (default 8)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${TARVOK_SAN_JOBS:-8}"
exclude="${TARVOK_SAN_EXCLUDE:-}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOK_SANITIZE=ON >/dev/null
cmake --build build-san -j"$jobs"
if [ -n "$exclude" ]; then
  ctest --test-dir build-san --output-on-failure -j"$jobs" -E "$exclude"
else
  ctest --test-dir build-san --output-on-failure -j"$jobs"
fi
