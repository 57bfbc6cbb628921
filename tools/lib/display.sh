# The private X displays and wine prefixes that tools/run-saver, the
# end-to-end tests (of the Windows programs and of the X11 front end) and the
# benchmarks run the programs in; sourced. Every
# function touches only the display, prefix and wine server that its caller
# made: other programs on the machine may be using theirs.

# The wine loader for programs of $1 bits (32 or 64).
wine_loader() {
  case "$1" in
    32) echo /usr/lib/wine/wine ;;
    64) echo /usr/lib/wine/wine64 ;;
    *) echo "wine_loader: no loader for $1-bit programs" >&2; return 1 ;;
  esac
}

# Whether this kernel runs 32-bit x86 programs: 0 yes, 1 no, 2 the folder
# $1 (default $TMPDIR) cannot run programs at all. The probe is the
# smallest i386 program there is: a static ELF file, written here so that no
# 32-bit toolchain is needed, that exits with 42 through int 0x80.
kernel_runs_i386() {
  local dir=${1:-${TMPDIR:-/tmp}} probe code
  mkdir -p "$dir" || return 2
  probe=$(mktemp "$dir/i386-probe.XXXXXX") || return 2
  printf '#!/bin/sh\nexit 42\n' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  code=$?
  if [ "$code" != 42 ]; then
    rm -f "$probe"
    return 2
  fi
  # ELF header, one loadable segment at 0x08048000, then
  # mov ebx, 42; mov eax, 1 (exit); int 0x80.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
  printf '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
  printf '\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >>"$probe"
  "$probe" 2>/dev/null
  code=$?
  rm -f "$probe"
  [ "$code" = 42 ]
}

# Why programs of $1 bits cannot run under wine here (with $2 the folder for
# the probe); prints nothing when they can.
wine_cannot_run() {
  local loader status=0
  loader=$(wine_loader "$1") || { echo "no wine loader for $1-bit programs"; return; }
  if [ "$1" = 32 ]; then
    kernel_runs_i386 "${2:-}" || status=$?
    case $status in
      1) echo "this kernel does not run 32-bit (i386) programs"; return ;;
      2) echo "the kernel's 32-bit support is unknown: ${2:-${TMPDIR:-/tmp}} cannot run programs"; return ;;
    esac
  fi
  [ -x "$loader" ] || echo "$loader is missing (package wine$1)"
}

# The environment every wine program of ours runs with: the prefix $1 and
# nothing the caller's environment may hold for another wine. No menu
# entries or file associations are written for the user, and neither
# Mono nor Gecko is asked for.
wine_environment() {
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset WINEARCH WINELOADER WINESERVER WINEDLLPATH WINEESYNC WINEFSYNC
}

# Fonts the programs ask for by name that Debian has only a metric twin of
# (fonts-liberation): wine takes the twin in their place. Without it wine
# gives its default font, whose widths are another font's.
WINE_FONT_REPLACEMENTS=("Courier New=Liberation Mono")

# How the prefix was made: wine's version, its 32-bit support and the font
# replacements. Kept beside the prefix.
wine_stamp() {
  echo "$(/usr/lib/wine/wine64 --version 2>/dev/null); wine32 $([ -x /usr/lib/wine/wine ] && echo yes || echo no);" \
    "${WINE_FONT_REPLACEMENTS[*]}"
}

