#pragma once

// The settings in force for the whole run. The Options dialog's controls
// hold them (Apply stores them, Cancel keeps them unstored); every other
// form reads them through this view of that dialog, never from its controls
// or from the settings file.
class SettingsInForce {
public:
    virtual int cipherId() const = 0;
    virtual int compLevel() const = 0;
    virtual int wipeAlg() const = 0;
    virtual int passCnt() const = 0;
    virtual int inFileAct() const = 0;
    virtual int modLang() const = 0;
    virtual int modTarget() const = 0;

protected:
    ~SettingsInForce() = default;
};
