#!/usr/bin/env bash
# Stops the wine server and the private display of the end-to-end tests.
set -u
root=$1
export E2E_ROOT=$root
if [ -s "$root/display" ]; then
  source "$(dirname "$0")/lib.sh"
  wineserver -k >/dev/null 2>&1 || true
fi
if [ -f "$root/xvfb.pid" ]; then
  kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
  rm -f "$root/xvfb.pid" "$root/display"
fi
exit 0
