#!/usr/bin/env bash
# The package of a cross build has the native package's control fields: the
# same names, and the same values but for the architecture, the installed
# size and the library versions that dpkg-shlibdeps finds for it. The native
# package is made afresh from REFERENCE_BUILD (a configured native build).
source "$(dirname "$0")/lib.sh"
: "${PACKAGE_VERSION:?}" "${PACKAGE_ARCH:?}" "${REFERENCE_BUILD:?}"

DEB="$X11_OUT/package/tumbra_${PACKAGE_VERSION}_${PACKAGE_ARCH}.deb"
[ -f "$DEB" ] || fail "no $DEB (x11_package)"
[ -f "$REFERENCE_BUILD/CPackConfig.cmake" ] || fail "no native build at $REFERENCE_BUILD (configure the native preset)"
reference_out="$X11_OUT/reference-package"
rm -rf "$reference_out"
note "the native package from $REFERENCE_BUILD"
cpack --config "$REFERENCE_BUILD/CPackConfig.cmake" -B "$reference_out" >"$X11_OUT/reference-cpack.log" 2>&1 ||
  fail "cpack of the native build failed (see reference-cpack.log)"
reference=$(find "$reference_out" -maxdepth 1 -name "tumbra_${PACKAGE_VERSION}_*.deb")
[ -n "$reference" ] || fail "the native build made no package"

note "$(basename "$DEB") against $(basename "$reference")"
python3 - "$reference" "$DEB" "$PACKAGE_ARCH" <<'PY' || fail "the control fields differ"
import re, subprocess, sys

def fields(deb):
    text = subprocess.run(["dpkg-deb", "-f", deb], check=True, capture_output=True, text=True).stdout
    found = {}
    for line in text.splitlines():
        if line[:1] in (" ", "\t"):
            found[name] += "\n" + line
        else:
            name, _, value = line.partition(":")
            found[name] = value.strip()
    return found

def names_only(relations):
    # "libc6 (>= 2.34), libx11-6" -> the packages alone, alternatives kept
    return sorted(re.sub(r"\s*\([^)]*\)", "", part).strip() for part in relations.split(","))

native, cross = fields(sys.argv[1]), fields(sys.argv[2])
wrong = []
if sorted(native) != sorted(cross):
    wrong.append(f"field names: {sorted(native)} against {sorted(cross)}")
if cross.get("Architecture") != sys.argv[3]:
    wrong.append(f"Architecture: {cross.get('Architecture')}")
for name in sorted(set(native) & set(cross)):
    if name in ("Architecture", "Installed-Size"):
        continue
    a, b = native[name], cross[name]
    if name in ("Depends", "Pre-Depends", "Recommends", "Suggests"):
        a, b = names_only(a), names_only(b)
    if a != b:
        wrong.append(f"{name}: {a!r} against {b!r}")
print("\n".join(wrong) if wrong else f"{len(cross)} fields agree")
sys.exit(1 if wrong else 0)
PY
echo "PASS: package_fields"
