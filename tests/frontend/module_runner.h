#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the recipient sees: the archive run as a program in console mode.
struct Extraction {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs `archive --console --dest DEST [extra]` with `input` on its standard
// input (the passphrase line).
Extraction extractArchive(const QString& archive, const QString& destination, const QByteArray& input,
                          const QStringList& extra = {});

// Empty when both trees hold the same folders and the same files with the
// same bytes; otherwise the first difference.
QString treeDifference(const QString& expected, const QString& actual);

// Deterministic bytes that do not compress to nothing.
QByteArray noise(qsizetype size, quint32 seed);
