#pragma once

#include <QString>

struct CoreApi;

enum class KeyfileWrite {
    Done,
    RandomFailed,  // the bytes written so far stay in the file
    FileFailed,    // the file could not be created, written or closed
};

// Writes `size` random bytes to `path`, replacing a file of that name: one
// IQ_RndGetBytes request of 256 bytes per full block, and one for the rest.
// A file the call creates is readable by its owner only: it is key material.
KeyfileWrite writeKeyfile(const QString& path, int size, const CoreApi& core);
