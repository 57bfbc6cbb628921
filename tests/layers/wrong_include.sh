#!/usr/bin/env bash
# The layer check must fail on an include that goes upward, on one between
# two folders of the same level, and on windows.h in a portable file; and it
# must pass the tree as it is.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check=$root/tools/check-layers
"$check" "$root/saver" >/dev/null || { echo "FAIL: the tree itself breaks the layers"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
plant() {
  local what=$1 file=$2 line=$3
  rm -rf "$work/saver" && cp -r "$root/saver" "$work/saver"
  printf '%s\n' "$line" >>"$work/saver/$file"
  if "$check" "$work/saver" >/dev/null; then
    echo "FAIL: not caught: $what ($line in $file)"
    status=1
  else
    echo "caught: $what"
  fi
}
plant "a painter including the loop" render/classic.cpp '#include "loop/loop.h"'
plant "the engine including a painter" engine/grid.cpp '#include "render/render.h"'
plant "the engine including a peer" engine/stagnation.cpp '#include "lifeface/lifeface.h"'
plant "a header of the loop including the dialog" loop/loop.h '#include "config/config.h"'
plant "windows.h in a portable file" render/overlay.cpp '#include <windows.h>'
exit $status
