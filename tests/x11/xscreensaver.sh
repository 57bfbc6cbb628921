#!/usr/bin/env bash
# The real xscreensaver daemon with tumbra, as the package installed it, as
# its only hack: activated, it shows a Life field of lifeface tiles;
# deactivated, it ends the hack. xscreensaver will not run hacks for root,
# so it runs as an ordinary user: an account of this run's own, made here and
# removed when the test ends. Its name holds the test's process id, so runs at
# the same time do not share one, and an account that a killed run left
# behind is removed by the next.
source "$(dirname "$0")/lib.sh"

USER_PREFIX=tumbra-e2e
USER_COMMENT="tumbra end-to-end tests"
USER_NAME=$USER_PREFIX-$$
INSTALLED="$X11_OUT/root/usr"
[ -x "$INSTALLED/libexec/xscreensaver/tumbra" ] || fail "no installed package in $X11_OUT/root (x11_package)"
command -v xscreensaver >/dev/null || fail "xscreensaver is not installed"
if [ "$(id -u)" != 0 ]; then
  echo "SKIP: only root can make the test user and run programs as it"
  exit 77
fi

no_programs_of() { ! pgrep -u "$1" >/dev/null; }

# Removes the test account $1 with its home folder; nothing when it is gone.
# Its programs end first: userdel refuses an account in use, and a later
# account could get their user id.
remove_user() {
  local name=$1
  id -u "$name" >/dev/null 2>&1 || return 0
  if ! poll 5 no_programs_of "$name"; then
    pkill -KILL -u "$name" 2>/dev/null
    poll 5 no_programs_of "$name"
  fi
  userdel --remove "$name" >/dev/null 2>&1 || userdel --force --remove "$name" >/dev/null 2>&1 ||
    echo "the test user $name could not be removed" >&2
}

# Removes the accounts (and installed trees) of earlier runs that are no
# longer going, and an idle one named tumbra-e2e alone, as older versions of
# this test made it. Only accounts of this test are touched: their name and
# comment are its own.
remove_stale_users() {
  local name comment run
  while IFS=: read -r name _ _ _ comment _; do
    [ "$comment" = "$USER_COMMENT" ] || continue
    case $name in
      "$USER_PREFIX") no_programs_of "$name" || continue ;;
      "$USER_PREFIX"-*)
        run=${name#"$USER_PREFIX"-}
        [[ "$run" =~ ^[0-9]+$ ]] || continue
        grep -qs xscreensaver.sh "/proc/$run/cmdline" && continue
        ;;
      *) continue ;;
    esac
    note "removing the test user $name of an earlier run"
    remove_user "$name"
    rm -rf "/tmp/$name".??????
  done < <(getent passwd)
}

TREE=""
stop_daemon() {
  if [ -n "$TREE" ] && [ -n "${DISPLAY:-}" ]; then
    as_user xscreensaver-command -exit >/dev/null 2>&1 || true
  fi
  stop_started_programs
  [ -z "$TREE" ] || rm -rf "$TREE"
  remove_user "$USER_NAME"
}
trap stop_daemon EXIT
# Interrupted, the test still cleans up.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

remove_stale_users
useradd --create-home --shell /bin/sh --comment "$USER_COMMENT" "$USER_NAME" || fail "useradd failed"
HOME_DIR=$(getent passwd "$USER_NAME" | cut -d: -f6)
[ -d "$HOME_DIR" ] || fail "the test user has no home folder"

# The installed tree where that user can read it.
TREE=$(mktemp -d "/tmp/$USER_NAME.XXXXXX")
chmod 755 "$TREE"
cp -a "$INSTALLED" "$TREE/usr"
HACK="$TREE/usr/libexec/xscreensaver/tumbra"

as_user() {
  runuser -u "$USER_NAME" -- env -i HOME="$HOME_DIR" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
    XDG_DATA_DIRS="$TREE/no-data" "$@"
}

hack_running() { pgrep -u "$USER_NAME" -f "^$HACK( |\$)" >/dev/null; }
hack_gone() { ! hack_running; }
daemon_answers() { as_user xscreensaver-command -time >/dev/null 2>&1; }

