#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# With --sanitize: the same suite built with AddressSanitizer and UBSan in
# ./build-asan; a sanitizer report (memory error, leak, undefined behaviour)
# fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  scripts/build.sh --sanitize
  cd build-asan
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=0:strict_string_checks=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp:print_suppressions=0"
else
  scripts/build.sh
  cd build
fi
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
