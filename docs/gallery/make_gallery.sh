#!/usr/bin/env bash
# Renders the gallery: one full-screen frame of every shipped lifeface, about
# forty generations into a lively field, half way through a transition.
# usage: docs/gallery/make_gallery.sh BUILD_DIR   (a native build with tumbra_frames)
set -euo pipefail
build=${1:?usage: make_gallery.sh BUILD_DIR}
frames=$(find "$build" -name tumbra_frames -type f -perm -u+x | head -n 1)
[ -n "$frames" ] || { echo "no tumbra_frames in $build" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)

# file  face  seed  frames (41 generations of M + 1 frames, plus M / 2)
while read -r file face seed count; do
  "$frames" --face "$face" --seed "$seed" --frames "$count" --size 1024x768 --out "$here/$file.bmp"
  convert "$here/$file.bmp" -strip -define png:compression-level=9 "$here/$file.png"
  rm -f "$here/$file.bmp"
done <<'LIST'
ember      0  7  373
bubbles    1  8  373
clockwork  2  7  373
critters   3  5  207
meadow     4  6  290
neon       5  2  207
phosphor   6  6  207
LIST
