#!/usr/bin/env bash
# With a window manager: by default the game's window stays above a window activated after it;
# with `window_on_top = 0` in the settings file the other window goes above the game's.
game=$1
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
command -v xmessage >/dev/null || { echo "SKIP: xmessage is not installed"; exit 77; }
work=$(mktemp -d /tmp/qe2e-top.XXXXXX)
start_wm

# stacked_above A B: whether window A is above window B in the window manager's stacking order
# (bottom to top).
stacked_above() {
  local list a b
  list=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,/ /g')
  a=$(printf '0x%x' "$1") b=$(printf '0x%x' "$2")
  awk -v a="$a" -v b="$b" '{ for (i = 1; i <= NF; i++) { if ($i == a) ia = i; if ($i == b) ib = i } }
    END { exit !(ia && ib && ia > ib) }' <<<"$list"
}

# run ON_TOP: the game with that setting, another window activated after it; prints which is on
# top.
run() {
  mkdir -p "$XDG_CONFIG_HOME/quorbistane"
  echo "window_on_top = $1" >"$XDG_CONFIG_HOME/quorbistane/settings.ini"
  start_game "$game" "$work/log$1.txt"
  local pid=$GAME_PID wid=$WID other i
  xmessage -name other -center 'another window' &
  local mpid=$!
  for ((i = 0; i < 50; i++)); do
    other=$(xdotool search --onlyvisible --classname '^other$' 2>/dev/null | head -1)
    [ -n "$other" ] && break
    sleep 0.1
  done
  [ -n "$other" ] || fail "the other window did not appear"
  xdotool windowactivate --sync "$other" 2>/dev/null || true
  xdotool windowraise "$other"
  sleep 0.5
  if stacked_above "$wid" "$other"; then echo game; else echo other; fi
  kill "$mpid" 2>/dev/null
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  press Escape
  wait_exit "$pid" 10
  [ "$EXIT_CODE" = 0 ] || fail "the game ended with $EXIT_CODE"
}

top=$(run 1) || { echo "$top"; exit 1; }
[ "$top" = game ] || fail "with window_on_top = 1 the other window went above the game's"
top=$(run 0) || { echo "$top"; exit 1; }
[ "$top" = other ] || fail "with window_on_top = 0 the game's window stayed above the other one"
echo "PASS"
