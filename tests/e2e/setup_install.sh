#!/usr/bin/env bash
# The installer as a user meets it, placed in its setup folder.
# Usage: setup_install.sh CASE install.exe desk.cpl setup_terms_probe.exe
# CASE: start (the terms file decides whether the window shows, and all of
# it shows), agree (the agree box and Install, and what Install copies),
# again (an installation over an earlier one, handed to the control panel),
# failure (a saver that cannot be copied), platform (a platform the installer
# does not support), package (the release package, its patterns among it), anywhere (started from
# another folder), alone (started without its files), keys (the keyboard).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/setup_lib.sh"
case_name=$1
INSTALL=$2
PANEL_DLL=$3
TERMS_PROBE=$4
SRC="$SETUP_WORK/install-$case_name"
trap setup_cleanup EXIT
setup_cleanup

# ---- Window geometry: the client area is R x B at (X0, Y0) of the X window,
# and the controls are where the installer lays them out in it.
window_client() {
  local origin
  origin=$(poll_output 10 client_origin "$1") || fail "the installer window shows no banner"
  read -r X0 Y0 <<<"$origin"
  read -r W H < <(window_size "$1")
  R=$((W - 2 * X0))
  B=$((H - Y0 - X0))
}
# One shot of the installer window into SHOT; fails when the banner is not
# in its corner, as in a frame caught while wine redraws the window.
SHOT="$E2E_OUT/installer.png"
window_shot() {
  import -window "$WIN" "$SHOT" 2>/dev/null || return 1
  [ -n "$(convert "$SHOT" -crop "1x1+$((X0 + 1))+$((Y0 + 1))" +repage txt:- 2>/dev/null | first_night_blue x)" ]
}
# Dark pixels in a w x h area at client (x, y) of the last shot; darker than
# $5 per cent grey (30 when not given).
shot_dark() {
  convert "$SHOT" -crop "${3}x${4}+$((X0 + $1))+$((Y0 + $2))" +repage -colorspace Gray -threshold "${5:-30}%" -negate \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}
client_click() { click_at "$WIN" $((X0 + $1)) $((Y0 + $2)); }

# The agree box and Install as one shot shows them: "on" (a check mark in
# the box, Install's label black), "off" (an empty box, the label grey), or
# the counts of dark pixels in the box and on the label.
agree_state() {
  window_shot || { echo "no picture"; return; }
  local mark label
  # The themed check mark is blue, the classic one black: anything clearly
  # darker than the white box counts.
  mark=$(shot_dark 19 $((B - 60)) 7 7 70)
  label=$(shot_dark $((R - 100)) $((B - 79)) 60 10)
  if [ "$mark" -gt 4 ] && [ "$mark" -lt 40 ] && [ "$label" -gt 10 ] && [ "$label" -lt 300 ]; then
    echo on
  elif [ "$mark" -eq 0 ] && [ "$label" -eq 0 ]; then
    echo off
  else
    echo "box $mark, label $label"
  fi
}
agree_is() { [ "$(agree_state)" = "$1" ]; }
expect_agree() { poll 5 agree_is "$1" || fail "$2 ($(agree_state))"; }
# The first line of the terms box has text.
terms_shown() { window_shot && [ "$(shot_dark 4 130 200 16)" -gt 10 ]; }
click_agree() { client_click 22 $((B - 56)); }
click_install() { client_click $((R - 70)) $((B - 74)); }
click_cancel() { client_click $((R - 70)) $((B - 34)); }

# A setup folder in $1 as make_setup_folder makes it, with the installer
# under test in it as the package has it.
make_install_folder() {
  make_setup_folder "$@"
  cp "$INSTALL" "$1/install.exe"
}

# Starts the installer of setup folder $1 in the current folder $2 (the
# setup folder itself when not given), by the path $3 (the folder's
# install.exe when not given).
start_installer() { setup_start "${2:-$1}" "${3:-$1/install.exe}"; }

