#!/usr/bin/env bash
# Inside a virtual X server: the showcase opens its own 640 x 480 window beside the game's (each
# program has its own title and single-instance lock), and Escape ends it with exit code 0.
#   window.sh SHOWCASE GAME
set -u
showcase=$1 game=$2
export SDL_AUDIODRIVER=dummy
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/qshowcase.XXXXXX)
export XDG_CONFIG_HOME=$XDG_RUNTIME_DIR/config  # the game at its defaults, no settings written
log=$XDG_RUNTIME_DIR/log
trap 'kill "$game_pid" "$showcase_pid" 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
fail() { echo "FAIL: $*"; cat "$log"; exit 1; }
window() { timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

"$game" >>"$log" 2>&1 &
game_pid=$!
[ -n "$(window Quorbistane)" ] || fail "the game's window did not appear"
"$showcase" >>"$log" 2>&1 &
showcase_pid=$!
wid=$(window 'Tu Showcase')
[ -n "$wid" ] || fail "the showcase's window did not appear beside the game's"
geometry=$(xdotool getwindowgeometry "$wid" | awk '/Geometry/ {print $2}')
[ "$geometry" = 640x480 ] || fail "the showcase's client area is $geometry, not 640x480"
sleep 1
kill -0 "$showcase_pid" 2>/dev/null || fail "the showcase ended by itself"
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool keydown Escape; sleep 0.1; xdotool keyup Escape
for _ in $(seq 50); do kill -0 "$showcase_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$showcase_pid" 2>/dev/null && fail "Escape did not end the showcase within 5 s"
wait "$showcase_pid"
code=$?
[ "$code" = 0 ] || fail "the showcase ended with exit code $code"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended with the showcase"
echo "window: the showcase's 640x480 window opened beside the game's; Escape ended it with 0"
