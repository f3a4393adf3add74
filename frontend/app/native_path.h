#pragma once
// Linux paths are bytes. Qt decodes a name that is not UTF-8 into
// replacement characters, after which the path names nothing; the library
// takes each such byte as the lone unit 0xDC00 + byte. Paths enter the
// program here in that form and leave it here as the same bytes, so that
// every name a folder holds can be added, listed and archived.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

QString pathFromNative(QByteArrayView bytes);
QByteArray nativeFromPath(const QString& path);

// A path as Qt decoded it (a file dialog's choice): a component that does
// not exist as written, because Qt replaced some of its bytes, becomes the
// one entry of its folder that Qt decodes to the same text.
QString exactLocalPath(const QString& decoded);

// The local path of a dropped file:// URL, from its percent-encoded bytes.
QString pathFromLocalUrl(const QUrl& url);

enum class PathKind { Missing, File, Directory };
// What the path names, following links as QFileInfo does.
PathKind nativePathKind(const QString& path);

// Absolute (against the working folder) and without "." or ".." steps.
QString absoluteNativePath(const QString& path);
