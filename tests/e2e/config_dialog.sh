#!/usr/bin/env bash
# End-to-end checks of the "Life Settings" dialog (tumbra.scr /c): what it
# shows with the defaults, what OK stores, that Cancel stores nothing, and the
# About box. Child controls are no X windows under wine, so they are found from
# the dialog's X window and the dialog-unit conversion, and checked by colour.
# Usage: config_dialog.sh CASE
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/defaults.sh"
SHOT="$E2E_OUT/config-shot.png"

# Dialog-unit sizes of the template.
DIALOG_DU_WIDTH=456
DIALOG_DU_HEIGHT=320
# Template rectangles of the push buttons.
OK_BUTTON=(336 298 50 14)
CANCEL_BUTTON=(392 298 48 14)
ABOUT_BUTTON=(8 298 50 14)

# ---- process -----------------------------------------------------------------------

start_dialog() {
  wine_start 'C:\windows\tumbra.scr' /c
  DIALOG=$(wait_window "Life Settings" 30) || fail "no \"Life Settings\" dialog"
  measure_dialog
}

expect_exit_zero() {
  local code
  code=$(wait_exit 20)
  [ "$code" = 0 ] || fail "$1 did not end the dialog with 0 ($code)"
}

# ---- geometry ------------------------------------------------------------------------

muldiv() { echo $((($1 * $2 + $3 / 2) / $3)); }

# The window's frame and the dialog base units (BX, BY) follow from the X
# window's size: the client area is 456 x 320 dialog units inside a border of
# equal width on every side and a caption on top.
measure_dialog() {
  local geometry bx by b c rest
  geometry=$(xdotool getwindowgeometry --shell "$DIALOG") || fail "no geometry of the dialog"
  eval "$geometry"
  BX=""
  for bx in $(seq 4 16); do
    rest=$((WIDTH - $(muldiv $DIALOG_DU_WIDTH "$bx" 4)))
    if [ $((rest % 2)) = 0 ] && [ "$rest" -ge 0 ] && [ "$rest" -le 12 ]; then
      b=$((rest / 2))
      for by in $(seq 8 32); do
        c=$((HEIGHT - 2 * b - $(muldiv $DIALOG_DU_HEIGHT "$by" 8)))
        if [ "$c" -ge 12 ] && [ "$c" -le 40 ]; then
          BX=$bx BY=$by CX0=$((X + b)) CY0=$((Y + b + c))
          break 2
        fi
      done
    fi
  done
  [ -n "$BX" ] || fail "dialog units of a ${WIDTH}x${HEIGHT} dialog not found"
  note "dialog at $X,$Y ${WIDTH}x${HEIGHT}; client at $CX0,$CY0; base units $BX x $BY"
}

# Screen pixel of a point given in dialog units of the dialog ...
dx() { echo $((CX0 + $(muldiv "$1" "$BX" 4))); }
dy() { echo $((CY0 + $(muldiv "$1" "$BY" 8))); }
# ... or of a tab page, which lies at (0, 16) in the tab control at (232, 8).
px() { echo $((CX0 + $(muldiv 232 "$BX" 4) + $(muldiv "$1" "$BX" 4))); }
py() { echo $((CY0 + $(muldiv 8 "$BY" 8) + $(muldiv 16 "$BY" 8) + $(muldiv "$1" "$BY" 8))); }

click_at() { xdotool mousemove "$1" "$2" click 1; }
# Clicks the middle of a dialog control given by its template rectangle.
click_control() { click_at "$(dx $(($1 + $3 / 2)))" "$(dy $(($2 + $4 / 2)))"; }
click_page_control() { click_at "$(px $(($1 + $3 / 2)))" "$(py $(($2 + $4 / 2)))"; }

# The swatch of a colour list at template position (x, y): inside the closed
# box, left of its drop-down button.
swatch_colour() { pixel_at "$SHOT" "$(dx $(($1 + 12)))" $(($(dy "$2") + $(muldiv 6 "$BY" 8))); }
page_swatch_colour() { pixel_at "$SHOT" "$(px $(($1 + 12)))" $(($(py "$2") + $(muldiv 6 "$BY" 8))); }

