#!/usr/bin/env python3
"""Builds link-time stand-ins for glibc's shared libraries that offer each
symbol only at its newest version up to a floor (say 2.17).

A program linked against them asks the dynamic loader for those old
versions alone, so it starts on every glibc since the floor; the real
libraries keep every old version for exactly that reason. Symbols that came
after the floor are left out, so using one fails at link time instead of on
the recipient's machine.

usage: glibc_floor_stubs.py FLOOR CC OUTDIR LIBC LIBM LDSO LIBPTHREAD LIBDL
"""

import os
import re
import subprocess
import sys

# Where the symbols lived before glibc 2.34 folded these libraries into
# libc: an old loader finds them only when the program needs that library.
DL_NAMES = {"dlopen", "dlsym", "dlclose", "dlerror", "dladdr", "dladdr1",
            "dlinfo", "dlmopen", "dlvsym"}
PTHREAD_PREFIXES = ("pthread_", "__pthread_", "sem_")

LINE = re.compile(r"^[0-9a-f]+ (.{7}) (\S+)\s+([0-9a-f]+)\s+(\(?)(GLIBC_[0-9.]+)\)?\s+(\S+)$")


def version_key(version):
    return tuple(int(part) for part in version[len("GLIBC_"):].split("."))


def exported(path):
    """name -> (versions, is_data, size) of what a library defines."""
    text = subprocess.run(["objdump", "-T", path], check=True, capture_output=True, text=True).stdout
    symbols = {}
    for line in text.splitlines():
        match = LINE.match(line)
        if not match:
            continue
        flags, section, size, _, version, name = match.groups()
        if section in ("*UND*", "*ABS*", ".tbss", ".tdata") or name == version:
            continue
        versions, is_data, old_size = symbols.get(name, (set(), False, 0))
        versions.add(version)
        symbols[name] = (versions, is_data or flags.endswith("O"), max(old_size, int(size, 16)))
    return symbols


def defined_versions(path):
    text = subprocess.run(["objdump", "-p", path], check=True, capture_output=True, text=True).stdout
    return set(re.findall(r"\b(GLIBC_[0-9.]+)\b", text.split("Version definitions:")[-1].split("Version References:")[0]))


def floor_choice(symbols, floor):
    chosen = {}
    for name, (versions, is_data, size) in symbols.items():
        old = [v for v in versions if version_key(v) <= floor]
        if old:
            chosen[name] = (max(old, key=version_key), is_data, size)
    return chosen


def write_stub(cc, outdir, soname, chosen):
    base = os.path.join(outdir, soname)
    with open(base + ".s", "w") as asm:
        for name, (_, is_data, size) in sorted(chosen.items()):
            if is_data:
                asm.write(f".data\n.globl {name}\n.type {name},@object\n.size {name},{size}\n{name}:\n.zero {max(size, 1)}\n")
            else:
                asm.write(f".text\n.globl {name}\n.type {name},@function\n{name}:\nret\n")
    nodes = {}
    for name, (version, _, _) in chosen.items():
        nodes.setdefault(version, []).append(name)
    with open(base + ".map", "w") as script:
        for version in sorted(nodes, key=version_key):
            script.write(version + " {\n  global:\n")
            script.writelines(f"    {name};\n" for name in sorted(nodes[version]))
            script.write("};\n")
        if not nodes:
            script.write("GLIBC_2.2.5 { };\n")
    subprocess.run([cc, "-shared", "-nostdlib", "-Wl,-soname," + soname,
                    "-Wl,--version-script," + base + ".map", base + ".s", "-o", base], check=True)


def main():
    floor_text, cc, outdir, libc, libm, ldso, libpthread, libdl = sys.argv[1:]
    floor = version_key("GLIBC_" + floor_text)
    os.makedirs(outdir, exist_ok=True)

    libc_symbols = floor_choice(exported(libc), floor)
    pthread_versions = defined_versions(libpthread)
    dl_part = {n: s for n, s in libc_symbols.items() if n in DL_NAMES}
    pthread_part = {n: s for n, s in libc_symbols.items()
                    if n.startswith(PTHREAD_PREFIXES) and s[0] in pthread_versions}
    libc_part = {n: s for n, s in libc_symbols.items() if n not in dl_part and n not in pthread_part}

    write_stub(cc, outdir, "libc.so.6", libc_part)
    write_stub(cc, outdir, "libpthread.so.0", pthread_part)
    write_stub(cc, outdir, "libdl.so.2", dl_part)
    write_stub(cc, outdir, "libm.so.6", floor_choice(exported(libm), floor))
    write_stub(cc, outdir, os.path.basename(ldso), floor_choice(exported(ldso), floor))

    # What -lc, -lm, -lpthread and -ldl find first in this folder.
    nonshared = subprocess.run([cc, "-print-file-name=libc_nonshared.a"], check=True,
                               capture_output=True, text=True).stdout.strip()
    # The threads and loader libraries ride along with libc, which the
    # driver names last, so that the C++ runtime linked before it finds them.
    with open(os.path.join(outdir, "libc.so"), "w") as script:
        script.write(f"GROUP ( {outdir}/libc.so.6 {nonshared} AS_NEEDED ( {outdir}/{os.path.basename(ldso)}"
                     f" {outdir}/libpthread.so.0 {outdir}/libdl.so.2 ) )\n")
    for short, soname in (("libm.so", "libm.so.6"), ("libpthread.so", "libpthread.so.0"), ("libdl.so", "libdl.so.2")):
        with open(os.path.join(outdir, short), "w") as script:
            script.write(f"INPUT ( {outdir}/{soname} )\n")


if __name__ == "__main__":
    main()
