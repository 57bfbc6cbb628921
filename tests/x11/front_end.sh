#!/usr/bin/env bash
# End-to-end checks of tumbra for X11 on a private Xvfb display: drawing into
# a given window, the full-screen run and the input that ends it, resizing,
# signals, bad arguments, one classic frame pixel for pixel against the
# Windows saver's, and what goes through shared memory. Usage: front_end.sh CASE
source "$(dirname "$0")/lib.sh"

# A window made by the test gets a classic field; the window's destruction
# ends the program with exit code 0.
case_window_id() {
  start_display 1024x768
  private_settings window_id
  make_window 640 480
  start_tumbra --window-id "$TEST_WINDOW" --catalogue "$CATALOGUE" --mode classic --cscale 2
  expect_screen 10 "$X11_OUT/window-id.png" classic_field 4 640x480+0+0
  # Nothing is drawn beside the window.
  [ "$(colours_of "$X11_OUT/window-id.png" 384x768+640+0)" = 000000 ] || fail "pixels drawn right of the window"
  [ "$(colours_of "$X11_OUT/window-id.png" 640x288+0+480)" = 000000 ] || fail "pixels drawn below the window"
  [ "$(wait_exit 0.5)" = running ] || fail "the program ended while its window was there"
  kill -TERM "$TEST_WINDOW_PID"
  [ "$(wait_exit 3)" = 0 ] || fail "the program did not end with 0 when its window was destroyed"
}

# Without shared memory (as on a remote display) the frames go as plain
# XPutImage requests and show the same.
case_plain_images() {
  start_display 1024x768
  private_settings plain_images
  TUMBRA_NO_SHM=1 start_tumbra --fullscreen --catalogue "$CATALOGUE" --mode classic --seed 1234 --cscale 2 \
    --digital --no-cycle-at-reset --no-random-face --no-show-name --delay 3000
  poll_settled_screen 10 "$X11_OUT/plain-frame.png" || fail "no whole frame on the screen: $POLL_OUTPUT"
  local different
  different=$(compare -metric AE "$X11_OUT/plain-frame.png" "$GOLDEN_DIR/classic-seed1234-1024x768.png" null: 2>&1)
  [ "$different" = 0 ] || fail "$different pixels differ from the Windows saver's frame"
}

# Shared memory is for frames only: the lifeface picture, never shown itself,
# stays in the program's own memory.
case_shared_frames_only() {
  start_display 1024x768
  private_settings shared_frames_only
  start_tumbra --fullscreen --catalogue "$CATALOGUE" --mode animated --no-random-face --delay 20
  expect_screen 10 "$X11_OUT/shared-frames.png" not_black
  local sizes
  sizes=$(awk -v pid="$TUMBRA_PID" 'NR > 1 && $5 == pid { print $4 }' /proc/sysvipc/shm | sort -u)
  [ -n "$sizes" ] || fail "no frame in shared memory"
  [ "$sizes" = $((1024 * 768 * 4)) ] || fail "shared segments other than frames: $(echo $sizes)"
}

# Starts the full-screen run with the pointer in the middle of the screen,
# and waits for its first frames: the pointer's place is taken by then.
start_full_screen() {
  xdotool mousemove 512 384
  start_tumbra --fullscreen --catalogue "$CATALOGUE" --mode classic "$@"
  wait_window tumbra 30 >/dev/null || fail "no full-screen window on $DISPLAY (tumbra: $(wait_exit 0))"
  expect_screen 10 "$X11_OUT/fullscreen-start.png" not_black
}

# Movement counts as |dx| + |dy| and must exceed 4 pixels.
case_fullscreen_threshold() {
  start_display 1024x768
  private_settings fullscreen_threshold
  start_full_screen
  expect_screen 10 "$X11_OUT/fullscreen.png" classic_field 4
  xdotool mousemove 515 385  # 3 + 1 = 4
  [ "$(wait_exit 1)" = running ] || fail "a movement of 3 + 1 pixels ended the run"
  xdotool mousemove 515 386  # 3 + 2 = 5 from the start
  [ "$(wait_exit 5)" = 0 ] || fail "a movement of 3 + 2 pixels did not end the run with 0 within five seconds"
}

# A key or a button ends the run; a turn of the wheel does not.
case_fullscreen_input() {
  start_display 1024x768
  private_settings fullscreen_input
  local input
  for input in "key space" "key a" "click 1" "click 3"; do
    start_full_screen
    xdotool click 4 click 5
    [ "$(wait_exit 0.5)" = running ] || fail "the mouse wheel ended the run"
    xdotool $input
    [ "$(wait_exit 5)" = 0 ] || fail "'$input' did not end the run with 0 within five seconds"
  done
}

