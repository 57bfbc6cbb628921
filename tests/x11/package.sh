#!/usr/bin/env bash
# The Debian package: built by CPack, installed with dpkg into a private root
# (its maintainer scripts run there through DPKG_ROOT), where it must put the
# hack, its settings description, the lifefaces and the launcher below /usr
# and the hack into xscreensaver's list of hacks; removed, it must take the
# hack out of that list again. Leaves the package installed in
# $X11_OUT/root for the xscreensaver test. PACKAGE_ARCH is the package's
# architecture; RUN_PROGRAM, when set, runs the hack (a cross build's
# emulator).
source "$(dirname "$0")/lib.sh"
: "${BUILD_DIR:?}" "${PACKAGE_VERSION:?}" "${PACKAGE_ARCH:?}"
read -r -a run_program <<<"${RUN_PROGRAM:-}"

ROOT="$X11_OUT/root"
PACKAGE_OUT="$X11_OUT/package"

# dpkg with its database and the maintainer scripts in the private root.
private_dpkg() {
  dpkg --root="$ROOT" --force-script-chrootless --force-not-root "$@" >>"$X11_OUT/dpkg.log" 2>&1
}

# A stand-in for xscreensaver's app-defaults: a "programs" list that has a
# hack before and after the place tumbra goes to.
APP_DEFAULTS="$ROOT/etc/X11/app-defaults/XScreenSaver-nogl"
write_app_defaults() {
  mkdir -p "$(dirname "$1")"
  printf '%s\n' \
    '*mode:			random' \
    '*programs:								      \' \
    '				maze --root				    \n\' \
    '				cloudlife --root			    \n' \
    '*hacks.cloudlife.name:      Cloud Life' >"$1"
}

# The hack is listed exactly once, as a line of the programs resource.
listed_times() { grep -c '^[[:space:]]*tumbra --root[[:space:]]*\\n\\$' "$1"; }

rm -rf "$ROOT" "$PACKAGE_OUT"
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates" "$ROOT/var/lib/dpkg/triggers" "$PACKAGE_OUT"
: >"$ROOT/var/lib/dpkg/status"
[ "$PACKAGE_ARCH" = "$(dpkg --print-architecture)" ] || private_dpkg --add-architecture "$PACKAGE_ARCH"
write_app_defaults "$APP_DEFAULTS"
ln -s XScreenSaver-nogl "$ROOT/etc/X11/app-defaults/XScreenSaver"

note "building the package"
cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$PACKAGE_OUT" >"$X11_OUT/cpack.log" 2>&1 || fail "cpack failed"
DEB="$PACKAGE_OUT/tumbra_${PACKAGE_VERSION}_${PACKAGE_ARCH}.deb"
[ -f "$DEB" ] || fail "no $DEB"
info=$(dpkg-deb -f "$DEB" Package Version Architecture Depends Recommends Suggests)
for want in "Package: tumbra" "Version: $PACKAGE_VERSION" "Architecture: $PACKAGE_ARCH" "libx11-6" "libxext6" \
  "libfontconfig1" "libfreetype6" "Recommends: xscreensaver" "Suggests: golly"; do
  [[ "$info" == *"$want"* ]] || fail "the control file lacks '$want': $info"
done

# The libraries it depends on count as installed there, so that dpkg
# configures it and runs its triggers as on a real system; the stand-ins'
# epoch outranks any asked for (zlib1g's versions have one).
for library in $(dpkg-deb -f "$DEB" Depends | tr ',' '\n' | sed 's/(.*)//; s/|.*//' | tr -d ' '); do
  printf 'Package: %s\nStatus: install ok installed\nVersion: 999:999\nArchitecture: %s\nMaintainer: test <test@tumbra.invalid>\nDescription: stand-in\n\n' \
    "$library" "$PACKAGE_ARCH" >>"$ROOT/var/lib/dpkg/status"
done

note "installing it into $ROOT"
private_dpkg -i "$DEB" || fail "dpkg -i failed (see dpkg.log)"
for path in usr/libexec/xscreensaver/tumbra usr/share/xscreensaver/config/tumbra.xml usr/share/tumbra/tumbra.ini \
  usr/share/tumbra/tumbra/ember.bmp usr/share/tumbra/patterns/gosper-glider-gun.rle usr/share/applications/tumbra.desktop \
  usr/share/applications/screensavers/tumbra.desktop usr/share/man/man6/tumbra.6.gz \
  usr/share/doc/tumbra/copyright usr/share/doc/tumbra/changelog.gz; do
  [ -f "$ROOT/$path" ] || fail "the package did not install /$path"
done
# Every shipped pattern and nothing else of the pattern folder.
[ "$(ls "$ROOT/usr/share/tumbra/patterns")" = "$(cd "$PATTERNS_DIR" && ls -- *.rle)" ] ||
  fail "the installed patterns are not the shipped ones"
