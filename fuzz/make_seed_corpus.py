#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets.

The extraction seeds are real archive payloads, one small archive per cipher
and a few shapes more, written by libivqa itself (through its C interface)
with the passphrase the extraction fuzzer uses. IV and salt are random, so
every run gives other bytes; the committed seeds are one such run.

    fuzz/make_seed_corpus.py build/bin/libivqa.so
"""

import ctypes
import os
import sys
import tempfile

PASSPHRASE = "fuzz"  # as in extract_fuzzer.cpp
HERE = os.path.dirname(os.path.abspath(__file__))
CIPHERS = ["aes", "cast", "blowfish", "rc4", "rc5", "xchacha20"]


def utf16(text):
    return ctypes.c_char_p(text.encode("utf-16-le") + b"\0\0") if text is not None else None


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def make_input(root):
    """docs/ with a nested folder, an empty file and a small text; a file beside it."""
    docs = os.path.join(root, "docs")
    os.makedirs(os.path.join(docs, "notes"))
    write(os.path.join(docs, "readme.txt"), b"Read me first.\n" * 4)
    write(os.path.join(docs, "notes", "a.txt"), bytes(range(256)))
    write(os.path.join(docs, "notes", "empty.txt"), b"")
    write(os.path.join(root, "top.bin"), b"\x00\x01\x02\x03" * 50)
    return docs, os.path.join(root, "top.bin")


def archive(lib, path, cipher, dirs, files, help_text=None, level=6):
    write(path, b"")  # the payload is the whole file: no module in front
    context = ctypes.c_void_p()
    result = lib.IQ_SDAInit(ctypes.byref(context), utf16(path), utf16(PASSPHRASE), None,
                            cipher, utf16(help_text), None, None, None, None)
    try:
        if result != 0:
            raise RuntimeError("IQ_SDAInit: %d" % result)
        for d in dirs:
            if lib.IQ_SDAAddDir(context, utf16(d), level) != 0:
                raise RuntimeError("IQ_SDAAddDir " + d)
        for f in files:
            if lib.IQ_SDAAddFile(context, utf16(f), level) != 0:
                raise RuntimeError("IQ_SDAAddFile " + f)
    finally:
        lib.IQ_SDAFinal(context)
    with open(path, "rb") as payload:
        return payload.read()


def extract_seeds(lib, work):
    docs, top = make_input(os.path.join(work, "input"))
    out = os.path.join(work, "archive")
    seeds = {}
    for cipher, name in enumerate(CIPHERS):
        seeds["tree-" + name] = archive(lib, out, cipher, [docs], [top])
    seeds["help-aes"] = archive(lib, out, 0, [], [top], help_text="Ask Ann for the passphrase.")
    two_blocks = os.path.join(work, "two-blocks.bin")
    write(two_blocks, b"\x00" * (1048576 + 1000))
    seeds["two-blocks-rc4"] = archive(lib, out, 3, [], [two_blocks], level=9)
    seeds["no-records-cast"] = archive(lib, out, 1, [], [])
    return seeds


LIST_FILES = {
    "files-and-folders.iq": b"/home/a/report.txt:7\r\n*/home/a/Photos:5\r\n*/:0\r\n",
    "unix-lines.iq": b"/tmp/x:9\n/tmp/y:x\n\n*/srv/data/:3\n",
    "malformed.iq": b"/home/a/ok.txt:1\r\nno-colon-here\r\n/home/b.txt:2\r\n",
    "unicode.iq": "/home/\u00fcser/\u0444\u0430\u0439\u043b.txt:4\r\n*/m\u00fcsic:6\r\n".encode("utf-8"),
}

SETTINGS = {
    "defaults.ini": b"[Options]\nCipher=0\nCompLevel=7\nWipeAlg=1\nPassCnt=8\nInFileAct=0\nModLang=0\n"
                    b"[Wnd]\nLeft=100\nTop=100\nHeight=428\nWidth=522\n"
                    b"[PassGen]\nLength=16\nNum=4\n[KeyFileGen]\nSize=1024\n",
    "out-of-range.ini": b"[Options]\nCipher=9\nCompLevel=-3\nPassCnt=99999999999\n[PassGen]\nLength=abc\n",
    "odd-syntax.ini": b"\xef\xbb\xbf[Options]\r\nCipher = \"2\"\r\nCompLevel=1,2\r\n[Wnd]\r\nLeft=-2147483648\r\n"
                      b"Top=0x10\r\n[KeyFileGen\r\nSize\r\n",
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    # The authenticated cipher's seed at the floor cost of its key derivation,
    # so that the fuzzer runs it quickly.
    os.environ["IVQA_KDF_COST"] = "floor"
    lib = ctypes.CDLL(os.path.abspath(sys.argv[1]))
    lib.IQ_SDAInit.restype = ctypes.c_uint32
    lib.IQ_SDAInit.argtypes = [ctypes.POINTER(ctypes.c_void_p)] + [ctypes.c_char_p] * 3 + \
        [ctypes.c_uint32, ctypes.c_char_p] + [ctypes.c_void_p] * 4
    for export in (lib.IQ_SDAAddDir, lib.IQ_SDAAddFile):
        export.restype = ctypes.c_uint32
        export.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32]
    lib.IQ_SDAFinal.restype = None
    lib.IQ_SDAFinal.argtypes = [ctypes.c_void_p]

    with tempfile.TemporaryDirectory() as work:
        corpora = {"extract": extract_seeds(lib, work), "list_file": LIST_FILES, "settings": SETTINGS}
    for corpus, seeds in corpora.items():
        folder = os.path.join(HERE, "corpus", corpus)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        for name, data in seeds.items():
            write(os.path.join(folder, name), data)
        print("%s: %d seeds" % (corpus, len(seeds)))


if __name__ == "__main__":
    main()
