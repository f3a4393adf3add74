#include "frontend/create/help_message.h"

#include "common/help_text.h"

#include <algorithm>

namespace HelpMessage {

namespace {

std::u16string_view units(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

QString fromUnits(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString fromMemo(const QString& memoText)
{
    return fromUnits(StoredHelpFromMemo(units(memoText)));
}

int length(const QString& memoText)
{
    return static_cast<int>(StoredHelpLength(units(memoText)));
}

QString cutToLimit(const QString& memoText, int limit)
{
    const std::u16string_view kept = MemoCutToLimit(units(memoText), static_cast<std::size_t>(std::max(limit, 0)));
    return kept.size() == static_cast<std::size_t>(memoText.size()) ? memoText : fromUnits(kept);
}

QString memoTextFromFile(const QByteArray& bytes)
{
    return fromUnits(MemoTextFromLines(units(QString::fromUtf8(bytes))));
}

} // namespace HelpMessage
