#!/usr/bin/env bash
# The real xscreensaver daemon with tumbra, as the package installed it, as
# its only hack: activated, it shows a Life field of lifeface tiles;
# deactivated, it ends the hack. xscreensaver will not run hacks for root,
# so it runs as an ordinary user that the test makes when it is missing.
source "$(dirname "$0")/lib.sh"

USER_NAME=tumbra-e2e
INSTALLED="$X11_OUT/root/usr"
[ -x "$INSTALLED/libexec/xscreensaver/tumbra" ] || fail "no installed package in $X11_OUT/root (x11_package)"
command -v xscreensaver >/dev/null || fail "xscreensaver is not installed"

if ! id -u "$USER_NAME" >/dev/null 2>&1; then
  if [ "$(id -u)" != 0 ]; then
    echo "SKIP: the user $USER_NAME is missing and only root can make it"
    exit 77
  fi
  useradd --create-home --shell /bin/sh --comment "tumbra end-to-end tests" "$USER_NAME" || fail "useradd failed"
fi
HOME_DIR=$(getent passwd "$USER_NAME" | cut -d: -f6)
[ -d "$HOME_DIR" ] || fail "the test user has no home folder"

# The installed tree where that user can read it.
TREE=$(mktemp -d /tmp/tumbra-xscreensaver.XXXXXX)
cleanup_tree() { rm -rf "$TREE"; }
chmod 755 "$TREE"
cp -a "$INSTALLED" "$TREE/usr"
HACK="$TREE/usr/libexec/xscreensaver/tumbra"

as_user() {
  runuser -u "$USER_NAME" -- env -i HOME="$HOME_DIR" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
    XDG_DATA_DIRS="$TREE/no-data" "$@"
}

hack_running() { pgrep -u "$USER_NAME" -f "^$HACK( |\$)" >/dev/null; }

stop_daemon() {
  as_user xscreensaver-command -exit >/dev/null 2>&1 || true
  stop_started_programs
  cleanup_tree
}
trap stop_daemon EXIT

start_display 1024x768
rm -rf "$HOME_DIR/.config/tumbra"
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
programs:	$HACK --root --face 0 \\n
EOF
chown "$USER_NAME": "$HOME_DIR/.xscreensaver"

note "starting xscreensaver as $USER_NAME on $DISPLAY"
(cd / && as_user xscreensaver -no-splash -verbose >"$X11_OUT/xscreensaver.log" 2>&1) &
STARTED_PIDS+=("$!")
# A first start on a busy machine can take a while: up to 30 s.
for _ in $(seq 300); do
  as_user xscreensaver-command -time >/dev/null 2>&1 && break
  sleep 0.1
done
as_user xscreensaver-command -time >/dev/null 2>&1 || fail "the daemon did not start (see xscreensaver.log)"
hack_running && fail "the hack runs before activation"

note "activating"
as_user xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"
for _ in $(seq 300); do
  hack_running && break
  sleep 0.1
done
hack_running || fail "xscreensaver did not start the hack (see xscreensaver.log)"
sleep 2
screenshot "$X11_OUT/xscreensaver.png"

# Ember Field, the first lifeface: below the name line every colour is one
# of its picture's (or the black of a strip no cell covers).
colours_of "$TREE/usr/share/tumbra/tumbra/ember.bmp" >"$X11_OUT/ember-colours.txt"
foreign=0
tiles=0
for colour in $(colours_of "$X11_OUT/xscreensaver.png" 1024x640+0+128); do
  if grep -qx "$colour" "$X11_OUT/ember-colours.txt"; then
    tiles=$((tiles + 1))
  elif [ "$colour" != 000000 ]; then
    foreign=$((foreign + 1))
  fi
done
[ "$foreign" = 0 ] || fail "$foreign colours on the field are not the lifeface's"
[ "$tiles" -ge 8 ] || fail "only $tiles lifeface colours on the field"
# The name line in the default colours, red on black, in the top-left corner.
colours_of "$X11_OUT/xscreensaver.png" 300x60+0+0 | grep -qx ff0000 || fail "no name line in the top-left corner"

note "deactivating"
as_user xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
for _ in $(seq 50); do
  hack_running || break
  sleep 0.1
done
hack_running && fail "the hack still runs 5 seconds after deactivation"
grep -q "killing pid" "$X11_OUT/xscreensaver.log" || fail "xscreensaver did not report ending the hack"
echo "PASS: xscreensaver"
