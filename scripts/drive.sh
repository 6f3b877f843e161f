#!/usr/bin/env bash
# Runs the program on a virtual 1280x1024 screen and drives it with a steps
# file, to look at a road a user takes (needs xdotool and ImageMagick):
#   scripts/drive.sh steps.sh [build dir] [shots dir]
# The steps file is a bash script that may use:
#   shot NAME        the whole screen to SHOTS/NAME.png
#   clk X Y [WAIT]   a left click at screen pixel X,Y, then WAIT seconds (1)
#   key KEYS...      keys as xdotool names them (ctrl+o, Return, Escape)
#   typ TEXT         types TEXT
#   focus            gives the main window the keyboard
#   waitfor REGEX    waits (up to 60 s) for a window whose title matches
# Without a window manager the main window sits at 0,0 and keeps its
# designed size. The program runs from a copy of the build's program folder
# with a fresh settings folder, so the build's working database is untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
steps="$(realpath "$1")"
build="$(realpath "${2:-build}")"
export SHOTS="$(realpath -m "${3:-/tmp/quillabrand-shots}")"
mkdir -p "$SHOTS"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/config"
cp -r resources/program/. "$work/program/"
cp "$build/quillabrand" "$build/acs1" "$build/acs2" "$build/sysbkfls.sys" "$work/program/"
cp -r "$build/help" "$work/program/"
cp "$build/Settings/gTLDs.txt" "$work/program/Settings/"

XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  shot() { import -window root "$SHOTS/$1.png"; }
  clk() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1}"; }
  key() { xdotool key --delay 80 "$@"; sleep 1; }
  typ() { xdotool type --delay 30 "$1"; sleep 0.5; }
  waitfor() { for _ in $(seq 1 120); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.5; done; return 1; }
  focus() { xdotool windowfocus --sync "$(xdotool search --name "^Lumacor Quillabrand Pro" | head -1)"; }
  "$1/quillabrand" &
  pid=$!
  waitfor "^Lumacor Quillabrand Pro"
  sleep 2
  source "$2"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$work/program" "$steps"
echo "$SHOTS"
