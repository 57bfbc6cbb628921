#!/usr/bin/env bash
# The keyboard in "Life Settings" (tumbra.scr /c): the Tab walk through the
# dialog and the shown tab page and back, Ctrl+Tab between the pages, the
# arrow keys in the seed choice, and Enter on "About". Keys go in through the
# X display; where the focus is comes from focus_watch.exe, which follows the
# dialog from outside.
# Usage: dialog_keys.sh CASE
source "$(dirname "$0")/config_dialog.sh"
WATCH="$E2E_BIN/tests/win/focus_watch.exe"
FOCUS_LOG="$E2E_OUT/focus.log"

# Starts the dialog and the watcher; the focus starts on OK.
start_keys() {
  install_saver lifefaces
  start_dialog
  start_watch
}

start_watch() {
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  rm -f "$FOCUS_LOG"
  local pid=$WINE_PID status=$WINE_STATUS
  wine_start "$WATCH" "Life Settings" "$(winepath_of "$FOCUS_LOG")"
  WINE_PID=$pid WINE_STATUS=$status
  poll 10 test -s "$FOCUS_LOG"
  [ "$(focus_now)" = "focus=1 place=dialog tab=0" ] || fail "the focus does not start on OK: $(focus_now)"
}

focus_now() { tail -n 1 "$FOCUS_LOG" 2>/dev/null | tr -d '\r'; }

# Presses the key $1 and prints the focus it leads to (the same line when
# nothing moved within 3 seconds).
press() {
  local before i
  before=$(wc -l <"$FOCUS_LOG")
  xdotool key "$1"
  for i in $(seq 60); do
    [ "$(wc -l <"$FOCUS_LOG")" -gt "$before" ] && break
    sleep 0.05
  done
  sleep 0.05
  focus_now
}

# Presses the key $1 and fails with $3 unless the focus then is $2.
expect_press() {
  local got
  got=$(press "$1")
  [ "$got" = "$2" ] || fail "$3: ${got:-no focus}"
}

# Presses $1 once per expected stop and checks each: "ID:PLACE" words, the
# tab being $2 throughout.
expect_walk() {
  local key=$1 tab=$2 stop got
  shift 2
  for stop in "$@"; do
    got=$(press "$key")
    [ "$got" = "focus=${stop%%:*} place=${stop#*:} tab=$tab" ] ||
      fail "$key should reach ${stop%%:*} (${stop#*:}); the focus is at \"$got\""
  done
}

# With the defaults: three information lines unchecked (their lists
# disabled), the seed edit disabled, on the Animated Mode page the frame
# skip list and, with "Choose random lifeface", the lifeface list disabled.
ANIMATED_FORWARD=(2:dialog 133:dialog 110:dialog 111:dialog 144:dialog 135:dialog 112:tabs
                  113:page 137:page 132:dialog 134:dialog 131:dialog 105:dialog 101:dialog 150:dialog 151:dialog
                  152:dialog 153:dialog 157:dialog 158:dialog 160:dialog 161:dialog 1:dialog)
# The Classic Mode page, "Cycle colors:" disabled by "Cycle at reset".
CLASSIC_PAGE=(117:page 118:page 119:page 116:page 120:page 122:page 123:page 124:page 125:page
              138:page 121:page 126:page 145:page 146:page 139:page 154:page 156:page)

