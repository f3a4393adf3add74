#pragma once

#include <climits>

class SettingsStore;

// What a value outside the control's range reads as.
enum class OutOfRange {
    Clamp,   // the nearest end of the range
    Default, // the key's default: no neighbour is a safe guess
};

// One key of the settings file with its default and the range of the control
// that shows it. Values read from the file are brought into that range, so a
// hand-edited file can never hand the core library a level, cipher or pass
// count it does not know.
struct SettingKey {
    const char* section;
    const char* key;
    int defaultValue;
    int minimum;
    int maximum;
    OutOfRange outOfRange = OutOfRange::Clamp;
};

namespace Settings {

inline constexpr SettingKey Cipher{"Options", "Cipher", 0, 0, 5};
inline constexpr SettingKey CompLevel{"Options", "CompLevel", 7, 0, 9};
inline constexpr SettingKey WipeAlg{"Options", "WipeAlg", 1, 0, 2};
inline constexpr SettingKey PassCnt{"Options", "PassCnt", 8, 1, 32};
inline constexpr SettingKey InFileAct{"Options", "InFileAct", 0, 0, 2};
inline constexpr SettingKey ModLang{"Options", "ModLang", 0, 0, 1};
// The recipient's system, 0 Linux or 1 Windows. A value of some later
// system must not turn into Windows: it reads as Linux.
inline constexpr SettingKey ModTarget{"Options", "ModTarget", 0, 0, 1, OutOfRange::Default};

inline constexpr SettingKey WndLeft{"Wnd", "Left", 100, INT_MIN, INT_MAX};
inline constexpr SettingKey WndTop{"Wnd", "Top", 100, INT_MIN, INT_MAX};
inline constexpr SettingKey WndHeight{"Wnd", "Height", 428, INT_MIN, INT_MAX};
inline constexpr SettingKey WndWidth{"Wnd", "Width", 522, INT_MIN, INT_MAX};
// 1 when the main window was closed maximised; the rectangle keys then keep
// the size it returns to.
inline constexpr SettingKey WndMaximized{"Wnd", "Maximized", 0, 0, 1};

inline constexpr SettingKey PassGenLength{"PassGen", "Length", 16, 6, 64};
inline constexpr SettingKey PassGenNum{"PassGen", "Num", 4, 1, 50};
inline constexpr SettingKey KeyFileGenSize{"KeyFileGen", "Size", 1024, 64, 16384};

} // namespace Settings

int readSetting(const SettingsStore& store, const SettingKey& key);
void writeSetting(SettingsStore& store, const SettingKey& key, int value);
