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
# The music plays: a second of 44100 Hz 16-bit stereo is 176400 bytes.
for ((i = 0; i < 50 && $(file_size "$out") < 176400; i++)); do sleep 0.1; done
[ "$(file_size "$out")" -ge 176400 ] || fail "the game's sound is not playing ($(file_size "$out") bytes written)"
import -window "$wid" "$work/menu.png"

kill -USR1 "$pid"
# The device is let go within a couple of frames; its file then stays as it is.
still=$(file_size "$out")
for ((i = 0; i < 20; i++)); do
  sleep 0.2
  [ "$(file_size "$out")" = "$still" ] && break
  still=$(file_size "$out")
done
easy_game_from_menu "$wid" "$work/menu.png" "$work/game.png"  # chosen without sound
kill -0 "$pid" 2>/dev/null || { cat "$work/log.txt"; fail "the game ended when its sound device went away"; }
[ "$(file_size "$out")" = "$still" ] || fail "sound was written while there was no device ($still, then $(file_size "$out") bytes)"

time_sound "$out" kill -USR2 "$pid"
[ -n "$BACK_MS" ] || fail "no sound 3 s after the device came back"
[ "$BACK_MS" -le 2000 ] || fail "the sound came back only $BACK_MS ms after the device"
sleep 1
[ "$(file_size "$out")" -ge 88200 ] || fail "the sound stopped again after coming back ($(file_size "$out") bytes in a second)"

press Escape
wait_exit "$pid" 3
[ "$EXIT_CODE" = 0 ] || { cat "$work/log.txt"; fail "after Escape the game gave '$EXIT_CODE'"; }
rm -rf "$work"
echo "PASS: the game went on without its sound device; sound was back $BACK_MS ms after the device"
