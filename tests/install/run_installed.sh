#!/usr/bin/env bash
# Runs an installed game from a working folder that holds nothing of it: the window appears
# with its title and Escape ends the game with exit code 0 (a picture or sound not found would
# hold it in a message box); the installed simulator plays a short script with the
# installed pictures and sounds and writes its dump. Run inside an X server (xvfb-run).
# Arguments: the game's command and the simulator's command, as installed (links included).
game=$1 sim=$2
source "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d /tmp/qinst.XXXXXX)
trap 'rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
cd "$work" || exit 1

"$game" >game.log 2>&1 &
pid=$!
wid=$(find_window) || { cat game.log; exit 1; }
sleep 1  # the pictures and sounds load after the window appears
xdotool windowactivate --sync "$wid" 2>/dev/null || true
press Escape
wait_exit "$pid" 5
[ "$EXIT_CODE" = 0 ] || { cat game.log; fail "after Escape the game gave '$EXIT_CODE' (a message box may hold it)"; }
echo "PASS: $game opened its window from $work and ended on Escape"

# Player 1 chooses the one-player game and a difficulty: the game scene, two button sounds.
printf '10 x tap\n40 x tap\n' >keys.txt
"$sim" --frames 80 --script keys.txt --dump dump.json >sim.log 2>&1 || { cat sim.log; fail "the simulator failed"; }
grep -q '"boxes": \[\]' dump.json || { grep -A8 '"boxes"' dump.json; fail "the simulator reported problems"; }
grep -q '"sceneNo": 1,' dump.json || fail "the script did not reach the game scene"
grep -A1 '"SE/BUTTONK.wav"' dump.json | grep -q '"started": 2' || fail "the button sound did not play twice"
echo "PASS: $sim played the script with the installed pictures and sounds"
