#!/usr/bin/env bash
# A cross-built tumbra_frames (run by its emulator) draws what the native
# build draws: for the same options, the same field (the --dump RLE) and the
# same picture, byte for byte. Usage:
#   same_as_reference.sh OUT REFERENCE_FRAMES FRAMES [EMULATOR...]
set -u
out=$1 reference=$2
shift 2
[ -x "$reference" ] || { echo "no native tumbra_frames at $reference (build the native preset first)"; exit 1; }
mkdir -p "$out"
# Soups under a rule other than Conway's, with one-pixel cells (painted in
# the step's pass where there are kernels), larger cells and lifefaces.
cases=(
  "classic-1:--mode classic --cscale 0 --rule B36/S23 --seed 11 --size 320x200 --frames 60"
  "classic-3:--mode classic --cscale 3 --digital --rule B3678/S34678 --seed 12 --size 300x200 --frames 50"
  "animated:--mode animated --face 0 --no-random-face --rule B368/S245 --seed 13 --size 480x320 --frames 400"
)
failed=0
for entry in "${cases[@]}"; do
  name=${entry%%:*}
  read -r -a options <<<"${entry#*:}"
  for build in native cross; do
    if [ $build = native ]; then run=("$reference"); else run=("$@"); fi
    "${run[@]}" "${options[@]}" --out "$out/$name-$build.bmp" --dump "$out/$name-$build.rle" \
      >"$out/$name-$build.log" 2>&1 || { echo "$name: the $build run failed: $(cat "$out/$name-$build.log")"; failed=1; }
  done
  for kind in rle bmp; do
    if ! cmp -s "$out/$name-native.$kind" "$out/$name-cross.$kind"; then
      echo "$name: the cross build's .$kind differs from the native one's"
      failed=1
    fi
  done
  # A field that died out proves little: each run must end with live cells.
  grep -q 'population [1-9]' "$out/$name-cross.log" || { echo "$name: no live cells at the end"; failed=1; }
  [ $failed = 1 ] || echo "$name: the same field and picture"
done
exit $failed
