#!/usr/bin/env bash
# Starts a private X display and makes (or reuses) a private wine prefix for
# the end-to-end tests. Usage: prepare.sh E2E_ROOT
set -eu
root=$1
export E2E_ROOT=$root
mkdir -p "$root"
if [ -f "$root/xvfb.pid" ] && kill -0 "$(cat "$root/xvfb.pid")" 2>/dev/null; then
  echo "display :$(cat "$root/display") already running"
else
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    echo $! >"$root/xvfb.pid"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if kill -0 "$(cat "$root/xvfb.pid")" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n" >"$root/display"
      break
    fi
  done
fi
[ -s "$root/display" ] || { echo "no display could be started" >&2; exit 1; }

source "$(dirname "$0")/lib.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making wine prefix $WINEPREFIX"
  "$WINE" wineboot -i >"$root/wineboot.log" 2>&1
fi
# No window manager runs on the private display: unmanaged windows keep wine
# from waiting for one when a window is hidden.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
echo "prefix ready: $WINEPREFIX, display $DISPLAY"
