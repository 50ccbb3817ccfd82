#!/usr/bin/env bash
# From the title menu into a one-player game on Easy with two key presses; a screenshot shows
# the field with the falling piece and the score. The frame-time record of the run is written
# at exit and read by scripts/frametimes.
game=$1
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
work=$(mktemp -d /tmp/qe2e-shot.XXXXXX)
log=$work/log.txt

TU_FRAMETIMES=$work/frames.txt "$game" >"$log" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 0.5
# Without a GPU (no DRI render node) the window's own buffer is taken without loading GL.
if [ -z "${TU_PRESENT:-}" ] && ! ls /dev/dri/renderD* >/dev/null 2>&1; then
  gl=$(grep -E -o '[^/]*(libGL|libLLVM|_dri)[^/]*\.so[.0-9]*$' "/proc/$pid/maps" | sort -u | tr '\n' ' ')
  [ -z "$gl" ] || fail "GL was loaded though no GPU can run it: $gl"
fi
import -window "$wid" "$work/menu.png"
press x  # one-player game
sleep 0.3
press x  # Easy
# colours X Y W H FILE: the number of distinct colours in that rectangle of the picture.
colours() { convert "$5" -crop "$3x$4+$1+$2" +repage -format %k info:; }
# bright X Y W H FILE: the number of pixels brighter than 45 % grey in that rectangle.
bright() { convert "$5" -crop "$3x$4+$1+$2" +repage -colorspace Gray -threshold 45% -format '%[fx:int(mean*w*h+0.5)]' info:; }
# Player 1's field (slots 1 to 5, lines 0 to 16) is dark once the opening wipe (500 pixels a
# second) has passed; the falling piece is three bright tiles in it, and nothing else there is
# bright yet. A busy machine may start the game late: look again for up to 10 s.
sleep 2.5
for _ in $(seq 20); do
  import -window "$wid" "$work/game.png"
  piece=$(bright 79 157 160 288 "$work/game.png")
  [ "$piece" -ge 300 ] && [ "$piece" -le 2400 ] && break
  sleep 0.5
done
# Hidden and shown again, the window must be drawn whole, not only where the picture changes.
xdotool windowunmap --sync "$wid"
xdotool windowmap --sync "$wid"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
sleep 0.5
import -window "$wid" "$work/again.png"
press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "after Escape the game gave '$EXIT_CODE'"; }
# Some 5 s of frames, each polled before it was presented.
frames=$("$(dirname "$0")/../../scripts/frametimes" "$work/frames.txt") || fail "no frame-time record"
echo "$frames"
count=$(echo "$frames" | awk 'NR == 1 { print $5 }')
[ "$count" -ge 100 ] || fail "the record has $count frames"
echo "$frames" | grep -q "key poll to present: mean [0-9.]* ms, .*($count frames)" ||
  fail "frames without a key poll before them"

[ "$(identify -format %wx%h "$work/game.png")" = 640x480 ] || fail "screenshot is not 640x480"
diff=$(compare -metric AE "$work/menu.png" "$work/game.png" null: 2>&1 | cut -d' ' -f1)
[ "${diff%.*}" -gt 10000 ] || fail "the game screen hardly differs from the menu ($diff pixels)"
field=$(colours 79 157 160 288 "$work/game.png")
[ "$field" -ge 3 ] || fail "the field is blank ($field colours)"
[ "$piece" -ge 300 ] && [ "$piece" -le 2400 ] || fail "no piece of three tiles in the field ($piece bright pixels)"
# The five score digits at (209, 40).
score=$(bright 209 40 90 23 "$work/game.png")
[ "$score" -ge 100 ] || fail "no score digits ($score bright pixels)"
again=$(bright 209 40 90 23 "$work/again.png")
[ "$again" -ge 100 ] || fail "after the window was shown again the score is missing ($again bright pixels)"
same=$(compare -metric AE "$work/game.png" "$work/again.png" null: 2>&1 | cut -d' ' -f1)
[ "${same%.*}" -lt 20000 ] || fail "after the window was shown again $same pixels differ"
rm -rf "$work"
echo "PASS: menu to a one-player game; field $field colours, piece $piece and score $score bright pixels"
