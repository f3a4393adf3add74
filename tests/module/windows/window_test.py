#!/usr/bin/env python3
"""Runs the Windows modules under Wine on a virtual X server. The English
one: its dialog appears with its title; Help and both choosers open and
close; a passphrase and a destination are typed and Extract restores the
files there; Esc leaves the dialog open and Exit ends the process with
status 0; a second run meets the overwrite question and Break. A run of
many files keeps its whole log, "Done!" last, and gives the buttons back; a
passphrase field holding an unpaired surrogate is named in a message; the
console mode on a console takes a Cyrillic passphrase as typed. The
Russian one, started with a plain argument as a dropped file starts it:
shown, and ended by its window's close command. Saves a screenshot of each
dialog."""

import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from x11_driver import TITLE, test_folders, wait_until, xdotool  # noqa: E402

# Dialog units of the English template.
DIALOG_WIDTH, DIALOG_HEIGHT = 267, 178


def find_window(process, timeout=60.0):
    found = []

    def shown():
        if process.poll() is not None:
            raise AssertionError(f"module ended early with status {process.returncode}")
        found[:] = xdotool("search", "--onlyvisible", "--name", "^" + TITLE + "$").stdout.split()
        return bool(found)

    wait_until(shown, f"a window titled {TITLE!r}", timeout)
    return found[0]


class Dialog:
    """Clicks by dialog units, scaled by the window's size."""

    def __init__(self, window, width_units):
        self.window = window
        geometry = xdotool("getwindowgeometry", "--shell", window).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        self.x_scale = int(values["WIDTH"]) / width_units
        self.y_scale = int(values["HEIGHT"]) / DIALOG_HEIGHT

    def click(self, x, y, width, height):
        px = round((x + width / 2) * self.x_scale)
        py = round((y + height / 2) * self.y_scale)
        xdotool("mousemove", "--window", self.window, str(px), str(py), "click", "1")
        time.sleep(0.2)

    def type_into(self, field, text):
        self.click(*field)
        # The edit control knows no Ctrl+A: select from the end to the start.
        xdotool("key", "End", "shift+Home", "BackSpace")
        xdotool("type", "--delay", "30", text)


DESTINATION = (7, 18, 186, 14)
PASSPHRASE = (7, 54, 186, 14)
EXTRACT = (200, 49, 60, 14)
BROWSE = (200, 17, 60, 14)
SELECT_KEYFILE = (200, 33, 60, 14)
HELP = (200, 68, 60, 14)
EXIT_EN = (200, 84, 60, 14)


def boxes(title):
    return xdotool("search", "--onlyvisible", "--name", "^" + title + "$").stdout.split()


def activate(box):
    # Without a window manager Wine activates a window on a click only; a
    # corner of the box holds no button.
    xdotool("mousemove", "--window", box, "4", "4", "click", "1")
    time.sleep(0.3)


def answer(box, key):
    activate(box)
    xdotool("key", key)
    wait_until(lambda: box not in boxes("Confirmation"), "the box to close", timeout=20)


def break_during_question(dialog, process, target):
    """A second run over the same folder asks before each existing file.
    With that question open, Break asks whether to abort: no keeps the
    run going (the files are kept one by one), yes ends the module."""
    before = {}
    for path in ("top.dat", "docs/readme.txt"):
        with open(os.path.join(target, path), "rb") as data:
            before[path] = data.read()
    for attempt in ("declined", "confirmed"):
        dialog.type_into(PASSPHRASE, "Sample pass")
        dialog.click(*EXTRACT)
        wait_until(lambda: boxes("Confirmation"), "the overwrite question")
        overwrite = boxes("Confirmation")[0]
        dialog.click(*EXTRACT)  # now Break
        wait_until(lambda: len(boxes("Confirmation")) == 2, "the abort question")
        abort = [box for box in boxes("Confirmation") if box != overwrite][0]
        if attempt == "declined":
            answer(abort, "Return")  # No is the default button
            assert process.poll() is None, "a declined abort ended the module"
            # Return answers No: each existing file is kept.
            for _ in range(3):
                wait_until(lambda: boxes("Confirmation"), "the next overwrite question")
                answer(boxes("Confirmation")[0], "Return")
        else:
            activate(abort)
            xdotool("key", "y")
            status = process.wait(timeout=30)
            assert status == 0, f"a confirmed abort gave status {status}"
    for path, contents in before.items():
        with open(os.path.join(target, path), "rb") as data:
            assert data.read() == contents, path + " changed"


