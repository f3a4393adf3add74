#pragma once

#include <QString>

struct CoreApi;

enum class KeyfileWrite {
    Done,
    RandomFailed,  // nothing written: the file of that name is as it was
    FileFailed,    // the file could not be created, written or closed
};

// Writes `size` random bytes to `path`, replacing a file of that name only
// once the new one is complete: one IQ_RndGetBytes request of 256 bytes per
// full block, and one for the rest. The file is readable by its owner only,
// whether or not one existed: it is key material.
KeyfileWrite writeKeyfile(const QString& path, int size, const CoreApi& core);
