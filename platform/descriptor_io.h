#pragma once
// All-or-nothing writes and copies between descriptors, and what a wipe
// pass needs of one.

#include <cstddef>

// Retries interrupted and partial writes; false on any error or on a write
// that makes no progress.
bool WriteAll(int fd, const void* data, std::size_t length);

enum class CopyResult { Ok, ReadFailed, WriteFailed };

// Everything from `from`'s position to its end, appended at `to`'s.
CopyResult CopyAll(int from, int to);

// Back to the start of the file.
bool RewindDescriptor(int fd);

// Everything written so far on its way to the disk (fsync; on Windows
// FlushFileBuffers).
bool FlushToDisk(int fd);
