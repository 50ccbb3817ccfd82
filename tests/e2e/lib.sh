# Helpers for the end-to-end scripts (sourced). Each script runs inside its own X server.
set -u
export SDL_AUDIODRIVER=dummy
# Under the sanitizers: the display driver libraries the real window loads keep allocations
# past exit and are unloaded before the leak check, which then cannot tell whose they are.
# Leaks of our own code are checked by the headless tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# A private runtime folder: the single-instance lock of this run meets no other game.
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/qe2e.XXXXXX)
# A settings folder of this run: the game reads no player's settings and writes none of theirs.
export XDG_CONFIG_HOME=$XDG_RUNTIME_DIR/config
WM_PID=
GAME_LOG=
trap '[ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
# A data folder of this run: the game reads no player's records and writes none of theirs.
export XDG_DATA_HOME=$XDG_RUNTIME_DIR/data

# fail MESSAGE: ends the test. The message goes to standard error, so that it is seen from
# inside $(...) too, followed by the game's output when the script keeps it in $log or GAME_LOG.
fail() {
  local f
  echo "FAIL: $*" >&2
  for f in ${log:-} ${GAME_LOG:-}; do
    [ -s "$f" ] && { echo "--- the game's output ($f):" >&2; tail -n 40 "$f" >&2; }
  done
  exit 1
}

# need_pictures GAME: skips the test (exit code 77) unless the game's pictures are beside it.
need_pictures() {
  local f
  for f in BMP/block.bmp BMP/Font.bmp BMP/Field.bmp BMP/Title.bmp; do
    [ -f "$(dirname "$1")/$f" ] || { echo "SKIP: $f is not beside the game"; exit 77; }
  done
}

# find_window: the id of the visible window titled "Quorbistane" (waits up to 30 s: a first
# start on a busy machine may be slow, and the wait ends as soon as the window holds). The
# window is replaced once while the display path is chosen: the id is taken once it holds.
# Searches are repeated: the virtual X server may refuse a client that connects too soon
# after another one left.
find_window() {
  local wid= again i
  for ((i = 0; i < 150; i++)); do
    again=$(xdotool search --onlyvisible --name '^Quorbistane$' 2>/dev/null | head -1)
    [ -n "$again" ] && [ "$again" = "$wid" ] && { echo "$wid"; return 0; }
    [ -n "$again" ] && wid=$again
    sleep 0.2
  done
  [ -n "$wid" ] || fail "no window titled Quorbistane appeared"
  echo "$wid"
}

# press KEY: holds the key for a tenth of a second, as a person would.
press() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; }

# wait_exit PID SECONDS: waits for the process to end; sets EXIT_CODE to its exit code, or
# to "timeout" (the process is then killed). Not for use inside $(...): only this shell can wait.
wait_exit() {
  local pid=$1 limit=$2 i
  EXIT_CODE=timeout
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      EXIT_CODE=$?
      return 0
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
}

# start_wm: a window manager in this X server, as a desktop has (fullscreen needs one). Waits
# until it has taken the screen; stopped when the script ends.
start_wm() {
  local i
  command -v openbox >/dev/null || { echo "SKIP: openbox is not installed"; exit 77; }
  HOME=$XDG_RUNTIME_DIR openbox --sm-disable >/dev/null 2>&1 &
  WM_PID=$!
  for ((i = 0; i < 50; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { sleep 0.2; return 0; }
    sleep 0.1
  done
  fail "the window manager did not start"
}

# geometry WID: "X,Y WxH" of the window's client area.
geometry() {
  xdotool getwindowgeometry "$1" | awk '/Position/ {p = $2} /Geometry/ {g = $2} END {print p " " g}'
}

# wait_size WID WxH: waits up to 5 s for the client area to take that size; fails otherwise.
wait_size() {
  local i
  for ((i = 0; i < 50; i++)); do
    [ "$(geometry "$1" | cut -d' ' -f2)" = "$2" ] && { sleep 0.5; return 0; }
    sleep 0.1
  done
  fail "the window is $(geometry "$1"), not $2"
}

# start_game GAME LOG: starts the game, its output in LOG, and waits for its window; sets
# GAME_PID and WID.
start_game() {
  GAME_LOG=$2
  "$1" >"$2" 2>&1 &
  GAME_PID=$!
  WID=$(find_window) || exit 1
}

# one_player_game WID: from the menu into a one-player game on Easy, past its opening wipe.
one_player_game() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  press x  # one-player game
  sleep 0.3
  press x  # Easy
  sleep 2.5
}

# Pictures (ImageMagick). bright X Y W H FILE: the number of pixels brighter than 45 % grey in
# that rectangle. max X Y W H FILE: the brightest grey (0..255) there. differs A B: the share
# in per cent of pixels of two 640 x 480 pictures that differ.
bright() { convert "$5" -crop "$3x$4+$1+$2" +repage -colorspace Gray -threshold 45% -format '%[fx:int(mean*w*h+0.5)]' info:; }
max() { convert "$5" -crop "$3x$4+$1+$2" +repage -colorspace Gray -format '%[fx:int(maxima*255+0.5)]' info:; }
differs() { compare -metric AE -fuzz 2% "$1" "$2" null: 2>&1 | awk '{ printf "%d", $1 * 100 / 307200 }'; }

# file_size FILE: its size in bytes, 0 when it does not exist.
file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }

