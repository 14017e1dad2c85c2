#!/usr/bin/env bash
# Analyses plate N (from 1) of a plate list headless: the body of scripts/batch.sh and of
# scripts/batch.slurm.
#
# usage: batch_plate.sh PLATES.csv N
# The list is a CSV with the header image,rows,cols,out,script and, optionally, more columns
# named after options (interval, times, layout, px-per-mm, dpi, seed, growth, imagefile, base);
# an empty cell leaves that option out. Fields hold no commas. Paths are relative to the list's
# folder. The plate's console output goes to <out>.log and its exit status to <out>.status.
# STEMSCAN names the program (default: build/stemScan of this repository).
set -uo pipefail

list=$1
n=$2
here=$(cd "$(dirname "$0")/.." && pwd)
stemscan=${STEMSCAN:-$here/build/stemScan}
[ -x "$stemscan" ] || { echo "plate $n: no program at $stemscan (build StemScan first)" >&2; exit 2; }
cd "$(dirname "$list")" || exit 2
list=$(basename "$list")

header=$(head -n 1 "$list" | tr -d '\r')
line=$(grep -v '^[[:space:]]*$' "$list" | sed -n "$((n + 1))p" | tr -d '\r')
[ -n "$line" ] || { echo "plate $n: $list has no plate $n" >&2; exit 2; }
IFS=, read -r -a names <<<"$header"
IFS=, read -r -a values <<<"$line"

declare -A plate
for k in "${!names[@]}"; do plate[${names[$k]}]=${values[$k]:-}; done
for column in image rows cols out script; do
  [ -n "${plate[$column]:-}" ] || { echo "plate $n: no $column in $list" >&2; exit 2; }
done

args=("${plate[image]}" "${plate[rows]}" "${plate[cols]}" "${plate[out]}"
  "--script=${plate[script]}")
for k in "${!names[@]}"; do
  name=${names[$k]}
  value=${values[$k]:-}
  case $name in
    image | rows | cols | out | script) ;;
    imagefile | cot) [ -n "$value" ] && args+=("$name=$value") ;;
    base | trace) [[ $value =~ ^(1|yes|true)$ ]] && args+=("--$name") ;;
    *) [ -n "$value" ] && args+=("--$name=$value") ;;
  esac
done

out=${plate[out]}
mkdir -p "$(dirname "$out")"
"$stemscan" "${args[@]}" >"$out.log" 2>&1
status=$?
echo "$status" >"$out.status"
if [ "$status" -eq 0 ]; then
  echo "plate $n: $out: done"
else
  echo "plate $n: $out: FAILED with status $status (see $out.log)"
fi
exit "$status"