shoot() { screenshot "$SHOT" || fail "no screenshot"; }

# Mean grey level (0..1) of a w x h area at (x, y) of the last screenshot.
mean_grey() {
  convert "$SHOT" -crop "$3x$4+$1+$2" +repage -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null
}

# The mark area of a check box or radio button at template position (x, y).
mark_grey() { mean_grey "$(($(dx "$1") + 2))" "$(($(dy "$2") + 2))" $(muldiv 6 "$BX" 4) $(muldiv 6 "$BY" 8); }

less_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Polls (up to $2 seconds) until the command $1 succeeds, with a fresh
# screenshot before each try.
poll_screen() {
  local check=$1 seconds=$2 i
  for i in $(seq $((seconds * 5))); do
    shoot
    if eval "$check"; then return 0; fi
    sleep 0.2
  done
  return 1
}

# Check: the last shot shows the lines, check boxes, seed and delay as the
# defaults set them up, on the Animated Mode page; prints what it does not.
defaults_shown() {
  [ "$(swatch_colour 168 40)" = 000000 ] || { echo "the lifeface/mode line's background is not black"; return 1; }
  # The other three lines are unchecked and their lists greyed alike.
  local grey colour at y checked unchecked
  grey=$(swatch_colour 112 61)
  for colour in 00ff00 0000ff ffff00 000000 ff0000; do
    [ "$grey" != "$colour" ] || { echo "the population list is not greyed ($grey)"; return 1; }
  done
  for at in "112 82" "112 103" "168 61" "168 82" "168 103"; do
    # shellcheck disable=SC2086
    [ "$(swatch_colour $at)" = "$grey" ] || { echo "the list at $at is not greyed like the others"; return 1; }
  done
  checked=$(mark_grey 16 41)
  for y in 62 83 104; do
    unchecked=$(mark_grey 16 "$y")
    less_than "$checked" "$unchecked" || { echo "check box at y $y looks checked ($unchecked vs $checked)"; return 1; }
  done
  # "Arbitrary" chosen, the seed edit disabled; the delay edit is enabled.
  less_than "$(mark_grey 16 153)" "$(mark_grey 16 177)" || { echo "\"Arbitrary\" is not the chosen seed"; return 1; }
  [ "$(pixel_at "$SHOT" "$(dx 196)" "$(dy 158)")" = ffffff ] || { echo "the Delay edit is not enabled"; return 1; }
  [ "$(pixel_at "$SHOT" "$(dx 92)" "$(dy 182)")" != ffffff ] || { echo "the seed edit is not disabled"; return 1; }
  # The Animated Mode page is the one shown.
  ! classic_page_shown || { echo "the Classic Mode page is shown"; return 1; }
}

# Classic Mode page shown: its "N = 0:" list shows red.
classic_page_shown() { [ "$(page_swatch_colour 56 64)" = ff0000 ]; }

# ---- registry -------------------------------------------------------------------------

export_settings() {
  rm -f "$1"
  "$WINE" reg export 'HKCU\Software\KORVEL\tumbra' "$(winepath_of "$1")" >/dev/null 2>&1 ||
    fail "the settings key cannot be exported"
  [ -s "$1" ] || fail "empty export of the settings"
}

winepath_of() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

expect_text() {
  local got
  got=$(reg_value "$SAVER_KEY" "$1")
  [ "$got" = "REG_SZ $2" ] || fail "$1 is \"$got\", expected REG_SZ $2"
}

expect_dword() {
  local got
  got=$(reg_value "$SAVER_KEY" "$1")
  [ "$got" = "REG_DWORD $2" ] || fail "$1 is \"$got\", expected REG_DWORD $2"
}

# ---- cases ---------------------------------------------------------------------------

