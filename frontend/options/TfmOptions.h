#pragma once

#include "frontend/options/settings_in_force.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class RadioGroup;
class SettingsStore;

// The Options dialog (form `fmOptions`). Its seven controls hold the settings in
// force for the whole run: the rest of the front end reads them through
// SettingsInForce, never from the file. Apply stores them; Cancel keeps them
// without storing.
class TfmOptions : public QDialog, public SettingsInForce {
    Q_OBJECT

public:
    TfmOptions(SettingsStore& settings, QWidget* parent = nullptr);

    // The settings in force, read from the controls.
    int cipherId() const override;
    int compLevel() const override;
    int wipeAlg() const override;
    int passCnt() const override;
    int inFileAct() const override;
    int modLang() const override;
    int modTarget() const override;

    QTabWidget* pcOptions;
    QComboBox* cbCipher;
    QLabel* lbAuthor;
    QLabel* lbBlckSize;
    QLabel* lbRoundsCnt;
    QLabel* lbMode;
    QLabel* lbMaxKeySize;
    QLabel* lbUsedKeySize;
    QLabel* lbCipherNote;
    QSlider* tbCompLevel;
    QLabel* lbWarning;
    RadioGroup* rgWipeAlg;
    QSpinBox* udPassCnt;
    QLineEdit* edPassCnt;
    RadioGroup* rgInFilesAction;
    QListWidget* lbModLang;
    QListWidget* lbModTarget;
    QPushButton* bbApply;
    QPushButton* bbCancel;

public slots:
    void bbApplyClick();
    void bbCancelClick();
    void cbCipherChange();
    void tbCompLevelChange();

private:
    QWidget* buildCryptographyPage();
    QWidget* buildCompressionPage();
    QWidget* buildWipePage();
    QWidget* buildOthersPage();
    void loadOptions();
    void saveOptions();

    SettingsStore& settings_;
};