reversed() {
  local i words=("$@")
  for ((i = ${#words[@]} - 1; i >= 0; i--)); do printf '%s ' "${words[i]}"; done
}

case_walk() {
  start_keys
  note "Tab from OK: the dialog, the tab control, the Animated Mode page, the dialog, round to OK"
  expect_walk Tab 0 "${ANIMATED_FORWARD[@]}"
  note "Shift+Tab: the same stops backwards"
  # shellcheck disable=SC2046
  expect_walk shift+Tab 0 $(reversed 1:dialog "${ANIMATED_FORWARD[@]::${#ANIMATED_FORWARD[@]}-1}")
  note "the rule's labels lead to their controls; the box's mnemonic ticks it"
  expect_press alt+o "focus=151 place=dialog tab=0" "Alt+O did not reach the rule text"
  expect_press alt+n "focus=150 place=dialog tab=0" "Alt+N did not reach the rule list"
  expect_press alt+d "focus=152 place=dialog tab=0" "Alt+D did not reach the box"
  note "ticked, it greys the list and the text: Tab from OK goes past them"
  expect_press Tab "focus=153 place=dialog tab=0" "Tab from the box"
  expect_press shift+Tab "focus=152 place=dialog tab=0" "Shift+Tab to the box"
  expect_press shift+Tab "focus=101 place=dialog tab=0" "the greyed rule controls are still tab stops"
  expect_press Tab "focus=152 place=dialog tab=0" "Tab back to the box"
  expect_press space "focus=152 place=dialog tab=0" "Space on the box"
  expect_press alt+s "focus=153 place=dialog tab=0" "Alt+S did not reach the \"Start with:\" list"
  note "the pattern fields' labels lead to their edits; hyperspeed's box greys the step"
  expect_press alt+e "focus=158 place=dialog tab=0" "Alt+E did not reach the step"
  expect_press alt+l "focus=161 place=dialog tab=0" "Alt+L did not reach the longest time"
  expect_press alt+h "focus=160 place=dialog tab=0" "Alt+H did not reach \"Hyperspeed\""
  expect_press shift+Tab "focus=157 place=dialog tab=0" "the greyed step is passed over"
  expect_press alt+h "focus=160 place=dialog tab=0" "Alt+H again"
  expect_press shift+Tab "focus=158 place=dialog tab=0" "the step is a tab stop again"
  expect_press alt+p "focus=157 place=dialog tab=0" "Alt+P did not reach the plane's box"
  expect_walk Tab 0 158:dialog 160:dialog 161:dialog 1:dialog

  note "Ctrl+Tab shows the Classic Mode page; Tab walks all of its controls"
  expect_press ctrl+Tab "focus=1 place=dialog tab=1" "Ctrl+Tab did not select Classic Mode"
  poll_screen classic_page_shown 10 || fail "Ctrl+Tab did not show the Classic Mode page"
  expect_walk Tab 1 2:dialog 133:dialog 110:dialog 111:dialog 144:dialog 135:dialog 112:tabs "${CLASSIC_PAGE[@]}" \
    132:dialog
  # shellcheck disable=SC2046
  expect_walk shift+Tab 1 $(reversed 112:tabs "${CLASSIC_PAGE[@]}")
  note "the trails' label leads to their edit; the age box's mnemonic reaches it"
  expect_press alt+t "focus=154 place=page tab=1" "Alt+T did not reach the trails"
  expect_press alt+a "focus=156 place=page tab=1" "Alt+A did not reach \"Colour by age\""
  shoot
  cp "$SHOT" "$E2E_OUT/keys-classic.png"
  xdotool key Escape
  expect_exit_zero "Escape"
}

case_pages() {
  start_keys
  expect_walk Tab 0 2:dialog 133:dialog 110:dialog 111:dialog 144:dialog 135:dialog 112:tabs 113:page
  note "Ctrl+Tab from inside a page: the other page, the focus on its first control"
  expect_press ctrl+Tab "focus=117 place=page tab=1" "Ctrl+Tab from the page"
  poll_screen classic_page_shown 10 || fail "the Classic Mode page is not shown"
  expect_press ctrl+shift+Tab "focus=113 place=page tab=0" "Ctrl+Shift+Tab"
  poll_screen '! classic_page_shown' 10 || fail "the Classic Mode page is still shown"
  note "Ctrl+Tab wraps; Ctrl+Page Down and Ctrl+Page Up switch too"
  expect_press ctrl+Tab "focus=117 place=page tab=1" "Ctrl+Tab again"
  expect_press ctrl+Tab "focus=113 place=page tab=0" "Ctrl+Tab does not wrap"
  expect_press ctrl+Next "focus=117 place=page tab=1" "Ctrl+Page Down"
  expect_press ctrl+Prior "focus=113 place=page tab=0" "Ctrl+Page Up"
  note "Ctrl+Tab on the tab control leaves the focus there"
  expect_press shift+Tab "focus=112 place=tabs tab=0" "Shift+Tab to the tab control"
  expect_press ctrl+Tab "focus=112 place=tabs tab=1" "Ctrl+Tab on the tab control"
  poll_screen classic_page_shown 10 || fail "the Classic Mode page is not shown"
  note "Enter on a page's list is OK: the page chosen by keys is the mode stored"
  expect_press Tab "focus=117 place=page tab=1" "Tab into the Classic Mode page"
  xdotool key Return
  expect_exit_zero "Enter"
  expect_dword mode 0x1
}

case_seed() {
  start_keys
  expect_walk Tab 0 2:dialog 133:dialog 110:dialog 111:dialog 144:dialog 135:dialog
  note "Down chooses \"Specific\" and enables the seed edit; Up goes back; Down again"
  [ "$(press Down)" = "focus=136 place=dialog tab=0" ] || fail "Down from \"Arbitrary\": $(focus_now)"
  poll_screen '[ "$(pixel_at "$SHOT" "$(dx 92)" "$(dy 182)")" = ffffff ]' 5 || fail "\"Specific\" did not enable the seed edit"
  [ "$(press Up)" = "focus=135 place=dialog tab=0" ] || fail "Up from \"Specific\": $(focus_now)"
  poll_screen '[ "$(pixel_at "$SHOT" "$(dx 92)" "$(dy 182)")" != ffffff ]' 5 || fail "\"Arbitrary\" did not disable the seed edit"
  [ "$(press Up)" = "focus=136 place=dialog tab=0" ] || fail "Up from \"Arbitrary\" does not wrap: $(focus_now)"
  [ "$(press Down)" = "focus=135 place=dialog tab=0" ] || fail "Down from \"Specific\" does not wrap: $(focus_now)"
  expect_press Down "focus=136 place=dialog tab=0" "Down again"
  note "Tab leaves the group and Shift+Tab comes back to the checked button"
  [ "$(press Tab)" = "focus=112 place=tabs tab=0" ] || fail "Tab from \"Specific\": $(focus_now)"
  expect_press shift+Tab "focus=136 place=dialog tab=0" "Shift+Tab to the seed choice"
  note "the seed edit is in the walk now; Enter is OK"
  expect_walk shift+Tab 0 144:dialog 111:dialog 110:dialog 109:dialog
  xdotool key Return
  expect_exit_zero "Enter"
  expect_dword flags 0x161

  note "stored flags with neither choice: Tab still stops at \"Arbitrary\""
  reg_set_dword flags $((0x141))
  start_dialog
  start_watch
  expect_walk Tab 0 2:dialog 133:dialog 110:dialog 111:dialog 144:dialog 135:dialog 112:tabs
  xdotool key Escape
  expect_exit_zero "Escape"
}

case_about() {
  start_keys
  expect_walk Tab 0 2:dialog 133:dialog 110:dialog 111:dialog 144:dialog
  note "Enter on \"About\" opens the box, and it stays open"
  xdotool key Return
  wait_about || fail "Enter on \"About\" did not open the box, or it closed at once"
  ! poll 1 about_closed || fail "the box closed again by itself after Enter"
  note "a key pressed and released in the box closes it; the focus is back on \"About\""
  close_about
  [ "$(focus_now)" = "focus=144 place=dialog tab=0" ] || fail "the focus after the About box: $(focus_now)"
  note "Space on \"About\" opens it as well"
  xdotool key space
  wait_about || fail "Space on \"About\" did not open the box"
  ! poll 0.5 about_closed || fail "the box closed by itself after Space"
  close_about
  xdotool key Escape
  expect_exit_zero "Escape"
}

case "${1:-}" in
  walk) case_walk ;;
  pages) case_pages ;;
  seed) case_seed ;;
  about) case_about ;;
  *) fail "unknown case ${1:-}" ;;
esac
note "dialog keys $1: passed"
