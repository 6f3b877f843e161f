#!/usr/bin/env bash
# Configures and builds (Ninja, RelWithDebInfo): into ./build, or with
# --sanitize into ./build-asan with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  opts=(-DQB_SANITIZE=ON)
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${opts[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
