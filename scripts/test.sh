#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in a normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
#
# usage: scripts/test.sh [--tsan]
# --tsan: instead, builds with ThreadSanitizer (build-tsan) and runs the tests that do not drive
# real windows or other processes, which would only report the window library's threads.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=2
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

if [ "${1:-}" = "--tsan" ]; then
  echo "== ThreadSanitizer build =="
  # The sample plate is rendered through GDAL, which ThreadSanitizer flags while building.
  export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp"
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTEMSCAN_TSAN=ON >/dev/null
  TSAN_OPTIONS="exitcode=0 $TSAN_OPTIONS" cmake --build build-tsan -j "$jobs"
  (cd build-tsan && ctest --output-on-failure -j "$jobs" -E 'RealWindows|Batch|StoppedRun')
  exit
fi
[ $# -eq 0 ] || { echo "usage: scripts/test.sh [--tsan]" >&2; exit 2; }

echo "== normal build =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
# Fontconfig (under cairo's text) leaves its font patterns unfreed at exit.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DSTEMSCAN_SANITIZE=ON
