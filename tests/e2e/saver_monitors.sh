#!/usr/bin/env bash
# The full-screen saver on two monitors side by side: one field covers both,
# and no monitor keeps showing the desktop. Xvfb stacks the heads of its
# Xinerama at 0,0, so a nested Xephyr on the test display makes the monitors:
# A 640 x 480 at X position 0,0 and B 384 x 768 at 640,0, beside each other
# and of unequal height. Wine sees Xinerama heads only when its X11 driver
# does not use XRandR. The desktop shows as the white root window.
# Usage: saver_monitors.sh CASE monitors_probe.exe
# CASE: primary_left (A is the primary monitor; B lies right of it) or
# primary_right (B is primary; A lies left of it, at negative positions).
source "$(dirname "$0")/lib.sh"
case_name=$1
PROBE=$2
X11_KEY='HKCU\Software\Wine\X11 Driver'

# The wine programs so far ran on the test display; they and their server
# end before the display changes, and again before it changes back.
restart_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

NESTED="$E2E_OUT/nested-display"
cleanup() {
  stop_stray_programs
  "$WINE" reg delete "$X11_KEY" /v UseXRandR /f >/dev/null 2>&1 || true
  "$WINE" reg delete "$X11_KEY" /v PrimaryMonitor /f >/dev/null 2>&1 || true
  restart_wine
  display_stop "$NESTED"
  true
}
trap cleanup EXIT

start_two_monitors() {
  restart_wine
  display_server_start "$NESTED" Xephyr -screen 640x480+0+0 -screen 384x768+640+0 +xinerama -wr -nolisten tcp \
    -no-host-grab || fail "no nested display could be started"
}

# The monitors wine reports, sorted.
reported_monitors() { "$WINE" "$PROBE" 2>/dev/null | tr -d '\r' | sort; }

# Check: the field of Classic Mode fills the area w x h at (x, y) of
# monitor $2: neighbour-count colours only, several of them, and nothing of
# the white desktop.
monitor_field() {
  local why
  why=$(classic_field "$1" 4 "$5x$6+$3+$4") || { echo "monitor $2: $why"; return 1; }
}
both_fields() { monitor_field "$1" A 0 0 640 480 && monitor_field "$1" B 640 0 384 768; }

# Check: the saver has drawn over the whole white desktop.
desktop_covered() {
  ! colours_of "$1" | grep -qx ffffff || { echo "the white desktop still shows"; return 1; }
}

start_two_monitors
"$WINE" reg add "$X11_KEY" /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
case $case_name in
  primary_left)
    want_monitors=$'monitor 0 0 640 480 primary\nmonitor 640 0 1024 768\nvirtual 0 0 1024 768'
    ;;
  primary_right)
    "$WINE" reg add "$X11_KEY" /v PrimaryMonitor /t REG_SZ /d 1 /f >/dev/null 2>&1
    want_monitors=$'monitor -640 0 0 480\nmonitor 0 0 384 768 primary\nvirtual -640 0 1024 768'
    ;;
  *) fail "unknown case $case_name" ;;
esac
restart_wine

note "wine sees the two monitors"
got=$(reported_monitors)
[ "$got" = "$(sort <<<"$want_monitors")" ] || fail "reported monitors: $(echo $got)"

note "the saver covers both with one field"
install_saver
wine_start 'C:\windows\tumbra.scr' /s  # the first start writes the defaults
wait_window "Screen Saver" 30 >/dev/null || fail "no saver window"
# Its first frames: a key sent before may be lost.
poll_screenshot 20 "$E2E_OUT/monitors-start-$case_name.png" desktop_covered || fail "$POLL_OUTPUT"
xdotool key Escape
[ "$(wait_exit 5)" = 0 ] || fail "the saver did not end on a key"
# Classic Mode, colours not cycled at resets.
reg_set_dword mode 1
reg_set_dword seed 1234
reg_set_dword flags $((0x51))
wine_start 'C:\windows\tumbra.scr' /s
window=$(wait_window "Screen Saver" 30) || fail "no saver window"
poll_screenshot 20 "$E2E_OUT/monitors-$case_name.png" both_fields || fail "$POLL_OUTPUT"
geometry=$(xdotool getwindowgeometry "$window" | awk '/Position:|Geometry:/ { printf "%s ", $2 }')
[ "$geometry" = "0,0 1024x768 " ] || fail "the saver window is at ${geometry}on the display, not 0,0 1024x768"
xdotool key Escape
[ "$(wait_exit 5)" = 0 ] || fail "the saver did not end on a key"
echo "PASS: monitors $case_name"
