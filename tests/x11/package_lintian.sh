#!/usr/bin/env bash
# The package that x11_package built keeps Debian's conventions: lintian,
# pedantic tags included, finds no error and no warning in it, and the
# changelog's latest entry is of the package's version.
source "$(dirname "$0")/lib.sh"
: "${PACKAGE_VERSION:?}" "${PACKAGE_ARCH:?}"

DEB="$X11_OUT/package/tumbra_${PACKAGE_VERSION}_${PACKAGE_ARCH}.deb"
[ -f "$DEB" ] || fail "no $DEB (x11_package)"
command -v lintian >/dev/null || fail "lintian is not installed (tools/install-deps installs it)"

note "lintian on $(basename "$DEB")"
# lintian only notes that it runs as root; its tags are the same.
status=0
lintian --pedantic --display-info --fail-on error,warning "$DEB" >"$X11_OUT/lintian.txt" 2>"$X11_OUT/lintian.err" ||
  status=$?
cat "$X11_OUT/lintian.txt"
! grep -E '^[EW]: ' "$X11_OUT/lintian.txt" >/dev/null || fail "lintian found errors or warnings"
[ "$status" = 0 ] || fail "lintian ended with $status: $(cat "$X11_OUT/lintian.err")"

note "the changelog's latest entry"
listing=$(dpkg-deb --fsys-tarfile "$DEB" | tar -xOf - ./usr/share/doc/tumbra/changelog.gz | gzip -dc | head -n 1) ||
  fail "no changelog in the package"
[[ "$listing" == "tumbra ($PACKAGE_VERSION) "* ]] ||
  fail "the changelog's latest entry is not of version $PACKAGE_VERSION: $listing"
echo "PASS: package_lintian"