case_defaults() {
  install_saver lifefaces
  start_dialog
  # Controls paint after the frame: wait for the red swatch of the first line.
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "\"Print lifeface/mode info\" is not red"
  # The other controls paint one after another: wait for all of them.
  poll_screen defaults_shown 10 || fail "$(defaults_shown)"
  cp "$SHOT" "$E2E_OUT/settings-screen.png"
  import -window "$DIALOG" "$E2E_OUT/settings-dialog.png" 2>/dev/null || true
  click_at "$(dx 318)" "$(dy 13)"  # the "Classic Mode" tab button
  poll_screen classic_page_shown 10 || fail "the Classic Mode tab does not show its page"

  # OK stores what the controls showed: the defaults (the edits held 15 and
  # 3000, the seed 0); the page choice is the only change, besides the
  # lifeface that was chosen at random.
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword mode 0x1
  # OK writes the rule shown as the rule text too.
  expect_text rule B3/S23
  expect_defaults_but mode face rule
}

case_cancel() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  export_settings "$E2E_OUT/config-before.reg"
  # Change what there is to change, open and close the About box, then Cancel.
  click_at "$(dx 318)" "$(dy 13)"
  poll_screen classic_page_shown 10 || fail "the Classic Mode page did not show"
  click_page_control 55 152 50 14  # Randomize
  set_trails 7
  xdotool key alt+a                # "Colour by age"
  click_at "$(($(dx 216) - 5))" "$(($(dy 176) + 4))"  # Reset spin up
  click_control 16 41 89 10      # "Print lifeface/mode info"
  click_control 16 177 41 10     # "Specific"
  choose_rule_by_keys Down       # HighLife
  xdotool key alt+d              # "Draw a rule for each new field"
  xdotool key alt+s Down         # "Start with:" a pattern
  open_about
  close_about
  click_control "${CANCEL_BUTTON[@]}"    # Cancel
  expect_exit_zero "Cancel"
  export_settings "$E2E_OUT/config-after.reg"
  cmp "$E2E_OUT/config-before.reg" "$E2E_OUT/config-after.reg" || fail "Cancel changed the stored settings"
}

case_ok() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  click_at "$(dx 318)" "$(dy 13)"
  poll_screen classic_page_shown 10 || fail "the Classic Mode page did not show"
  click_at "$(($(dx 216) - 5))" "$(($(dy 176) + 4))"  # Reset spin up: 3000 -> 4000
  click_control 16 41 89 10                          # uncheck "Print lifeface/mode info"
  poll_screen '[ "$(swatch_colour 112 40)" != ff0000 ]' 10 || fail "unchecking did not grey the list"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword mode 0x1
  expect_dword reset 0xfa0
  expect_dword flags 0x150
  expect_dword delay 0xf

  note "the next full-screen run is in Classic Mode: only neighbour-count colours"
  wine_start 'C:\windows\tumbra.scr' /s
  wait_window "Screen Saver" 30 >/dev/null || fail "no saver window after OK"
  poll_screenshot 20 "$E2E_OUT/after-ok.png" classic_field 4 || fail "not Classic Mode after OK: $POLL_OUTPUT"
  xdotool key Escape
  [ "$(wait_exit 5)" = 0 ] || fail "the saver did not end on a key"
}

# Stored values no control can show: OK keeps typed spin values as they are,
# and stores a usable index for lists that had nothing to select.
case_out_of_range() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  click_control "${CANCEL_BUTTON[@]}"  # Cancel: the key now holds the defaults
  expect_exit_zero "Cancel"
  reg_set_dword delay 50000
  reg_set_dword reset 0
  reg_set_dword cscale 7
  reg_set_dword inf 20
  reg_set_dword mode 5
  start_dialog
  # Any mode but Animated runs classic, so the Classic Mode page shows.
  poll_screen classic_page_shown 20 || fail "mode 5 does not show the Classic Mode page"
  [ "$(swatch_colour 112 40)" != ff0000 ] || fail "colour index 20 shows a swatch"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword delay 0xc350
  expect_dword reset 0x0
  expect_dword cscale 0x3
  expect_dword inf 0x1
  expect_dword mode 0x1
}