# A desktop window of its own ends on Escape or q, with 0; other keys and
# clicks leave it running.
case_desktop_keys() {
  start_display 640x480
  private_settings desktop_keys
  local key window
  for key in q Escape; do
    start_tumbra --catalogue "$CATALOGUE" --mode classic
    window=$(wait_window tumbra 30) || fail "no window of its own"
    xdotool windowfocus --sync "$window" mousemove --window "$window" 20 20
    xdotool key a key space click 1 click 3
    [ "$(wait_exit 0.5)" = running ] || fail "a key other than Escape and q or a click ended the window"
    xdotool key "$key"
    [ "$(wait_exit 5)" = 0 ] || fail "$key did not end the window with 0 within five seconds"
  done
}

# Check: a classic field fills the grown 800 x 600 window, also where the
# old one did not reach.
grown_field() { classic_field "$1" 4 800x600+0+0 && classic_field "$1" 4 480x360+320+240; }

# Check: the window has shrunk to 200 x 150 (the screen beside it is black)
# and the field in it has changed since the last try that saw it shrunk
# (kept in $1.last).
shrunk_and_drawing() {
  all_of_colour "$1" 824x768+200+0 000000 && all_of_colour "$1" 200x618+0+150 000000 || return 1
  convert "$1" -crop 200x150+0+0 +repage "$1.now.png"
  if [ -f "$1.last.png" ] && ! same_pictures "$1.now.png" "$1.last.png"; then return 0; fi
  mv "$1.now.png" "$1.last.png"
  echo "no new frame in the shrunk window"
  return 1
}

# A larger window gets a grid of its new size: live cells appear where the
# old window did not reach.
case_resize() {
  start_display 1024x768
  private_settings resize
  make_window 320 240
  start_tumbra --window-id "$TEST_WINDOW" --catalogue "$CATALOGUE" --mode classic --cscale 2
  expect_screen 10 "$X11_OUT/resize-before.png" not_black
  xdotool windowsize "$TEST_WINDOW" 800 600
  expect_screen 10 "$X11_OUT/resize-after.png" grown_field
  [ "$(colours_of "$X11_OUT/resize-after.png" 224x768+800+0)" = 000000 ] || fail "pixels drawn right of the window"
  # And back to a smaller one, which keeps going.
  xdotool windowsize "$TEST_WINDOW" 200 150
  rm -f "$X11_OUT/resize-small.png.last.png"
  expect_screen 10 "$X11_OUT/resize-small.png" shrunk_and_drawing
  [ "$(wait_exit 0.2)" = running ] || fail "the program ended after a resize"
}

# SIGTERM (how xscreensaver ends its hacks) and SIGINT end the program at
# once, also while it waits for a frame that is far off.
case_signals() {
  private_settings signals
  local signal
  for signal in TERM INT; do
    # The first frame shows the empty start-up field; the next is 100 s away.
    # The generation line makes that frame visible on a black screen of its
    # own: the last run's stays on the root window.
    start_display 640x480
    start_tumbra --root --catalogue "$CATALOGUE" --mode classic --delay 100000 --show-generation
    poll_screenshot 10 "$X11_OUT/signals.png" not_black || fail "no first frame: $POLL_OUTPUT"
    [ "$(wait_exit 0.1)" = running ] || fail "the program did not start"
    kill -"$signal" "$TUMBRA_PID"
    [ "$(wait_exit 5)" = 0 ] || fail "SIG$signal did not end the program with 0 within five seconds"
  done
}

