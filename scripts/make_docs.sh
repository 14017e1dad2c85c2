#!/usr/bin/env bash
# Regenerates the manual's picture, docs/growth_sample.svg: the growth plot of the built-in
# sample plate analysed headless with its demo session, an assumed 20 minutes between images,
# an assumed 10 px/mm and two made-up groups of three seedlings (docs/sample_layout.csv).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target stemScan sample_plate
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/stemScan build/images/sample/sample00.png 1 6 "$work/sample" \
  --script=build/images/sample/demo_session.txt --seed=1 --interval=20 --px-per-mm=10 \
  --layout=docs/sample_layout.csv >/dev/null
cp "$work/sample_growth.svg" docs/growth_sample.svg
echo "written: docs/growth_sample.svg"
