#!/usr/bin/env bash
# End-to-end checks of the saver program: the full-screen run, the input
# that ends it, the single instance, the preview and the argument errors.
# Usage: saver.sh CASE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/defaults.sh"
TEST_WINDOW="$E2E_BIN/tests/win/test_window.exe"
OVERLAY_FONT="$E2E_BIN/tests/e2e/overlay_font.exe"

start_saver() {
  wine_start 'C:\windows\tumbra.scr' "$@"
}

# Starts the full-screen saver and waits for its window and first frames:
# input sent before may be lost.
start_full_screen() {
  start_saver /s
  poll 30 saver_window_or_end || fail "no saver window"
  [ ! -s "$WINE_STATUS" ] || fail "no saver window: the saver ended with exit code $(cat "$WINE_STATUS")"
  expect_screen 20 "$E2E_OUT/first-frames.png" not_black
}

# Check: the saver started last has its window, or has ended without one.
saver_window_or_end() { first_window "Screen Saver" >/dev/null || [ -s "$WINE_STATUS" ]; }

stop_saver() {
  xdotool key Escape
  [ "$(wait_exit 5)" = 0 ] || fail "the saver did not end on a key"
}

# The first start writes the defaults; then the given values are stored.
store_settings() {
  start_full_screen
  stop_saver
  set_settings "$@"
}

