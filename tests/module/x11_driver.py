"""What the window tests of both module builds drive the X server with."""

import subprocess
import time

TITLE = "Ironquiver Self-Decrypting Archive"


def xdotool(*args, timeout=20):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=timeout)


def wait_until(condition, what, timeout=60.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)
