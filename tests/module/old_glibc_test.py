#!/usr/bin/env python3
"""The Linux modules on an older system: a Debian 11 minbase chroot (glibc
2.31, no X libraries) extracts archives of every cipher made here with
--console byte for byte, a wrong passphrase gives 7, and a display without
the X libraries costs one line and nothing else; the compatibility layer's
probe passes there. With the X libraries
installed in a copy of that chroot and a virtual X server whose socket is
shared with it, the window opens (screenshot).

Needs root and the Debian registry; skips itself without them. The chroots
are made once in the build folder and reused."""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

from x11_driver import TITLE

SKIP = 77
SUITE = "bullseye"
MIRROR = "http://deb.debian.org/debian"
PASSPHRASE = "Old system pass"
CIPHERS = ("aes", "cast", "blowfish", "rc4", "rc5", "xchacha20")
X_PACKAGES = ("libx11-6", "libxext6", "libxrender1", "libxfixes3", "libxcursor1",
              "libxinerama1", "libxft2", "libfontconfig1", "fonts-dejavu-core")
READY = ".ivqa-ready"
WORK = "/root/ivqa-old-glibc"  # inside the chroot


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def in_chroot(root, command, binds=(), **kwargs):
    """Runs command inside root in a mount namespace of its own, so that
    /proc and the bind mounts vanish with it."""
    mounts = 'mount -t proc proc "$0/proc"'
    for host, inside in binds:
        mounts += f' && mkdir -p "$0{inside}" && mount --bind {host} "$0{inside}"'
    script = mounts + ' && exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"'
    return subprocess.Popen(["unshare", "--mount", "--propagation", "private", "sh", "-c", script, root,
                             *command], **kwargs)


def run_in_chroot(root, command, stdin_text="", timeout=300):
    process = in_chroot(root, command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE, text=True)
    out, err = process.communicate(stdin_text, timeout=timeout)
    return process.returncode, out, err


def made_once(path, make):
    """The chroot at path, made by make(partial) unless a finished one is
    there already."""
    if os.path.exists(os.path.join(path, READY)):
        return path
    partial = path + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    make(partial)
    open(os.path.join(partial, READY), "w").close()
    shutil.rmtree(path, ignore_errors=True)
    os.rename(partial, path)
    return path


def minbase_chroot(cache):
    def make(partial):
        result = subprocess.run(["debootstrap", "--variant=minbase", SUITE, partial, MIRROR],
                                capture_output=True, text=True)
        if result.returncode != 0:
            shutil.rmtree(partial, ignore_errors=True)
            skip(f"debootstrap of Debian 11 from {MIRROR} failed (no registry?): "
                 + (result.stderr.strip().splitlines() or ["no output"])[-1])
    return made_once(os.path.join(cache, "debian11-minbase"), make)


def x11_chroot(cache, base):
    def make(partial):
        subprocess.run(["cp", "-a", base, partial], check=True)
        os.remove(os.path.join(partial, READY))
        shutil.copy("/etc/resolv.conf", os.path.join(partial, "etc/resolv.conf"))
        for command in (["apt-get", "update"],
                        ["apt-get", "install", "-y", "--no-install-recommends", *X_PACKAGES]):
            status, out, err = run_in_chroot(partial, command, timeout=600)
            if status != 0:
                shutil.rmtree(partial, ignore_errors=True)
                skip("the X libraries do not install in Debian 11: " + (err.strip().splitlines() or [out])[-1])
    return made_once(os.path.join(cache, "debian11-x11"), make)


def glibc_version(root):
    status, out, _ = run_in_chroot(root, ["ldd", "--version"])
    assert status == 0, "no ldd in the chroot"
    return out.splitlines()[0].split()[-1]


def sample_tree(root):
    """Text, binary bytes across block boundaries, an empty file, a nested
    folder and a name outside ASCII, with set times."""
    generator = random.Random(2014)
    files = {
        "notes.txt": b"Lines for an old system.\r\nSecond line.\n",
        "data.bin": bytes(generator.getrandbits(8) for _ in range(1_100_000)),
        "empty": b"",
        "nested/deeper/\u0444\u0430\u0439\u043b.txt": "\u0442\u0435\u043a\u0441\u0442\n".encode(),
    }
    for index, (name, content) in enumerate(sorted(files.items())):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content)
        os.utime(path, (1_400_000_000 + index * 3600, 1_400_000_000 + index * 3600))
    return files


def expect_same_files(files, source, restored, what):
    for name, content in files.items():
        path = os.path.join(restored, name)
        assert os.path.isfile(path), f"{what}: {name} missing"
        with open(path, "rb") as data:
            assert data.read() == content, f"{what}: {name} differs"
        assert int(os.stat(path).st_mtime) == int(os.stat(os.path.join(source, name)).st_mtime), \
            f"{what}: {name} has another time"
    found = {os.path.relpath(os.path.join(folder, name), restored)
             for folder, _, names in os.walk(restored) for name in names}
    assert found == set(files), f"{what}: extra files {sorted(found - set(files))}"


def make_archives(bin_dir, source, work):
    archives = [(cipher, "en") for cipher in CIPHERS] + [("aes", "ru")]
    names = []
    for cipher, language in archives:
        name = f"{cipher}-{language}.run"
        subprocess.run([os.path.join(bin_dir, "ivqa"), "create", "-o", os.path.join(work, name), "-c", cipher,
                        "--module", language, source], input=PASSPHRASE + "\n", text=True,
                       check=True, capture_output=True)
        names.append(name)
    return names


