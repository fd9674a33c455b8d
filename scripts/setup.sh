#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need, when they are
# missing, then configures the build directory given (default build/).
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libsndfile1-dev libpng-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xdotool x11-utils x11-apps imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=""; elif command -v sudo >/dev/null; then sudo="sudo"; else
    echo "setup: these Debian packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
