#!/usr/bin/env bash
# Installs the game (component game) into a staging folder through DESTDIR, under a prefix
# that does not exist, checks that the desktop's files are there, and runs the installed game
# and simulator from elsewhere (run_installed.sh). Run inside an X server (xvfb-run).
# Arguments: the build folder and a scratch folder.
set -euo pipefail
build=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
DESTDIR="$work/stage" cmake --install "$build" --prefix /nonexistent/q --component game >"$work/install.log"
root="$work/stage/nonexistent/q"
for f in share/applications/quorbistane.desktop share/metainfo/org.quorbistane.quorbistane.metainfo.xml \
         share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/quorbistane.png \
         share/man/man6/quorbistane.6.gz share/man/man6/quorbistane-sim.6.gz; do
  [ -s "$root/$f" ] || { echo "FAIL: $f was not installed"; exit 1; }
done
# The menu entry starts the game by its path under the final prefix.
grep -qx 'Exec=/nonexistent/q/games/quorbistane' "$root/share/applications/quorbistane.desktop" ||
  { echo "FAIL: the menu entry does not start /nonexistent/q/games/quorbistane"; exit 1; }
bash "$(dirname "$0")/run_installed.sh" "$root/games/quorbistane" "$root/games/quorbistane-sim"