def open_and_close(dialog, button, title, key):
    """A button that opens a box or a chooser titled `title`; `key` closes it."""
    dialog.click(*button)
    wait_until(lambda: boxes(title), f"the window {title!r}")
    box = boxes(title)[0]
    activate(box)
    xdotool("key", key)
    wait_until(lambda: not boxes(title), f"{title!r} to close", timeout=20)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def screenshot(window, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["import", "-window", window, path], check=True, timeout=30)


def start(module, bin_dir, source_dir, work, args=()):
    archive = os.path.join(work, module.replace(".exe.iqm", ".exe"))
    with open(archive, "wb") as out:
        for part in (os.path.join(bin_dir, module),
                     os.path.join(source_dir, "tests/module/data/sample_payload_aes.bin")):
            with open(part, "rb") as data:
                shutil.copyfileobj(data, out)
    return subprocess.Popen([os.environ["IVQA_WINE64"], archive, *args], cwd=work)


def control_text(title, control, units_hex=None):
    """The text of a control of the window whose title holds `title` ("*":
    any window with that control), or sets it to UTF-16 units given in hex."""
    helper = os.path.join(os.environ["IVQA_WINDOWS_TEST_BIN"], "dialog_text.exe")
    args = [os.environ["IVQA_WINE64"], helper, title, str(control)] + ([units_hex] if units_hex else [])
    result = subprocess.run(args, capture_output=True, timeout=60)
    assert result.returncode == 0, f"no control {control} in {title!r}"
    return result.stdout.decode("utf-8", "replace")


STATUS_LOG, EXTRACT_BUTTON, PASSPHRASE_FIELD, BOX_TEXT = 1028, 1003, 1006, 65535


def check_long_log(bin_dir, work):
    """More log than the edit control takes by default (30,000 characters)
    but less than the dialog counts before it starts its log afresh (it
    counts the names only): every line stays, "Done!" last, and the
    worker's last update gives the buttons back. Then a passphrase with an unpaired
    surrogate, which no UTF-8 can hold, is refused with a message."""
    source = os.path.join(work, "many")
    os.mkdir(source)
    names = [f"a-file-with-a-rather-long-name-{i:04d}.txt" for i in range(750)]
    for name in names:
        with open(os.path.join(source, name), "w") as data:
            data.write(name)
    archive = os.path.join(work, "many.exe")
    subprocess.run([os.path.join(bin_dir, "ivqa"), "create", "-o", archive, "--target", "windows", source],
                   input=b"Sample pass\n", check=True, capture_output=True, timeout=120)
    process = subprocess.Popen([os.environ["IVQA_WINE64"], archive], cwd=work)
    try:
        dialog = Dialog(find_window(process), DIALOG_WIDTH)
        time.sleep(1.0)
        target = os.path.join(work, "many-restored")
        os.mkdir(target)
        dialog.type_into(DESTINATION, windows_path(target))
        dialog.type_into(PASSPHRASE, "Sample pass")
        dialog.click(*EXTRACT)
        wait_until(lambda: control_text("*", STATUS_LOG).rstrip().endswith("Done!"), "Done! in the log",
                   timeout=90)
        log = control_text("*", STATUS_LOG)
        assert len(log) > 30000 and all(name in log for name in names), f"lines lost from a log of {len(log)}"
        wait_until(lambda: control_text("*", EXTRACT_BUTTON).replace("&", "") == "Extract", "the buttons back")
        assert sorted(os.listdir(os.path.join(target, "many"))) == names

        control_text("*", PASSPHRASE_FIELD, "D800" + "0061")
        dialog.click(*EXTRACT)
        wait_until(lambda: boxes("Error"), "the message on the passphrase")
        message = control_text("Error", BOX_TEXT)
        assert message == 'The field "Passphrase" holds characters that are not valid text!', message
        activate(boxes("Error")[0])
        xdotool("key", "Return")
        wait_until(lambda: not boxes("Error"), "the message to close", timeout=20)
        assert process.poll() is None, "the message ended the module"
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    print("GUI_en.exe.iqm: a log of 750 files (over 30,000 characters) kept whole with Done! last and the buttons back;"
          " a passphrase with an unpaired surrogate refused with a message")


