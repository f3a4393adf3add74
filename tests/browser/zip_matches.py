#!/usr/bin/env python3
"""Checks a .zip that the page wrote.

  zip_matches.py tree ROOT ZIP   the zip holds exactly the tree below ROOT:
                                 names, contents, last-write times to the
                                 100 ns, read-only files
  zip_matches.py list ZIP        prints the entry names as JSON (after the
                                 central directory and every CRC checked)
"""
import json
import os
import stat
import struct
import sys
import zipfile


def extra_fields(data):
    fields = {}
    while len(data) >= 4:
        tag, size = struct.unpack_from("<HH", data)
        fields[tag] = data[4:4 + size]
        data = data[4 + size:]
    return fields


def filetime_of(info):
    ntfs = extra_fields(info.extra).get(0x000A)
    if ntfs is None or len(ntfs) < 32:
        return None
    return struct.unpack_from("<Q", ntfs, 8)[0]


def checked_entries(path):
    with zipfile.ZipFile(path) as archive:
        bad = archive.testzip()
        if bad is not None:
            sys.exit(f"zip_matches: CRC of {bad} does not match")
        return archive.infolist(), {i.filename: archive.read(i) for i in archive.infolist() if not i.is_dir()}


def tree(root, path):
    infos, contents = checked_entries(path)
    expected = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(folder, name)
            relative = os.path.relpath(full, root) + ("/" if name in dirs else "")
            expected[relative] = full
    names = {i.filename for i in infos}
    problems = []
    if names != set(expected):
        problems.append(f"missing {sorted(set(expected) - names)}, unexpected {sorted(names - set(expected))}")
    for info in infos:
        full = expected.get(info.filename)
        if full is None or info.is_dir():
            continue
        with open(full, "rb") as f:
            if f.read() != contents[info.filename]:
                problems.append(f"{info.filename}: contents differ")
        status = os.stat(full)
        want = status.st_mtime_ns // 100 + 116444736000000000
        if filetime_of(info) != want:
            problems.append(f"{info.filename}: time {filetime_of(info)} instead of {want}")
        read_only = not status.st_mode & stat.S_IWUSR
        if bool(info.external_attr & 0x1) != read_only:
            problems.append(f"{info.filename}: read-only attribute differs")
    if problems:
        sys.exit("zip_matches: " + "; ".join(problems))


def main():
    if sys.argv[1] == "tree":
        tree(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "list":
        infos, _ = checked_entries(sys.argv[2])
        print(json.dumps([i.filename for i in infos]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
