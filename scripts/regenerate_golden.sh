#!/usr/bin/env bash
# Writes the golden files in tests/golden anew from the program as it now is: the tables of the
# built-in sample (both fits), its overlays and record, and the tables of cry1 in both fits
# (where ../shared/data/cry1 is). The golden tests hold every later change to these files: run
# this only when a change of the results is meant, and say in the commit why they changed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target stemscan_system_tests stemScan sample_plate
STEMSCAN_REGENERATE_GOLDEN=1 build/stemscan_system_tests \
  --gtest_filter='DefaultFit.*:UnchangedResults.*:RefinedFit.TablesOfCry1StayAsTheyWere'
git status --short tests/golden
