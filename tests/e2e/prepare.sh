#!/usr/bin/env bash
# Starts a private X display and makes (or reuses) a private wine prefix for
# the end-to-end tests of one build. Usage: prepare.sh E2E_ROOT
set -eu
root=$1
export E2E_ROOT=$root
source "$(dirname "$0")/../../tools/lib/display.sh"
reason=$(wine_cannot_run "${E2E_BITS:-64}" "$root")
if [ -n "$reason" ]; then
  echo "the ${E2E_BITS:-64}-bit programs cannot be tested here: $reason" >&2
  exit 1
fi
display_start "$root"
wine_environment "$root/prefix"
wine_prefix_ready

source "$(dirname "$0")/lib.sh"
# No window manager runs on the private display: unmanaged windows keep wine
# from waiting for one when a window is hidden.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
echo "prefix ready: $WINEPREFIX, display $DISPLAY, loader $WINE"
