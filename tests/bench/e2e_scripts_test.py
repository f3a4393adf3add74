#!/usr/bin/env python3
"""The end-to-end benchmark's own checks: a restored tree that differs from
the corpus in any way the benchmark claims to check must fail it, and the
corpus builder must give the same tree twice."""

import importlib.machinery
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

BENCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench")


def load_script(name):
    loader = importlib.machinery.SourceFileLoader(name.replace("-", "_"), os.path.join(BENCH, name))
    loader_spec = importlib.util.spec_from_loader(loader.name, loader)
    module = importlib.util.module_from_spec(loader_spec)
    loader.exec_module(module)
    return module


e2e = load_script("e2e")
make_corpus = load_script("make-corpus")


def write(path, data, mtime=1577836800):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))


class TreeCheck(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.trees = 0

    def fresh_pair(self):
        """A corpus and an equal restored tree, in a folder of their own."""
        self.trees += 1
        base = os.path.join(self.scratch.name, str(self.trees))
        corpus, restored = os.path.join(base, "corpus"), os.path.join(base, "restored")
        for root in (corpus, restored):
            write(os.path.join(root, "a.txt"), b"alpha")
            write(os.path.join(root, "sub", "b.bin"), b"\x00\x01\x02")
            os.makedirs(os.path.join(root, "empty"))
        return corpus, restored

    def check(self, corpus, restored):
        e2e.check_tree(corpus, e2e.snapshot(corpus), restored, "test")

    def test_equal_tree_passes(self):
        self.check(*self.fresh_pair())

    def test_every_difference_fails(self):
        def b(restored):
            return os.path.join(restored, "sub", "b.bin")

        cases = [
            ("same size, other bytes", lambda r: write(b(r), b"\x00\x01\x03")),
            ("shorter file", lambda r: write(b(r), b"\x00\x01")),
            ("other modification time", lambda r: os.utime(b(r), (0, 0))),
            ("missing file", lambda r: os.remove(b(r))),
            ("missing empty folder", lambda r: os.rmdir(os.path.join(r, "empty"))),
            ("extra file", lambda r: write(os.path.join(r, "extra"), b"")),
            ("folder where a file was", lambda r: (os.remove(b(r)), os.makedirs(b(r)))),
            ("nothing restored", lambda r: shutil.rmtree(r)),
        ]
        for name, damage in cases:
            with self.subTest(name):
                corpus, restored = self.fresh_pair()
                damage(restored)
                with self.assertRaises(e2e.Failure):
                    self.check(corpus, restored)


class Corpus(unittest.TestCase):
    def test_same_machine_gives_the_same_corpus(self):
        with tempfile.TemporaryDirectory() as scratch:
            digests = []
            for name in ("one", "two"):
                folder = os.path.join(scratch, name)
                out = subprocess.run([sys.executable, os.path.join(BENCH, "make-corpus"), "--scale", "0.01",
                                      folder], check=True, capture_output=True, text=True).stdout
                digests.append(out.split()[-1])
                self.assertFalse(os.path.exists(folder + ".partial"))
                entries = e2e.snapshot(folder)
                self.assertEqual({os.path.relpath(p, ".").split(os.sep)[0] for p in entries},
                                 {"doc", "include", "lib", "gz", "random"})
                self.assertTrue(all(v is None or v[1] == make_corpus.FIXED_TIME for v in entries.values()))
            self.assertEqual(digests[0], digests[1])
            self.assertEqual(digests[0], make_corpus.tree_digest(os.path.join(scratch, "one")))

    def test_small_files_tree(self):
        with tempfile.TemporaryDirectory() as scratch:
            folder = os.path.join(scratch, "small")
            subprocess.run([sys.executable, os.path.join(BENCH, "make-corpus"), "--small-files", "250", folder],
                           check=True, capture_output=True)
            entries = e2e.snapshot(folder)
            files = {p: v for p, v in entries.items() if v is not None}
            self.assertEqual(len(files), 250)
            self.assertEqual(len(entries) - len(files), make_corpus.SMALL_FILE_FOLDERS)
            self.assertTrue(all(v[1] == make_corpus.FIXED_TIME for v in files.values()))
            with open(os.path.join(folder, "folder-007", "file-000107.txt"), "rb") as data:
                self.assertEqual(data.read(), b"107\n")

    def test_existing_folder_is_refused(self):
        with tempfile.TemporaryDirectory() as scratch:
            result = subprocess.run([sys.executable, os.path.join(BENCH, "make-corpus"), scratch],
                                    capture_output=True, text=True)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("exists", result.stderr)


if __name__ == "__main__":
    unittest.main()
