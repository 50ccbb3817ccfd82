#!/usr/bin/env bash
# The game copied to a folder without its pictures and sounds: it names every missing file on
# standard error, shows them in one error box, and once the box is closed ends with status 1.
game=$1
source "$(dirname "$0")/lib.sh"
bare=$XDG_RUNTIME_DIR/bare
mkdir "$bare" && cp "$game" "$bare/" || fail "cannot copy the game to $bare"
err=$XDG_RUNTIME_DIR/err

"$bare/$(basename "$game")" 2>"$err" >/dev/null &
pid=$!
box=
for ((i = 0; i < 50; i++)); do
  # The box's title is UTF-8 text, which xdotool's name search does not read.
  box=$(xwininfo -root -tree 2>/dev/null | awk '/"[^"]*: error":/ {print $1; exit}')
  [ -n "$box" ] && break
  sleep 0.2
done
[ -n "$box" ] || { kill -9 "$pid"; cat "$err"; fail "no error box appeared"; }
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
wait_exit "$pid" 5
[ "$EXIT_CODE" = 1 ] || { cat "$err"; fail "the game gave '$EXIT_CODE', not 1"; }
for f in BMP/Field.bmp BMP/Title.bmp SE/erase.wav; do
  grep -qF "cannot load $([[ $f == BMP/* ]] && echo picture || echo sound) $f from $bare/: file not found" "$err" ||
    { cat "$err"; fail "$f is not named on standard error"; }
done
echo "PASS: the missing files named on standard error, one box, exit status 1"