[ -x "$ROOT/usr/libexec/xscreensaver/tumbra" ] || fail "the hack is not executable"
[ "$(readlink "$ROOT/usr/bin/tumbra")" = ../libexec/xscreensaver/tumbra ] || fail "bin/tumbra is no link to the hack"
grep -q '^Exec=/usr/libexec/xscreensaver/tumbra --root$' "$ROOT/usr/share/applications/screensavers/tumbra.desktop" ||
  fail "the hack's desktop entry does not name /usr/libexec/xscreensaver/tumbra"
gzip -dc "$ROOT/usr/share/man/man6/tumbra.6.gz" | grep -q '^\.TH TUMBRA 6' || fail "tumbra.6.gz is no manual page"
# Both entries name the icon, which is there in the theme's sizes.
for entry in tumbra.desktop screensavers/tumbra.desktop; do
  grep -qx 'Icon=tumbra' "$ROOT/usr/share/applications/$entry" || fail "the desktop entry $entry names no icon tumbra"
done
for size in 16 32 48; do
  icon="$ROOT/usr/share/icons/hicolor/${size}x$size/apps/tumbra.png"
  python3 -c 'import struct, sys
head = open(sys.argv[1], "rb").read(24)
sys.exit(head[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", head[16:24]) != (int(sys.argv[2]),) * 2)' \
    "$icon" "$size" 2>/dev/null || fail "no $size x $size PNG icon: $icon"
done
[ "$(listed_times "$APP_DEFAULTS")" = 1 ] || fail "the hack is not in xscreensaver's list once"
# The resource goes on: the line before still ends in a continuation, the
# rest of the list is where it was.
grep -A1 '^\*programs:' "$APP_DEFAULTS" | tail -n 1 | grep -q 'tumbra --root' || fail "the hack is not first"
grep -q '^				cloudlife --root			    \\n$' "$APP_DEFAULTS" || fail "the list's end was changed"
[ -L "$ROOT/etc/X11/app-defaults/XScreenSaver" ] || fail "the app-defaults link was replaced"

note "settings description: every control's arguments are the program's"
python3 - "$ROOT/usr/share/xscreensaver/config/tumbra.xml" >"$X11_OUT/xml-args.txt" <<'EOF' || fail "tumbra.xml is not well formed"
import sys, xml.etree.ElementTree as tree
saver = tree.parse(sys.argv[1]).getroot()
assert saver.tag == "screensaver" and saver.get("name") == "tumbra", "not tumbra's description"
for element in saver.iter():
    for key in ("arg-set", "arg-unset"):
        if element.get(key):
            print(element.get(key))
    if element.tag == "number":
        for value in ("low", "high", "default"):
            print(element.get("arg").replace("%", element.get(value)))
    if element.tag == "command":
        print(element.get("arg"))
EOF
[ "$(wc -l <"$X11_OUT/xml-args.txt")" -ge 20 ] || fail "too few controls in tumbra.xml"
while read -r args; do
  # shellcheck disable=SC2086
  "${run_program[@]}" "$ROOT/usr/libexec/xscreensaver/tumbra" $args --help >/dev/null 2>>"$X11_OUT/xml-args.err" ||
    fail "the program refuses the control's arguments '$args'"
done <"$X11_OUT/xml-args.txt"

note "xscreensaver installed or updated after the hack: the trigger lists it again"
fake="$X11_OUT/fake-xscreensaver-data"
rm -rf "$fake"
mkdir -p "$fake/DEBIAN"
printf 'Package: xscreensaver-data\nVersion: 6.06-test\nArchitecture: all\nMaintainer: test <test@tumbra.invalid>\nDescription: app-defaults for the test\n' \
  >"$fake/DEBIAN/control"
write_app_defaults "$fake/etc/X11/app-defaults/XScreenSaver-nogl"
rm "$APP_DEFAULTS"
dpkg-deb --root-owner-group --build "$fake" "$X11_OUT/fake-xscreensaver-data.deb" >/dev/null || fail "no stand-in package"
private_dpkg -i "$X11_OUT/fake-xscreensaver-data.deb" || fail "the stand-in package did not install"
[ "$(listed_times "$APP_DEFAULTS")" = 1 ] || fail "the trigger did not put the hack into the new list"

note "removing the package takes the hack out of the list"
private_dpkg -r tumbra || fail "dpkg -r failed"
[ "$(listed_times "$APP_DEFAULTS")" = 0 ] || fail "the hack is still listed after removal"
cmp -s "$APP_DEFAULTS" "$fake/etc/X11/app-defaults/XScreenSaver-nogl" || fail "removal left the list changed"
[ ! -e "$ROOT/usr/libexec/xscreensaver/tumbra" ] || fail "the hack is still there after removal"

note "installed again for the xscreensaver test"
private_dpkg -i "$DEB" || fail "dpkg -i failed the second time"
[ "$(listed_times "$APP_DEFAULTS")" = 1 ] || fail "the hack is not listed after the second install"
echo "PASS: package"
