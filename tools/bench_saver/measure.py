# measure.py PREFIX SCR XSERVER_PID IMAGE_BASE FRAMES_AT GENERATION_AT SETTLE SECONDS
# Finds the process of SCR in PREFIX, lets it settle, then prints
# "pid cpu% xserver% wineserver% frames/s frames generation0 generation1".
import os, struct, sys, time

prefix, scr, xpid = sys.argv[1], os.path.realpath(sys.argv[2]), int(sys.argv[3])
image_base, frames_at, generation_at = (int(a, 0) for a in sys.argv[4:7])
settle, seconds = float(sys.argv[7]), float(sys.argv[8])
hz = os.sysconf("SC_CLK_TCK")

def in_prefix(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            return f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0")
    except OSError:
        return False

def arg0(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().split(b"\0")[0].decode(errors="replace")
    except OSError:
        return ""

def find(test):
    for entry in os.listdir("/proc"):
        if entry.isdigit() and test(arg0(entry)) and in_prefix(entry):
            return int(entry)
    return None

pid = None
for _ in range(100):
    pid = find(lambda a: a.lower().endswith("\\tumbra.scr"))
    if pid:
        break
    time.sleep(0.05)
if not pid:
    sys.exit("no tumbra.scr process in the prefix")
server = find(lambda a: os.path.basename(a).startswith("wineserver"))

# The load address: the mapping of the file's first page.
base = None
with open(f"/proc/{pid}/maps") as f:
    for line in f:
        parts = line.split(None, 5)
        if len(parts) == 6 and parts[5].strip() == scr and int(parts[2], 16) == 0:
            base = int(parts[0].split("-")[0], 16)
            break
if base is None:
    sys.exit(f"{scr} is not mapped in process {pid}")
delta = base - image_base

def ticks(p):
    if not p:
        return 0
    with open(f"/proc/{p}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime

mem = os.open(f"/proc/{pid}/mem", os.O_RDONLY)
def word(address):
    return struct.unpack("<I", os.pread(mem, 4, address + delta))[0]

def sample():
    return time.monotonic(), ticks(pid), ticks(xpid), ticks(server), word(frames_at), word(generation_at)

time.sleep(settle)
t0, p0, x0, w0, f0, g0 = sample()
profile = None
if os.environ.get("BENCH_SAVER_PERF"):
    import subprocess
    options = os.environ.get("BENCH_SAVER_PERF_OPTIONS", "").split()
    profile = subprocess.Popen(["perf", "record", "-q", *options, "-p", str(pid), "-o", os.environ["BENCH_SAVER_PERF"],
                                "--", "sleep", str(seconds)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(seconds)
t1, p1, x1, w1, f1, g1 = sample()
if profile is not None:
    profile.wait()
elapsed = t1 - t0
frames = (f1 - f0) & 0xFFFFFFFF
share = lambda a, b: 100.0 * (b - a) / hz / elapsed
print(f"{pid} {share(p0, p1):.1f} {share(x0, x1):.1f} {share(w0, w1):.1f} {frames / elapsed:.1f} {frames} "
      f"{struct.unpack('<i', struct.pack('<I', g0))[0]} {struct.unpack('<i', struct.pack('<I', g1))[0]} "
      f"base=0x{base:x}")
