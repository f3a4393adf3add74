#!/usr/bin/env python3
"""Runs the window build of each module under a virtual X server: the dialog
appears with its title, Esc leaves it open, Exit ends the process with
status 0; the English one also extracts its archive through the window,
then again by Enter in the passphrase field over the files it wrote,
answering the overwrite question with "Yes to all" and then "No to all".
Saves a screenshot of each dialog and of the question."""

import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

from x11_driver import TITLE, test_folders, wait_until, xdotool


def find_window(process, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise AssertionError(f"module ended early with status {process.returncode}")
        found = xdotool("search", "--name", TITLE)
        ids = found.stdout.split()
        if ids:
            return ids[0]
        time.sleep(0.1)
    raise AssertionError(f"no window titled {TITLE!r}")


def urgent(window):
    """Whether the window carries the urgency hint (the flash)."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XGetWMHints.restype = ctypes.POINTER(ctypes.c_long)
    xlib.XGetWMHints.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xlib.XFree.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(None)
    try:
        hints = xlib.XGetWMHints(display, int(window))
        if not hints:
            return False
        flags = hints[0]
        xlib.XFree(hints)
        return bool(flags & (1 << 8))
    finally:
        xlib.XCloseDisplay(display)


def extract_in_window(process, window, work):
    """A wrong passphrase (its error box closed with Return), then the right
    one: the files arrive and the window is flashed."""
    def click(x, y):
        xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

    for passphrase in ("Wrong pass", "Sample pass"):
        click(100, 106)  # the passphrase field
        xdotool("type", "--delay", "20", passphrase)
        click(414, 98)  # Extract
        if passphrase.startswith("Wrong"):
            wait_until(lambda: xdotool("search", "--name", "^Error$").stdout.split(), "the error box")
            box = xdotool("search", "--name", "^Error$").stdout.split()[0]
            xdotool("windowfocus", "--sync", box)
            xdotool("key", "Return")
            wait_until(lambda: not xdotool("search", "--name", "^Error$").stdout.split(), "the box to close")
            assert not os.path.exists(os.path.join(work, "docs")), "a wrong passphrase wrote files"
    readme = os.path.join(work, "docs", "readme.txt")
    wait_until(lambda: os.path.exists(os.path.join(work, "top.dat")), "the run")
    wait_until(lambda: urgent(window), "the flash")
    with open(readme, "rb") as data:
        assert data.read() == b"Hello, archive.\n" * 4
    assert process.poll() is None, "the module ended after a run"


def browse_and_cancel(window, screenshot_dir):
    """The folder chooser opens (in the destination, see its screenshot)
    and Esc leaves it."""
    title = "Select destination folder:"
    xdotool("mousemove", "--window", window, "414", "42", "click", "1")  # Browse
    wait_until(lambda: windows_named(title), "the folder chooser")
    chooser = windows_named(title)[0]
    time.sleep(0.5)
    subprocess.run(["import", "-window", chooser, os.path.join(screenshot_dir, "module_folder_chooser.png")],
                   check=True, timeout=30)
    xdotool("windowfocus", "--sync", chooser)
    xdotool("key", "Escape")
    wait_until(lambda: not windows_named(title), "the folder chooser to close")


def windows_named(name):
    return xdotool("search", "--name", f"^{name}$").stdout.split()


def answer_all(process, window, work, screenshot_dir, key, restored):
    """Spoils the extracted files, types the passphrase and presses Enter:
    one overwrite question comes, answered by `key` for every file."""
    files = [os.path.join(work, name) for name in ("top.dat", "docs/readme.txt", "docs/zero.bin")]
    originals = {}
    for path in files:
        with open(path, "rb") as data:
            originals[path] = data.read()
        with open(path, "wb") as out:
            out.write(b"spoilt")
    xdotool("mousemove", "--window", window, "100", "106", "click", "1")  # the passphrase field
    xdotool("type", "--delay", "20", "Sample pass")
    xdotool("key", "Return")
    wait_until(lambda: windows_named("Confirmation"), "the overwrite question after Enter")
    box = windows_named("Confirmation")[0]
    if screenshot_dir:
        time.sleep(0.3)
        subprocess.run(["import", "-window", box, os.path.join(screenshot_dir, "module_overwrite_question.png")],
                       check=True, timeout=30)
    xdotool("windowfocus", "--sync", box)
    xdotool("key", key)
    wait_until(lambda: not windows_named("Confirmation"), "the question to close")

    def settled():
        expected = {path: originals[path] if restored else b"spoilt" for path in files}
        for path in files:
            with open(path, "rb") as data:
                if data.read() != expected[path]:
                    return False
        return True
    # No second question while the rest of the run goes by.
    deadline = time.monotonic() + 3.0
    while time.monotonic() < deadline:
        assert not windows_named("Confirmation"), "asked again after an answer for all"
        time.sleep(0.1)
    assert settled(), "the files are not as the answer for all says"
    assert process.poll() is None, "the module ended after a run"


def check(module, exit_key, bin_dir, source_dir, screenshot_dir, work):
    archive = os.path.join(work, module + ".run")
    with open(archive, "wb") as out:
        for part in (os.path.join(bin_dir, module),
                     os.path.join(source_dir, "tests/module/data/sample_payload_aes.bin")):
            with open(part, "rb") as data:
                shutil.copyfileobj(data, out)
    os.chmod(archive, 0o755)

    errors_path = os.path.join(work, module + ".stderr")
    errors = open(errors_path, "wb")
    process = subprocess.Popen([archive], cwd=work, stderr=errors)
    try:
        window = find_window(process)
        time.sleep(0.5)  # let it draw
        os.makedirs(screenshot_dir, exist_ok=True)
        subprocess.run(["import", "-window", window,
                        os.path.join(screenshot_dir, module.replace(".iqm", ".png"))],
                       check=True, timeout=30)

        if exit_key:
            browse_and_cancel(window, screenshot_dir)
            extract_in_window(process, window, work)
            answer_all(process, window, work, screenshot_dir, "alt+a", restored=True)
            answer_all(process, window, work, None, "alt+o", restored=False)
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "Escape")
        time.sleep(0.5)
        assert process.poll() is None, "Esc closed the dialog"

        if exit_key:
            xdotool("key", exit_key)
        else:
            # The Exit button: x 200, y 84 dialog units, 60 x 14 of them.
            xdotool("mousemove", "--window", window, "414", "159", "click", "1")
        status = process.wait(timeout=20)
        assert status == 0, f"Exit gave status {status}"
    except Exception:
        subprocess.run(["import", "-window", "root", os.path.join(screenshot_dir, "failure.png")], timeout=30)
        errors.flush()
        with open(errors_path, "rb") as data:
            print(f"{module} said on standard error:\n" + data.read().decode(errors="replace"))
        raise
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    errors.close()
    with open(errors_path, "rb") as data:
        complaints = [line for line in data.read().decode(errors="replace").splitlines() if "Gtk-CRITICAL" in line]
    os.remove(errors_path)
    assert not complaints, "the toolkit complained: " + "\n".join(complaints)
    print(f"{module}: window shown, Esc ignored, Exit ended with status 0")
    for entry in os.listdir(work):
        path = os.path.join(work, entry)
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif not entry.endswith(".run"):
            os.remove(path)


def main():
    bin_dir, source_dir, screenshot_dir = test_folders()
    with tempfile.TemporaryDirectory() as work:
        # The English Exit button by its access key, the Russian one by a click.
        for module, exit_key in (("GUI_en.iqm", "alt+x"), ("GUI_ru.iqm", None)):
            check(module, exit_key, bin_dir, source_dir, screenshot_dir, work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
