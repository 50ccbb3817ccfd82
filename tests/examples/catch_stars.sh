#!/usr/bin/env bash
# Plays catch_stars headless for 1500 frames (long enough to lose a game and start another)
# and checks its end and its capture: exit code 0, a restart, a 640 x 480 24-bit picture that
# is not blank.
#   catch_stars.sh PROGRAM WORK_DIR
set -euo pipefail
program=$1 work=$2
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
capture="$work/capture.bmp"
"$program" --autoplay 1500 "$capture" >"$work/run.log" 2>&1 || { cat "$work/run.log"; fail "exit code"; }
cat "$work/run.log"
grep -Eq ', [1-9][0-9]* restarts,' "$work/run.log" || fail "no game was lost and started again"
[ "$(stat -c %s "$capture")" -eq $((58 + 640 * 480 * 3)) ] || fail "the capture is not 640 x 480 x 24 bits"
# Distinct colours among the pixels: a sky, stars, the ground, the basket, the text.
colours=$(od -An -v -tx1 -w3 -j58 "$capture" | sort -u | wc -l)
[ "$colours" -ge 6 ] || fail "the capture is nearly blank ($colours colours)"
echo "catch_stars played through; the capture has $colours colours"