# The About box is the one visible unnamed window besides the desktop.
about_window() {
  local w name geometry
  for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
    [ "$w" = "$DIALOG" ] && continue
    name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    [ -z "$name" ] || continue
    geometry=$(xdotool getwindowgeometry --shell "$w" 2>/dev/null) || continue
    eval "$geometry"
    [ "$X" = 0 ] && [ "$Y" = 0 ] && continue  # the desktop
    echo "$w"
    return 0
  done
  return 1
}

# Waits up to 10 s for the About box; its window is in ABOUT (empty: none).
wait_about() {
  ABOUT=""
  poll 10 about_window || return 1
  ABOUT=$POLL_OUTPUT
}

open_about() {
  click_control "${ABOUT_BUTTON[@]}"
  wait_about || fail "the About box did not open"
}

about_closed() { ! about_window >/dev/null; }

close_about() {
  xdotool key space
  poll 10 about_closed || fail "the About box did not close on a key release"
}

# Check: a picture of the About box, taken into $2, differs from the one in
# $1.
about_changed() {
  import -window "$ABOUT" "$2" 2>/dev/null || { echo "no picture of the About box"; return 1; }
  [ "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" != 0 ] || { echo "unchanged"; return 1; }
}

# The About box animates: its picture changes while it is open, and changes
# again (the first change may be no more than its first painting).
expect_about_animates() {
  local first="$E2E_OUT/about-1.png" next="$E2E_OUT/about-2.png" last="$E2E_OUT/about-3.png"
  import -window "$ABOUT" "$first" 2>/dev/null || fail "no picture of the About box"
  poll 10 about_changed "$first" "$next" || fail "the About box does not animate: $POLL_OUTPUT"
  poll 10 about_changed "$next" "$last" || fail "the About box does not animate after its first change: $POLL_OUTPUT"
}

# CPU time (user and system, in clock ticks) the program started last has
# used so far.
cpu_ticks() {
  local pid stat
  pid=$(pgrep -P "$WINE_PID" | head -n 1)
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) || fail "no process to measure"
  # shellcheck disable=SC2086
  set -- ${stat##*) }
  echo $((${12} + ${13}))
}

# Percent of one core the program started last uses over $1 seconds.
cpu_percent() {
  local hz t0 c0 t1 c1
  hz=$(getconf CLK_TCK)
  t0=$(date +%s%N) c0=$(cpu_ticks)
  sleep "$1"
  t1=$(date +%s%N) c1=$(cpu_ticks)
  echo $(((c1 - c0) * 100 * 1000000000 / hz / ((t1 - t0) / 1)))
}

case_about() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  open_about
  expect_about_animates
  # Moving the mouse over it does not close it; a key release does.
  eval "$(xdotool getwindowgeometry --shell "$ABOUT")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) mousemove $((X + WIDTH / 3)) $((Y + HEIGHT / 3))
  ! poll 0.5 about_closed || fail "moving the mouse closed the About box"
  close_about
  # The dialog still works: switch the page and store with OK. The box's own
  # flag bits never reach the registry.
  click_at "$(dx 318)" "$(dy 13)"
  poll_screen classic_page_shown 10 || fail "the dialog does not work after the About box"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword mode 0x1
  expect_dword flags 0x151
}

# The open About box waits between its generations instead of spinning on
# its paint messages: over 5 s it uses well under half a core.
case_about_idle() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  open_about
  expect_about_animates
  local percent
  percent=$(cpu_percent 5)
  note "the About box open: ${percent}% of one core"
  [ "$percent" -lt 40 ] || fail "the open About box uses ${percent}% of one core"
  close_about
  click_control "${CANCEL_BUTTON[@]}"  # Cancel
  expect_exit_zero "Cancel"
}
# ---- the rule -----------------------------------------------------------------------------

# The rule's text and box, by their template rectangles.
RULE_TEXT=(184 239 80 12)
DRAW_RULE=(280 240 132 10)

# Moves the selection of the rule list by the key $1 (its mnemonic focuses it).
choose_rule_by_keys() {
  xdotool key alt+n
  xdotool key "$1"
}

