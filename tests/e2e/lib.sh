# Helpers for the end-to-end scripts (sourced). Each script runs inside its own X server.
set -u
export SDL_AUDIODRIVER=dummy
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

# wait_exit PID SECONDS: waits for the process to end; prints its exit code.
wait_exit() {
  local pid=$1 limit=$2 i
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      echo $?
      return 0
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  echo timeout
}

# wait_for_exit PID SECONDS: waits for the process to end and sets exit_code to its exit code
# ("timeout" if it had to be killed). Call it directly, not inside $(...): a subshell cannot
# collect the shell's child, and an exit during its wait reads as -1 there.
wait_for_exit() {
  local pid=$1 limit=$2 i
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      exit_code=$?
      return 0
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  exit_code=timeout
}
