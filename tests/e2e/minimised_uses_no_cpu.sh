#!/usr/bin/env bash
# On a 1920 x 1080 screen under a window manager the game's window opens at twice the frame's
# size, the largest whole factor whose window with its frame fits the screen. Minimised, the
# game draws nothing, lets its sound device go and uses next to no processor time; restored,
# its frames and sound come back. The CPU time is the scheduler's own nanosecond count of every
# thread of the process.
#   minimised_uses_no_cpu.sh GAME [SECONDS] [MAX_PERCENT]
game=$1
seconds=${2:-10}
max=${3:-0.3}
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
start_wm
work=$(mktemp -d /tmp/qe2e-minimised.XXXXXX)
out=$work/out.raw
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$out

"$game" >"$work/log.txt" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
wait_size "$wid" 1280x960
xdotool windowactivate --sync "$wid" 2>/dev/null || true
cpu_ns() { cat /proc/"$pid"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
sleep 1
[ "$(file_size "$out")" -gt 0 ] || fail "the game's sound is not playing"
import -window "$wid" "$work/menu.png"

xdotool windowminimize --sync "$wid"
sleep 1  # the last frames and the device let go
silent=$(file_size "$out")
c0=$(cpu_ns); t0=$(date +%s%N)
sleep "$seconds"
c1=$(cpu_ns); t1=$(date +%s%N)
kill -0 "$pid" 2>/dev/null || fail "the game ended while minimised"
share=$(awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.3f", 100 * c / t }')
echo "minimised for $seconds s: $share % of one core ($(( (c1 - c0) / 1000 )) us of CPU)"
[ "$(file_size "$out")" = "$silent" ] || fail "sound was written while minimised ($silent, then $(file_size "$out") bytes)"
awk -v s="$share" -v m="$max" 'BEGIN { exit !(s <= m) }' || fail "minimised, the game used $share % of a core (at most $max %)"

# The device was let go: restored, the game opens one again at once.
time_sound "$out" xdotool windowactivate --sync "$wid"
[ -n "$BACK_MS" ] || fail "restored, the sound did not come back within 3 s"
[ "$BACK_MS" -le 1000 ] || fail "restored, the sound came back only after $BACK_MS ms"
sleep 0.5
easy_game_from_menu "$wid" "$work/menu.png" "$work/game.png"

press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$work/log.txt"; fail "after Escape the game gave '$EXIT_CODE'"; }
rm -rf "$work"
echo "PASS: minimised the game used $share % of a core; restored, frames came back, and sound $BACK_MS ms after"
