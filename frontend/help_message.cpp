#include "frontend/help_message.h"

namespace HelpMessage {

namespace {

// The memo's lines joined by LF, without the empty last line it does not
// count.
QStringView countedText(const QString& memoText)
{
    QStringView text(memoText);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

} // namespace

QString fromMemo(const QString& memoText)
{
    if (memoText.isEmpty())
        return {};
    QString help = countedText(memoText).toString();
    help.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return help + QStringLiteral("\r\n");
}

int length(const QString& memoText)
{
    if (memoText.isEmpty())
        return 0;
    const QStringView text = countedText(memoText);
    // Each line break becomes CR LF, and the last line gets one too.
    return static_cast<int>(text.size() + text.count(QLatin1Char('\n')) + 2);
}

QString cutToLimit(const QString& memoText, int limit)
{
    if (length(memoText) <= limit)
        return memoText;
    // A non-empty text's help text is longer than the text itself, so the
    // result lies within the first `limit` units; the length only grows
    // with every unit added, so cutting back from there finds the longest.
    QString text = memoText.left(limit);
    const auto dropSplitPair = [&text] {
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    };
    dropSplitPair();
    while (length(text) > limit) {
        text.chop(1);
        dropSplitPair();
    }
    return text;
}

QString memoTextFromFile(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A NUL would end the library's terminated copy early.
    text.remove(QChar(u'\0'));
    return text;
}

} // namespace HelpMessage