# Replaces the rule text with $1: a click in the edit, the old text deleted
# and the new one typed.
type_rule() {
  local keys=(End) i
  for i in $(seq 30); do keys+=(BackSpace); done
  click_control "${RULE_TEXT[@]}"
  xdotool key "${keys[@]}"
  xdotool type --delay 20 "$1"
}

# The message box of a refused rule: a second window titled "Life Settings".
refusal_shown() { [ "$(find_windows "Life Settings" | wc -l)" -ge 2 ]; }
refusal_gone() { [ "$(find_windows "Life Settings" | wc -l)" = 1 ]; }

# The edit's background in the last shot: white while enabled.
rule_text_enabled() { [ "$(pixel_at "$SHOT" "$(dx 258)" "$(dy 245)")" = ffffff ]; }

# HighLife from the list, a rule drawn for each field: OK stores the list's
# rule and the box; the box greys the list and the text.
case_rule_choose() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && rule_text_enabled' 20 || fail "the dialog did not paint"
  choose_rule_by_keys Down
  click_control "${DRAW_RULE[@]}"
  poll_screen '! rule_text_enabled' 10 || fail "the box did not grey the rule text"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword birth 0x48
  expect_dword survive 0xc
  expect_dword rules 0x1
  note "the next dialog shows the box ticked and HighLife; unticked, OK keeps HighLife"
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && ! rule_text_enabled' 20 || fail "the rule text is not greyed"
  click_control "${DRAW_RULE[@]}"
  poll_screen rule_text_enabled 10 || fail "unticking did not enable the rule text"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword birth 0x48
  expect_dword survive 0xc
  expect_dword rules 0x0
}

# A typed rule without a name is stored as typed.
case_rule_custom() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && rule_text_enabled' 20 || fail "the dialog did not paint"
  type_rule B35/S236
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword birth 0x28
  expect_dword survive 0x4c
  expect_dword rules 0x0
}

# A B0 rule is refused: OK says why, the dialog stays open with the focus on
# the rule text, and nothing is written. A rule typed over it is then taken.
case_rule_refused() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && rule_text_enabled' 20 || fail "the dialog did not paint"
  click_control "${CANCEL_BUTTON[@]}"  # Cancel: the key now holds the defaults
  expect_exit_zero "Cancel"
  export_settings "$E2E_OUT/rule-before.reg"
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && rule_text_enabled' 20 || fail "the dialog did not paint"
  type_rule B0/S8
  click_control "${OK_BUTTON[@]}"
  poll 10 refusal_shown || fail "OK with B0/S8 showed no message"
  shoot
  cp "$SHOT" "$E2E_OUT/rule-refused.png"
  [ "$(wait_exit 0)" = running ] || fail "OK with B0/S8 ended the dialog"
  export_settings "$E2E_OUT/rule-refused.reg"
  cmp "$E2E_OUT/rule-before.reg" "$E2E_OUT/rule-refused.reg" || fail "a refused rule changed the stored settings"
  xdotool key Return
  poll 10 refusal_gone || fail "the message did not close"
  [ "$(wait_exit 0)" = running ] || fail "closing the message ended the dialog"
  note "the focus is on the rule text, all of it selected: typing replaces it"
  xdotool type --delay 20 highlife
  xdotool key Return
  expect_exit_zero "Enter"
  expect_dword birth 0x48
  expect_dword survive 0xc
}

# ---- what a new field starts from, trails and colour by age ------------------------------

# The trails edit on the Classic Mode page, by its template rectangle.
TRAILS=(56 180 48 12)

# Replaces the trails' number with $1: its label's mnemonic focuses the edit,
# the old digits are deleted and the new ones typed.
set_trails() {
  xdotool key alt+t End BackSpace BackSpace BackSpace BackSpace
  xdotool type --delay 20 "$1"
}

