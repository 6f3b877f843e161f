#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# With --sanitize: the same suite built with AddressSanitizer and UBSan in
# ./build-asan; a sanitizer report (memory error, leak, undefined behaviour)
# fails the test that caused it.
# With --tsan: the tests of the jobs that use threads, built with
# ThreadSanitizer in ./build-tsan; a report (a data race, a lock misused)
# fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
case "${1:-}" in
  --sanitize)
    scripts/build.sh --sanitize
    cd build-asan
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=0:strict_string_checks=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp:print_suppressions=0"
    ;;
  --tsan)
    scripts/build.sh --tsan
    cd build-tsan
    # Debian's Qt, SQLite and the other system libraries are not built with
    # ThreadSanitizer: it cannot see the locks they take inside themselves
    # (Qt's mutexes wait on the kernel directly), so what their own threads
    # do is not checked (ignore_noninstrumented_modules); the program's code,
    # Qt's inline code compiled into it included, is.
    export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$PWD/../scripts/tsan.supp:print_suppressions=0"
    ;;
  *)
    scripts/build.sh
    cd build
    ;;
esac
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