# Starts the installer of setup folder $1 (in folder $2, by path $3) and
# waits for its window.
open_installer() {
  start_installer "$@"
  WIN=$(wait_window "$SETUP_TITLE" 20) || fail "the installer window did not show"
  window_client "$WIN"
}

# Opens the installer in setup folder $1, agrees and chooses Install.
agree_and_install() {
  open_installer "$1"
  click_agree
  expect_agree on "Install was not enabled"
  click_install
}

expect_installed_from() {
  local src=$1 f
  for f in tumbra.scr tumbra.ini; do
    cmp -s "$src/copy/$f" "$WINDIR/$f" || fail "$f not installed from the setup folder"
  done
  for f in one two three; do
    cmp -s "$src/copy/tumbra/$f.bmp" "$WINDIR/tumbra/$f.bmp" || fail "bitmap $f.bmp not installed"
  done
  for f in glider blinker; do
    cmp -s "$src/copy/tumbra/patterns/$f.rle" "$WINDIR/tumbra/patterns/$f.rle" || fail "pattern $f.rle not installed"
  done
}

# What the terms box holds: its text length, then its last line.
terms_box_text() { "$WINE" "$TERMS_PROBE" "$SETUP_TITLE" 2>/dev/null | tr -d '\r'; }

case_start() {
  rm -rf "$SRC" && mkdir -p "$SRC/copy"
  cp "$INSTALL" "$SRC/install.exe"
  echo saver >"$SRC/copy/tumbra.scr"
  note "empty terms.txt: nothing shows, exit 0"
  : >"$SRC/terms.txt"
  start_installer "$SRC"
  expect_exit 0 20 "with an empty terms.txt"
  [ -z "$(find_windows "$SETUP_TITLE")" ] || fail "a window stayed with an empty terms.txt"

  note "terms with a 0 byte: shown up to it"
  { printf 'Shown.\r\n'; printf '\0'; for _ in $(seq 400); do printf 'XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\r\n'; done; } >"$SRC/terms.txt"
  open_installer "$SRC"
  # One short line at the top of the terms box, nothing below it.
  poll 5 terms_shown || fail "the text before the 0 byte is not shown"
  local below
  window_shot || fail "no picture of the installer"
  below=$(shot_dark 4 150 $((R - 30)) $((B - 256 - 30)))
  [ "$below" -eq 0 ] || fail "text after the 0 byte is shown ($below dark pixels)"
  click_cancel
  expect_exit 0 20 "Cancel"

  note "terms of 1 MB: all of them in the box, to the last line"
  { for _ in $(seq 16384); do printf 'The terms go on and on, line after line, for a long way.\r\n'; done
    printf 'The last line of the terms.\r\n'; } >"$SRC/terms.txt"
  open_installer "$SRC"
  poll 5 terms_shown || fail "huge terms are not shown"
  local held
  held=$(terms_box_text) || fail "the terms box cannot be read"
  [ "$held" = "$(stat -c %s "$SRC/terms.txt")"$'\nThe last line of the terms.' ] ||
    fail "the terms box holds $(echo "$held" | head -n 1) bytes ending \"$(echo "$held" | tail -n 1)\""
  click_cancel
  expect_exit 0 20 "Cancel with huge terms"
  [ ! -e "$WINDIR/tumbra.scr" ] || fail "Cancel installed something"
}

