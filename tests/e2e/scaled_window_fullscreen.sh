#!/usr/bin/env bash
# On a 2560 x 1440 screen with a window manager: the window opens at twice the frame's size
# with hard pixels; F11 and Alt+Enter switch to fullscreen (three times the frame, bars left
# and right, the score digits where the scale puts them) and back to the same size and place;
# after a resize the whole frame is drawn at the new scale; Escape in fullscreen ends with 0,
# and the next start opens in fullscreen.
# With E2E_SHOTS=DIR the window and fullscreen screenshots are kept there as PNG files.
# Screenshots are taken as PPM files, which are far quicker to read than PNG at this size.
game=$1
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
work=$(mktemp -d /tmp/qe2e-scale.XXXXXX)
log=$work/log.txt
start_wm

start_game "$game" "$log"
pid=$GAME_PID wid=$WID
wait_size "$wid" 1280x960
place=$(geometry "$wid")
one_player_game "$wid"

# blocky X Y K FILE: pixels of the 640 x 480 frame scaled by K at (X, Y) that are not in K x K
# blocks of one colour (0 for a sharp whole-factor picture).
blocky() {
  local w=$((640 * $3)) h=$((480 * $3))
  convert "$4" -crop "${w}x$h+$1+$2" +repage \( +clone -sample 640x480! -sample "${w}x$h!" \) \
    -compose difference -composite -colorspace Gray -threshold 1% -format '%[fx:int(mean*w*h+0.5)]' info:
}

import -window "$wid" "$work/window.ppm"
[ "$(identify -format %wx%h "$work/window.ppm")" = 1280x960 ] || fail "the window shot is not 1280x960"
[ "$(blocky 0 0 2 "$work/window.ppm")" -lt 100 ] || fail "the window's picture is not in sharp 2x2 blocks"
score=$(bright $((209 * 2)) $((40 * 2)) 180 46 "$work/window.ppm")
[ "$score" -ge 400 ] || fail "no score digits in the window ($score bright pixels)"
convert "$work/window.ppm" -sample 640x480! "$work/window-1x.ppm"

press F11
wait_size "$wid" 2560x1440
import -window root "$work/fullscreen.ppm"
bars=$(convert "$work/fullscreen.ppm" \( -clone 0 -crop 320x1440+0+0 \) \( -clone 0 -crop 320x1440+2240+0 \) \
  -delete 0 +append -colorspace Gray -format '%[fx:int(maxima*255+0.5)]' info:)
[ "$bars" -le 1 ] || fail "the bars left and right of the fullscreen picture are not black"
[ "$(blocky 320 0 3 "$work/fullscreen.ppm")" -lt 200 ] || fail "the fullscreen picture is not in sharp 3x3 blocks"
score=$(bright $((320 + 209 * 3)) $((40 * 3)) 270 69 "$work/fullscreen.ppm")
[ "$score" -ge 900 ] || fail "no score digits where 3x puts them ($score bright pixels)"
convert "$work/fullscreen.ppm" -crop 1920x1440+320+0 +repage -sample 640x480! "$work/fullscreen-1x.ppm"
d=$(differs "$work/window-1x.ppm" "$work/fullscreen-1x.ppm")
[ "$d" -lt 5 ] || fail "fullscreen shows another picture than the window ($d % of pixels differ)"

press F11
wait_size "$wid" 1280x960
[ "$(geometry "$wid")" = "$place" ] || fail "back from fullscreen the window is at $(geometry "$wid"), not $place"
xdotool keydown alt; press Return; xdotool keyup alt
wait_size "$wid" 2560x1440
xdotool keydown alt; press Return; xdotool keyup alt
wait_size "$wid" 1280x960

# Resized to 1000 x 700: factor 1, centred at (180, 110), drawn whole at once.
xdotool windowsize "$wid" 1000 700
wait_size "$wid" 1000x700
import -window "$wid" "$work/resized.ppm"
[ "$(max 0 0 180 700 "$work/resized.ppm")" -le 1 ] || fail "after the resize the left bar is not black"
convert "$work/resized.ppm" -crop 640x480+180+110 +repage "$work/resized-1x.ppm"
d=$(differs "$work/window-1x.ppm" "$work/resized-1x.ppm")
[ "$d" -lt 5 ] || fail "after the resize the frame is not drawn whole ($d % of pixels differ)"

press F11
wait_size "$wid" 2560x1440
press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "after Escape in fullscreen the game gave '$EXIT_CODE'"; }
# The fullscreen F11 left is remembered: the next start opens in fullscreen.
grep -qx 'fullscreen = 1' "$XDG_CONFIG_HOME/quorbistane/settings.ini" ||
  fail "the fullscreen switch was not written to the settings file"
start_game "$game" "$log"
wait_size "$WID" 2560x1440
press Escape
wait_exit "$GAME_PID" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "started in fullscreen the game gave '$EXIT_CODE' on Escape"; }
if [ -n "${E2E_SHOTS:-}" ]; then
  mkdir -p "$E2E_SHOTS"
  convert "$work/window.ppm" "$E2E_SHOTS/scaled-window-2x.png"
  convert "$work/fullscreen.ppm" "$E2E_SHOTS/fullscreen-2560x1440.png"
fi
rm -rf "$work"
echo "PASS: 2x window, fullscreen at 3x with bars and back by F11 and Alt+Enter, whole frame after a resize, Escape in fullscreen, fullscreen remembered at the next start"
