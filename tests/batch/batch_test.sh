#!/usr/bin/env bash
# Plates side by side: sample plates, one with a broken session script, analysed by
# scripts/batch.sh with two jobs; lists whose fields and paths hold shell syntax and blanks;
# lists that must be refused; plates without a script; then plates as the tasks of a Slurm array job, submitted from
# elsewhere, and the array's summary step.
#
# usage: batch_test.sh STEMSCAN STEMSCAN_SAMPLE SCRIPTS_DIR
set -uo pipefail

export STEMSCAN=$(realpath "$1")
sample=$(realpath "$2")
scripts=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
render() {
  "$sample" --out="$1" --name=plate --cols=2 --width=240 --height=160 --images=4 \
    --session="$1/session.txt" >/dev/null || fail "cannot render plate $1"
}

# Three plates; columns in another order than the usual one, a flag column, a byte-order mark
# and blank lines.
for p in 1 2 3; do render "$work/p$p"; done
echo "mouse StemScan fly 1 2" >>"$work/p3/session.txt"
printf '\xef\xbb\xbf\r\nout,image,refine,rows,cols,script,interval\r\n' >"$work/plates.csv"
cat >>"$work/plates.csv" <<LIST
results/p1,p1/plate00.png,yes,1,2,p1/session.txt,15

results/p2,p2/plate00.png,no,1,2,p2/session.txt,
results/p3,p3/plate00.png,,1,2,p3/session.txt,15
LIST
(cd "$work" && bash "$scripts/batch.sh" plates.csv 2) >"$work/batch.log" 2>&1
status=$?
cat "$work/batch.log"
[ "$status" -eq 1 ] || fail "batch.sh ended with status $status, not 1"
grep -q "plate 1  results/p1  done" "$work/batch.log" || fail "plate 1 is not listed as done"
grep -q "plate 2  results/p2  done" "$work/batch.log" || fail "plate 2 is not listed as done"
grep -q "plate 3  results/p3  FAILED (2; see results/p3.log)" "$work/batch.log" \
  || fail "plate 3 is not listed as failed with a log path the user can open"
grep -q "2 of 3 plates done, 1 failed" "$work/batch.log" || fail "no count in the summary"
[ -s "$work/results/p1_len.txt" ] && [ -s "$work/results/p2.csv" ] || fail "tables missing"
grep -q "time step: 15 min" "$work/results/p1.log" || fail "the interval column was not passed"
grep -q "refined fit" "$work/results/p1.log" || fail "refine=yes did not reach plate 1"
grep -q "refined fit" "$work/results/p2.log" && fail "refine=no reached plate 2"
grep -q "session.txt:.*cannot read this line" "$work/results/p3.log" || fail "no reason in p3.log"
# The experiment beside the list: plates 1 and 2, plate 3 named and left out.
[ -s "$work/experiment.csv" ] || fail "no experiment.csv beside the list"
grep -q "^results/p1,0," "$work/experiment.csv" || fail "plate 1 is not in experiment.csv"
grep -q "^results/p3" "$work/experiment.csv" && fail "the failed plate 3 is in experiment.csv"
grep -q "results/p3,results/p3,no," "$work/experiment_plates.csv" \
  || fail "plate 3 is not listed as left out: $(cat "$work/experiment_plates.csv")"
# Run from elsewhere, the log paths name the list's folder.
bash "$scripts/batch_summary.sh" "$work/plates.csv" >"$work/summary.log" 2>&1
grep -q "see $work/results/p3.log" "$work/summary.log" || fail "summary paths: $(cat "$work/summary.log")"

# Shell syntax in paths, names and fields is never run: every value is one argument.
odd="$work/my plates \$(touch PWNED1) \`touch PWNED2\`;touch PWNED3"
mkdir -p "$odd"
render "$odd/p 1"
cat >"$odd/list;touch PWNED4.csv" <<'LIST'
image,rows,cols,out,script,cot
p 1/plate00.png,1,2,res $(touch PWNED5)/a;b `touch PWNED6`,p 1/session.txt,$(touch PWNED7);x
LIST
(cd "$work" && bash "$scripts/batch.sh" "$odd/list;touch PWNED4.csv" 1) >"$work/odd.log" 2>&1 \
  || fail "the plate with odd names failed: $(cat "$work/odd.log")"
