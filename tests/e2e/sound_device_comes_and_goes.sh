#!/usr/bin/env bash
# The game's sound device goes away while it plays and comes back: the game runs on silently
# (frames, keys, a game started in the gap), and the sound resumes soon after the device is
# back. SDL's file-writing driver stands for the device: its file grows while it plays. The
# test hook's signals push the device's removal and arrival as the system would announce them.
#   sound_device_comes_and_goes.sh GAME
game=$1
source "$(dirname "$0")/lib.sh"
need_pictures "$game"
work=$(mktemp -d /tmp/qe2e-sound.XXXXXX)
out=$work/out.raw
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$out TU_AUDIO_FAULT_SIGNALS=1

"$game" >"$work/log.txt" 2>&1 &
pid=$!
wid=$(find_window) || exit 1
xdotool windowactivate --sync "$wid" 2>/dev/null || true
size() { stat -c %s "$out" 2>/dev/null || echo 0; }
# The music plays: a second of 44100 Hz 16-bit stereo is 176400 bytes.
for ((i = 0; i < 50 && $(size) < 176400; i++)); do sleep 0.1; done
[ "$(size)" -ge 176400 ] || fail "the game's sound is not playing ($(size) bytes written)"
import -window "$wid" "$work/menu.png"

kill -USR1 "$pid"
# The device is let go within a couple of frames; its file then stays as it is.
still=$(size)
for ((i = 0; i < 20; i++)); do
  sleep 0.2
  [ "$(size)" = "$still" ] && break
  still=$(size)
done
press x  # one-player game, chosen without sound
sleep 0.3
press x  # Easy
sleep 2.5
kill -0 "$pid" 2>/dev/null || { cat "$work/log.txt"; fail "the game ended when its sound device went away"; }
[ "$(size)" = "$still" ] || fail "sound was written while there was no device ($still, then $(size) bytes)"
import -window "$wid" "$work/game.png"
diff=$(compare -metric AE "$work/menu.png" "$work/game.png" null: 2>&1 | cut -d' ' -f1)
[ "${diff%.*}" -gt 10000 ] || fail "without a sound device the game did not go on from the menu ($diff pixels changed)"

# The device is closed now: its driver makes the file afresh when a device opens again.
rm -f "$out"
start=${EPOCHREALTIME/./}
kill -USR2 "$pid"
back=
while [ -z "$back" ] && [ $(( ${EPOCHREALTIME/./} - start )) -lt 3000000 ]; do
  [ -s "$out" ] && back=$(( (${EPOCHREALTIME/./} - start) / 1000 ))
done
[ -n "$back" ] || fail "no sound 3 s after the device came back"
[ "$back" -le 2000 ] || fail "the sound came back only $back ms after the device"
sleep 1
[ "$(size)" -ge 88200 ] || fail "the sound stopped again after coming back ($(size) bytes in a second)"

press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$work/log.txt"; fail "after Escape the game gave '$EXIT_CODE'"; }
rm -rf "$work"
echo "PASS: the game went on without its sound device; sound was back $back ms after the device"