case_agree() {
  make_install_folder "$SRC"
  # Names that fit the setup folder's paths but not the Windows directory's:
  # the setup folder is drive S:, shorter than C:\windows. One name fits both.
  SETUP_DRIVE="$WINEPREFIX/dosdevices/s:"
  trap 'rm -f "$SETUP_DRIVE"; setup_cleanup' EXIT
  ln -sfn "$SRC" "$SETUP_DRIVE"
  local long_bmp long_file fitting_bmp
  long_bmp=$(printf 'b%.0s' $(seq 240)).bmp
  long_file=$(printf 'f%.0s' $(seq 250))
  fitting_bmp=$(printf 'a%.0s' $(seq 236)).bmp
  echo long >"$SRC/copy/tumbra/$long_bmp"
  echo long >"$SRC/copy/$long_file"
  echo fits >"$SRC/copy/tumbra/$fitting_bmp"
  open_installer "$SRC" "$SRC" 'S:\install.exe'

  note "the window: 512 wide on the 1024 x 768 screen, centred"
  if [ "$X0" -gt 0 ]; then
    # The X window is the whole window.
    local x y
    read -r x y < <(xdotool getwindowgeometry "$WIN" | awk '/Position:/ { sub(",", " ", $2); print $2 }')
    [ "$W" -eq 512 ] || fail "window width $W, expected 512"
    [ $((x + W / 2)) -eq 512 ] || fail "window at x $x is not centred"
    # Half the usable height, centred on it: its middle is at H.
    local off=$((y + H / 2 - H))
    [ "${off#-}" -le 1 ] || fail "window at y $y is not centred for its height $H"
  else
    # The X window is the client area alone: less than 512 by the frame.
    [ "$R" -lt 512 ] && [ "$R" -gt 490 ] || fail "client width $R in a 512 pixel window"
  fi
  note "client area ${R}x${B}"

  note "at the start the box is clear and Install disabled"
  expect_agree off "the agree box starts checked or Install enabled"

  note "one click: checked, Install enabled"
  click_agree
  expect_agree on "one click did not check the box and enable Install"

  note "two clicks: clear again, Install disabled and deaf"
  click_agree
  expect_agree off "the second click did not clear the box and disable Install"
  click_install
  [ "$(setup_wait_exit 2)" = running ] || fail "a disabled Install ended the installer"
  [ ! -e "$WINDIR/tumbra.scr" ] || fail "a disabled Install installed"

  note "agreed: Install copies everything but dot files and too long names, exit 0 without desk.cpl"
  click_agree
  expect_agree on "Install was not enabled again"
  click_install
  expect_exit 0 30 "Install without a control panel"
  expect_installed_from "$SRC"
  [ ! -e "$WINDIR/tumbra/.dotface.bmp" ] || fail "a bitmap whose name begins with a full stop was installed"
  [ ! -e "$WINDIR/tumbra/patterns/.dotpattern.rle" ] || fail "a pattern whose name begins with a full stop was installed"
  [ ! -e "$WINDIR/.dotfile" ] || fail "a file whose name begins with a full stop was installed"
  [ ! -e "$WINDIR/tumbra/$long_bmp" ] || fail "a bitmap whose path is too long was installed"
  [ -z "$(find "$WINDIR" -maxdepth 2 -name 'fffff*' -o -maxdepth 2 -name 'bbbbb*')" ] ||
    fail "a cut-short name was installed"
  [ -e "$WINDIR/tumbra/$fitting_bmp" ] || fail "a bitmap whose path just fits was not installed"
}