# Stores the given values (name value ...), each in its own type.
set_settings() {
  while [ $# -gt 1 ]; do
    if [ "$(default_type "$1")" = string ]; then
      reg_set_text "$1" "$2" || fail "could not store $1"
    else
      reg_set_dword "$1" "$2" || fail "could not store $1"
    fi
    shift 2
  done
}

case_first_start() {
  install_saver
  reg_key_exists "$SAVER_KEY" && fail "key exists before the first start"
  start_full_screen
  stop_saver
  expect_defaults_but
  local count
  count=$("$WINE" reg query "$SAVER_KEY" 2>/dev/null | tr -d '\r' | grep -c 'REG_')
  [ "$count" = "$(default_count)" ] || fail "the key holds $count values, expected $(default_count)"
}

case_classic_field() {
  install_saver
  # Classic Mode, a fixed seed, colours not cycled at resets.
  store_settings mode 1 seed 1234 flags $((0x51))
  start_full_screen
  expect_screen 10 "$E2E_OUT/classic-1.png" classic_field 4
  poll_screenshot 10 "$E2E_OUT/classic-2.png" differs_from "$E2E_OUT/classic-1.png" ||
    fail "the field did not change between two screenshots"
  stop_saver
  [ "$(pixel_at "$E2E_OUT/classic-1.png" 1023 767)" != "" ] || fail "no screenshot"
  # Every 8 x 8 block is one colour: sampling one pixel per block and
  # enlarging again gives the same picture.
  convert "$E2E_OUT/classic-1.png" -filter point -resize 128x96\! -filter point -resize 1024x768\! \
    "$E2E_OUT/classic-blocks.png"
  local different
  different=$(compare -metric AE "$E2E_OUT/classic-1.png" "$E2E_OUT/classic-blocks.png" null: 2>&1)
  [ "$different" = 0 ] || fail "$different pixels break the 8-pixel blocks"
}

# Moves the mouse by (dx, dy) from the centre where the saver started.
case_mouse_threshold() {
  install_saver
  store_settings mode 1
  xdotool mousemove 512 384
  start_full_screen
  xdotool mousemove 515 385  # |3| + |1| = 4: not more than the threshold
  [ "$(wait_exit 1)" = running ] || fail "a movement of 4 pixels ended the saver"
  [ -n "$(find_windows "Screen Saver")" ] || fail "the saver window went away"
  xdotool mousemove 515 386  # 3 + 2 = 5 from the start
  [ "$(wait_exit 1)" = 0 ] || fail "a movement of 5 pixels did not end the saver within a second"
}

case_key_and_button() {
  install_saver
  store_settings mode 1
  local input
  for input in "key space" "click 1" "click 3"; do
    start_full_screen
    xdotool $input
    [ "$(wait_exit 1)" = 0 ] || fail "'$input' did not end the saver with code 0 within a second"
  done
}

case_single_instance() {
  install_saver
  store_settings mode 1
  start_full_screen
  local first_status=$WINE_STATUS
  start_saver /s
  [ "$(wait_exit 10)" = 0 ] || fail "the second saver did not exit with code 0"
  local windows
  windows=$(find_windows "Screen Saver" | wc -l)
  [ "$windows" = 1 ] || fail "$windows saver windows, expected 1"
  WINE_STATUS=$first_status
  [ "$(wait_exit 0.5)" = running ] || fail "the first saver ended"
  stop_saver
}

# The preview: a child window of the given window, filling its client
# area, that input does not end. (Wine does not show a child window that
# another process placed into a window, so its pixels cannot be looked at
# here; the host window reports what lies inside it instead.)
case_preview() {
  install_saver
  store_settings mode 1 cscale 1
  local handle_file="$E2E_OUT/preview-handle.txt"
  rm -f "$handle_file" "$handle_file.children"
  wine_start "$TEST_WINDOW" "Z:$handle_file"
  local host_status=$WINE_STATUS host_pid=$WINE_PID
  wait_window "tumbra preview host" 30 >/dev/null || fail "no preview host window"
  poll 5 test -s "$handle_file"
  local handle
  handle=$(tr -d '\r\n' <"$handle_file")
  [ -n "$handle" ] || fail "no window number from the preview host"
  start_saver /p "$handle"
  # The child shows once its creation (which starts the engine) is done.
  local expected="WindowsScreenSaverClass|Preview|320|240|visible"
  poll 10 preview_child_is "$handle_file.children" "$expected" || fail "child window: '$POLL_OUTPUT'"
  xdotool mousemove 100 100 key space click 1 mousemove 300 200
  local state
  state=$(wait_exit 1.5)
  [ "$state" = running ] || fail "input ended the preview (exit code $state)"
  local saver_status=$WINE_STATUS saver_pid=$WINE_PID
  WINE_PID=$host_pid
  WINE_STATUS=$host_status
  stop_started
  WINE_PID=$saver_pid
  WINE_STATUS=$saver_status
  # With its window gone the preview has nothing left to draw into.
  [ "$(wait_exit 10)" != running ] || fail "the preview outlived its window"
}

case_bad_arguments() {
  install_saver
  local args
  for args in "/p 0" "/p:1234" "/x" "/p" "/p 4000000000"; do
    [ "$(wine_run 'C:\windows\tumbra.scr' $args)" = 255 ] || fail "'$args' did not exit with code -1"
  done
}

# The overlay's lines start one widest character in from the left and one
# line height apart from the top, in whatever font wine gave for the one
# asked for: FONT_MAX_WIDTH and FONT_HEIGHT are that font's.
overlay_font_metrics() {
  local metrics face
  metrics=$("$WINE" "$OVERLAY_FONT" 2>/dev/null | tr -d '\r') || fail "no metrics of the overlay font"
  read -r FONT_MAX_WIDTH FONT_HEIGHT _ face <<<"$metrics"
  [ "${FONT_HEIGHT:-0}" -gt 0 ] && [ "${FONT_MAX_WIDTH:-0}" -gt 0 ] || fail "overlay font metrics '$metrics'"
  note "overlay font: \"$face\", widest character $FONT_MAX_WIDTH, height $FONT_HEIGHT"
}

# Check: the host's report of its child window (file $1) is $2; prints the
# report.
preview_child_is() {
  local child
  child=$(tr -d '\r' <"$1" 2>/dev/null)
  echo "$child"
  [ "$child" = "$2" ]
}

# Top-left corner of the first pixel of colour $2 (rrggbb) in picture $1
# within the area $3 (WxH+X+Y); empty when there is none.
first_pixel_of() {
  convert "$1" -crop "$3" +repage txt:- | awk -v c="#${2^^}" 'toupper($3) == c { sub(":", "", $1); print $1; exit }'
}

# Check: below the overlay every colour comes from the lifeface, whose
# colours are in BITMAP_COLOURS (or is the black of the strip no cell
# covers), and the name line, white on grey, stands in the top-left corner.
lifeface_field() {
  local colour foreign=0 tiles=0
  for colour in $(colours_of "$1" 1024x640+0+128); do
    if [[ "$BITMAP_COLOURS" == *" $colour "* ]]; then tiles=$((tiles + 1)); elif [ "$colour" != 000000 ]; then
      foreign=$((foreign + 1))
    fi
  done
  [ "$foreign" = 0 ] || { echo "$foreign colours on the field are not the lifeface's"; return 1; }
  [ "$tiles" -ge 8 ] || { echo "only $tiles lifeface colours on the field"; return 1; }
  [ -n "$(first_pixel_of "$1" 7f7f7f 400x80+0+0)" ] || { echo "no name line in the top-left corner"; return 1; }
  [ -n "$(first_pixel_of "$1" ffffff 400x80+0+0)" ] || { echo "the name line has no text"; return 1; }
}

# Animated Mode with the shipped catalogue beside the saver, started from
# another folder: the field is made of lifeface tiles and the lifeface's name
# stands in the top-left corner.
case_animated() {
  install_saver lifefaces
  # Ember Field (the first lifeface), white on grey for its name.
  store_settings face 0 flags $((0x111)) inf 15 binf 13
  (cd / && start_full_screen)
  BITMAP_COLOURS=" $(colours_of "$WINDIR/tumbra/ember.bmp" | tr '\n' ' ') "
  [[ "$BITMAP_COLOURS" != *" 7f7f7f "* ]] || fail "the test's grey occurs in the lifeface"
  expect_screen 20 "$E2E_OUT/animated.png" lifeface_field
  stop_saver
  local band
  band=$(first_pixel_of "$E2E_OUT/animated.png" 7f7f7f 400x80+0+0)
  overlay_font_metrics
  [ "$band" = "$FONT_MAX_WIDTH,$FONT_HEIGHT" ] ||
    fail "the name line starts at $band, not at $FONT_MAX_WIDTH,$FONT_HEIGHT"
}

# Check: the backgrounds of the three overlay lines of case_overlay_classic
# show.
overlay_lines() {
  local gen pop fps
  gen=$(first_pixel_of "$1" 7f7f7f 500x120+0+0)
  pop=$(first_pixel_of "$1" cccccc 500x120+0+0)
  fps=$(first_pixel_of "$1" 007f7f 500x120+0+0)
  [ -n "$gen" ] && [ -n "$pop" ] && [ -n "$fps" ] || { echo "overlay lines missing: '$gen' '$pop' '$fps'"; return 1; }
}

# Classic Mode with all four overlay lines: generation, population and frame
# rate, one under the other, each on its own background colour.
case_overlay_classic() {
  install_saver
  # Backgrounds: generation grey (13), population light grey (14), frame
  # rate teal (12), none of them a cell colour.
  store_settings mode 1 flags $((0x15F)) bgen 13 bpop 14 bfps 12
  start_full_screen
  expect_screen 20 "$E2E_OUT/overlay.png" overlay_lines
  stop_saver
  local gen pop fps
  gen=$(first_pixel_of "$E2E_OUT/overlay.png" 7f7f7f 500x120+0+0)
  pop=$(first_pixel_of "$E2E_OUT/overlay.png" cccccc 500x120+0+0)
  fps=$(first_pixel_of "$E2E_OUT/overlay.png" 007f7f 500x120+0+0)
  [ "${gen%,*}" = "${pop%,*}" ] && [ "${pop%,*}" = "${fps%,*}" ] || fail "lines do not start in one column"
  [ "${gen#*,}" -lt "${pop#*,}" ] && [ "${pop#*,}" -lt "${fps#*,}" ] || fail "lines out of order: $gen $pop $fps"
  local height=$((${pop#*,} - ${gen#*,}))
  [ $((${fps#*,} - ${pop#*,})) = "$height" ] && [ "${gen#*,}" = "$height" ] ||
    fail "lines are not one line height apart from the top: $gen $pop $fps"
  overlay_font_metrics
  [ "$gen" = "$FONT_MAX_WIDTH,$FONT_HEIGHT" ] || fail "the first line starts at $gen, not at $FONT_MAX_WIDTH,$FONT_HEIGHT"
  # The text colours of the defaults: blue, green and yellow.
  convert "$E2E_OUT/overlay.png" -crop "500x${height}+0+${gen#*,}" +repage "$E2E_OUT/overlay-gen.png"
  [[ " $(colours_of "$E2E_OUT/overlay-gen.png" | tr '\n' ' ') " == *" 0000ff "* ]] || fail "generation is not blue"
  convert "$E2E_OUT/overlay.png" -crop "500x${height}+0+${pop#*,}" +repage "$E2E_OUT/overlay-pop.png"
  [[ " $(colours_of "$E2E_OUT/overlay-pop.png" | tr '\n' ' ') " == *" 00ff00 "* ]] || fail "population is not green"
  convert "$E2E_OUT/overlay.png" -crop "500x${height}+0+${fps#*,}" +repage "$E2E_OUT/overlay-fps.png"
  [[ " $(colours_of "$E2E_OUT/overlay-fps.png" | tr '\n' ' ') " == *" ffff00 "* ]] || fail "frame rate is not yellow"
}

# One classic frame, pixel for pixel the one the X11 front end draws (its
# tests compare theirs with the same picture): the first random field of seed
# 1234 on the 1024x768 screen, 4-pixel cells with the digital effect, no
# colour cycling, no overlay. With a delay of 3 seconds that frame (the
# second; the first shows the empty start-up field) stays on screen long
# enough to be taken twice and found unchanged: a whole frame.
#
# reference_frame NAME [SETTING VALUE ...]: the frame with those settings
# besides, taken into NAME.png, must be the reference frame.
reference_frame() {
  local name=$1
  shift
  install_saver
  store_settings mode 1 seed 1234 cscale 2 flags $((0x90)) delay 3000 "$@"
  start_full_screen
  poll_settled_screen 10 "$E2E_OUT/$name.png" || fail "no whole frame on the screen: $POLL_OUTPUT"
  stop_saver
  local different
  different=$(compare -metric AE "$E2E_OUT/$name.png" \
    "$E2E_SOURCE/tests/reference/classic-seed1234-1024x768.png" "$E2E_OUT/$name-diff.png" 2>&1)
  [ "$different" = 0 ] || fail "$name: $different pixels differ from the reference frame"
}
case_classic_frame() { reference_frame classic-frame; }

# Check: the picture is a whole frame other than the picture $2.
next_settled_frame() { differs_from "$1" "$2" && settled "$1"; }

# Two successive classic frames of the saver, in $1-gen0.png and $1-gen1.png:
# 4-pixel cells without the digital effect or the overlay, a fixed seed, 3
# seconds apart so that each is taken whole. Further settings as arguments.
two_classic_frames() {
  local name=$1
  shift
  install_saver
  store_settings mode 1 seed 1234 cscale 2 flags $((0x10)) delay 3000 "$@"
  start_full_screen
  poll_settled_screen 10 "$E2E_OUT/$name-gen0.png" || fail "no whole frame on the screen: $POLL_OUTPUT"
  rm -f "$E2E_OUT/$name-gen1.png.last"
  poll_screenshot 10 "$E2E_OUT/$name-gen1.png" next_settled_frame "$E2E_OUT/$name-gen0.png" ||
    fail "no next frame: $POLL_OUTPUT"
  stop_saver
  local picture
  for picture in gen0 gen1; do
    classic_field "$E2E_OUT/$name-$picture.png" 4 >/dev/null || fail "$name $picture is no classic field"
    convert "$E2E_OUT/$name-$picture.png" -depth 8 "rgb:$E2E_OUT/$name-$picture.rgb" || fail "no pixels of $picture"
  done
}

# Whether frame 1 of run $1 is frame 0 stepped under rule $2; prints the
# number of cells that are not.
follows_rule() {
  python3 "$E2E_SOURCE/tests/e2e/classic_rule_check.py" 1024 768 4 "$E2E_OUT/$1-gen0.rgb" "$E2E_OUT/$1-gen1.rgb" "$2"
}

# The stored rule runs: with birth and survive of HighLife the field steps
# as HighLife and not as Conway's Life; with the defaults the other way round.
case_classic_rule() {
  local wrong
  two_classic_frames highlife birth $((0x48)) survive $((0xC))
  wrong=$(follows_rule highlife B36/S23) || fail "$wrong cells do not follow HighLife (B36/S23)"
  wrong=$(follows_rule highlife B3/S23) && fail "the HighLife run steps as Conway's Life"
  note "the HighLife run differs from Conway's Life in $wrong cells"
  two_classic_frames conway
  wrong=$(follows_rule conway B3/S23) || fail "$wrong cells do not follow Conway's Life (B3/S23)"
  wrong=$(follows_rule conway B36/S23) && fail "the Conway run steps as HighLife"
  # The same seed gives the same first field whatever the rule.
  same_pictures "$E2E_OUT/highlife-gen0.png" "$E2E_OUT/conway-gen0.png" || fail "the two rules start from different fields"
}

# With start 1 a new field is a pattern of the folder tumbra\patterns,
# centred on an empty field, and the name line names it also in Classic Mode.
case_pattern_field() {
  install_saver
  mkdir -p "$WINDIR/tumbra/patterns"
  cp "$E2E_SOURCE"/data/patterns/*.rle "$WINDIR/tumbra/patterns/"
  store_settings mode 1 seed 38 cscale 1 start 1
  start_full_screen
  expect_screen 20 "$E2E_OUT/pattern-field.png" pattern_field
  # Seed 38 draws the Spacefiller first: it grows until it reaches far out.
  expect_screen 40 "$E2E_OUT/pattern-grown.png" not_black 64x64+240+352
  stop_saver
  expect_defaults_but mode seed cscale start
}

# Check: the picture shows at least $2 colours that are neither a live colour
# (those of the neighbour counts, and 00007f, the ninth, which the oldest
# cells show by age) nor the dead one: the shades of fading cells.
shows_trails() {
  local colour trails=0
  for colour in $(colours_of "$1"); do
    [[ "$CLASSIC_COLOURS 00007f " == *" $colour "* ]] || trails=$((trails + 1))
  done
  [ "$trails" -ge "$2" ] || { echo "only $trails trail colours"; return 1; }
}

# Trails and colour by age: off, the frame is today's, pixel for pixel; on,
# the screen shows the shades of cells fading out.
case_classic_trails() {
  reference_frame trails-off fade 0 age 0
  store_settings mode 1 seed 1234 cscale 2 flags $((0x10)) delay 200 fade 12 age 1
  start_full_screen
  poll_screenshot 15 "$E2E_OUT/trails-on.png" shows_trails 4 || fail "no trails on the screen: $POLL_OUTPUT"
  stop_saver
}

# ---- The saver against tumbra_frames: the native build's tumbra_frames
# draws the frames of the same settings on a screen of the same size, and
# each whole frame the saver shows must be one of them.
FRAMES=${E2E_FRAMES:-}
SCREEN_FRAMES="$E2E_SOURCE/tests/e2e/screen_frames.py"

# The flag bits that tumbra_frames takes as options, each with --no- for off.
FLAG_OPTIONS=("1 show-name" "2 show-population" "4 show-generation" "8 show-fps" "64 random-face" "128 digital"
  "256 cycle-at-reset")

# tumbra_frames' options, into FRAMES_ARGS, for the settings given as name
# value pairs as the saver reads them from its key.
frames_options() {
  local entry words
  FRAMES_ARGS=()
  while [ $# -gt 1 ]; do
    case $1 in
      mode) words=(animated classic); FRAMES_ARGS+=(--mode "${words[$2]}") ;;
      start) words=(soup patterns alternate); FRAMES_ARGS+=(--start "${words[$2]}") ;;
      plane) if [ "$2" = 1 ]; then FRAMES_ARGS+=(--plane); else FRAMES_ARGS+=(--no-plane); fi ;;
      hyper) if [ "$2" = 1 ]; then FRAMES_ARGS+=(--hyperspeed); else FRAMES_ARGS+=(--no-hyperspeed); fi ;;
      flags)
        for entry in "${FLAG_OPTIONS[@]}"; do
          if (($2 & ${entry%% *})); then FRAMES_ARGS+=("--${entry#* }"); else FRAMES_ARGS+=("--no-${entry#* }"); fi
        done ;;
      *) FRAMES_ARGS+=("--$1" "$2") ;;
    esac
    shift 2
  done
}

# frame_series NAME COUNT [SETTING VALUE ...]: tumbra_frames' first COUNT
# frames for those settings, with the saver's (empty) catalogue and its
# patterns folder, into the folder NAME: the pictures, the line on each
# (lines) and their pixels' hashes (hashes).
frame_series() {
  local name=$1 count=$2 dir="$E2E_OUT/$1"
  shift 2
  [ -n "$FRAMES" ] && [ -x "$FRAMES" ] ||
    fail "no native tumbra_frames at '$FRAMES': build the native preset first"
  frames_options "$@"
  rm -rf "$dir"
  mkdir -p "$dir/catalogue"
  : >"$dir/catalogue/tumbra.ini"
  [ -d "$WINDIR/tumbra/patterns" ] && FRAMES_ARGS+=(--patterns "$WINDIR/tumbra/patterns")
  "$FRAMES" --catalogue "$dir/catalogue" --size 1024x768 --frames "$count" --every 1 --out "$dir/f.bmp" \
    "${FRAMES_ARGS[@]}" >"$dir/lines" 2>&1 || fail "tumbra_frames failed: $(tail -n 1 "$dir/lines")"
  python3 "$SCREEN_FRAMES" hashes "$dir" >"$dir/hashes" || fail "no hashes of the frames of $name"
}

# The hash of frame $2 of the series $1.
series_hash() { awk -v i="$2" '$1 == i { print $2 }' "$E2E_OUT/$1/hashes"; }

# What tumbra_frames said of frame $2 of the series $1 ("generation 9, ...").
series_line() { sed -n "$2s/^[^:]*: //p" "$E2E_OUT/$1/lines"; }

# The number of pixels in which the screen (raw RGB, $1) differs from the
# closest frame of the series $2, and that frame's number.
closest_frame() {
  convert -size 1024x768 -depth 8 "rgb:$1" "${1%.rgb}.png"
  local picture best="" best_at="" different
  for picture in "$E2E_OUT/$2"/f-*.bmp; do
    different=$(compare -metric AE "${1%.rgb}.png" "$picture" null: 2>&1)
    # compare writes large counts as 1.2e+06.
    if [ -z "$best" ] || awk -v a="$different" -v b="$best" 'BEGIN { exit !(a + 0 < b + 0) }'; then
      best=$different best_at=$picture
    fi
  done
  best_at=${best_at##*/f-}
  echo "$best pixels from frame $((10#${best_at%.bmp}))"
}

# catch_series_frames NAME SECONDS FIRST: takes screenshots for up to
# SECONDS until the saver has shown, each whole (two screenshots alike), two
# successive frames of the series NAME from frame FIRST on. Every whole
# frame it shows meanwhile must be a frame of the series after the one
# before. The frames it caught are in CAUGHT.
catch_series_frames() {
  local name=$1 seconds=$2 first=$3 dir="$E2E_OUT/$1"
  local shot="$dir/screen.rgb" deadline hash last="" whole="" index previous=0
  deadline=$(($(poll_clock) + seconds * 1000000))
  CAUGHT=()
  while [ "$(poll_clock)" -lt "$deadline" ]; do
    if import -window root -depth 8 "rgb:$shot" 2>/dev/null; then
      hash=$(md5sum <"$shot")
      hash=${hash%% *}
      if [ "$hash" = "$last" ] && [ "$hash" != "$whole" ]; then
        whole=$hash
        index=$(awk -v h="$hash" -v after="$previous" '$2 == h && $1 > after { print $1; exit }' "$dir/hashes")
        if [ -z "$index" ]; then
          cp "$shot" "$dir/unmatched.rgb"
          fail "$name: after frame $previous the saver showed a frame that is none of tumbra_frames' next ones" \
            "(${dir##*/}/unmatched.png: $(closest_frame "$dir/unmatched.rgb" "$name"))"
        fi
        CAUGHT+=("$index")
        [ "$previous" -ge "$first" ] && [ "$index" = $((previous + 1)) ] && return 0
        previous=$index
      fi
      last=$hash
    fi
    sleep 0.05
  done
  fail "$name: no two successive frames from frame $first on were caught in $seconds s (caught: ${CAUGHT[*]:-none})"
}

# saver_draws_series NAME FIRST: runs the saver with its stored settings
# until it has shown two successive frames of tumbra_frames' series NAME
# from frame FIRST on; notes what it showed.
saver_draws_series() {
  local name=$1 first=$2 started=$SECONDS
  start_full_screen
  catch_series_frames "$name" 15 "$first"
  stop_saver
  local last=${CAUGHT[${#CAUGHT[@]} - 1]}
  note "$name: the saver showed tumbra_frames' frames ${CAUGHT[*]} (the last: $(series_line "$name" "$last")) in $((SECONDS - started)) s"
  rm -f "$E2E_OUT/$name"/f-*.bmp
}

# Frames of a classic soup of seed 1234, 4-pixel cells without the digital
# effect, colour cycling or the overlay, 0.8 s apart: time enough for two
# screenshots of each. The first frame shows the empty start-up field, the
# second the soup (the same under every rule): from the third the rule shows.
SOUP_SETTINGS=(mode 1 seed 1234 cscale 2 flags $((0x10)) delay 800)
SOUP_FRAMES=45  # the frames of the start, the wait for the first and 15 s

# The rule text of any family reaches the engine: the saver draws the soup's
# generations as tumbra_frames draws them under Generations, isotropic
# non-totalistic and hexagonal rules, each unlike Conway's Life.
case_rule_families() {
  install_saver
  store_settings "${SOUP_SETTINGS[@]}"
  frame_series conway 3 "${SOUP_SETTINGS[@]}"
  local rule name
  for rule in /2/3 B37/S2-i34q B2/S34H; do
    name=rule-$(tr -c 'A-Za-z0-9-\n' _ <<<"$rule")
    frame_series "$name" $SOUP_FRAMES "${SOUP_SETTINGS[@]}" rule "$rule"
    [ "$(series_hash "$name" 3)" != "$(series_hash conway 3)" ] || fail "$rule steps the soup as Conway's Life"
    set_settings rule "$rule"
    saver_draws_series "$name" 3
  done
}

# A pattern field on the plane: a Gosper glider gun, 2^8 generations a frame,
# is drawn as tumbra_frames draws it, zoomed out with its stream as the
# camera follows it; with plane 0 it runs on the torus of the view, one
# generation a frame, whatever the step.
case_plane_field() {
  install_saver
  mkdir -p "$WINDIR/tumbra/patterns"
  cp "$E2E_SOURCE/data/patterns/gosper-glider-gun.rle" "$WINDIR/tumbra/patterns/"
  local settings=(mode 1 seed 1234 cscale 2 flags $((0x10)) delay 600 start 1 step 8)
  store_settings "${settings[@]}"
  frame_series plane 40 "${settings[@]}" plane 1
  frame_series torus 40 "${settings[@]}" plane 0
  [ "$(series_hash plane 5)" != "$(series_hash torus 5)" ] || fail "the plane's frames are the torus' ones"
  # By frame 5 the stream has outgrown the closest view: it is zoomed out.
  saver_draws_series plane 5
  # The gun on the left, its stream running up to the right along all of
  # the picture's width: on the plane nothing comes round to the gun's side.
  local left right thirds
  read -r left _ right _ thirds < <(python3 "$SCREEN_FRAMES" spread "$E2E_OUT/plane/screen.rgb" 1024 768)
  [ "${left:-none}" != none ] || fail "the plane's last frame is black"
  [ "$left" -ge 256 ] && [ "$right" -lt 1000 ] || fail "the plane's cells reach from x $left to $right"
  [[ " $thirds " != *" 0 "* ]] || fail "gaps in the plane's picture: $thirds cells in its thirds"
  set_settings plane 0
  saver_draws_series torus 3
  expect_defaults_but mode seed cscale flags delay start step plane
}

"case_$1"
echo "PASS: $1"
