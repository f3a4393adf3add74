#pragma once

#include <QString>

#include <optional>

// The texts of the "Algorithm info" group of the Options dialog.
struct CipherInfo {
    QString item;        // the cipher list's item, in `CipherId` order
    QString author;
    QString blockSize;
    QString roundsCount;
    QString mode;
    QString maxKeySize;
    QString usedKeySize;
};

inline constexpr int kCipherCount = 6;
inline constexpr int kAuthenticatedCipherId = 5;

// What choosing the authenticated cipher means, shown under its row.
inline constexpr char kAuthenticatedCipherNote[] =
    "Authenticated: every byte of the archive is checked and each passphrase guess is made costly; "
    "recipients need version 2.50 or later, and extraction asks for 256 MiB of memory.";

// The row of a `CipherId`; nothing for an index outside 0-5.
std::optional<CipherInfo> cipherInfo(int cipherId);
