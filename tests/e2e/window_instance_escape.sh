#!/usr/bin/env bash
# The game opens one 640 x 480 window, refuses a second copy, and ends on Escape.
game=$1
source "$(dirname "$0")/lib.sh"
log=$(mktemp)

"$game" >"$log" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
geometry=$(xdotool getwindowgeometry "$wid" | awk '/Geometry/ {print $2}')
[ "$geometry" = "640x480" ] || fail "client area is $geometry, not 640x480"

start=$(date +%s%N)
timeout 5 "$game" >>"$log" 2>&1
second=$?
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$second" = 0 ] || fail "second copy exited with $second"
[ "$elapsed" -lt 2000 ] || fail "second copy took $elapsed ms"
kill -0 "$pid" 2>/dev/null || fail "the first copy ended when the second started"
[ "$(xdotool search --onlyvisible --name '^Quorbistane$' | wc -l)" = 1 ] || fail "more than one window"

xdotool windowactivate --sync "$wid" 2>/dev/null || true
press Escape
wait_exit "$pid" 2
[ "$EXIT_CODE" = 0 ] || fail "after Escape the game gave '$EXIT_CODE'"
echo "PASS: one window of $geometry, second copy refused in $elapsed ms, Escape ended the game"