# Client messages that other programs send to a window tumbra only draws in
# (given by number, the root window) never end it, whatever their type and
# first word; a window of its own ends on the window manager's
# WM_DELETE_WINDOW alone.
case_client_messages() {
  start_display 640x480
  private_settings client_messages
  make_window 320 240
  local target window where
  for target in "$TEST_WINDOW" root; do
    where=(--window-id "$target")
    [ "$target" != root ] || where=(--root)
    start_tumbra "${where[@]}" --catalogue "$CATALOGUE" --mode classic --delay 200 --show-generation
    poll_screenshot 10 "$X11_OUT/client-messages.png" not_black || fail "no first frame in $target: $POLL_OUTPUT"
    "$SEND_MESSAGE" "$target" WM_PROTOCOLS 0 && "$SEND_MESSAGE" "$target" _NET_WM_PING 0 &&
      "$SEND_MESSAGE" "$target" WM_PROTOCOLS WM_DELETE_WINDOW || fail "no message could be sent to $target"
    [ "$(wait_exit 1)" = running ] || fail "a client message to $target ended the program"
    kill -TERM "$TUMBRA_PID"
    [ "$(wait_exit 5)" = 0 ] || fail "SIGTERM did not end the program drawing in $target"
  done
  start_tumbra --catalogue "$CATALOGUE" --mode classic
  window=$(wait_window tumbra 30) || fail "no window of its own"
  "$SEND_MESSAGE" "$window" WM_PROTOCOLS 0 && "$SEND_MESSAGE" "$window" _NET_WM_PING WM_DELETE_WINDOW ||
    fail "no message could be sent to its window"
  [ "$(wait_exit 1)" = running ] || fail "a message other than WM_DELETE_WINDOW ended its own window"
  "$SEND_MESSAGE" "$window" WM_PROTOCOLS WM_DELETE_WINDOW || fail "WM_DELETE_WINDOW could not be sent"
  [ "$(wait_exit 5)" = 0 ] || fail "WM_DELETE_WINDOW did not end its own window with 0"
}

# SIGTERM while the pattern folders are being indexed ends the program
# within a second. The disk is made slow by strace: each folder read takes
# 50 ms, so that the walk over 200 folders would take some 20 s.
case_signals_while_indexing() {
  command -v strace >/dev/null || fail "strace is not installed (tools/install-deps installs it)"
  start_display 640x480
  private_settings signals_while_indexing
  local folder="$X11_OUT/slow-patterns" tumbra=$TUMBRA traced
  rm -rf "$folder"
  for k in $(seq 200); do
    mkdir -p "$folder/$k"
    cp "$PATTERNS_DIR/glider.rle" "$folder/$k/"
  done
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # no leak check under strace
  TUMBRA=$(command -v strace)
  start_tumbra -f -qq -o /dev/null -e trace=getdents64 -e inject=getdents64:delay_exit=50000 \
    "$tumbra" --root --catalogue "$CATALOGUE" --patterns "$folder" --start patterns --show-generation
  TUMBRA=$tumbra
  traced=$(poll 5 pgrep -P "$TUMBRA_PID" && echo "$POLL_OUTPUT") || fail "the traced program did not start"
  sleep 2
  [ "$(wait_exit 0)" = running ] || fail "the program ended while indexing"
  import -window root "$X11_OUT/indexing.png" || fail "no screenshot"
  all_of_colour "$X11_OUT/indexing.png" 640x480+0+0 000000 >/dev/null || fail "a frame came before the indexing ended"
  kill -TERM "$traced"
  [ "$(wait_exit 1)" = 0 ] || fail "SIGTERM while indexing did not end the program with 0 within a second"
}

# A lifeface whose picture cannot be read when a reset brings it (replaced
# behind the program's back): the program names the file and shows the next
# lifeface, and goes on.
case_unreadable_lifeface() {
  start_display 640x480
  private_settings unreadable_lifeface
  local catalogue broken
  catalogue=$(mktemp -d "$X11_OUT/unreadable.XXXXXX")
  cp -r "$CATALOGUE/tumbra.ini" "$CATALOGUE/tumbra" "$catalogue/"
  broken=$(awk -F'"' '/^bmp/ { if (++n == 2) { gsub(/\\/, "/", $2); print $2 } }' "$catalogue/tumbra.ini")
  [ -f "$catalogue/$broken" ] || fail "no second lifeface picture $broken"
  # Under B8/S every field dies out at once and is replaced by the next
  # lifeface's: the first reset brings the second one.
  start_tumbra --root --catalogue "$catalogue" --mode animated --random-face --rule B8/S --reset 0 --delay 10
  expect_screen 10 "$X11_OUT/unreadable-first.png" not_black
  # As long as before (the catalogue's size check passes), but no bitmap.
  head -c "$(stat -c %s "$catalogue/$broken")" /dev/zero | tr '\0' Z >"$catalogue/$broken.new"
  mv "$catalogue/$broken.new" "$catalogue/$broken"
  poll 20 grep -qF "cannot read the lifeface picture $catalogue/$broken" "$TUMBRA_LOG" ||
    fail "no message naming $broken: $(wait_exit 0)"
  [ "$(wait_exit 2)" = running ] || fail "the program ended after the unreadable lifeface"
  expect_screen 10 "$X11_OUT/unreadable-after.png" not_black
}

