#!/usr/bin/env bash
# Installs what is missing, builds StemScan and runs it with the given arguments (none: the
# built-in sample plate).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target stemScan
exec build/stemScan "$@"
