#!/usr/bin/env bash
# From the title menu into a one-player game on Easy with two key presses; a screenshot shows
# the field with the falling piece and the score.
game=$1
source "$(dirname "$0")/lib.sh"
dir=$(dirname "$game")
for f in BMP/block.bmp BMP/Font.bmp BMP/Field.bmp BMP/Title.bmp; do
  [ -f "$dir/$f" ] || { echo "SKIP: $f is not beside the game"; exit 77; }
done
work=$(mktemp -d /tmp/qe2e-shot.XXXXXX)
log=$work/log.txt

"$game" >"$log" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 0.5
import -window "$wid" "$work/menu.png"
press x  # one-player game
sleep 0.3
press x  # Easy
sleep 2.5  # the opening wipe (500 pixels a second) and the first frames of play
import -window "$wid" "$work/game.png"
press Escape
code=$(wait_exit "$pid" 3)
[ "$code" = 0 ] || { cat "$log"; fail "the game ended with '$code'"; }

# colours X Y W H FILE: the number of distinct colours in that rectangle of the picture.
colours() { convert "$5" -crop "$3x$4+$1+$2" +repage -format %k info:; }

[ "$(identify -format %wx%h "$work/game.png")" = 640x480 ] || fail "screenshot is not 640x480"
diff=$(compare -metric AE "$work/menu.png" "$work/game.png" null: 2>&1 | cut -d' ' -f1)
[ "${diff%.*}" -gt 10000 ] || fail "the game screen hardly differs from the menu ($diff pixels)"
# The piece enters at slot 3, line 0 of player 1's field: tiles at (143,157), (127,173), (159,173).
piece=$(colours 127 157 64 48 "$work/game.png")
[ "$piece" -ge 3 ] || fail "no piece at the entry of the field ($piece colours)"
# The field lattice below the piece, and the five score digits at (209, 40).
field=$(colours 79 157 192 288 "$work/game.png")
[ "$field" -ge 3 ] || fail "the field is blank ($field colours)"
score=$(colours 209 40 90 23 "$work/game.png")
[ "$score" -ge 2 ] || fail "no score digits ($score colours)"
rm -rf "$work"
echo "PASS: menu to a one-player game; piece $piece, field $field, score $score colours"