case_again() {
  note "an earlier installation, with its folders, an extra bitmap and a pattern of the user's"
  make_install_folder "$SRC" 6000
  mkdir -p "$WINDIR/tumbra/patterns"
  head -c 9000 /dev/urandom >"$WINDIR/tumbra.scr"
  echo old >"$WINDIR/tumbra.ini"
  echo old >"$WINDIR/tumbra/one.bmp"
  echo old >"$WINDIR/tumbra/kept.bmp"
  echo old >"$WINDIR/tumbra/patterns/glider.rle"
  echo own >"$WINDIR/tumbra/patterns/own.rle"
  cp "$PANEL_DLL" "$FAKE_PANEL"

  agree_and_install "$SRC"
  expect_exit 0 30 "Install with a control panel"
  expect_installed_from "$SRC"
  [ -e "$WINDIR/tumbra/kept.bmp" ] || fail "a bitmap of the earlier installation was lost"
  [ -e "$WINDIR/tumbra/patterns/own.rle" ] || fail "the user's own pattern was lost"

  note "the control panel got the bare saver name, SW_SHOW and the installer's window"
  [ -f "$PANEL_LOG" ] || fail "the control panel was not called"
  grep -qx 'argument=tumbra.scr' "$PANEL_LOG" || fail "control panel argument: $(head -n1 "$PANEL_LOG")"
  grep -qx 'show=5' "$PANEL_LOG" || fail "control panel show command: $(sed -n 2p "$PANEL_LOG")"
  grep -qx "owner=$SETUP_TITLE" "$PANEL_LOG" || fail "control panel owner: $(sed -n 3p "$PANEL_LOG")"
  grep -qx 'instance=installer' "$PANEL_LOG" || fail "control panel instance: $(sed -n 4p "$PANEL_LOG")"

  note "no copy\\tumbra: the installation goes on to the hand-over"
  clear_installation
  rm -rf "$SRC/copy/tumbra"
  agree_and_install "$SRC"
  expect_exit 0 30 "Install without bitmaps"
  [ -d "$WINDIR/tumbra" ] || fail "the bitmap folder was not made"
  [ -d "$WINDIR/tumbra/patterns" ] || fail "the patterns folder was not made"
  cmp -s "$SRC/copy/tumbra.scr" "$WINDIR/tumbra.scr" || fail "the saver was not installed"
  [ -f "$PANEL_LOG" ] || fail "the control panel was not called"
}

case_failure() {
  note "the saver cannot be copied: \"Installation failure\", no hand-over, exit 0"
  make_install_folder "$SRC"
  mkdir -p "$WINDIR/tumbra.scr"
  cp "$PANEL_DLL" "$FAKE_PANEL"
  agree_and_install "$SRC"
  local box
  box=$(wait_window "Installation failure" 20) || fail "no \"Installation failure\" message"
  # An OK box: "n" does nothing there, Return closes it.
  press "$box" n
  [ "$(setup_wait_exit 1)" = running ] || fail "the failure message was not an OK box"
  press_until_gone "Installation failure" "$box" Return "Installation failure"
  expect_exit 0 20 "after the failure message"
  [ ! -e "$PANEL_LOG" ] || fail "the control panel was called after a failure"
  cmp -s "$SRC/copy/tumbra.ini" "$WINDIR/tumbra.ini" || fail "files copied before the check were not kept"
}

