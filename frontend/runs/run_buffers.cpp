#include "frontend/runs/run_buffers.h"

#include "frontend/app/native_path.h"
#include "frontend/main/input_list_model.h"
#include "platform/secure_memory.h"

#include <climits>
#include <cstring>

LockedUtf16::LockedUtf16(std::size_t units)
    : units_(static_cast<char16_t*>(SecureAlloc(units * sizeof(char16_t)))), capacity_(units)
{
}

LockedUtf16::~LockedUtf16()
{
    SecureFree(units_, capacity_ * sizeof(char16_t));
}

void LockedUtf16::assign(QStringView text)
{
    wipe();
    const auto length = static_cast<std::size_t>(text.size());
    if (!units_ || length == 0 || length + 1 > capacity_)
        return;
    std::memcpy(units_, text.utf16(), length * sizeof(char16_t));
}

const char16_t* LockedUtf16::textOrNull() const
{
    return units_ && units_[0] != u'\0' ? units_ : nullptr;
}

void LockedUtf16::wipe()
{
    if (units_)
        SecureWipe(units_, capacity_ * sizeof(char16_t));
}

std::u16string pathForLibrary(const QString& path)
{
    if (nativeFromPath(path).size() + 1 > PATH_MAX)
        return {};
    return path.toStdU16String();
}

std::vector<RunEntry> takeRunEntries(const InputListModel& list)
{
    std::vector<RunEntry> entries;
    entries.reserve(list.entries().size());
    for (const InputEntry& entry : list.entries())
        entries.push_back({entry.kind, pathForLibrary(entry.fullPath()), entry.level});
    return entries;
}

QString lastPathComponent(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.isEmpty() ? path : name;
}