# SIGTERM while a first start stores the settings (each value written takes
# 50 ms here) ends the program only once they are all stored: the next
# start must find them whole.
case_signals_while_storing() {
  command -v strace >/dev/null || fail "strace is not installed (tools/install-deps installs it)"
  start_display 640x480
  private_settings signals_while_storing
  local settings="$XDG_CONFIG_HOME/tumbra/settings" tumbra=$TUMBRA whole traced
  start_tumbra --root --catalogue "$CATALOGUE" --mode classic --delay 100000 --show-generation
  expect_screen 10 "$X11_OUT/storing.png" not_black
  kill -TERM "$TUMBRA_PID"
  [ "$(wait_exit 5)" = 0 ] || fail "the first run did not end"
  whole=$(wc -l <"$settings")
  [ "$whole" -gt 10 ] || fail "too few settings stored: $whole"
  rm -rf "$XDG_CONFIG_HOME"
  # A sanitizer build's leak check cannot run under strace.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  TUMBRA=$(command -v strace)
  start_tumbra -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
    -e inject=rename,renameat,renameat2:delay_exit=50000 \
    "$tumbra" --root --catalogue "$CATALOGUE" --mode classic --delay 100000 --show-generation
  TUMBRA=$tumbra
  traced=$(poll 5 pgrep -P "$TUMBRA_PID" && echo "$POLL_OUTPUT") || fail "the traced program did not start"
  poll 10 test -s "$settings" || fail "no settings stored"
  kill -TERM "$traced"
  [ "$(wait_exit 10)" = 0 ] || fail "SIGTERM while storing the settings did not end the program with 0"
  [ "$(wc -l <"$settings")" = "$whole" ] || fail "$(wc -l <"$settings") of $whole settings stored"
}

# Bad arguments and missing things: a message and the exit codes 2 (the
# command line) or 1 (the surroundings).
case_bad_arguments() {
  start_display 640x480
  private_settings bad_arguments
  local line args code
  while IFS='|' read -r args code; do
    # shellcheck disable=SC2086
    "$TUMBRA" $args >"$X11_OUT/bad.out" 2>"$X11_OUT/bad.err"
    local got=$?
    [ "$got" = "$code" ] || fail "'$args' exited with $got, expected $code"
    grep -q '^tumbra: ' "$X11_OUT/bad.err" || fail "'$args' gave no message"
  done <<EOF
--cscale 9 --catalogue $CATALOGUE|2
--mode fancy --catalogue $CATALOGUE|2
--no-such-option --catalogue $CATALOGUE|2
--catalogue $X11_OUT/no-such-folder|2
--face 999 --catalogue $CATALOGUE|2
--window-id 0x1fffff0 --catalogue $CATALOGUE|2
--rule B0/S8 --catalogue $CATALOGUE|2
--rule WireWorld --catalogue $CATALOGUE|2
--root|1
EOF
  # A refused rule: the option, the text and why, before any window.
  "$TUMBRA" --rule B0/S8 --catalogue "$CATALOGUE" 2>"$X11_OUT/bad.err"
  grep -q "^tumbra: --rule 'B0/S8': B0 rules turn every empty cell on and off" "$X11_OUT/bad.err" ||
    fail "--rule B0/S8: no reason given ($(cat "$X11_OUT/bad.err"))"
  "$TUMBRA" --rule WireWorld --catalogue "$CATALOGUE" 2>"$X11_OUT/bad.err"
  grep -q "^tumbra: --rule 'WireWorld': WireWorld is a rule table, which tumbra does not run" "$X11_OUT/bad.err" ||
    fail "--rule WireWorld: not named as a rule table ($(cat "$X11_OUT/bad.err"))"
  "$TUMBRA" --rule "Day & Night" --help >/dev/null || fail "--rule 'Day & Night' is refused"
  "$TUMBRA" --rule "/2/3" --help >/dev/null || fail "--rule '/2/3' is refused"
  DISPLAY=:9999 "$TUMBRA" --catalogue "$CATALOGUE" 2>"$X11_OUT/bad.err"
  [ $? = 1 ] && grep -q "cannot open display" "$X11_OUT/bad.err" || fail "no display: not exit code 1 with a message"
  "$TUMBRA" --help | grep -q -- '--window-id ID' || fail "--help does not list the options"
  "$TUMBRA" --help | grep -q -- '--random-rules' || fail "--help does not list --random-rules"
  # The manual page describes every option --help lists.
  local manual option
  manual=$(sed -e 's/\\-/-/g' -e 's/\[no-\]//g' "$(dirname "$0")/../../data/xscreensaver/tumbra.6")
  for option in $("$TUMBRA" --help | grep -o -- '--[a-z][a-z-]*[a-z]' | grep -v -- '^--no-' | sort -u); do
    grep -q -- "$option\b" <<<"$manual" || fail "the manual page does not describe $option"
  done
}

