#!/usr/bin/env bash
# Sets everything up, builds, and runs the program on the demo data in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
cmake --build build -j"$(nproc)"
cd demo
exec ../build/vexmoor
