#!/usr/bin/env python3
"""The window program and the Linux module under a virtual X server with a
window manager: each window carries the application icon (_NET_WM_ICON,
our own picture in the sizes the program holds), and a screenshot of each
with its title bar and icon goes to the screenshot folder."""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "module"))
from x11_driver import TITLE, test_folders, wait_until, xdotool  # noqa: E402

PROGRAM_TITLE = "Ironquiver Self-Decryptor"


def window_of(process, title):
    found = []

    def shown():
        if process.poll() is not None:
            raise AssertionError(f"{title!r} ended early with status {process.returncode}")
        found[:] = xdotool("search", "--onlyvisible", "--name", f"^{title}$").stdout.split()
        return bool(found)
    wait_until(shown, f"the window {title!r}", timeout=30)
    return found[0]


def icon_sizes(window):
    """The sizes in the window's _NET_WM_ICON property, as (width, height)."""
    out = subprocess.run(["xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON"],
                         capture_output=True, text=True, timeout=20).stdout
    numbers = [int(n) for n in re.findall(r"\d+", out.partition("=")[2])]
    sizes = []
    while len(numbers) >= 2:
        width, height = numbers[0], numbers[1]
        pixels = numbers[2:2 + width * height]
        sizes.append((width, height, pixels))
        numbers = numbers[2 + width * height:]
    return sizes


def gold_share(pixels):
    """How much of the picture is the quiver's gold (ARGB words)."""
    gold = sum(1 for p in pixels if (p >> 16) & 0xFF > 170 and (p >> 8) & 0xFF > 100 and p & 0xFF < 90)
    return gold / max(1, len(pixels))


def shoot_with_frame(window, path):
    """The window with the decoration the window manager drew around it."""
    frame = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                           capture_output=True, text=True, timeout=20).stdout
    geometry = dict(line.split("=") for line in frame.split())
    extents = subprocess.run(["xprop", "-id", window, "-notype", "_NET_FRAME_EXTENTS"],
                             capture_output=True, text=True, timeout=20).stdout
    left, right, top, bottom = ([int(n) for n in re.findall(r"\d+", extents.partition("=")[2])] + [0] * 4)[:4]
    crop = "{}x{}+{}+{}".format(int(geometry["WIDTH"]) + left + right, int(geometry["HEIGHT"]) + top + bottom,
                                max(0, int(geometry["X"]) - left), max(0, int(geometry["Y"]) - top))
    subprocess.run(["import", "-window", "root", "-crop", crop, path], check=True, timeout=30)
    print(path)


def check(process, title, expected_sizes, screenshot):
    try:
        window = window_of(process, title)
        wait_until(lambda: icon_sizes(window), f"the icon of {title!r}")
        sizes = icon_sizes(window)
        shown = sorted((w, h) for w, h, _ in sizes)
        for size in expected_sizes:
            assert (size, size) in shown, f"{title!r}: no {size}x{size} icon in {shown}"
        # xprop cuts long properties short: the 48-pixel picture is whole.
        medium = next(pixels for w, h, pixels in sizes if w == h == 48)
        assert gold_share(medium) > 0.08, f"{title!r}: the icon is not ours"
        time.sleep(0.5)  # let the window manager draw the frame
        shoot_with_frame(window, screenshot)
    finally:
        process.kill()
        process.wait()


def window_manager_running():
    return "_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True, timeout=20).stdout


def start_window_manager(log):
    """openbox, started again once if it ends early. The icons are the
    windows' own properties, so without a manager the checks still run and
    only the screenshots lack their frames; what openbox said is printed."""
    for attempt in range(2):
        manager = subprocess.Popen(["openbox", "--config-file", "/dev/null"] + (["--replace"] if attempt else []),
                                   stdout=log, stderr=log)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and manager.poll() is None:
            if window_manager_running():
                return manager
            time.sleep(0.1)
        if manager.poll() is None:
            manager.kill()
        manager.wait()
    log.seek(0)
    print("no window manager came up; the screenshots are without frames. openbox said:\n"
          + log.read().decode(errors="replace"))
    return None


def main():
    bin_dir, source_dir, screenshot_dir = test_folders()
    os.makedirs(screenshot_dir, exist_ok=True)
    with tempfile.TemporaryFile() as log:
        manager = start_window_manager(log)
        try:
            check_both_windows(bin_dir, source_dir, screenshot_dir)
        finally:
            if manager is not None:
                manager.kill()
                manager.wait()
    print("both windows carry the application icon")
    return 0


def check_both_windows(bin_dir, source_dir, screenshot_dir):
    with tempfile.TemporaryDirectory() as work:
        archive = os.path.join(work, "sample.run")
        with open(archive, "wb") as out:
            for part in (os.path.join(bin_dir, "GUI_en.iqm"),
                         os.path.join(source_dir, "tests/module/data/sample_payload_aes.bin")):
                with open(part, "rb") as data:
                    out.write(data.read())
        os.chmod(archive, 0o755)
        check(subprocess.Popen([archive], cwd=work), TITLE, [48],
              os.path.join(screenshot_dir, "module_GUI_en_with_icon.png"))

        environment = dict(os.environ, QT_QPA_PLATFORM="xcb", IVQA_CONFIG_DIR=os.path.join(work, "config"))
        check(subprocess.Popen([os.path.join(bin_dir, "ironquiver")], cwd=work, env=environment),
              PROGRAM_TITLE, [16, 32, 48, 256],
              os.path.join(screenshot_dir, "main_window_with_icon.png"))


if __name__ == "__main__":
    sys.exit(main())
