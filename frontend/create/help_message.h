#pragma once

#include "common/help_text.h"

#include <QString>

// The help text the recipient's module shows, built from the memo of the
// archive creation dialog: every memo line followed by CR LF, the last one
// too. A last line that is empty (the text ends in a line break) is no line,
// as the memo counts lines; an empty memo is no help text at all. Lengths
// are UTF-16 units, as the library receives them.
namespace HelpMessage {

inline constexpr int kLimit = static_cast<int>(MaxStoredHelpUnits);

QString fromMemo(const QString& memoText);
int length(const QString& memoText);

// The memo text shortened from its end until its help text is at most
// `limit` units long; unchanged when it already is. Never ends in half of
// a surrogate pair.
QString cutToLimit(const QString& memoText, int limit = kLimit);

// Memo text from the bytes of a text file: line ends CR LF, LF or CR.
QString memoTextFromFile(const QByteArray& bytes);

} // namespace HelpMessage