# "Start with:" chosen by keys, the trails typed and stepped by their
# up-down, "Colour by age" ticked: OK stores all three. The next dialog
# shows them, so OK there stores them again unchanged.
case_new_field() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog did not paint"
  xdotool key alt+s Down Down  # "the two in turn"
  click_at "$(dx 318)" "$(dy 13)"
  poll_screen classic_page_shown 10 || fail "the Classic Mode page did not show"
  set_trails 12
  click_at "$(($(px $((TRAILS[0] + TRAILS[2]))) - 5))" "$(($(py "${TRAILS[1]}") + 4))"  # up: 13
  xdotool key alt+a
  shoot
  cp "$SHOT" "$E2E_OUT/new-field-settings.png"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword start 0x2
  expect_dword fade 0xd
  expect_dword age 0x1
  expect_defaults_but mode face start fade age rule
  note "the next dialog shows what was stored"
  run_dialog_ok "start 2, fade 13 and age 1"
  expect_dword start 0x2
  expect_dword fade 0xd
  expect_dword age 0x1
  note "values no control offers: OK stores the start's default, the trails as typed, age 1"
  reg_set_dword start 9
  reg_set_dword fade 300
  reg_set_dword age 5
  run_dialog_ok "start 9, fade 300 and age 5"
  expect_dword start 0x0
  expect_dword fade 0x12c
  expect_dword age 0x1
}

# ---- keys of other versions ------------------------------------------------------------

# The number of values under the settings key.
value_count() { "$WINE" reg query "$SAVER_KEY" 2>/dev/null | tr -d '\r' | grep -c 'REG_'; }

# Runs the full-screen saver and ends it with a key; Escape is sent until the
# saver takes it, since its first moments may pass before input counts.
run_saver_once() {
  local i code=running
  wine_start 'C:\windows\tumbra.scr' /s
  wait_window "Screen Saver" 30 >/dev/null || fail "no saver window with $1"
  for i in $(seq 20); do
    xdotool key Escape
    code=$(wait_exit 0.5)
    [ "$code" = running ] || break
  done
  [ "$code" = 0 ] || fail "the saver with $1 did not end with 0 ($code)"
}

# Opens the dialog, waits for it to paint and stores with OK.
run_dialog_ok() {
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ]' 20 || fail "the dialog with $1 did not paint"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK with $1"
}

# Replaces the text of the edit a label's mnemonic (Alt+$1) leads to.
set_edit() {
  local keys=(End) i
  for i in $(seq 8); do keys+=(BackSpace); done
  xdotool key "alt+$1" "${keys[@]}"
  xdotool type --delay 20 "$2"
}

STEP_EDIT=(192 274 28 12)
# Right of the step's digits, left of its up-down.
step_enabled() { [ "$(pixel_at "$SHOT" "$(dx 205)" "$(dy 280)")" = ffffff ]; }
plane_checked() { less_than "$(mark_grey 16 275)" "$(mark_grey 292 275)"; }

# The pattern fields' controls: what a first start shows, what OK stores,
# what the next dialog shows of it, and values no control offers.
case_pattern_fields() {
  install_saver lifefaces
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && step_enabled' 20 || fail "the dialog did not paint"
  plane_checked || fail "the plane is not chosen by default"
  xdotool key alt+p  # off the plane
  set_edit e 12
  click_at "$(($(dx $((STEP_EDIT[0] + STEP_EDIT[2]))) - 5))" "$(($(dy "${STEP_EDIT[1]}") + 3))"  # up: 13
  set_edit l 600
  xdotool key alt+h  # hyperspeed greys the step
  poll_screen '! step_enabled' 10 || fail "hyperspeed did not grey the step"
  cp "$SHOT" "$E2E_OUT/pattern-fields-settings.png"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword plane 0x0
  expect_dword step 0xd
  expect_dword hyper 0x1
  expect_dword longest 0x258
  expect_dword memory 0x100
  expect_defaults_but mode face plane step hyper longest rule
  note "the next dialog shows what was stored; OK keeps it"
  start_dialog
  poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && ! step_enabled' 20 || fail "the step is not greyed"
  ! plane_checked || fail "the plane box is still ticked"
  xdotool key alt+h  # hyperspeed off: the step is back
  poll_screen step_enabled 10 || fail "unticking hyperspeed did not enable the step"
  click_control "${OK_BUTTON[@]}"
  expect_exit_zero "OK"
  expect_dword step 0xd
  expect_dword hyper 0x0
  expect_dword longest 0x258
  note "values no control offers are kept as stored"
  reg_set_dword step 99
  reg_set_dword longest 5
  reg_set_dword plane 7
  run_dialog_ok "step 99, longest 5 and plane 7"
  expect_dword step 0x63
  expect_dword longest 0x5
  expect_dword plane 0x1
}

