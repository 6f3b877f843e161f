#!/usr/bin/env bash
# Starts the program on a virtual 1280x1024 screen, waits, and saves a
# screenshot of the whole screen, so one can look at what a user sees.
#   scripts/screenshot.sh [build dir] [output.png] [seconds to wait]
# The program's settings (recent files, tip option) go to a fresh temporary
# folder, so the screenshot shows a first start.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out="${2:-/tmp/quillabrand.png}"
wait="${3:-5}"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME="$config" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1/quillabrand" &
  pid=$!
  sleep "$3"
  import -window root "$2"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$build" "$out" "$wait"
echo "$out"
