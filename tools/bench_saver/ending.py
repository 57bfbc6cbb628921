# ending.py: presses a key on the running saver and prints the milliseconds
# until its window "Screen Saver" is gone, "-" after 5 s. xdotool's searches
# take a few milliseconds each: that is the resolution.
import subprocess, sys, time
def shown():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Screen Saver$"], capture_output=True, text=True)
    return found.stdout.strip() != ""
start = time.monotonic()
subprocess.run(["xdotool", "key", "--delay", "0", "space"], check=False)
while shown():
    if time.monotonic() - start > 5:
        print("-")
        sys.exit()
print(round((time.monotonic() - start) * 1000))
