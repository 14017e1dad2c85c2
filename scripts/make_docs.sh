#!/usr/bin/env bash
# Regenerates the manual's pictures: docs/growth_sample.png, the growth figure of the built-in
# sample plate analysed headless with its demo session (an assumed 20 minutes between images,
# an assumed 10 px/mm and two made-up groups of three seedlings, docs/sample_layout.csv); and
# docs/experiment_sample.png, the experiment figure of two sample plates merged: the built-in
# one labelled "wild type" and a second, slower-growing one labelled "mutant".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target stemScan sample_plate stemscan-sample
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
common=(--seed=1 --interval=20 --px-per-mm=10)
build/stemScan build/images/sample/sample00.png 1 6 "$work/sample" \
  --script=build/images/sample/demo_session.txt "${common[@]}" \
  --layout=docs/sample_layout.csv >/dev/null
cp "$work/sample_growth.png" docs/growth_sample.png
echo "written: docs/growth_sample.png"

mkdir -p "$work/slow"
build/stemscan-sample --out="$work/slow" --name=slow --growth=1.6 --seed=5 \
  --session="$work/slow/session.txt" >/dev/null
for plate in wild_type mutant; do
  printf 'row,col,label\n' >"$work/$plate.csv"
  for col in 1 2 3 4 5 6; do printf '1,%s,%s\n' "$col" "${plate/_/ }" >>"$work/$plate.csv"; done
done
build/stemScan build/images/sample/sample00.png 1 6 "$work/plate1" \
  --script=build/images/sample/demo_session.txt "${common[@]}" \
  --layout="$work/wild_type.csv" >/dev/null
build/stemScan "$work/slow/slow00.png" 1 6 "$work/plate2" --script="$work/slow/session.txt" \
  "${common[@]}" --layout="$work/mutant.csv" >/dev/null
printf 'plate,out\nplate 1,plate1\nplate 2,plate2\n' >"$work/sample_experiment.csv"
build/stemScan --merge "$work/sample_experiment.csv" --control="wild type" >/dev/null
cp "$work/experiment_growth.png" docs/experiment_sample.png
cp "$work/experiment_summary.csv" docs/experiment_sample_summary.csv
echo "written: docs/experiment_sample.png, docs/experiment_sample_summary.csv"
