#!/usr/bin/env bash
# The showcase and the guide's examples, checked as an outside user would meet them:
#  1. the guide (docs/library.md and docs/first-game.md) quotes every example exactly as its
#     file stands;
#  2. the examples and the showcase build against the installed package (build.sh), and the
#     headless example runs to exit code 0;
#  3. the showcase runs headless through every scene by its key script: exit code 0, the best
#     score kept in its setting file, and a capture of each scene that matches its reference
#     picture (examples/showcase/reference/, compared at 160 x 120 within a small tolerance);
#  4. with its picture pack and music missing and its sound pack cut short it still runs
#     through, each fault reported in the error box (written to stderr when headless);
#  5. under a virtual X server its window opens beside the game's and Escape ends it.
#   check.sh BUILD_DIR WORK_DIR [--update-references]
# --update-references replaces the reference pictures with this run's (after a change of the
# showcase or of the library's drawing that is meant; look at them before committing).
set -euo pipefail
build=$1 work=$2 update=${3:-}
mkdir -p "$work"
work=$(cd "$work" && pwd)  # the programs below get absolute paths to their folders
tree=$(cd "$(dirname "$0")/../.." && pwd)
here=$tree/tests/showcase
fail() { echo "FAIL: $*"; exit 1; }

echo "== the guide quotes its examples"
for file in "$tree"/docs/examples/*.cpp; do
  name=$(basename "$file")
  quoted=$(awk -v marker="<!-- example: $name -->" '
    $0 == marker { state = 1; next }
    state == 1 { if ($0 != "```cpp") exit 3; state = 2; next }
    state == 2 && $0 == "```" { found = 1; exit }
    state == 2 { print }
    END { if (!found) exit 3 }' "$tree"/docs/*.md) || fail "no page of the guide (docs/*.md) quotes $name"
  [ "$quoted" = "$(cat "$file")" ] || fail "the guide's copy of $name differs from the file"
done

echo "== build against the installed package"
bash "$here/build.sh" "$build" "$work"
"$work/examples/system_headless_run" || fail "the headless example did not end with 0"

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
names=(title effects shapes text sound scroll-view game game-over title-best)

echo "== the showcase, headless through every scene"
export XDG_DATA_HOME="$work/data"
"$work/showcase/showcase" --autoplay >"$work/autoplay.log" 2>&1 || { cat "$work/autoplay.log"; fail "autoplay"; }
saved="$XDG_DATA_HOME/tu-showcase"
best=$(cat "$saved/best-score.txt" 2>/dev/null || echo none)
[[ "$best" =~ ^[1-9][0-9]*$ ]] || fail "the best score was not kept: '$best'"
mkdir -p "$work/shots"
for i in "${!names[@]}"; do
  capture=$(printf '%s/capture-%03d.bmp' "$saved" $((i + 1)))
  name=${names[$i]}
  [ -f "$capture" ] || fail "no capture of $name"
  # -strip keeps the files free of dates, so a reference changes only when its picture does.
  convert "$capture" -resize 160x120 -strip "$work/shots/$name.png"
  spread=$(convert "$capture" -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || fail "the capture of $name is blank"
  reference="$tree/examples/showcase/reference/$name.png"
  if [ "$update" = --update-references ]; then
    cp "$work/shots/$name.png" "$reference"
    continue
  fi
  [ -f "$reference" ] || fail "no reference picture $reference"
  # RMSE over all channels, 0 (equal) to 1; a change of a few glyphs or pixels stays far below.
  error=$(compare -metric RMSE "$work/shots/$name.png" "$reference" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
  awk -v e="${error:-1}" 'BEGIN { exit !(e <= 0.02) }' ||
    fail "the capture of $name differs from its reference (RMSE $error); see $work/shots/$name.png"
done
[ ! -e "$(printf '%s/capture-%03d.bmp' "$saved" $((${#names[@]} + 1)))" ] || fail "more captures than scenes"
echo "captures of ${#names[@]} scenes match their references; best score $best"

echo "== the showcase with broken files"
cp -r "$work/showcase" "$work/broken"
rm "$work/broken/pics.pak" "$work/broken/theme.mid"
head -c 100 "$work/showcase/sounds.pak" >"$work/broken/sounds.pak"
export XDG_DATA_HOME="$work/data-broken"
"$work/broken/showcase" --autoplay >"$work/broken.log" 2>&1 || { cat "$work/broken.log"; fail "autoplay with broken files"; }
for report in "pics.pak cannot be read" "theme.mid cannot be read" "tuSound::LoadPack : "; do
  grep -q "$report" "$work/broken.log" || { cat "$work/broken.log"; fail "no error box saying '$report'"; }
done
[ -f "$XDG_DATA_HOME/tu-showcase/capture-009.bmp" ] || fail "the run with broken files did not go through"
echo "missing and broken files were reported and the showcase ran on"

if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  echo "== the showcase's window"
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/window.sh" "$work/showcase/showcase" "$build/bin/quorbistane"
else
  echo "xvfb-run or xdotool missing: the window check is left out"
fi
echo "PASS"
