#!/usr/bin/env bash
# Installs what is missing, builds StemScan and runs it with the given arguments. Without
# arguments it analyses the built-in sample plate: in real windows where a display exists,
# headless with the sample's demo session where none does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target stemScan sample_plate
if [ $# -gt 0 ]; then
  exec build/stemScan "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/stemScan
fi
echo "no display: analysing the sample plate headless with its demo session"
exec build/stemScan build/images/sample/sample00.png 1 6 build/results \
  --script=build/images/sample/demo_session.txt
