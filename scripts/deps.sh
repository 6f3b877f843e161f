#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, when any is missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config
      qt6-base-dev qt6-charts-dev libqt6opengl6-dev
      libsqlite3-dev sqlite3 mdbtools-dev mdbtools libgsf-1-dev libshp-dev
      googletest libgtest-dev libgmock-dev fonts-dejavu-core xvfb xauth imagemagick
      python3-xlrd python3-dbfread publicsuffix)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# node and npm run a second Access reader (the npm package mdb-reader) in the
# tests; a node that brings its own npm counts.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