def check_probe(root):
    """The compatibility layer the modules link, on this glibc."""
    shutil.copy(os.environ["IVQA_PROBE"], root + WORK + "/glibc_floor_probe")
    status, out, err = run_in_chroot(root, [WORK + "/glibc_floor_probe"])
    assert status == 0, f"glibc_floor_probe: status {status}\n{out}{err}"
    print(f"glibc_floor_probe: {out.count('ok: ')} checks hold")


def check_console(root, archives, files, source):
    work = root + WORK
    for name in archives:
        dest = f"{WORK}/out-{name}"
        os.makedirs(root + dest)
        os.makedirs(f"{root}{dest}-wrong")
        status, out, err = run_in_chroot(root, [f"{WORK}/{name}", "--console", "--dest", dest],
                                         PASSPHRASE + "\n")
        assert status == 0, f"{name}: status {status}\n{out}{err}"
        expect_same_files(files, source, root + dest, name)
        status, out, err = run_in_chroot(root, [f"{WORK}/{name}", "--console", "--dest", f"{dest}-wrong"],
                                         "Not the pass\n")
        assert status == 7, f"{name}, wrong passphrase: status {status}\n{out}{err}"
    print(f"--console: {len(archives)} archives extracted byte for byte, wrong passphrase 7")

    # A display but no X libraries: one line, then the console.
    name = archives[0]
    os.makedirs(work + "/out-display")
    status, out, err = run_in_chroot(root, ["env", "DISPLAY=:0", f"{WORK}/{name}", "--dest",
                                            f"{WORK}/out-display"], PASSPHRASE + "\n")
    assert status == 0, f"with DISPLAY: status {status}\n{out}{err}"
    # One line, then the banner, which a pipe for standard output sends here.
    lines = err.splitlines()
    assert "no window without the X libraries" in lines[0] and "libX11.so.6" in lines[0] \
        and not any("X libraries" in line for line in lines[1:]), f"with DISPLAY, stderr: {err!r}"
    expect_same_files(files, source, root + WORK + "/out-display", "with DISPLAY")
    print("DISPLAY without the X libraries: " + lines[0])
    shutil.rmtree(work)


def start_x_server():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    assert number, "Xvfb gave no display"
    return server, ":" + number


def check_window(root, archive, screenshot_dir):
    server, display = start_x_server()
    env = dict(os.environ, DISPLAY=display)
    module = None
    try:
        module = in_chroot(root, ["env", f"DISPLAY={display}", f"{WORK}/{archive}"],
                           binds=[("/tmp/.X11-unix", "/tmp/.X11-unix")],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 30
        window = None
        while window is None and time.monotonic() < deadline:
            assert module.poll() is None, f"module ended with {module.returncode}: {module.stderr.read()!r}"
            found = subprocess.run(["xdotool", "search", "--name", TITLE], env=env,
                                   capture_output=True, text=True).stdout.split()
            window = found[0] if found else None
            time.sleep(0.2)
        assert window is not None, "no window in the Debian 11 chroot"
        time.sleep(0.5)  # let it draw
        os.makedirs(screenshot_dir, exist_ok=True)
        subprocess.run(["import", "-display", display, "-window", window,
                        os.path.join(screenshot_dir, "GUI_en-debian11.png")], check=True, timeout=30)
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, timeout=20)
        subprocess.run(["xdotool", "key", "alt+x"], env=env, timeout=20)
        status = module.wait(timeout=20)
        assert status == 0, f"Exit gave status {status}"
        err = module.stderr.read().decode(errors="replace")
        assert "no window" not in err, err
        print("window: opened in the Debian 11 chroot, Exit ended with status 0")
    finally:
        if module is not None and module.poll() is None:
            module.kill()
            module.wait()
        server.terminate()
        server.wait()


def main():
    if os.geteuid() != 0:
        skip("needs root for debootstrap and chroot")
    if shutil.which("debootstrap") is None:
        skip("debootstrap is not installed")
    bin_dir = os.environ["IVQA_BIN_DIR"]
    cache = os.environ["IVQA_CHROOT_DIR"]
    screenshot_dir = os.environ["IVQA_SCREENSHOT_DIR"]
    os.makedirs(cache, exist_ok=True)

    base = minbase_chroot(cache)
    print(f"Debian 11 minbase chroot: glibc {glibc_version(base)}")
    with tempfile.TemporaryDirectory() as host_work:
        source = os.path.join(host_work, "input")
        files = sample_tree(source)
        files = {os.path.join("input", name): content for name, content in files.items()}
        archive_dir = os.path.join(host_work, "archives")
        os.makedirs(archive_dir)
        archives = make_archives(bin_dir, source, archive_dir)

        shutil.rmtree(base + WORK, ignore_errors=True)
        shutil.copytree(archive_dir, base + WORK)
        check_probe(base)
        check_console(base, archives, files, host_work)

        x11 = x11_chroot(cache, base)
        shutil.rmtree(x11 + WORK, ignore_errors=True)
        shutil.copytree(archive_dir, x11 + WORK)
        try:
            check_window(x11, archives[0], screenshot_dir)
        finally:
            shutil.rmtree(x11 + WORK, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
