#!/usr/bin/env bash
# The screen changes size under the running game, with a window manager: the 2x window on a
# 2560 x 1440 screen keeps its size and picture when the screen shrinks to 1600 x 1200 (as far
# as it is still on the screen); in fullscreen
# the picture follows the screen to 1024 x 768 (1x, bars all round) and back to 2560 x 1440
# (3x, bars left and right), each time the whole frame with the score digits where the scale
# puts them; Escape ends with 0.
#   screen_size_change.sh GAME SCREEN_SIZE_TOOL
game=$1
resize=$2
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
work=$(mktemp -d /tmp/qe2e-screen.XXXXXX)
log=$work/log.txt
start_wm

start_game "$game" "$log"
pid=$GAME_PID wid=$WID
wait_size "$wid" 1280x960
one_player_game "$wid"

# screen WxH: gives the screen that size and waits until the X server reports it.
screen() {
  local i
  "$resize" "$1" || fail "the screen cannot be set to $1"
  for ((i = 0; i < 50; i++)); do
    [ "$(xdpyinfo | awk '/dimensions/ {print $2}')" = "$1" ] && return 0
    sleep 0.1
  done
  fail "the screen did not take the size $1"
}
# shows SHOT X Y K NAME: the frame at scale K at (X, Y) of SHOT has the score digits and, taken
# back to 640 x 480, the picture of the 2x window; the rest of SHOT is black.
shows() {
  local shot=$1 x=$2 y=$3 k=$4 name=$5 w h s d
  w=$(identify -format %w "$shot") h=$(identify -format %h "$shot")
  s=$(bright $((x + 209 * k)) $((y + 40 * k)) $((90 * k)) $((23 * k)) "$shot")
  [ "$s" -ge $((100 * k * k)) ] || fail "$name: no score digits where ${k}x puts them ($s bright pixels)"
  convert "$shot" -crop "$((640 * k))x$((480 * k))+$x+$y" +repage -sample 640x480! "$work/$name-1x.ppm"
  d=$(differs "$work/window-1x.ppm" "$work/$name-1x.ppm")
  [ "$d" -lt 5 ] || fail "$name: the picture is not the window's ($d % of pixels differ)"
  [ "$x" -eq 0 ] || [ "$(max 0 0 "$x" "$h" "$shot")" -le 1 ] || fail "$name: the left bar is not black"
  [ "$y" -eq 0 ] || [ "$(max 0 0 "$w" "$y" "$shot")" -le 1 ] || fail "$name: the top bar is not black"
}

import -window "$wid" "$work/window.ppm"
convert "$work/window.ppm" -sample 640x480! "$work/window-1x.ppm"
[ "$(bright $((209 * 2)) $((40 * 2)) 180 46 "$work/window.ppm")" -ge 400 ] || fail "no score digits in the window"

screen 1600x1200
sleep 0.5
[ "$(geometry "$wid" | cut -d' ' -f2)" = 1280x960 ] || fail "the window changed size with the screen: $(geometry "$wid")"
# The window now reaches past the screen's edge: its visible part is the 2x picture's.
import -window "$wid" "$work/shrunk.ppm"
size=$(identify -format %wx%h "$work/shrunk.ppm")
[ "$(bright $((209 * 2)) $((40 * 2)) 180 46 "$work/shrunk.ppm")" -ge 400 ] || fail "no score digits in the window on the smaller screen"
d=$(compare -metric AE -fuzz 2% "$work/window.ppm[$size+0+0]" "$work/shrunk.ppm" null: 2>&1 |
  awk -v a="$(identify -format '%[fx:w*h]' "$work/shrunk.ppm")" '{ printf "%d", $1 * 100 / a }')
[ "$d" -lt 5 ] || fail "on the smaller screen the window shows another picture ($d % of pixels differ)"

press F11
wait_size "$wid" 1600x1200
screen 1024x768
wait_size "$wid" 1024x768
import -window root "$work/small.ppm"
shows "$work/small.ppm" 192 144 1 "fullscreen at 1024x768"

screen 2560x1440
wait_size "$wid" 2560x1440
import -window root "$work/large.ppm"
shows "$work/large.ppm" 320 0 3 "fullscreen at 2560x1440"

press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "after Escape the game gave '$EXIT_CODE'"; }
rm -rf "$work"
echo "PASS: the picture follows the screen's size: window kept at 2x, fullscreen at 1x and 3x with bars"
