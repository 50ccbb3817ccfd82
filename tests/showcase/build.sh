#!/usr/bin/env bash
# Builds the showcase and the guide's examples as an outside project would: the library's
# package (component tu-dev) is installed into a staging prefix, and each project is configured
# from a copy of its sources in a clean folder with only that prefix to find tu in.
#   build.sh BUILD_DIR WORK_DIR
# leaves WORK_DIR/showcase/showcase (with its packs and music beside it) and the examples in
# WORK_DIR/examples/. The pack tool is the one built in BUILD_DIR.
set -euo pipefail
build=$(cd "$1" && pwd) work=$2
tree=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
# Staged under a prefix that does not exist, so no path fixed at install time can be used.
DESTDIR="$work/stage" cmake --install "$build" --prefix /nonexistent/tu --component tu-dev >"$work/install.log"
prefix="$work/stage/nonexistent/tu"
cp -r "$tree/examples/showcase" "$work/showcase-src"
cp -r "$tree/docs/examples" "$work/examples-src"

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
for project in examples showcase; do
  if ! cmake -S "$work/$project-src" -B "$work/$project" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$prefix" -DQUORBISTANE_PACK="$build/bin/quorbistane_pack" \
      >"$work/$project-configure.log" 2>&1; then
    cat "$work/$project-configure.log"
    exit 1
  fi
  grep -q "^tu_DIR:PATH=$prefix/" "$work/$project/CMakeCache.txt" ||
    { echo "$project did not find tu in the staging prefix"; exit 1; }
  cmake --build "$work/$project" -j2 >"$work/$project-build.log" 2>&1 ||
    { cat "$work/$project-build.log"; exit 1; }
done
