#!/usr/bin/env bash
# A game played in the window is kept as a replay; `--replay` plays it back in the window with
# the playback's line at the foot, and the back key leaves for the REPLAYS page, which lists it.
# With SHOT_DIR set, the page's picture is kept there.
game=$1
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
work=$(mktemp -d /tmp/qe2e-replay.XXXXXX)
log=$work/log.txt
bright() { convert "$5" -crop "$3x$4+$1+$2" +repage -colorspace Gray -threshold 45% -format '%[fx:int(mean*w*h+0.5)]' info:; }

"$game" >"$log" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 0.5
press x  # one-player game
sleep 0.3
press x  # Easy
sleep 2.5
for k in Left Left x Right z; do press "$k"; sleep 0.3; done
import -window "$wid" "$work/played.png"
# Closed in its game, the program keeps the game as far as it went.
press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "after Escape the game gave '$EXIT_CODE'"; }
replay=$(ls "$XDG_DATA_HOME"/quorbistane/replays/*.replay 2>/dev/null | head -1)
[ -n "$replay" ] || fail "no replay was kept in $XDG_DATA_HOME/quorbistane/replays"
text=$(gzip -dc "$replay") || fail "the kept replay is not compressed text"
echo "$text" | grep -q '^mode one-player$' || fail "the replay is not the one-player game"
echo "$text" | grep -qE '^[0-9]+ 1 left down$' || fail "the replay holds no press of left"

"$game" --replay "$replay" >"$log" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true
sleep 3
import -window "$wid" "$work/playing.png"
# The foot of the screen, over the same background as in the game played: the playback's line.
foot() { convert "$1" -crop 640x22+0+458 +repage "$2"; }
foot "$work/played.png" "$work/played-foot.png"
foot "$work/playing.png" "$work/playing-foot.png"
bar=$(compare -metric AE -fuzz 5% "$work/played-foot.png" "$work/playing-foot.png" null: 2>&1 | cut -d' ' -f1)
[ "${bar%.*}" -ge 200 ] || fail "no playback line at the foot of the game ($bar pixels differ)"
piece=$(bright 79 157 160 288 "$work/playing.png")
[ "$piece" -ge 300 ] || fail "no piece in the field played back ($piece bright pixels)"
press z  # back to the list
sleep 1
import -window "$wid" "$work/page.png"
rows=$(bright 24 80 592 20 "$work/page.png")
[ "$rows" -ge 100 ] || fail "the REPLAYS page lists no replay ($rows bright pixels in its first row)"
[ -z "${SHOT_DIR:-}" ] || cp "$work/page.png" "$SHOT_DIR/replays-window.png"
press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$log"; fail "after Escape the replaying game gave '$EXIT_CODE'"; }
[ -n "${KEEP:-}" ] || rm -rf "$work"
echo "PASS: a game kept, played back in the window (line $bar, piece $piece) and listed ($rows)"
