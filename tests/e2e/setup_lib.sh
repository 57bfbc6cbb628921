# Helpers of the installer and uninstaller tests; sourced after lib.sh.
# Programs are started from a folder of our own and ended, if they hang, by
# the id of the process we started, never by name.

SETUP_TITLE="Install Screen Saver"
SETUP_WORK="$E2E_OUT/setup"
FAKE_PANEL="$WINSYS/desk.cpl"
PANEL_LOG="$WINEPREFIX/drive_c/desk-call.txt"

# Polls a command up to $1 seconds and prints its output once it succeeds.
poll_output() { poll "$@" && echo "$POLL_OUTPUT"; }

# Starts a Windows program in folder $1 in the background. SETUP_PID is the
# wine process; its exit code lands in the file SETUP_STATUS.
setup_start() {
  local dir=$1
  shift
  SETUP_STATUS=$(mktemp "$E2E_OUT/setup-status.XXXXXX")
  rm -f "$SETUP_STATUS"
  local pidfile="$SETUP_STATUS.pid"
  (
    cd "$dir" || exit 1
    "$WINE" "$@" >>"$E2E_OUT/wine.log" 2>&1 &
    echo $! >"$pidfile"
    wait $!
    echo $? >"$SETUP_STATUS"
  ) 2>/dev/null &
  poll 5 test -s "$pidfile" || fail "could not start $*"
  SETUP_PID=$(cat "$pidfile")
}

# Up to $1 seconds for the program started last to end; prints its exit
# code, or "running".
setup_wait_exit() {
  if poll "$1" test -s "$SETUP_STATUS"; then cat "$SETUP_STATUS"; else echo running; fi
}

# Ends the program started last, if it is still going.
setup_stop() {
  if [ -n "${SETUP_PID:-}" ] && [ ! -s "${SETUP_STATUS:-/nonexistent}" ]; then
    kill -KILL "$SETUP_PID" 2>/dev/null || true
    poll 5 test -s "$SETUP_STATUS" || true
  fi
  SETUP_PID=
}

# Expects the program started last to end with code $1 within $2 seconds.
expect_exit() {
  local got
  got=$(setup_wait_exit "$2")
  [ "$got" = "$1" ] || fail "$3: exit code $got, expected $1"
}

# The id of the first window titled $1 other than $2 (an earlier box that
# may still be closing), waiting up to $3 seconds.
wait_new_window() {
  poll "${3:-20}" other_window "$1" "${2:-none}" && echo "$POLL_OUTPUT"
}
other_window() { find_windows "$1" | grep -vx "$2" | head -n 1 | grep .; }

# Types keys into a window: it gets the X input focus first, since wine
# ignores keys sent to a window that does not have it.
press() {
  local id=$1
  shift
  xdotool windowfocus "$id" 2>/dev/null
  xdotool key "$@" 2>/dev/null
}

# Presses a key in box $2 (titled $1) until the box goes, up to 5 times: a
# box that has just appeared may not have taken the focus yet and loses the
# key. A box that does not go fails the test with $3.
press_until_gone() {
  local title=$1 box=$2 key=$3 what=$4 _
  for _ in 1 2 3 4 5; do
    press "$box" "$key"
    poll 2 window_gone "$title" "$box" && return 0
  done
  fail "the box for \"$what\" did not take \"$key\""
}
window_gone() { ! find_windows "$1" | grep -qx "$2"; }

# Clicks at client position ($2, $3) of window $1.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1 2>/dev/null; }

# Number of dark pixels (text, check marks) in a w x h area at (x, y) of
# window $1, as it shows now.
dark_pixels() {
  local id=$1 x=$2 y=$3 w=$4 h=$5 shot
  shot=$(mktemp "$E2E_OUT/shot.XXXXXX.png")
  import -window "$id" "$shot" 2>/dev/null || { echo 0; rm -f "$shot"; return; }
  convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -colorspace Gray -threshold 30% -negate \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
  rm -f "$shot"
}

# Size of the X window $1: "width height".
window_size() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry:/ { sub("x", " ", $2); print $2 }'; }

# The first pixel of a line of pixels (ImageMagick's txt: listing) in the
# banner's night blue; prints its x or y, or nothing.
first_night_blue() {
  awk -v axis="$1" -F'[,:() ]+' '!/^#/ && $3 < 60 && $4 < 100 && $5 < 140 && $5 > $3 {
    print (axis == "x" ? $1 : $2); exit }'
}

# Where the installer's client area begins in its X window $1, found by the
# banner in its top left corner: "x y". With a window manager, or with none
# and wine's managed windows, the X window is the client area alone ("0 0");
# unmanaged, it holds wine's own frame and caption around it.
client_origin() {
  local id=$1 shot w h x0 y0
  read -r w h < <(window_size "$id")
  [ -n "${h:-}" ] || return 1
  shot=$(mktemp "$E2E_OUT/shot.XXXXXX.png")
  import -window "$id" "$shot" 2>/dev/null || { rm -f "$shot"; return 1; }
  y0=$(convert "$shot" -crop "1x$((h / 2))+$((w / 2))+0" +repage txt:- 2>/dev/null | first_night_blue y)
  if [ -n "$y0" ]; then
    x0=$(convert "$shot" -crop "$((w / 2))x1+0+$((y0 + 2))" +repage txt:- 2>/dev/null | first_night_blue x)
  fi
  rm -f "$shot"
  [ -n "$y0" ] && [ -n "$x0" ] || return 1
  echo "$x0 $y0"
}

# Removes what an installation leaves, even a saver file made immutable.
clear_installation() {
  chattr -i "$WINDIR/tumbra.scr" 2>/dev/null || true
  chmod -R u+w "$WINDIR/tumbra" "$WINDIR/tumbra.scr" "$WINDIR/tumbra.ini" 2>/dev/null || true
  rm -rf "$WINDIR/tumbra" "$WINDIR/tumbra.scr" "$WINDIR/tumbra.ini" "$WINDIR/.dotfile" "$PANEL_LOG"
}

# Everything a setup test may leave behind, also when it fails half-way.
setup_cleanup() {
  setup_stop
  clear_installation
  rm -f "$FAKE_PANEL" "$WINDIR/terms.txt"
}

# Makes a setup folder in $1 as the release package lays it out, with a
# dummy saver of $2 bytes, and a file whose name begins with a full stop in
# each copy folder.
make_setup_folder() {
  local dir=$1 size=${2:-4096}
  rm -rf "$dir"
  mkdir -p "$dir/copy/tumbra/patterns"
  printf 'Terms for the test.\r\nSecond line.\r\n' >"$dir/terms.txt"
  head -c "$size" /dev/urandom >"$dir/copy/tumbra.scr"
  printf '[Test face]\r\nfile=one.bmp\r\n' >"$dir/copy/tumbra.ini"
  printf 'BM one' >"$dir/copy/tumbra/one.bmp"
  printf 'BM two' >"$dir/copy/tumbra/two.bmp"
  printf 'BM three' >"$dir/copy/tumbra/three.bmp"
  echo hidden >"$dir/copy/tumbra/.dotface.bmp"
  printf '#N Glider\nx = 3, y = 3, rule = B3/S23\nbob$2bo$3o!\n' >"$dir/copy/tumbra/patterns/glider.rle"
  printf '#N Blinker\nx = 3, y = 1\n3o!\n' >"$dir/copy/tumbra/patterns/blinker.rle"
  echo hidden >"$dir/copy/tumbra/patterns/.dotpattern.rle"
  echo hidden >"$dir/copy/.dotfile"
}
