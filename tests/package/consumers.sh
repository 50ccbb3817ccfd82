#!/usr/bin/env bash
# Installs the library's package (component tu-dev) into a staging folder and builds the game in
# consumer/ against it twice, each from a clean folder and a copy of its source, so nothing of
# the source tree is in reach: once with find_package(tu CONFIG), once by a compiler line from
# pkg-config. Both programs must build and run to exit code 0. Then the game's own sources build
# against the package the same way.
# Arguments: the build folder, a scratch folder, CMAKE_INSTALL_LIBDIR, the C++ compiler and the
# CMake generator.
set -euo pipefail
build=$1 work=$2 libdir=$3 cxx=$4 generator=$5
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/pc" "$work/run"
chmod 700 "$work/run"
# Staged through DESTDIR under a prefix that does not exist: a path fixed at configure or
# install time would point there and break the builds below.
DESTDIR="$work/stage" cmake --install "$build" --prefix /nonexistent/tu --component tu-dev >"$work/install.log"
prefix="$work/stage/nonexistent/tu"
[ -x "$prefix/bin/quorbistane_pack" ] || { echo "the package lacks the pack tool"; exit 1; }
cp -r "$here/consumer" "$work/src"

# The programs open a window and a sound device of SDL's dummy drivers, and keep their
# single-instance lock in a folder of their own, away from a game that runs meanwhile.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$work/run"

echo "== find_package(tu CONFIG) from $prefix"
cmake -S "$work/src" -B "$work/cmake" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
if ! grep -q "^tu_DIR:PATH=$prefix/" "$work/cmake/CMakeCache.txt"; then
  echo "the package was not found in the staging folder:"; grep '^tu_DIR' "$work/cmake/CMakeCache.txt"
  exit 1
fi
cmake --build "$work/cmake"
"$work/cmake/consumer"

echo "== pkg-config tu from $prefix/$libdir/pkgconfig"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
version=$(pkg-config --modversion tu)
cflags=$(pkg-config --cflags tu)
flags=$(pkg-config --cflags --libs tu)
# A game sees the library's headers alone: no include folder of what the library is built on.
read -r -a words <<<"$cflags"
if [ "${#words[@]}" -ne 1 ] || [ "${words[0]:0:2}" != -I ] ||
   [ "$(cd "${words[0]#-I}" && pwd -P)" != "$(cd "$prefix/include" && pwd -P)" ]; then
  echo "pkg-config --cflags tu gives more than the library's own headers: $cflags"; exit 1
fi
# Each header a game may include compiles on its own.
for header in keys types random tuSystem tuDraw tuSound version internal/system internal/draw; do
  # shellcheck disable=SC2086  # the flags are words
  echo "#include <tu/$header.h>" | "$cxx" -std=c++20 -fsyntax-only -x c++ $cflags - ||
    { echo "<tu/$header.h> does not compile on its own"; exit 1; }
done
# shellcheck disable=SC2086  # the flags are words
"$cxx" -std=c++20 -DTU_EXPECTED_VERSION="\"$version\"" -o "$work/pc/consumer" "$work/src/main.cpp" $flags
"$work/pc/consumer"

# The game itself is a program on the package too: its sources, copied away from the tree, build
# against the installed headers and library alone.
echo "== the game's own sources against the package"
for part in game net online; do
  mkdir -p "$work/game/$part"
  cp "$here"/../../src/$part/*.cpp "$here"/../../src/$part/*.h "$work/game/$part/"
done
cp "$here"/../../apps/quorbistane.cpp "$work/game/"
# shellcheck disable=SC2086  # the flags are words
# The game keeps its replays compressed and plays online on ENet: zlib and ENet are its own
# dependencies, not the library's.
"$cxx" -std=c++20 -I"$work/game" -o "$work/game/quorbistane" "$work/game"/*.cpp "$work/game/game"/*.cpp \
  "$work/game/net"/*.cpp "$work/game/online"/*.cpp $flags -lz $(pkg-config --cflags --libs libenet)
echo "both programs built and ran; the game built"