# The rule text of any family: OK stores its canonical text, and birth and
# survive too only for a Life-like rule. RULE_FAMILIES_READ=0 is for a rule
# reader that takes Life-like rules alone: the other families are then not
# typed.
RULE_FAMILIES_READ=${RULE_FAMILIES_READ:-1}

case_rule_families() {
  install_saver lifefaces
  local typed stored birth survive
  while read -r typed stored birth survive; do
    [ "$RULE_FAMILIES_READ" = 1 ] || [ "$birth" != - ] || continue
    start_dialog
    poll_screen '[ "$(swatch_colour 112 40)" = ff0000 ] && rule_text_enabled' 20 || fail "the dialog did not paint"
    type_rule "$typed"
    click_control "${OK_BUTTON[@]}"
    expect_exit_zero "OK with $typed"
    expect_text rule "$stored"
    [ "$birth" = - ] || expect_dword birth "$birth"
    [ "$survive" = - ] || expect_dword survive "$survive"
    note "$typed is stored as $stored; the next dialog shows it"
    run_dialog_ok "the rule $stored"
    expect_text rule "$stored"
  done <<EOF
b36s23 B36/S23 0x48 0xc
B2/S/C3 B2/S/C3 - -
B2-a/S12 B2-a/S12 - -
B2/S34H B2/S34H - -
23/3 B3/S23 0x8 0xc
EOF
}

# A key written by any version holds the twenty original values; one an
# older version wrote lacks the values added since, one a later version
# wrote holds more. Each runs the saver and the dialog: OK writes the values
# added since with their defaults and leaves the values it does not know.
case_other_versions() {
  install_saver
  local all name
  all=$(default_count)
  run_saver_once "no key"
  [ "$(value_count)" = "$all" ] || fail "the first start wrote $(value_count) values, expected $all"
  for name in $(default_names | tail -n +$((ORIGINAL_VALUES + 1))); do
    "$WINE" reg delete "$SAVER_KEY" /v "$name" /f >/dev/null 2>&1 || fail "could not delete $name"
  done
  [ "$(value_count)" = "$ORIGINAL_VALUES" ] || fail "the key holds $(value_count) values, not the twenty original ones"
  run_saver_once "the twenty values"
  [ "$(value_count)" = "$ORIGINAL_VALUES" ] || fail "the saver wrote to a key of the twenty values"
  run_dialog_ok "the twenty values"
  expect_text rule B3/S23
  expect_defaults_but rule
  [ "$(value_count)" = "$all" ] || fail "OK left $(value_count) values, expected $all"
  reg_set_dword zzz 7
  run_saver_once "an unknown value"
  run_dialog_ok "an unknown value"
  expect_defaults_but rule
  expect_dword zzz 0x7
  [ "$(value_count)" = $((all + 1)) ] || fail "OK left $(value_count) values, expected $((all + 1))"
}

# Sourced by the other dialog tests for its helpers; run, it takes a case.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

case "${1:-}" in
  defaults) case_defaults ;;
  cancel) case_cancel ;;
  ok) case_ok ;;
  about) case_about ;;
  about_idle) case_about_idle ;;
  out_of_range) case_out_of_range ;;
  other_versions) case_other_versions ;;
  rule_choose) case_rule_choose ;;
  rule_custom) case_rule_custom ;;
  rule_refused) case_rule_refused ;;
  new_field) case_new_field ;;
  pattern_fields) case_pattern_fields ;;
  rule_families) case_rule_families ;;
  *) fail "unknown case ${1:-}" ;;
esac
note "config $1: passed"
