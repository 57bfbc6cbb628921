#!/usr/bin/env bash
# The uninstaller as a user meets it. Usage: setup_uninstall.sh CASE uninstall.exe
# CASE: decline, remove (Yes, then No: settings go too), keep (Yes, Yes),
# dotfile, nothing (nothing installed), administrator (the saver file
# cannot be deleted).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/setup_lib.sh"
case_name=$1
UNINSTALL=$2
KORVEL_KEY='HKCU\Software\KORVEL'
trap setup_cleanup EXIT
setup_cleanup
mkdir -p "$SETUP_WORK"

# A complete installation: read-only and hidden files among it, and the
# saver's settings beside another program's key of the same maker.
make_installation() {
  mkdir -p "$WINDIR/tumbra/patterns"
  head -c 4096 /dev/urandom >"$WINDIR/tumbra.scr"
  echo catalogue >"$WINDIR/tumbra.ini"
  local f
  for f in one two three; do echo "$f" >"$WINDIR/tumbra/$f.bmp"; done
  # Shipped patterns and one the user added.
  for f in glider acorn own; do echo "$f" >"$WINDIR/tumbra/patterns/$f.rle"; done
  "$WINE" reg add "$SAVER_KEY" /v delay /t REG_DWORD /d 20 /f >/dev/null 2>&1
  "$WINE" reg add "$KORVEL_KEY\\other" /v kept /t REG_DWORD /d 1 /f >/dev/null 2>&1
  # Read-only is a file without write permission to wine; hidden is its own
  # attribute, set one file at a time.
  chmod a-w "$WINDIR/tumbra.scr" "$WINDIR/tumbra.ini" "$WINDIR/tumbra/two.bmp" "$WINDIR/tumbra/patterns/acorn.rle"
  "$WINE" cmd /c attrib +h 'C:\windows\tumbra.scr' >/dev/null 2>&1
  "$WINE" cmd /c attrib +h 'C:\windows\tumbra\two.bmp' >/dev/null 2>&1
  "$WINE" cmd /c attrib +h 'C:\windows\tumbra\patterns\acorn.rle' >/dev/null 2>&1
  "$WINE" cmd /c attrib 'C:\windows\tumbra.scr' | grep -q 'HR' || fail "could not make the saver read-only and hidden"
}

forget_settings() { "$WINE" reg delete "$KORVEL_KEY" /f >/dev/null 2>&1 || true; }

# Answers the next "Uninstall" box with a key: a question box must take "y"
# or "n"; an OK box ignores them and takes Return.
BOX=none
answer() {
  local key=$1 what=$2
  BOX=$(wait_new_window Uninstall "$BOX" 20) || fail "no message box for: $what"
  press_until_gone Uninstall "$BOX" "$key" "$what"
}

# The closing box must be an OK box: "n" leaves it standing.
answer_ok() {
  local what=$1
  BOX=$(wait_new_window Uninstall "$BOX" 20) || fail "no message box for: $what"
  press "$BOX" n
  [ "$(setup_wait_exit 1)" = running ] && ! window_gone Uninstall "$BOX" ||
    fail "the box for \"$what\" answered to \"n\""
  press_until_gone Uninstall "$BOX" Return "$what"
}

expect_removed() {
  [ ! -e "$WINDIR/tumbra.scr" ] || fail "the saver file is still there"
  [ ! -e "$WINDIR/tumbra.ini" ] || fail "the catalogue file is still there"
}

case_decline() {
  note "No to the first question: nothing changes, exit 0"
  make_installation
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer n "first question"
  expect_exit 0 20 "declined"
  [ -f "$WINDIR/tumbra.scr" ] && [ -f "$WINDIR/tumbra.ini" ] && [ -f "$WINDIR/tumbra/one.bmp" ] &&
    [ -f "$WINDIR/tumbra/patterns/own.rle" ] || fail "declining removed files"
  reg_key_exists "$SAVER_KEY" || fail "declining deleted the settings"
  forget_settings
}

case_remove() {
  note "Yes, then No: files, folders and settings go; read-only and hidden ones too"
  make_installation
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer y "first question"
  answer n "second question"
  answer_ok "success message"
  expect_exit 0 20 "uninstalled"
  expect_removed
  [ ! -e "$WINDIR/tumbra" ] || fail "the bitmap folder is still there: $(ls -AR "$WINDIR/tumbra")"
  reg_key_exists "$SAVER_KEY" && fail "the settings key was not deleted"
  reg_key_exists "$KORVEL_KEY\\other" || fail "the maker's key lost another program's settings"
  forget_settings
}

case_keep() {
  note "Yes, then Yes: files go, the settings stay"
  make_installation
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer y "first question"
  answer y "second question"
  answer_ok "success message"
  expect_exit 0 20 "uninstalled, settings kept"
  expect_removed
  [ ! -e "$WINDIR/tumbra" ] || fail "the bitmap folder is still there"
  [ "$(reg_value "$SAVER_KEY" delay)" = "REG_DWORD 0x14" ] || fail "the kept settings lost their values"
  forget_settings
}

case_dotfile() {
  note "a bitmap or pattern whose name begins with a full stop stays, and so does its folder"
  make_installation
  echo hidden >"$WINDIR/tumbra/.face.bmp"
  echo hidden >"$WINDIR/tumbra/patterns/.own.rle"
  # A name that makes the bitmap's path too long is left alone as well.
  local long
  long=$(printf 'l%.0s' $(seq 245))
  echo long >"$WINDIR/tumbra/$long"
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer y "first question"
  answer y "second question"
  answer_ok "success message"
  expect_exit 0 20 "uninstalled with a dot file"
  expect_removed
  [ -f "$WINDIR/tumbra/.face.bmp" ] || fail "the dot file was deleted"
  [ -f "$WINDIR/tumbra/$long" ] || fail "a file whose path does not fit was deleted"
  [ ! -e "$WINDIR/tumbra/one.bmp" ] && [ ! -e "$WINDIR/tumbra/two.bmp" ] || fail "bitmaps are left"
  [ -f "$WINDIR/tumbra/patterns/.own.rle" ] || fail "the pattern dot file was deleted"
  [ "$(ls -A "$WINDIR/tumbra/patterns")" = .own.rle ] || fail "patterns are left: $(ls -A "$WINDIR/tumbra/patterns")"
  forget_settings
}

case_nothing() {
  note "nothing installed: still the success message, exit 0"
  forget_settings
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer y "first question"
  answer n "second question"
  answer_ok "success message"
  expect_exit 0 20 "nothing to uninstall"
}

case_administrator() {
  note "a saver file that cannot be deleted: the Administrator message, exit 1"
  make_installation
  if ! chattr +i "$WINDIR/tumbra.scr" 2>/dev/null; then
    echo "SKIP: this file system cannot make a file undeletable (chattr +i)"
    forget_settings
    return
  fi
  setup_start "$SETUP_WORK" "$UNINSTALL"
  answer y "first question"
  answer n "second question"
  answer_ok "Administrator message"
  expect_exit 1 20 "saver file not deleted"
  [ -f "$WINDIR/tumbra.scr" ] || fail "the undeletable saver file is gone"
  [ ! -e "$WINDIR/tumbra.ini" ] && [ ! -e "$WINDIR/tumbra" ] || fail "the other files were not removed"
  reg_key_exists "$SAVER_KEY" && fail "the settings key was not deleted"
  forget_settings
}

"case_$case_name"
echo "PASS: uninstall $case_name"