# time_sound FILE COMMAND...: removes FILE, runs the command (which gives the game a sound device
# again) and waits up to 3 s for SDL's file-writing driver, which makes its file afresh when a
# device opens, to write samples to FILE. Sets BACK_MS to the time taken, or to "" if none came.
time_sound() {
  local file=$1 start
  shift
  rm -f "$file"
  start=${EPOCHREALTIME/./}
  "$@" 2>/dev/null
  BACK_MS=
  while [ -z "$BACK_MS" ] && [ $(( ${EPOCHREALTIME/./} - start )) -lt 3000000 ]; do
    [ -s "$file" ] && BACK_MS=$(( (${EPOCHREALTIME/./} - start) / 1000 ))
  done
}

# easy_game_from_menu WID MENU.png GAME.png: from the title menu into a one-player game on Easy;
# fails unless the screenshot GAME.png then differs from MENU.png, taken in the menu before.
easy_game_from_menu() {
  local diff
  one_player_game "$1"
  import -window "$1" "$3"
  # The count may come in exponent form (1.2e+06) from a large window: awk reads both.
  diff=$(compare -metric AE "$2" "$3" null: 2>&1 | awk '{ printf "%d", $1 }')
  [ "$diff" -gt 10000 ] || fail "the game did not go on from the menu ($diff pixels changed)"
}

# For the online tests, which run several copies of the game at once.
# wait_line FILE PATTERN: the first line of FILE matching PATTERN, waiting up to 20 s.
wait_line() {
  local i line
  for ((i = 0; i < 200; i++)); do
    line=$(grep -m1 -E "$2" "$1" 2>/dev/null) && { echo "$line"; return 0; }
    sleep 0.1
  done
  return 1
}
# window_of PID: the id of that process's visible game window, once it holds for a second (the
# window is replaced once while the display path is chosen); waits up to 30 s.
window_of() {
  local i w last=
  for ((i = 0; i < 150; i++)); do
    w=$(xdotool search --all --onlyvisible --pid "$1" --name '^Quorbistane$' 2>/dev/null | head -1)
    if [ -n "$w" ] && [ "$w" = "$last" ]; then
      echo "$w"
      return 0
    fi
    last=$w
    sleep 1
  done
  return 1
}
# key WID KEY: a key pressed in that window.
key() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  press "$2"
  sleep 0.1
}
# fields WID FILE: the window's picture without its top line (the frame meter) and its bottom
# line (each side names itself there).
fields() { import -window "$1" -crop 640x444+0+12 +repage "$2"; }

# same_fields HOST_WID JOIN_WID: both windows show the same fields (a piece may fall between the
# two pictures, so a few tries); their pictures are left in $tmp/host.png and $tmp/join.png.
same_fields() {
  local try d
  for try in 1 2 3 4 5; do
    fields "$1" "$tmp/host.png"
    fields "$2" "$tmp/join.png"
    d=$(differs "$tmp/host.png" "$tmp/join.png")
    echo "try $try: the windows differ in $d % of their pixels"
    [ "$d" -eq 0 ] && return 0
    sleep 0.4
  done
  return 1
}
