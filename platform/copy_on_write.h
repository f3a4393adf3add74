#pragma once
// Whether overwriting a file in place reaches its old contents: a
// copy-on-write file system writes the new bytes elsewhere and keeps the old
// blocks until it reuses them.

// Said once before a wipe that touches such a file system.
inline constexpr char CopyOnWriteNotice[] =
    "Some of these files lie on a copy-on-write file system (btrfs, zfs or bcachefs), "
    "where overwriting leaves their old contents on the disk.";

// The file system of `path` itself (a link's own, not its target's); false
// when it cannot be told.
bool IsOnCopyOnWriteFileSystem(const char* path);
