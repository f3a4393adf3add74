#include "frontend/options/settings_table.h"

#include "frontend/options/settings_store.h"

#include <algorithm>

int readSetting(const SettingsStore& store, const SettingKey& key)
{
    const int value = store.readInt(QString::fromLatin1(key.section), QString::fromLatin1(key.key),
                                    key.defaultValue);
    if (value >= key.minimum && value <= key.maximum)
        return value;
    return key.outOfRange == OutOfRange::Default ? key.defaultValue
                                                 : std::clamp(value, key.minimum, key.maximum);
}

void writeSetting(SettingsStore& store, const SettingKey& key, int value)
{
    store.writeInt(QString::fromLatin1(key.section), QString::fromLatin1(key.key), value);
}