case_package() {
  local zip=${E2E_PACKAGE:?E2E_PACKAGE must name the release zip of the build}
  note "the release package $(basename "$zip"), installed as a user installs it"
  [ -f "$zip" ] || fail "no package at $zip (build the target package first)"
  rm -rf "$SRC" && mkdir -p "$SRC" && unzip -q "$zip" -d "$SRC"
  local dir="$SRC/tumbra-setup"
  "$WINE" reg delete 'HKCU\Software\KORVEL' /f >/dev/null 2>&1 || true
  cp "$PANEL_DLL" "$FAKE_PANEL"
  agree_and_install "$dir"
  expect_exit 0 30 "Install from the package"
  local f
  for f in tumbra.scr tumbra.ini; do
    cmp -s "$dir/copy/$f" "$WINDIR/$f" || fail "$f not installed from the package"
  done
  for f in "$dir"/copy/tumbra/*.bmp; do
    cmp -s "$f" "$WINDIR/tumbra/$(basename "$f")" || fail "$(basename "$f") not installed"
  done
  note "the package carries every shipped pattern and nothing else there; all are installed"
  local shipped
  shipped=$(cd "$E2E_SOURCE/data/patterns" && ls -- *.rle)
  [ -n "$shipped" ] || fail "no shipped patterns in $E2E_SOURCE/data/patterns"
  [ "$(cd "$dir/copy/tumbra/patterns" && ls -A)" = "$shipped" ] ||
    fail "the package's patterns are not the shipped ones: $(cd "$dir/copy/tumbra/patterns" && ls -A | head -n 3)"
  for f in $shipped; do
    cmp -s "$E2E_SOURCE/data/patterns/$f" "$WINDIR/tumbra/patterns/$f" || fail "pattern $f not installed"
  done
  grep -qx 'argument=tumbra.scr' "$PANEL_LOG" || fail "the saver was not handed to the control panel"

  note "the installed saver, started from another folder, animates a shipped lifeface"
  cd /
  wine_start 'C:\windows\tumbra.scr' /s
  cd - >/dev/null
  wait_window "Screen Saver" 30 >/dev/null || fail "no saver window"
  rm -rf "$E2E_OUT/package-faces" && mkdir -p "$E2E_OUT/package-faces"
  for f in "$WINDIR"/tumbra/*.bmp; do
    colours_of "$f" | tr '\n' ' ' >"$E2E_OUT/package-faces/$(basename "$f").colours"
  done
  poll_screenshot 20 "$E2E_OUT/package-saver.png" shipped_lifeface_field || fail "$POLL_OUTPUT"
  xdotool key Escape
  [ "$(wait_exit 5)" = 0 ] || fail "the saver did not end on a key"
}

# Check: the field below the overlay shows a shipped lifeface (the colours
# of each are in a file of the folder package-faces): every colour is one of theirs or
# black, and the face shown, the one most of the field's colours come from,
# shows at least four of its colours, or all it has when it has fewer.
shipped_lifeface_field() {
  local known=" " colour colours faceColours f shown tiles=0 needed=0 foreign=0
  colours=$(colours_of "$1" 1024x640+0+128)
  for f in "$E2E_OUT"/package-faces/*.colours; do
    faceColours=" $(cat "$f")"
    known+="$faceColours"
    shown=0
    for colour in $colours; do
      [[ "$faceColours" == *" $colour "* ]] && shown=$((shown + 1))
    done
    if [ "$shown" -gt "$tiles" ]; then
      tiles=$shown
      needed=$(wc -w <<<"$faceColours")
      [ "$needed" -gt 4 ] && needed=4
    fi
  done
  for colour in $colours; do
    [[ "$known" == *" $colour "* ]] || [ "$colour" = 000000 ] || foreign=$((foreign + 1))
  done
  [ "$foreign" = 0 ] || { echo "$foreign colours on the field come from no shipped lifeface"; return 1; }
  [ "$tiles" -ge 4 ] || [ "$tiles" -ge "$needed" -a "$needed" -gt 0 ] ||
    { echo "only $tiles lifeface colours on the field: no Animated Mode"; return 1; }
}

case_platform() {
  note "a platform of neither family: \"Unsupported platform\", nothing copied, exit 0"
  # Wine can pose as Win32s (platform id 0) for one program.
  VERSION_KEY='HKCU\Software\Wine\AppDefaults\install.exe'
  trap '"$WINE" reg delete "$VERSION_KEY" /f >/dev/null 2>&1; setup_cleanup' EXIT
  "$WINE" reg add "$VERSION_KEY" /v Version /t REG_SZ /d win31 /f >/dev/null 2>&1
  make_install_folder "$SRC"
  cp "$PANEL_DLL" "$FAKE_PANEL"
  agree_and_install "$SRC"
  local box
  box=$(wait_window "Unsupported platform" 20) || fail "no \"Unsupported platform\" message"
  press_until_gone "Unsupported platform" "$box" Return "Unsupported platform"
  expect_exit 0 20 "after the platform message"
  [ ! -e "$WINDIR/tumbra.scr" ] && [ ! -e "$WINDIR/tumbra.ini" ] && [ ! -e "$WINDIR/tumbra" ] ||
    fail "files were copied on an unsupported platform"
  [ ! -e "$PANEL_LOG" ] || fail "the control panel was called on an unsupported platform"
}

case_anywhere() {
  note "started by its full path from another folder, which holds setup files of its own"
  make_install_folder "$SRC"
  local elsewhere="$SETUP_WORK/elsewhere"
  make_setup_folder "$elsewhere" 5000
  cp "$PANEL_DLL" "$FAKE_PANEL"
  open_installer "$SRC" "$elsewhere"
  click_agree
  expect_agree on "Install was not enabled"
  click_install
  expect_exit 0 30 "Install started from another folder"
  expect_installed_from "$SRC"
  [ -f "$PANEL_LOG" ] || fail "the control panel was not called"
}

# Starts the installer of folder $1, which lacks files, and expects the
# message that the whole folder must be unpacked, as an OK box that closes
# with Return, then exit 0 with nothing installed and no installer window.
expect_unpack_message() {
  start_installer "$1" /
  local box
  box=$(wait_window "Setup files missing" 20) || fail "no \"Setup files missing\" message $2"
  [ -z "$(find_windows "$SETUP_TITLE")" ] || fail "the installer window shows $2"
  press "$box" n
  [ "$(setup_wait_exit 1)" = running ] || fail "the message $2 was not an OK box"
  press_until_gone "Setup files missing" "$box" Return "Setup files missing"
  expect_exit 0 20 "after the message $2"
  [ ! -e "$WINDIR/tumbra.scr" ] && [ ! -e "$WINDIR/tumbra" ] || fail "files were installed $2"
}

case_alone() {
  note "unpacked alone, as when opened from inside the zip file"
  rm -rf "$SRC" && mkdir -p "$SRC"
  cp "$INSTALL" "$SRC/install.exe"
  expect_unpack_message "$SRC" "for the installer alone"

  note "the terms beside it, but no saver to install"
  make_install_folder "$SRC"
  rm "$SRC/copy/tumbra.scr"
  expect_unpack_message "$SRC" "without copy\\tumbra.scr"

  note "everything but the terms"
  make_install_folder "$SRC"
  rm "$SRC/terms.txt"
  expect_unpack_message "$SRC" "without terms.txt"
}

# Keys go to the installer window, which has the X input focus for them.
keys() { press "$WIN" "$@"; sleep 0.3; }

case_keys() {
  make_install_folder "$SRC"
  cp "$PANEL_DLL" "$FAKE_PANEL"

  note "Cancel has the focus at first: Enter cancels"
  open_installer "$SRC"
  keys Return
  expect_exit 0 20 "Enter on Cancel"
  [ ! -e "$WINDIR/tumbra.scr" ] || fail "Enter on Cancel installed"

  note "Tab reaches the agree box: Space and Enter check and clear it"
  open_installer "$SRC"
  keys Tab space
  expect_agree on "Space on the agree box did not check it"
  keys space
  expect_agree off "a second Space did not clear the agree box"
  keys Return
  expect_agree on "Enter on the agree box did not check it"
  keys Return
  expect_agree off "a second Enter did not clear the agree box"
  note "Install disabled: Tab passes it over to Cancel, and Space there cancels"
  keys Tab space
  expect_exit 0 20 "Space on Cancel"
  [ ! -e "$WINDIR/tumbra.scr" ] || fail "Space on Cancel installed"

  note "Shift+Tab from Cancel reaches the agree box; once agreed, Tab reaches Install and Space installs"
  open_installer "$SRC"
  keys shift+Tab space
  expect_agree on "Shift+Tab and Space did not check the agree box"
  keys Tab space
  expect_exit 0 30 "Space on Install"
  expect_installed_from "$SRC"
  [ -f "$PANEL_LOG" ] || fail "Space on Install did not hand the saver over"

  note "agreed, Tab to Install and Enter installs"
  clear_installation
  open_installer "$SRC"
  keys Tab space Tab Return
  expect_exit 0 30 "Enter on Install"
  expect_installed_from "$SRC"
}

"case_$case_name"
echo "PASS: install $case_name"
