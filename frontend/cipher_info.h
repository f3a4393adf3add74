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

inline constexpr int kCipherCount = 5;

// The row of a `CipherId`; nothing for an index outside 0-4.
std::optional<CipherInfo> cipherInfo(int cipherId);
