#!/usr/bin/env bash
# Lists every plate of a plate list with its status, from the <out>.status files its runs
# left; the last step of scripts/batch.sh, and the step to run once a Slurm array is done.
#
# usage: batch_summary.sh PLATES.csv
# Exit status 0 when every plate succeeded, 1 otherwise.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/plate_list.sh"

[ $# -eq 1 ] || { echo "usage: batch_summary.sh PLATES.csv" >&2; exit 2; }
list=$1
plate_list_load "$list" || exit 2
dir=$(dirname "$list")
count=${#PLATE_LINES[@]}
failed=0
echo "summary:"
for n in $(seq "$count"); do
  plate_select "$n"
  out=${PLATE[out]}
  status_file=$(plate_path "$dir" "$out.status")
  status=$(cat "$status_file" 2>/dev/null || echo "not run")
  if [ "$status" = 0 ]; then
    echo "  plate $n  $out  done"
  else
    echo "  plate $n  $out  FAILED ($status; see $(plate_path "$dir" "$out.log"))"
    failed=$((failed + 1))
  fi
done
echo "$((count - failed)) of $count plates done, $failed failed"
# The experiment: every plate that ran, merged beside the list (a failed one named, left out).
stemscan=${STEMSCAN:-$here/../build/stemScan}
if [ -x "$stemscan" ]; then
  "$stemscan" --merge "$list"
  merged=$?
  [ "$merged" -eq 2 ] && failed=$((failed + 1))
else
  echo "no program at $stemscan: the experiment tables were not merged" >&2
fi
[ "$failed" -eq 0 ]
