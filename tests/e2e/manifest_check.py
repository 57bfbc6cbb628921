#!/usr/bin/env python3
"""Checks the application manifest built into Windows programs.

Reads RT_MANIFEST resource 1 straight from the PE file's resource directory
(the binutils tools do not always extract it) and checks what Windows 10 and
11 act on: the execution level, per-monitor DPI awareness, the themed common
controls and the supported systems.

Usage: manifest_check.py LEVEL FILE...   LEVEL: asInvoker or requireAdministrator
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
OLDER_SYSTEMS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
}
NS = {
    "asm1": "urn:schemas-microsoft-com:asm.v1",
    "asm3": "urn:schemas-microsoft-com:asm.v3",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
    "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}


class Bad(Exception):
    pass


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise Bad("truncated at offset %d" % offset)
    return struct.unpack_from(fmt, data, offset)


def sections(data):
    """The PE header's section table and its resource directory RVA."""
    (pe,) = unpack("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise Bad("no PE signature")
    count, optional_size = unpack("<H12xH", data, pe + 6)
    optional = pe + 24
    (magic,) = unpack("<H", data, optional)
    directories = {0x10B: 96, 0x20B: 112}.get(magic)
    if directories is None:
        raise Bad("unknown optional header 0x%x" % magic)
    resource_rva, resource_size = unpack("<II", data, optional + directories + 2 * 8)
    table = []
    for k in range(count):
        virtual_size, rva, raw_size, raw = unpack("<8xIIII", data, optional + optional_size + 40 * k)
        table.append((rva, max(virtual_size, raw_size), raw))
    return table, resource_rva, resource_size


def file_offset(table, rva):
    for start, size, raw in table:
        if start <= rva < start + size:
            return raw + rva - start
    raise Bad("RVA 0x%x lies in no section" % rva)


def entries(data, base, offset):
    """(id or name offset, is_name, target offset, is_directory) of one directory."""
    named, ids = unpack("<12xHH", data, base + offset)
    out = []
    for k in range(named + ids):
        name, target = unpack("<II", data, base + offset + 16 + 8 * k)
        out.append((name & 0x7FFFFFFF, bool(name & 0x80000000), target & 0x7FFFFFFF, bool(target & 0x80000000)))
    return out


def manifests(path):
    """Every RT_MANIFEST resource of the file: {(id, language): bytes}."""
    with open(path, "rb") as f:
        data = f.read()
    table, resource_rva, resource_size = sections(data)
    if resource_rva == 0 or resource_size == 0:
        return {}
    base = file_offset(table, resource_rva)
    found = {}
    for type_id, type_named, type_target, type_dir in entries(data, base, 0):
        if type_named or type_id != RT_MANIFEST or not type_dir:
            continue
        for res_id, res_named, res_target, res_dir in entries(data, base, type_target):
            if not res_dir:
                raise Bad("manifest entry without languages")
            for lang, _, leaf, leaf_dir in entries(data, base, res_target):
                if leaf_dir:
                    raise Bad("manifest language entry is a directory")
                rva, size = unpack("<II", data, base + leaf)
                start = file_offset(table, rva)
                if start + size > len(data):
                    raise Bad("manifest data runs past the end of the file")
                key = ("name@%d" % res_id) if res_named else res_id
                found[(key, lang)] = data[start:start + size]
    return found


def check(path, level):
    found = manifests(path)
    if not found:
        raise Bad("no RT_MANIFEST resource")
    if [key for key, _ in found] != [1]:
        raise Bad("manifest resources %s, expected exactly resource 1" % sorted(found))
    text = next(iter(found.values()))
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        raise Bad("manifest is not well-formed XML: %s" % e)
    if root.tag != "{%s}assembly" % NS["asm1"] or root.get("manifestVersion") != "1.0":
        raise Bad("root is not an assembly of manifest version 1.0")

    levels = [e.get("level") for e in root.iterfind(".//asm3:requestedExecutionLevel", NS)]
    if levels != [level]:
        raise Bad("execution level %s, expected %s" % (levels, level))
    if root.find(".//asm3:requestedExecutionLevel[@uiAccess='true']", NS) is not None:
        raise Bad("uiAccess is asked for")

    controls = [
        e for e in root.iterfind("asm1:dependency/asm1:dependentAssembly/asm1:assemblyIdentity", NS)
        if e.get("name") == "Microsoft.Windows.Common-Controls"
    ]
    if len(controls) != 1:
        raise Bad("no single dependency on Microsoft.Windows.Common-Controls")
    c = controls[0]
    if (c.get("version"), c.get("publicKeyToken"), c.get("type")) != ("6.0.0.0", "6595b64144ccf1df", "win32"):
        raise Bad("Common-Controls dependency is not version 6.0.0.0 of 6595b64144ccf1df")

    systems = {e.get("Id", "").lower() for e in root.iterfind("compat:compatibility/compat:application/compat:supportedOS", NS)}
    if WINDOWS_10 not in systems:
        raise Bad("Windows 10 and 11 are not among the supported systems")
    if not OLDER_SYSTEMS <= systems:
        raise Bad("supported systems %s lack some of Vista to 8.1" % sorted(systems))

    settings = "asm3:application/asm3:windowsSettings/"
    aware = [(e.text or "").strip().lower() for e in root.iterfind(settings + "ws2005:dpiAware", NS)]
    if aware != ["true/pm"]:
        raise Bad("dpiAware %s, expected true/pm" % aware)
    awareness = [(e.text or "").strip() for e in root.iterfind(settings + "ws2016:dpiAwareness", NS)]
    if len(awareness) != 1 or [v.strip().lower() for v in awareness[0].split(",")][0] != "permonitorv2":
        raise Bad("dpiAwareness %s does not start with PerMonitorV2" % awareness)
    return "%s: %s, PerMonitorV2, Common-Controls 6.0, %d supported systems" % (path, level, len(systems))


def main(argv):
    if len(argv) < 3 or argv[1] not in ("asInvoker", "requireAdministrator"):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    failed = False
    for path in argv[2:]:
        try:
            print("-- " + check(path, argv[1]))
        except (Bad, OSError) as e:
            print("FAIL: %s: %s" % (path, e), file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