[ -z "$(find "$work" -name 'PWNED[0-9]' 2>/dev/null)" ] && [ ! -e /PWNED3 ] \
  || fail "a field or a path was run as code: $(find "$work" -name 'PWNED[0-9]')"
[ -s "$odd/res \$(touch PWNED5)/a;b \`touch PWNED6\`_len.txt" ] || fail "odd out name not written"

# Lists that cannot be used are refused before anything runs.
refused() {
  local name=$1 text=$2
  printf '%s\n' "$text" >"$work/$name.csv"
  bash "$scripts/batch.sh" "$work/$name.csv" 1 >"$work/$name.log" 2>&1
  [ $? -eq 2 ] || fail "$name: not refused: $(cat "$work/$name.log")"
}
refused twice $'image,rows,cols,out,script\np1/plate00.png,1,2,r/x,p1/session.txt\np2/plate00.png,1,2,r/x,p2/session.txt'
grep -q "lines 2 and 3 both write out r/x" "$work/twice.log" || fail "no rows named: $(cat "$work/twice.log")"
refused badflag $'image,rows,cols,out,script,base\np1/plate00.png,1,2,r/y,p1/session.txt,maybe'
grep -q "column base takes yes or no, not maybe" "$work/badflag.log" || fail "no flag message"
refused noout $'image,rows,cols,script\np1/plate00.png,1,2,p1/session.txt'
[ ! -e "$work/r" ] || fail "a refused list ran a plate"

# Plates without a session script run with --auto; detect and bright are flag columns.
cat >"$work/auto.csv" <<'LIST'
image,rows,cols,out,detect,bright
p1/plate00.png,1,2,auto/p1,yes,
p2/plate00.png,1,2,auto/p2,,no
LIST
(cd "$work" && bash "$scripts/batch.sh" auto.csv 1) >"$work/auto.log" 2>&1 \
  || fail "plates without a script: $(cat "$work/auto.log")"
for p in p1 p2; do
  grep -q "automatic run" "$work/auto/$p.log" || fail "$p did not run with --auto"
  grep -q "seedlings found: 2" "$work/auto/$p.log" || fail "$p: $(cat "$work/auto/$p.log")"
  [ -s "$work/auto/${p}_len.txt" ] || fail "$p wrote no tables"
done

# Slurm: task 2 of the array from a copy of the script (as Slurm runs it), submitted from
# another folder; task 0 and a missing list are refused; the summary step after the array.
mkdir -p "$work/spool" "$work/elsewhere"
cp "$scripts/batch.slurm" "$work/spool/slurm_script"
rm -f "$work/results/p2"*
(cd "$work/elsewhere" && SLURM_SUBMIT_DIR="$work/elsewhere" SLURM_ARRAY_TASK_ID=2 \
  bash "$work/spool/slurm_script" "$work/plates.csv") >"$work/slurm.log" 2>&1 \
  || fail "the Slurm task failed: $(cat "$work/slurm.log")"
[ "$(cat "$work/results/p2.status")" = 0 ] && [ -s "$work/results/p2_len.txt" ] \
  || fail "the Slurm task did not analyse plate 2"
SLURM_ARRAY_TASK_ID=0 bash "$scripts/batch.slurm" "$work/plates.csv" >"$work/zero.log" 2>&1
[ $? -eq 2 ] && grep -q "counted from 1" "$work/zero.log" || fail "task 0: $(cat "$work/zero.log")"
SLURM_ARRAY_TASK_ID=1 bash "$scripts/batch.slurm" >"$work/nolist.log" 2>&1
[ $? -eq 2 ] && grep -q "usage: sbatch" "$work/nolist.log" || fail "no list: $(cat "$work/nolist.log")"
bash "$scripts/batch_summary.sh" "$work/plates.csv" >"$work/array.log" 2>&1
[ $? -eq 1 ] && grep -q "2 of 3 plates done, 1 failed" "$work/array.log" \
  || fail "the array's summary: $(cat "$work/array.log")"
echo "batch: 1 passed, 0 failed"
