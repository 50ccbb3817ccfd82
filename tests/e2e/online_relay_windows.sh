# Two copies of the game on one machine play an online game through a relay of their own on
# 127.0.0.1: the host (--relay --host) shows the room's code and prints it on standard output,
# the joiner (--relay --join CODE) joins by that code, and a third copy watches by the same code
# (--relay --watch CODE); the players reach the level screen, play, and show the same two
# fields, the watcher the same game a second behind. Escape in each ends them cleanly (the
# watcher outlives the match it watched); the relay ends on SIGTERM.
# Usage: online_relay_windows.sh GAME RELAY [SHOTS_DIR]
. "$(dirname "$0")/lib.sh"
game=$1 relay=$2 shots=${3:-}
need_pictures "$game"
tmp=$XDG_RUNTIME_DIR
start_wm
PIDS=("$WM_PID")
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$XDG_RUNTIME_DIR"' EXIT

# shot WID NAME: the window's picture for the README, in few colours to keep it small.
shot() { [ -n "$shots" ] && import -window "$1" -strip -colors 64 "png8:$shots/$2"; true; }

"$relay" --port 0 --bind 127.0.0.1 >"$tmp/relay.out" 2>"$tmp/relay.log" &
relay_pid=$!
PIDS+=("$relay_pid")
at=$(wait_line "$tmp/relay.out" 'listening on 127.0.0.1:[0-9]+' | grep -oE '127.0.0.1:[0-9]+$') ||
  fail "the relay did not start"

log=$tmp/host.log
"$game" --relay "$at" --host >"$tmp/host.out" 2>"$tmp/host.log" &
host_pid=$!
PIDS+=("$host_pid")
code=$(wait_line "$tmp/host.out" '^room [A-Z]{6}$' | cut -d' ' -f2) || fail "the host printed no room code"
host_wid=$(window_of "$host_pid") || fail "no host window"
xdotool windowmove "$host_wid" 0 0
sleep 1
# The code stands large in the middle of the page.
import -window "$host_wid" "$tmp/code.png"
[ "$(bright 100 290 440 54 "$tmp/code.png")" -gt 400 ] || fail "the host's page shows no code"
shot "$host_wid" online-relay-code.png

log=$tmp/join.log
"$game" --relay "$at" --join "$(echo "$code" | tr A-Z a-z)" >"$tmp/join.out" 2>"$tmp/join.log" &
join_pid=$!
PIDS+=("$join_pid")
join_wid=$(window_of "$join_pid") || fail "no joiner window (a second copy must run beside the first)"
xdotool windowmove "$join_wid" 660 0
wait_line "$tmp/join.log" 'connected to the other player' >/dev/null || fail "the joiner did not connect"
wait_line "$tmp/host.log" 'connected to the other player' >/dev/null || fail "the host saw no player"
grep -q "joining room $code through the relay at $at" "$tmp/join.log" || fail "the joiner did not say which room"

# The watcher comes before the game: it waits on its page until the game starts.
log=$tmp/watch.log
"$game" --relay "$at" --watch "$code" >"$tmp/watch.out" 2>"$tmp/watch.log" &
watch_pid=$!
PIDS+=("$watch_pid")
watch_wid=$(window_of "$watch_pid") || fail "no watcher window"
xdotool windowmove "$watch_wid" 1320 0
grep -q "watching room" "$tmp/watch.log" || fail "the watcher did not say what it watches"

key "$host_wid" x
key "$join_wid" Down
key "$join_wid" x
wait_line "$tmp/host.log" 'online game 1 starts' >/dev/null || fail "no game started on the host"
wait_line "$tmp/join.log" 'online game 1 starts' >/dev/null || fail "no game started on the joiner"
wait_line "$tmp/watch.log" 'watching game 1 from step' >/dev/null || fail "the watcher shows no game"
sleep 2
for k in Left Left x Down; do key "$host_wid" "$k"; done
for k in Right x x z; do key "$join_wid" "$k"; done
sleep 2

same_fields "$host_wid" "$join_wid" || fail "the two windows show different fields"
[ "$(bright 0 130 70 60 "$tmp/host.png")" -gt 300 ] || fail "no game in the host's window"
shot "$join_wid" online-relay-game.png

# The watcher draws the same versus screen a second behind: its fields hold a few pieces fewer
# or elsewhere than the players' (a page or a title would differ in most of its pixels).
fields "$watch_wid" "$tmp/watch.png"
d=$(differs "$tmp/host.png" "$tmp/watch.png")
echo "the watcher's window differs from the host's in $d % of its pixels"
[ "$d" -le 12 ] || fail "the watcher's window does not show the players' game"
[ "$(bright 0 130 70 60 "$tmp/watch.png")" -gt 300 ] || fail "no game in the watcher's window"
! grep -q "watching is over" "$tmp/watch.log" || fail "watching ended early"
shot "$watch_wid" online-watching.png

key "$host_wid" Escape
wait_exit "$host_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the host ended with $EXIT_CODE"
sleep 1
kill -0 "$join_pid" 2>/dev/null || fail "the joiner ended when the host left"
key "$join_wid" Escape
wait_exit "$join_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the joiner ended with $EXIT_CODE"
# The match's end is told to the watcher, who goes back to its title and runs on.
wait_line "$tmp/watch.log" 'watching is over' >/dev/null || fail "the watcher was not told the end"
kill -0 "$watch_pid" 2>/dev/null || fail "the watcher ended with the match"
key "$watch_wid" Escape
wait_exit "$watch_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the watcher ended with $EXIT_CODE"
kill -TERM "$relay_pid"
wait_exit "$relay_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the relay ended with $EXIT_CODE"
grep -q "$code" "$tmp/relay.log" || fail "the relay's log names no room $code"
# A code is used once: it is not offered as the address to join next time.
! grep -qi "join_address = $code" "$XDG_CONFIG_HOME/quorbistane/settings.ini" 2>/dev/null ||
  fail "the room's code was kept as an address"
echo "PASS"