# Makes the prefix of wine_environment, unless it was made the same way
# before (wine_stamp). wine64 makes it, so that with wine32 installed it
# runs 32-bit programs as well (WoW64).
wine_prefix_ready() {
  local stamp="$WINEPREFIX.made-by"
  if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$(wine_stamp)" ]; then
    return 0
  fi
  case "$WINEPREFIX" in /*/*) ;; *) echo "no private prefix: '$WINEPREFIX'" >&2; return 1 ;; esac
  if [ -e "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  echo "making wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; return 1; }
  local replacement
  for replacement in "${WINE_FONT_REPLACEMENTS[@]}"; do
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${replacement%%=*}" /t REG_SZ \
      /d "${replacement#*=}" /f >>"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; return 1; }
  done
  wineserver -w >/dev/null 2>&1 || true
  wine_stamp >"$stamp"
}

# Ends every program in the prefix of wine_environment, and its wine server.
wine_prefix_stop() { wineserver -k >/dev/null 2>&1 || true; }

# Starts a private Xvfb of $2 (default 1024x768x24) and records it in the
# folder $1 (files display and server.pid); an Xvfb recorded there that still
# runs is used again. Exports DISPLAY.
display_start() {
  local dir=$1 screen=${2:-1024x768x24}
  if [ -s "$dir/display" ] && [ -f "$dir/server.pid" ] && recorded_server_runs "$dir"; then
    export DISPLAY=":$(cat "$dir/display")"
    return 0
  fi
  display_server_start "$dir" Xvfb -screen 0 "$screen" -nolisten tcp
}

# Starts the X server $2 (Xvfb, or Xephyr nested in $DISPLAY) with the
# arguments after it, recorded in the folder $1 like display_start. The
# server chooses a free display number itself, so two callers never get the
# same one. A server that says its number but takes no client (one closing
# on the same number as it started can take its socket with it) is stopped
# and another started. It never resets: a server resets whenever its last
# client leaves, and a client that connects meanwhile (a test's next
# xdotool, the program under test) is turned away. Exports DISPLAY.
display_server_start() {
  local dir=$1 try
  shift
  for try in 1 2 3; do
    display_server_try "$dir" "$@" || return 1
    DISPLAY=":$(cat "$dir/display")" xdotool getdisplaygeometry >/dev/null 2>&1 && break
    echo "display :$(cat "$dir/display") takes no client; starting another" >&2
    display_stop "$dir"
    [ $try = 3 ] && return 1
  done
  export DISPLAY=":$(cat "$dir/display")"
}

display_server_try() {
  local dir=$1 pid number _
  shift
  mkdir -p "$dir"
  rm -f "$dir/display" "$dir/server.pid" "$dir/displayfd"
  # The server writes the number to the file once it takes connections.
  "$@" -noreset -displayfd 3 3>"$dir/displayfd" >"$dir/server.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    [ -s "$dir/displayfd" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  number=$(tr -dc '0-9' <"$dir/displayfd" 2>/dev/null)
  rm -f "$dir/displayfd"
  if [ -z "$number" ] || ! kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    echo "no display could be started (see $dir/server.log)" >&2
    return 1
  fi
  echo "$pid" >"$dir/server.pid"
  echo "$number" >"$dir/display"
}

# Whether the X server recorded in the folder $1 still runs: its process id
# is still an X server's (ids come round again within a long run of tests).
recorded_server_runs() {
  local pid
  pid=$(cat "$1/server.pid" 2>/dev/null) || return 1
  case "$(cat "/proc/$pid/comm" 2>/dev/null)" in
    Xvfb | Xephyr) return 0 ;;
  esac
  return 1
}

# Stops the X server that display_start recorded in the folder $1.
display_stop() {
  local dir=$1
  if [ -f "$dir/server.pid" ] && recorded_server_runs "$dir"; then
    kill "$(cat "$dir/server.pid")" 2>/dev/null || true
  fi
  rm -f "$dir/server.pid" "$dir/display"
}

# Runs the command after $1 until it succeeds, for up to $1 seconds
# (fractions allowed), a twentieth of a second apart; true once it has, false
# when the time is up. The time is the clock's, not a count of tries, so a
# slow check (a screenshot) does not stretch it. The command runs in a
# subshell: what it printed on its last try is in POLL_OUTPUT, where a check
# can say why it does not hold yet.
poll() {
  local deadline
  deadline=$(($(poll_clock) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000 }')))
  shift
  while :; do
    POLL_OUTPUT=$("$@") && return 0
    [ "$(poll_clock)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}
poll_clock() { echo "${EPOCHREALTIME//[!0-9]/}"; }

# Prints the X window ids whose title is exactly $1 (none: empty).
find_windows() { xdotool search --name "^$1\$" 2>/dev/null || true; }

# The first window titled $1; false when there is none.
first_window() { find_windows "$1" | head -n 1 | grep .; }

# Waits until a window titled $1 exists (up to $2 seconds); prints its id.
wait_window() {
  poll "${2:-20}" first_window "$1" || return 1
  echo "$POLL_OUTPUT"
}

# ---- Pictures of the screen, for checks that poll until the screen shows
# what they expect. A check takes the picture as its first argument, prints
# why it does not hold (when it does not) and fails.

# Takes screenshots of the whole display into $2 until the check $3 (with
# the picture and the arguments after it) holds, up to $1 seconds. False when
# it never did; the check's last word is in POLL_OUTPUT.
poll_screenshot() {
  local seconds=$1 picture=$2
  shift 2
  poll "$seconds" screenshot_check "$picture" "$@"
}
screenshot_check() {
  local picture=$1 check=$2
  shift 2
  import -window root "$picture" 2>/dev/null || { echo "no screenshot"; return 1; }
  "$check" "$picture" "$@"
}

# The distinct colours of a picture (or of the area WxH+X+Y of it) as rrggbb.
colours_of() {
  local picture=$1 area=${2:-}
  if [ -n "$area" ]; then
    convert "$picture" -crop "$area" +repage -unique-colors -depth 8 txt:-
  else
    convert "$picture" -unique-colors -depth 8 txt:-
  fi | awk 'NR > 1 { print tolower(substr($3, 2, 6)) }' | sort -u
}

# Check: the picture (or the area $2 of it) shows something other than black.
not_black() {
  [ -n "$(colours_of "$1" "${2:-}" | grep -v '^000000$')" ] || { echo "all black"; return 1; }
}

# Check: the area $2 of the picture is all of the one colour $3.
all_of_colour() {
  local colours
  colours=$(colours_of "$1" "$2" | tr '\n' ' ')
  [ "$colours" = "$3 " ] || { echo "$2 shows ${colours:-nothing}, not $3 alone"; return 1; }
}

# The neighbour-count colours of the default settings, and black.
CLASSIC_COLOURS=" 000000 ff0000 00ff00 0000ff ffff00 ff00ff 00ffff 7f0000 007f00 "

# Check: the picture (or the area $3 of it) holds only classic colours, at
# least $2 of them live.
classic_field() {
  local colour live=0
  for colour in $(colours_of "$1" "${3:-}"); do
    [[ "$CLASSIC_COLOURS" == *" $colour "* ]] || { echo "colour $colour${3:+ in $3} is no cell colour"; return 1; }
    [ "$colour" = 000000 ] || live=$((live + 1))
  done
  [ "$live" -ge "$2" ] || { echo "only $live live colours${3:+ in $3}"; return 1; }
}

# A pattern field on a 1024x768 screen: cells in the middle, the corners
# beside the name line still empty (a random field fills the screen), and
# the name line in the top-left corner in the default red.
pattern_field() {
  not_black "$1" 256x192+384+288 || { echo "nothing in the middle of the screen"; return 1; }
  local corner
  for corner in 150x100+874+0 150x100+0+668 150x100+874+668; do
    [ "$(colours_of "$1" "$corner")" = 000000 ] || { echo "cells in the corner $corner: not a pattern field"; return 1; }
  done
  colours_of "$1" 300x60+0+0 | grep -qx ff0000 || { echo "no name line in the top-left corner"; return 1; }
}

# Whether two pictures are the same, pixel for pixel.
same_pictures() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }

# Check: the picture differs from the picture $2.
differs_from() { ! same_pictures "$1" "$2" || { echo "the same as $2"; return 1; }; }

# Takes screenshots into $2 until the screen has settled on a whole frame,
# up to $1 seconds: one that is not black and that the last try saw as well.
poll_settled_screen() {
  rm -f "$2.last"
  poll_screenshot "$1" "$2" settled
}
settled() {
  not_black "$1" || return 1
  if [ -f "$1.last" ] && same_pictures "$1" "$1.last"; then return 0; fi
  cp "$1" "$1.last"
  echo "the picture still changes"
  return 1
}