start_display 1024x768
# One hack, no fading, no locking, no splash: the screen shows the hack alone.
cat >"$HOME_DIR/.xscreensaver" <<EOF
mode:		one
selected:	0
timeout:	1:00:00
cycle:		0:00:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
programs:	$HACK --root --face 0 --rule B36/S23 \\n
EOF
chown "$USER_NAME": "$HOME_DIR/.xscreensaver"

# A first start on a busy machine can take a while: up to 30 s. Once, under
# heavy load, a daemon stopped before it had set up its input and never
# answered: such a daemon is ended and started once more.
started=no
for try in 1 2; do
  note "starting xscreensaver as $USER_NAME on $DISPLAY (try $try)"
  (cd / && as_user xscreensaver -no-splash -verbose >"$X11_OUT/xscreensaver-$try.log" 2>&1) &
  STARTED_PIDS+=("$!")
  if poll 30 daemon_answers; then
    started=yes
    break
  fi
  pkill -KILL -u "$USER_NAME" 2>/dev/null
  poll 5 no_programs_of "$USER_NAME"
done
ln -sf "xscreensaver-$try.log" "$X11_OUT/xscreensaver.log"
[ $started = yes ] || fail "the daemon did not start (see xscreensaver-1.log and xscreensaver-2.log)"
hack_running && fail "the hack runs before activation"

note "activating"
as_user xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"
poll 30 hack_running || fail "xscreensaver did not start the hack (see xscreensaver.log)"
# xscreensaver passes the rule on (the field below shows the hack took it).
pgrep -u "$USER_NAME" -f "^$HACK .*--rule B36/S23( |\$)" >/dev/null || fail "the hack runs without its --rule"

# Check: Ember Field, the first lifeface, fills the screen: below the name
# line every colour is one of its picture's (or the black of a strip no cell
# covers), and the name line in the default colours, red on black, stands in
# the top-left corner, naming the rule after the lifeface.
ember_field() {
  local colour foreign=0 tiles=0
  for colour in $(colours_of "$1" 1024x640+0+128); do
    if grep -qx "$colour" "$X11_OUT/ember-colours.txt"; then
      tiles=$((tiles + 1))
    elif [ "$colour" != 000000 ]; then
      foreign=$((foreign + 1))
    fi
  done
  [ "$foreign" = 0 ] || { echo "$foreign colours on the field are not the lifeface's"; return 1; }
  [ "$tiles" -ge 8 ] || { echo "only $tiles lifeface colours on the field"; return 1; }
  colours_of "$1" 300x60+0+0 | grep -qx ff0000 || { echo "no name line in the top-left corner"; return 1; }
  # "Ember Field, HighLife": the rule's name runs on past where the lifeface's
  # own ends (about 90 pixels in).
  colours_of "$1" 100x30+120+0 | grep -qx ff0000 || { echo "the name line does not name the rule"; return 1; }
}
colours_of "$TREE/usr/share/tumbra/tumbra/ember.bmp" >"$X11_OUT/ember-colours.txt"
expect_screen 20 "$X11_OUT/xscreensaver.png" ember_field

note "deactivating"
as_user xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
poll 5 hack_gone || fail "the hack still runs 5 seconds after deactivation"
grep -q "killing pid" "$X11_OUT/xscreensaver.log" || fail "xscreensaver did not report ending the hack"

# The hack on pattern fields: the daemon reads its changed settings at the
# next activation, and the hack shows a pattern of the installed collection
# and Golly's, centred on an empty field. The seed is fixed: a drawn pattern
# as large as the screen would fill the corners a pattern field leaves empty.
sed -i "s|^programs:.*|programs:\t$HACK --root --start patterns --plane --step 2 --seed 77 --mode classic --cscale 2 \\\\n|" "$HOME_DIR/.xscreensaver"
touch -d '+2 seconds' "$HOME_DIR/.xscreensaver"
note "activating with --start patterns"
as_user xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"
poll 30 pgrep -u "$USER_NAME" -f "^$HACK .*--start patterns( |\$)" >/dev/null ||
  fail "xscreensaver did not start the hack with --start patterns (see xscreensaver.log)"
expect_screen 20 "$X11_OUT/xscreensaver-patterns.png" pattern_field
as_user xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
poll 5 hack_gone || fail "the hack still runs 5 seconds after deactivation"
echo "PASS: xscreensaver"
