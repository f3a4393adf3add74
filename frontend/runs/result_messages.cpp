#include "frontend/runs/result_messages.h"

#include "common/result_messages.h"

namespace {

QString shown(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString archiveResultMessage(CoreResult code)
{
    return shown(CoreResultText(code));
}

QString wipeResultMessage(CoreResult code)
{
    return shown(WipeResultText(code));
}
