"""What the window tests of both module builds drive the X server with."""

import os
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


def test_folders():
    """The build's programs, the sources and the screenshot folder, once the
    X server answers (it may still be starting: without it a module would
    fall back to its console)."""
    wait_until(lambda: xdotool("getdisplaygeometry").returncode == 0, "the X server", timeout=20)
    return os.environ["IVQA_BIN_DIR"], os.environ["IVQA_SOURCE_DIR"], os.environ["IVQA_SCREENSHOT_DIR"]
