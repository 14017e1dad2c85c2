#!/usr/bin/env bash
# StemScan in real windows: an X server (Xvfb) and xdotool play a user who creates hypocotyls,
# moves the threshold slider, steps through images, walks back, corrects a point, saves,
# returns and quits. The run's record must then replay headless to the same tables.
#
# usage: real_windows_test.sh STEMSCAN STEMSCAN_SAMPLE
# Exit 77 (a skip, with the reason) where no X server can be started here. Set
# STEMSCAN_KEEP_WORK=1 to keep the plate, the record and the tables for a look.
set -uo pipefail

stemscan=$1
sample=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; [ -f "$work/run.log" ] && tail -20 "$work/run.log"; exit 1; }

command -v Xvfb >/dev/null || skip "Xvfb is not installed"
command -v xdotool >/dev/null || skip "xdotool is not installed"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ -n "${STEMSCAN_KEEP_WORK:-}" ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# A free display number.
for n in $(seq 91 140); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || skip "Xvfb cannot start: $(tail -1 "$work/xvfb.log")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

"$sample" --out="$work" --name=plate --cols=3 --width=480 --height=320 --images=6 \
  || fail "cannot render the plate"

"$stemscan" "$work/plate00.png" 1 3 "$work/live" --seed=11 --record="$work/record.txt" \
  >"$work/run.log" 2>&1 &
app_pid=$!

window_id() {
  for _ in $(seq 100); do
    local id
    id=$(xdotool search --name "^$1( - .*)?\$" 2>/dev/null | tail -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
main=$(window_id StemScan) || fail "the main window did not open"
sleep 1

# Where a pixel of the frame is on the screen: the frame is fitted, centred, into the window
# above the slider row.
eval "$(xdotool getwindowgeometry --shell "$main")"
win_x=$X win_y=$Y win_w=$WIDTH win_h=$HEIGHT
slider_row=26
screen_of() {  # frame x y -> screen x y
  awk -v x="$1" -v y="$2" -v wx="$win_x" -v wy="$win_y" -v ww="$win_w" -v wh="$win_h" \
    -v sr="$slider_row" 'BEGIN {
      s = (ww / 480 < (wh - sr) / 320) ? ww / 480 : (wh - sr) / 320;
      ox = (ww - 480 * s) / 2; oy = (wh - sr - 320 * s) / 2;
      printf "%d %d", wx + ox + x * s, wy + oy + y * s }'
}
# Waits up to 5 s for the main window's title to read $1.
expect_title() {
  local title
  for _ in $(seq 50); do
    title=$(xdotool getwindowname "$main")
    [ "$title" = "$1" ] && return 0
    sleep 0.1
  done
  fail "the title reads \"$title\", not \"$1\""
}
press() {
  xdotool windowfocus --sync "$main" 2>/dev/null
  xdotool key "$1"
  sleep 0.6
}

xdotool windowfocus --sync "$main"
# Alt + right click at the top of each seedling; Ctrl + Alt + right click for the last one, as
# on desktops that take Alt + right click for themselves.
modifiers=(alt alt ctrl+alt)
k=0
while read -r x y; do
  read -r sx sy <<<"$(screen_of "${x%.*}" "${y%.*}")"
  xdotool mousemove "$sx" "$sy"
  sleep 0.2
  xdotool keydown "${modifiers[$k]}" click 3 keyup "${modifiers[$k]}"
  k=$((k + 1))
  sleep 0.5
done < <(tail -n +2 "$work/plate_truth.csv" | awk -F, '$1 == 0 {print $3, $4}')
expect_title "StemScan - selection: 3 hypocotyls selected (space: done)"
press space

# The threshold slider: a click on the right of its groove.
threshold=$(window_id thresholding) || fail "the thresholding window did not open"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$threshold")"
xdotool mousemove $((X + WIDTH - 15)) $((Y + HEIGHT - 12)) click 1
sleep 0.5
press space   # one threshold for all
press space   # no row bottoms
press space   # image 0
press space   # image 1
press space   # image 2
press b       # back to image 2
expect_title "StemScan - stored image 3 of 6: plate02.png (n: forward, f: next flagged, v: save corrections)"

# A Ctrl drag of a point of the first contour, 12 px to the right.
read -r x y <<<"$(tail -n +2 "$work/plate_truth.csv" | awk -F, '$1 == 2 && $2 == 0 {print $3, $4 + 25}')"
read -r sx sy <<<"$(screen_of "${x%.*}" "${y%.*}")"
xdotool mousemove "$sx" "$sy" keydown ctrl mousedown 1
for step in 3 6 9 12; do
  sleep 0.15
  xdotool mousemove $((sx + step)) "$sy"
done
sleep 0.2
xdotool mouseup 1 keyup ctrl
sleep 0.5
press v
press n
press q

for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "StemScan ended with status $status"

grep -q "saving analysis of image 2" "$work/run.log" || fail "'v' did not save image 2"
grep -q "back to present" "$work/run.log" || fail "'n' did not return to the present"
lines=$(wc -l <"$work/live_len.txt")
[ "$lines" -eq 3 ] || fail "the tables hold $lines images, not the 3 stepped through"
record="$work/record.txt"
[ "$(grep -c ' rup .* alt$' "$record")" -eq 3 ] || fail "the record lacks the Alt + right clicks"
grep -q '^slider thresholding threshold ' "$record" || fail "the record lacks the slider move"
for key in b v n q; do grep -q "^key $key\$" "$record" || fail "the record lacks key $key"; done
grep -q '^mouse StemScan move .* ctrl$' "$record" || fail "the record lacks the Ctrl drag"
grep -q '^mouse StemScan rup .* ctrl alt$' "$record" || fail "the record lacks Ctrl + Alt + right click"
! grep -q '^key code' "$record" || fail "the record holds modifier keys: $(grep '^key code' "$record")"

"$stemscan" "$work/plate00.png" 1 3 "$work/replay" --script="$record" >"$work/replay.log" 2>&1 \
  || fail "the replay failed"
for table in len or seg tip; do
  cmp -s "$work/live_$table.txt" "$work/replay_$table.txt" \
    || fail "the replayed _$table.txt differs from the live one"
done
echo "real windows: 1 passed, 0 failed"
