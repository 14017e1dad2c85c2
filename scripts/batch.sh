#!/usr/bin/env bash
# Analyses every plate of a plate list headless, several side by side, and lists every plate
# with its status at the end. A failed plate does not stop the others.
#
# usage: scripts/batch.sh PLATES.csv [JOBS]
# JOBS: plates at once (default: the number of cores). The list's columns are described in
# scripts/plate_list.sh. Exit status 0 when every plate succeeded, 1 otherwise, 2 for a list
# that cannot be used.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/plate_list.sh"

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: scripts/batch.sh PLATES.csv [JOBS]" >&2; exit 2; }
list=$1
jobs=${2:-$(nproc)}
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "JOBS must be a whole number from 1, not $jobs" >&2; exit 2; }
plate_list_load "$list" || exit 2
plate_list_check_outs "$list" || exit 2
count=${#PLATE_LINES[@]}
# Every plate's fields are checked before any runs.
for n in $(seq "$count"); do
  plate_select "$n"
  plate_arguments "$list:${PLATE_LINE_NUMBERS[$((n - 1))]}" 2>/dev/null || {
    plate_arguments "$list:${PLATE_LINE_NUMBERS[$((n - 1))]}"
    exit 2
  }
done

echo "analysing $count plates, $jobs at once"
# xargs runs the script itself, with the list's path as one argument: no shell reads it.
seq "$count" | xargs -P "$jobs" -n 1 bash "$here/batch_plate.sh" "$list"

bash "$here/batch_summary.sh" "$list"
