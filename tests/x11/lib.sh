# Shared helpers of the X11 front end's end-to-end tests, sourced with
# X11_OUT (a folder for this run's pictures and logs), TUMBRA (the program)
# and CATALOGUE (a folder with tumbra.ini) set. Each test has its own
# private Xvfb display and its own settings folder.
set -u
: "${X11_OUT:?}" "${TUMBRA:?}" "${CATALOGUE:?}"
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/display.sh"
mkdir -p "$X11_OUT"

# A failure shows what the last tumbra said: under the sanitizers its exit
# code alone does not tell a report from a lost display.
fail() {
  echo "FAIL: $*" >&2
  if [ -s "${TUMBRA_LOG:-}" ]; then
    echo "-- the last lines tumbra wrote ($TUMBRA_LOG):" >&2
    tail -n 40 "$TUMBRA_LOG" >&2
  fi
  exit 1
}
note() { echo "-- $*"; }

# Everything a test starts is ended by its own process id when it ends,
# while it is still a process of this test: process ids come round again
# within a long run of tests, and one that ended long ago may by now be
# another test's display.
STARTED_PIDS=()
is_ours() {
  local pid=$1 parent
  while [ "$pid" -gt 1 ]; do
    [ "$pid" = $$ ] && return 0
    # The parent's id follows the state, after the name in parentheses.
    parent=$(sed 's/.*) [^ ]* \([0-9]*\).*/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
    [ -n "$parent" ] || return 1
    pid=$parent
  done
  return 1
}
stop_started_programs() {
  local pid ours=()
  for pid in "${STARTED_PIDS[@]}"; do
    if [ "$pid" != $$ ] && is_ours "$pid"; then ours+=("$pid"); fi
  done
  for pid in "${ours[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${ours[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_started_programs EXIT

# A private display of the given size (default 1024x768); sets DISPLAY.
start_display() {
  local dir
  dir=$(mktemp -d "$X11_OUT/display.XXXXXX")
  display_server_start "$dir" Xvfb -screen 0 "${1:-1024x768}x24" -nolisten tcp -br -ac ||
    fail "no display could be started"
  STARTED_PIDS+=("$(cat "$dir/server.pid")")
}

# Settings and data folders of this test alone: nothing of the user's is
# read or changed.
private_settings() {
  export XDG_CONFIG_HOME="$X11_OUT/config-$1"
  export XDG_DATA_HOME="$X11_OUT/no-data"
  export XDG_DATA_DIRS="$X11_OUT/no-data"
  rm -rf "$XDG_CONFIG_HOME"
}

# Starts tumbra in the background with the given arguments. Its own process
# id is in TUMBRA_PID; a watching shell writes its exit code to a file, so
# it can be read from any subshell. What it writes goes to a log of this run
# alone, TUMBRA_LOG.
start_tumbra() {
  TUMBRA_STATUS=$(mktemp "$X11_OUT/status.XXXXXX")
  rm -f "$TUMBRA_STATUS"
  TUMBRA_LOG=$TUMBRA_STATUS.log
  local pidfile="$TUMBRA_STATUS.pid"
  (
    "$TUMBRA" "$@" >"$TUMBRA_LOG" 2>&1 </dev/null &
    echo $! >"$pidfile"
    wait $!
    echo $? >"$TUMBRA_STATUS"
  ) &
  poll 5 test -s "$pidfile" || fail "tumbra did not start"
  TUMBRA_PID=$(cat "$pidfile")
  STARTED_PIDS+=("$TUMBRA_PID")
}

# Waits up to $1 seconds for tumbra to end; prints its exit code, or
# "running" when it is still going.
wait_exit() {
  if poll "$1" test -s "$TUMBRA_STATUS"; then cat "$TUMBRA_STATUS"; else echo running; fi
}

# Makes a window of WxH at the top-left corner for --window-id; its id is in
# TEST_WINDOW, the helper's process id in TEST_WINDOW_PID.
make_window() {
  local out="$X11_OUT/window-$$.txt"
  "$MAKE_WINDOW" "$1" "$2" >"$out" 2>>"$X11_OUT/make_window.log" &
  TEST_WINDOW_PID=$!
  STARTED_PIDS+=("$TEST_WINDOW_PID")
  poll 5 test -s "$out"
  TEST_WINDOW=$(cat "$out")
  [ -n "$TEST_WINDOW" ] || fail "the test window was not made"
}

# Takes screenshots into $2 until the check $3 (with the picture and the
# arguments after it) holds, up to $1 seconds; else the test fails with what
# the check said last.
expect_screen() {
  poll_screenshot "$@" || fail "$POLL_OUTPUT (after $1 s)"
}

