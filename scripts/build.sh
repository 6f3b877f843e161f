#!/usr/bin/env bash
# Configures and builds (Ninja, RelWithDebInfo): into ./build, with
# --sanitize into ./build-asan with AddressSanitizer and UBSan, or with
# --tsan into ./build-tsan with ThreadSanitizer (only the tests of the jobs
# that use threads, see tests/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
opts=()
targets=()
case "${1:-}" in
  --sanitize) dir=build-asan; opts=(-DQB_SANITIZE=ON) ;;
  --tsan) dir=build-tsan; opts=(-DQB_TSAN=ON); targets=(--target qb_tsan_tests) ;;
esac
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${opts[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
