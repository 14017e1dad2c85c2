#!/usr/bin/env bash
# Analyses plate N (from 1) of a plate list headless: the body of scripts/batch.sh and of
# scripts/batch.slurm.
#
# usage: batch_plate.sh PLATES.csv N
# The list's columns are described in scripts/plate_list.sh. Paths are relative to the list's
# folder. The plate's console output goes to <out>.log and its exit status to <out>.status.
# STEMSCAN names the program (default: build/stemScan of this repository).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/plate_list.sh"

[ $# -eq 2 ] || { echo "usage: batch_plate.sh PLATES.csv N" >&2; exit 2; }
list=$1
n=$2
stemscan=${STEMSCAN:-$here/../build/stemScan}
[ -x "$stemscan" ] || { echo "plate $n: no program at $stemscan (build StemScan first)" >&2; exit 2; }
[[ $n =~ ^[0-9]+$ ]] || { echo "plate $n: not a plate number" >&2; exit 2; }
plate_list_load "$list" || exit 2
if [ "$n" -lt 1 ] || [ "$n" -gt "${#PLATE_LINES[@]}" ]; then
  echo "plate $n: $list lists plates 1 to ${#PLATE_LINES[@]} (counted from 1)" >&2
  exit 2
fi
plate_select "$n"
plate_arguments "$list:${PLATE_LINE_NUMBERS[$((n - 1))]}" || exit 2

case $stemscan in /*) ;; *) stemscan=$(pwd)/$stemscan ;; esac
cd "$(dirname "$list")" || exit 2
out=${PLATE[out]}
mkdir -p "$(dirname "$out")"
"$stemscan" "${PLATE_ARGS[@]}" >"$out.log" 2>&1
status=$?
echo "$status" >"$out.status"
if [ "$status" -eq 0 ]; then
  echo "plate $n: $out: done"
else
  echo "plate $n: $out: FAILED with status $status (see $out.log)"
fi
exit "$status"
