# Two copies of the game on one machine play an online game through the UDP proxy: the host
# (--host 0, any free port) and the joiner (--join through the proxy, which delays, jitters and
# loses datagrams). Each chooses its level in its own window, both play with their own player-1
# keys, and both windows then show the same two fields. Escape in each ends both cleanly.
# Usage: online_two_windows.sh GAME PROXY [SHOTS_DIR]
. "$(dirname "$0")/lib.sh"
game=$1 proxy=$2 shots=${3:-}
need_pictures "$game"
tmp=$XDG_RUNTIME_DIR
# A window manager places, moves and activates the two windows as a desktop does.
start_wm
PIDS=("$WM_PID")
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$XDG_RUNTIME_DIR"' EXIT


log=$tmp/host.log
"$game" --host 0 >"$tmp/host.log" 2>&1 &
host_pid=$!
PIDS+=("$host_pid")
port=$(wait_line "$tmp/host.log" 'hosting an online game on port [0-9]+' | grep -oE '[0-9]+$') ||
  fail "the host told no port"
host_wid=$(window_of "$host_pid") || fail "no host window"
xdotool windowmove "$host_wid" 0 0

"$proxy" --listen 0 --to "$port" --delay 15 --jitter 5 --loss 0.02 --seed 7 --seconds 110 >"$tmp/proxy.log" 2>&1 &
PIDS+=($!)
via=$(wait_line "$tmp/proxy.log" 'listening on 127.0.0.1:[0-9]+' | grep -oE '[0-9]+$') || fail "the proxy did not start"

log=$tmp/join.log
"$game" --join "127.0.0.1:$via" >"$tmp/join.log" 2>&1 &
join_pid=$!
PIDS+=("$join_pid")
join_wid=$(window_of "$join_pid") || fail "no joiner window (a second copy must run beside the first)"
xdotool windowmove "$join_wid" 660 0
# Both sides say so when they talk: the level screen is up.
wait_line "$tmp/join.log" 'connected to the other player' >/dev/null || fail "the joiner did not connect"
wait_line "$tmp/host.log" 'connected to the other player' >/dev/null || fail "the host saw no player"
sleep 1

# The level screen on both sides: the host takes Easy, the joiner Normal.
key "$host_wid" x
key "$join_wid" Down
key "$join_wid" x
wait_line "$tmp/host.log" 'online game 1 starts' >/dev/null || fail "no game started on the host"
wait_line "$tmp/join.log" 'online game 1 starts' >/dev/null || fail "no game started on the joiner"
sleep 2
# Each side plays its own field with its own player-1 keys.
for k in Left Left x Down; do key "$host_wid" "$k"; done
for k in Right x x z; do key "$join_wid" "$k"; done
sleep 2

same_fields "$host_wid" "$join_wid" || { [ -n "$shots" ] && cp "$tmp/host.png" "$tmp/join.png" "$shots/"; fail "the two windows show different fields"; }
# The game is on in both: the player labels stand beside the fields (1P red, 2P blue).
[ "$(bright 0 130 70 60 "$tmp/host.png")" -gt 300 ] || fail "no game in the host's window"
if [ -n "$shots" ]; then
  import -window "$host_wid" "$shots/online-host.png"
  import -window "$join_wid" "$shots/online-join.png"
fi

# The joiner stops answering for 2 s: the host's window says it is waiting; then both go on and
# show the same fields again.
notice() { import -window "$host_wid" -crop 340x42+150+214 +repage "$1"; }
notice "$tmp/playing.png"
kill -STOP "$join_pid"
sleep 2
notice "$tmp/waiting.png"
kill -CONT "$join_pid"
changed=$(compare -metric AE -fuzz 10% "$tmp/playing.png" "$tmp/waiting.png" null: 2>&1 | awk '{ printf "%d", $1 }')
[ "$changed" -gt 3000 ] || fail "the host did not say it was waiting ($changed pixels changed)"
sleep 2
same=no
for try in 1 2 3 4 5; do
  fields "$host_wid" "$tmp/host.png"
  fields "$join_wid" "$tmp/join.png"
  [ "$(differs "$tmp/host.png" "$tmp/join.png")" -eq 0 ] && { same=yes; break; }
  sleep 0.4
done
[ "$same" = yes ] || fail "after the wait the two windows show different fields"

# Escape ends the host; the joiner is told the other player left and goes on; Escape ends it.
key "$host_wid" Escape
wait_exit "$host_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the host ended with $EXIT_CODE"
sleep 1
kill -0 "$join_pid" 2>/dev/null || fail "the joiner ended when the host left"
key "$join_wid" Escape
wait_exit "$join_pid" 10
[ "$EXIT_CODE" = 0 ] || fail "the joiner ended with $EXIT_CODE"
grep -q "join_address = 127.0.0.1:$via" "$XDG_CONFIG_HOME/quorbistane/settings.ini" ||
  fail "the address joined is not in the settings file"
echo "PASS"
