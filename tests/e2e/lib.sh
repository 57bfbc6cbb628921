# Shared helpers of the end-to-end tests: sourced, with E2E_ROOT set to the
# folder that prepare.sh filled (display number and wine prefix) and
# E2E_BITS to the programs' 32 or 64 bits.
set -u
: "${E2E_ROOT:?E2E_ROOT must name the prepared folder}"
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/display.sh"
wine_environment "$E2E_ROOT/prefix"
export DISPLAY=":$(cat "$E2E_ROOT/display")"
E2E_BITS=${E2E_BITS:-64}
WINE=$(wine_loader "$E2E_BITS")
WINDIR="$WINEPREFIX/drive_c/windows"
# The system folder as the programs see it: a 32-bit program in the 64-bit
# prefix finds syswow64 behind the name system32.
WINSYS="$WINDIR/system32"
[ "$E2E_BITS" = 32 ] && [ -d "$WINDIR/syswow64" ] && WINSYS="$WINDIR/syswow64"
SAVER_KEY='HKCU\Software\KORVEL\tumbra'
E2E_OUT="$E2E_ROOT/out"
mkdir -p "$E2E_OUT"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Programs a failed test leaves running must not outlive it. Only this
# prefix's programs are ended: other prefixes may be busy on the machine.
E2E_STARTED=()
stop_stray_programs() {
  local status
  for status in "${E2E_STARTED[@]}"; do
    if [ ! -s "$status" ]; then
      wineserver -k >/dev/null 2>&1 || true
      return
    fi
  done
}
trap stop_stray_programs EXIT

note() { echo "-- $*"; }

# Windows exit codes reach the shell as their low 8 bits: -1 is 255.
expect_code() {
  local want=$1 got=$2 what=$3
  [ "$got" = "$want" ] || fail "$what: exit code $got, expected $want"
}

# Runs a program to its end; the exit code is printed.
wine_run() {
  "$WINE" "$@" >>"$E2E_OUT/wine.log" 2>&1
  echo $?
}

# Starts a program in the background; its pid is in WINE_PID. Its exit code
# is written to a file of its own, so it can be read from any subshell.
wine_start() {
  local status
  status=$(mktemp "$E2E_OUT/status.XXXXXX")
  rm -f "$status"
  ( "$WINE" "$@" >>"$E2E_OUT/wine.log" 2>&1; echo $? >"$status" ) </dev/null >/dev/null 2>&1 &
  WINE_PID=$!
  WINE_STATUS=$status
  E2E_STARTED+=("$status")
}

# Ends the program started last (and whatever it started) by its process,
# while it runs: once it has ended its process id may be another's.
stop_started() {
  [ -s "$WINE_STATUS" ] || pkill -P "$WINE_PID" 2>/dev/null || true
  wait_exit 5 >/dev/null
}

# Waits up to $1 seconds (fractions allowed) for the program started last
# to end; prints its exit code, or "running" when it is still going.
wait_exit() {
  if poll "$1" test -s "$WINE_STATUS"; then cat "$WINE_STATUS"; else echo running; fi
}

screenshot() { import -window root "$1" 2>/dev/null; }

# Takes screenshots into $2 until the check $3 (with the picture and the
# arguments after it) holds, up to $1 seconds; else the test fails with what
# the check said last.
expect_screen() {
  poll_screenshot "$@" || fail "$POLL_OUTPUT (after $1 s)"
}

# Colour of one pixel of a picture as rrggbb.
pixel_at() {
  convert "$1" -format '%[hex:u.p{'"$2,$3"'}]' info: 2>/dev/null | tail -c 7 | head -c 6 | tr 'A-F' 'a-f'
}

# The value of a registry entry as `reg query` shows it ("REG_DWORD 0xbb8").
# Once, under load, a query of a value that was there printed nothing: an
# empty answer is asked again before it counts (and noted in the log).
reg_value() {
  local value try
  for try in 1 2; do
    value=$("$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $2, $3 }')
    [ -n "$value" ] && break
    [ "$try" = 1 ] && echo "-- reg query $1 /v $2 printed nothing; asking again" >&2
  done
  [ -n "$value" ] && echo "$value"
  return 0
}

reg_key_exists() { "$WINE" reg query "$1" >/dev/null 2>&1; }

reg_set_dword() { "$WINE" reg add "$SAVER_KEY" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1; }
reg_set_text() { "$WINE" reg add "$SAVER_KEY" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }

# Forgets what a test may have left: settings and installed files.
reset_saver_state() {
  "$WINE" reg delete 'HKCU\Software\KORVEL' /f >/dev/null 2>&1 || true
  rm -rf "$WINDIR/tumbra" "$WINDIR/tumbra.scr" "$WINDIR/tumbra.ini"
}

# Installs the saver into the Windows directory as the installer leaves it,
# after forgetting earlier state: with the shipped lifefaces when $1 is
# "lifefaces", else with an empty catalogue (Classic Mode only).
install_saver() {
  reset_saver_state
  cp "$E2E_BIN/saver/tumbra.scr" "$WINDIR/tumbra.scr"
  if [ "${1:-}" = lifefaces ]; then
    cp "$E2E_BIN/data/tumbra.ini" "$WINDIR/tumbra.ini"
    mkdir -p "$WINDIR/tumbra"
    cp "$E2E_BIN"/data/tumbra/*.bmp "$WINDIR/tumbra/"
  else
    : >"$WINDIR/tumbra.ini"
  fi
}
