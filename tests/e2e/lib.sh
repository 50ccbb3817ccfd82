# Helpers for the end-to-end scripts (sourced). Each script runs inside its own X server.
set -u
export SDL_AUDIODRIVER=dummy
# Under the sanitizers: the display driver libraries the real window loads keep allocations
# past exit and are unloaded before the leak check, which then cannot tell whose they are.
# Leaks of our own code are checked by the headless tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# A private runtime folder: the single-instance lock of this run meets no other game.
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/qe2e.XXXXXX)
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

# find_window PID: the id of the visible window titled "Quorbistane" (waits up to 10 s).
find_window() {
  local wid
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Quorbistane$' 2>/dev/null | head -1)
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
