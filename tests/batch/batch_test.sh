#!/usr/bin/env bash
# Plates side by side: three sample plates, one with a broken session script, analysed by
# scripts/batch.sh with two jobs; then one plate as the task of a Slurm array job.
#
# usage: batch_test.sh STEMSCAN STEMSCAN_SAMPLE SCRIPTS_DIR
set -uo pipefail

export STEMSCAN=$1
sample=$2
scripts=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

for p in 1 2 3; do
  "$sample" --out="$work/p$p" --name=plate --cols=2 --width=240 --height=160 --images=4 \
    --session="$work/p$p/session.txt" >/dev/null || fail "cannot render plate $p"
done
echo "mouse StemScan fly 1 2" >>"$work/p3/session.txt"
cat >"$work/plates.csv" <<LIST
image,rows,cols,out,script,interval
p1/plate00.png,1,2,results/p1,p1/session.txt,15
p2/plate00.png,1,2,results/p2,p2/session.txt,
p3/plate00.png,1,2,results/p3,p3/session.txt,15
LIST

bash "$scripts/batch.sh" "$work/plates.csv" 2 >"$work/batch.log" 2>&1
status=$?
cat "$work/batch.log"
[ "$status" -eq 1 ] || fail "batch.sh ended with status $status, not 1"
grep -q "plate 1  results/p1  done" "$work/batch.log" || fail "plate 1 is not listed as done"
grep -q "plate 2  results/p2  done" "$work/batch.log" || fail "plate 2 is not listed as done"
grep -q "plate 3  results/p3  FAILED (2" "$work/batch.log" || fail "plate 3 is not listed as failed"
grep -q "2 of 3 plates done, 1 failed" "$work/batch.log" || fail "no count in the summary"
[ -s "$work/results/p1_len.txt" ] && [ -s "$work/results/p2.csv" ] || fail "tables missing"
grep -q "time step: 15 min" "$work/results/p1.log" || fail "the interval column was not passed"
grep -q "session.txt:.*cannot read this line" "$work/results/p3.log" || fail "no reason in p3.log"

rm -f "$work/results/p2"*
SLURM_ARRAY_TASK_ID=2 bash "$scripts/batch.slurm" "$work/plates.csv" >"$work/slurm.log" 2>&1 \
  || fail "the Slurm task failed: $(cat "$work/slurm.log")"
[ "$(cat "$work/results/p2.status")" = 0 ] && [ -s "$work/results/p2_len.txt" ] \
  || fail "the Slurm task did not analyse plate 2"
echo "batch: 1 passed, 0 failed"