# One classic frame, pixel for pixel the Windows saver's: the first random
# field of seed 1234 on a 1024x768 screen, 4-pixel cells with the digital
# effect, no colour cycling, no overlay. With a delay of 3 seconds that
# frame (the second one; the first shows the empty start-up field) stays on
# screen long enough to be taken twice and found unchanged: a whole frame.
case_classic_frame() {
  start_display 1024x768
  private_settings classic_frame
  start_tumbra --fullscreen --catalogue "$CATALOGUE" --mode classic --seed 1234 --cscale 2 --digital \
    --no-cycle-at-reset --no-random-face --no-show-name --delay 3000
  poll_settled_screen 10 "$X11_OUT/classic-frame.png" || fail "no whole frame on the screen: $POLL_OUTPUT"
  local different
  different=$(compare -metric AE "$X11_OUT/classic-frame.png" "$GOLDEN_DIR/classic-seed1234-1024x768.png" \
    "$X11_OUT/classic-frame-diff.png" 2>&1)
  [ "$different" = 0 ] || fail "$different pixels differ from the Windows saver's frame"
  xdotool key Escape
  [ "$(wait_exit 5)" = 0 ] || fail "the run did not end on a key"
}

# The settings file is read (Classic Mode and a grey dead colour there) and
# a part of the window that another window uncovers is drawn again at once,
# though the next frame is far off.
case_settings_and_expose() {
  start_display 1024x768
  private_settings settings_and_expose
  make_window 640 480
  local settings="$XDG_CONFIG_HOME/tumbra/settings"
  "$TUMBRA" --help >/dev/null
  start_tumbra --window-id "$TEST_WINDOW" --catalogue "$CATALOGUE" --delay 100000
  poll 5 test -s "$settings" || fail "no settings file written at the first start"
  kill "$TUMBRA_PID"
  [ "$(wait_exit 2)" = 0 ] || fail "the first run did not end"
  # Every neighbour-count colour as before, the dead one colour 14 (cccccc).
  sed -i -e 's/^mode dword .*/mode dword 01000000/' \
    -e 's/^n binary .*/n binary 0100000002000000030000000400000005000000060000000700000008000000090000000e000000/' \
    "$settings"
  start_tumbra --window-id "$TEST_WINDOW" --catalogue "$CATALOGUE" --delay 100000
  poll_screenshot 10 "$X11_OUT/settings.png" all_of_colour 640x480+0+0 cccccc ||
    fail "the first frame is not the empty field in the stored dead colour: $POLL_OUTPUT"
  local cover_pid
  "$MAKE_WINDOW" 320 240 >/dev/null 2>>"$X11_OUT/make_window.log" &
  cover_pid=$!
  STARTED_PIDS+=("$cover_pid")
  poll_screenshot 10 "$X11_OUT/covered.png" all_of_colour 320x240+0+0 000000 ||
    fail "the covering window did not show: $POLL_OUTPUT"
  kill -TERM "$cover_pid"
  poll_screenshot 10 "$X11_OUT/uncovered.png" all_of_colour 640x480+0+0 cccccc ||
    fail "the uncovered part was not drawn again: $POLL_OUTPUT"
  [ "$(wait_exit 0.1)" = running ] || fail "the program ended"
}

# With no collection of tumbra's own in any data folder, Golly's patterns are
# the collection: a new field is one of them, centred on an empty field.
case_golly_patterns() {
  [ -d /usr/share/golly/Patterns/Life ] || fail "Golly's patterns are missing (tools/install-deps installs golly)"
  start_display 1024x768
  private_settings golly_patterns
  start_tumbra --fullscreen --catalogue "$CATALOGUE" --mode classic --cscale 2 --start patterns --show-name \
    --seed 77 --delay 200
  expect_screen 10 "$X11_OUT/golly-patterns.png" pattern_field
  # A file given alone must be a pattern.
  "$TUMBRA" --catalogue "$CATALOGUE" --pattern "$CATALOGUE/tumbra.ini" >"$X11_OUT/not-a-pattern.txt" 2>&1
  [ $? = 2 ] && grep -q "not a pattern" "$X11_OUT/not-a-pattern.txt" || fail "a --pattern file that is none was taken"
}

"case_$1"
echo "PASS: $1"
