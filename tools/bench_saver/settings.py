# settings.py DEFAULTS CHANGES: the whole settings key of the saver as a
# REGEDIT4 file on stdout, every value from DEFAULTS
# (tests/data/default_settings.txt) with CHANGES (name=value,...) made, and
# wine's X11 driver told to leave windows unmanaged.
import sys
want = dict(pair.split("=", 1) for pair in sys.argv[2].split(",") if pair)
key = "HKEY_CURRENT_USER\\Software\\KORVEL\\tumbra"
lines = ["REGEDIT4", "", f"[-{key}]", "", f"[{key}]"]
for line in open(sys.argv[1]):
    if line.startswith("#") or len(line.split()) < 3:
        continue
    name, kind, data = line.split()[:3]
    raw = bytes.fromhex(data)
    if name in want:
        raw = (int(want.pop(name), 0) & 0xFFFFFFFF).to_bytes(4, "little")
    if kind == "dword":
        lines.append(f'"{name}"=dword:{int.from_bytes(raw, "little"):08x}')
    elif kind == "string":
        lines.append(f'"{name}"="' + raw.split(b"\0")[0].decode() + '"')
    else:
        lines.append(f'"{name}"=hex:' + ",".join(f"{b:02x}" for b in raw))
if want:
    sys.exit("bench-saver: no setting " + " ".join(want))
# No window manager runs on the Xvfb: wine would wait 2 s for one to withdraw
# the window at its end (the key-to-close time) unless windows are unmanaged.
lines += ["", "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]", '"Managed"="N"']
sys.stdout.write("\r\n".join(lines) + "\r\n")
