#!/usr/bin/env bash
# Analyses every plate of a plate list headless, several side by side, and lists every plate
# with its status at the end. A failed plate does not stop the others.
#
# usage: scripts/batch.sh PLATES.csv [JOBS]
# JOBS: plates at once (default: the number of cores). See scripts/batch_plate.sh for the list.
# Exit status 0 when every plate succeeded, 1 otherwise.
set -uo pipefail

list=$1
jobs=${2:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$list" ] || { echo "no plate list $list" >&2; exit 2; }
count=$(tail -n +2 "$list" | grep -vc '^[[:space:]]*$')
[ "$count" -gt 0 ] || { echo "$list lists no plate" >&2; exit 2; }

echo "analysing $count plates, $jobs at once"
if command -v parallel >/dev/null; then
  seq "$count" | parallel --will-cite -j "$jobs" bash "$here/batch_plate.sh" "$list" {}
else
  seq "$count" | xargs -P "$jobs" -I{} bash "$here/batch_plate.sh" "$list" {}
fi

echo "summary:"
dir=$(dirname "$list")
failed=0
for n in $(seq "$count"); do
  out=$(grep -v '^[[:space:]]*$' "$list" | sed -n "$((n + 1))p" | tr -d '\r' | cut -d, -f4)
  status=$(cat "$dir/$out.status" 2>/dev/null || echo "not run")
  if [ "$status" = 0 ]; then
    echo "  plate $n  $out  done"
  else
    echo "  plate $n  $out  FAILED ($status; see $out.log)"
    failed=$((failed + 1))
  fi
done
echo "$((count - failed)) of $count plates done, $failed failed"
[ "$failed" -eq 0 ]