def check_english(bin_dir, source_dir, screenshot_dir, work):
    process = start("GUI_en.exe.iqm", bin_dir, source_dir, work)
    try:
        window = find_window(process)
        time.sleep(1.0)  # let it draw
        screenshot(window, os.path.join(screenshot_dir, "GUI_en.exe.png"))
        dialog = Dialog(window, DIALOG_WIDTH)

        open_and_close(dialog, HELP, "Help", "Return")
        open_and_close(dialog, SELECT_KEYFILE, "Select keyfile", "Escape")
        open_and_close(dialog, BROWSE, "Browse for Folder", "Escape")
        assert process.poll() is None, "a chooser ended the module"

        target = os.path.join(work, "restored")
        os.mkdir(target)
        dialog.type_into(DESTINATION, windows_path(target))
        dialog.type_into(PASSPHRASE, "Sample pass")
        dialog.click(*EXTRACT)
        wait_until(lambda: os.path.exists(os.path.join(target, "top.dat")), "the files")
        readme = os.path.join(target, "docs", "readme.txt")
        wait_until(lambda: os.path.exists(readme), "docs/readme.txt")
        with open(readme, "rb") as data:
            assert data.read() == b"Hello, archive.\n" * 4
        assert not os.path.exists(os.path.join(work, "docs")), "extracted into the working folder"
        time.sleep(0.5)
        screenshot(window, os.path.join(screenshot_dir, "GUI_en.exe-done.png"))
        assert process.poll() is None, "the module ended after a run"

        xdotool("key", "Escape")
        time.sleep(0.5)
        assert process.poll() is None, "Esc closed the dialog"
        dialog.click(*EXIT_EN)
        status = process.wait(timeout=30)
        assert status == 0, f"Exit gave status {status}"

        process = start("GUI_en.exe.iqm", bin_dir, source_dir, work)
        dialog = Dialog(find_window(process), DIALOG_WIDTH)
        time.sleep(1.0)
        dialog.type_into(DESTINATION, windows_path(target))
        break_during_question(dialog, process, target)
    except Exception:
        subprocess.run(["import", "-window", "root", os.path.join(screenshot_dir, "windows-failure.png")],
                       timeout=30)
        raise
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    print("GUI_en.exe.iqm: dialog shown, extracted into the typed destination, Exit ended with status 0,"
          " Break during the overwrite question declined and confirmed")


def check_console_passphrase(bin_dir, work):
    """On a console (Wine makes one of a terminal) the passphrase is read as
    UTF-16, so that non-ASCII text arrives as typed."""
    source = os.path.join(work, "src")
    os.mkdir(source)
    with open(os.path.join(source, "a.txt"), "w") as data:
        data.write("text")
    archive = os.path.join(work, "cyrillic.exe")
    subprocess.run([os.path.join(bin_dir, "ivqa"), "create", "-o", archive, "--target", "windows", source],
                   input="пароль\n".encode(), check=True, capture_output=True, timeout=120)
    pid, terminal = pty.fork()
    if pid == 0:
        os.execv(os.environ["IVQA_WINE64"], ["wine64", archive, "--console", "--test"])
    screen, typed = b"", False
    deadline = time.monotonic() + 90
    while time.monotonic() < deadline:
        if select.select([terminal], [], [], 0.5)[0]:
            try:
                data = os.read(terminal, 4096)
            except OSError:
                break  # the program has ended
            if not data:
                break
            screen += data
        # Wine's console draws each character between cursor escapes.
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", screen)
        if not typed and b"Passphrase:" in shown:
            time.sleep(0.5)
            os.write(terminal, "пароль\r".encode())
            typed = True
    else:
        os.kill(pid, 9)
    status = os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])
    shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", screen).decode("utf-8", "replace")
    assert status == 0 and "Done!" in shown, f"status {status}: {shown[-300:]}"
    print("GUI_en.exe.iqm --console: a Cyrillic passphrase typed on a console opens the archive")


def check_russian(bin_dir, source_dir, screenshot_dir, work):
    # A file dropped on the program: a plain argument, not a console option.
    process = start("GUI_ru.exe.iqm", bin_dir, source_dir, work, [windows_path(work) + "\\dropped file.txt"])
    try:
        window = find_window(process)
        time.sleep(1.0)
        screenshot(window, os.path.join(screenshot_dir, "GUI_ru.exe.png"))
        # The window's close command (Alt+F4), not the Exit button.
        Dialog(window, 271).click(150, 2, 40, 4)  # blank space: activates the window
        xdotool("key", "alt+F4")
        status = process.wait(timeout=30)
        assert status == 0, f"closing the window gave status {status}"
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    print("GUI_ru.exe.iqm: started with a plain argument, dialog shown, closing it ended the process with status 0")


def main():
    bin_dir, source_dir, screenshot_dir = test_folders()
    with tempfile.TemporaryDirectory() as work:
        check_english(bin_dir, source_dir, screenshot_dir, work)
    with tempfile.TemporaryDirectory() as work:
        check_long_log(bin_dir, work)
    with tempfile.TemporaryDirectory() as work:
        check_console_passphrase(bin_dir, work)
    with tempfile.TemporaryDirectory() as work:
        check_russian(bin_dir, source_dir, screenshot_dir, work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
