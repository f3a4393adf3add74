#pragma once

#include <QDialog>

class FormSet;
class NumberField;
class QLineEdit;
class QPushButton;
class QToolButton;

// The keyfile generator (form `fmKeyfileGen`): a file of random bytes that
// can serve as a keyfile.
class TfmKeyfileGen : public QDialog {
    Q_OBJECT

public:
    explicit TfmKeyfileGen(FormSet& forms);
    ~TfmKeyfileGen() override;

    // The size field keeps the name the form has always given it.
    NumberField* udKeyfileSize;
    QLineEdit* edPassphrLen;
    QLineEdit* edOutFile;
    QToolButton* sbSetOutFileName;
    QPushButton* bbGenerate;
    QPushButton* bbCancel;

public slots:
    void sbSetOutFileNameClick();
    void edOutFileChange();
    void bbGenerateClick();
    void bbCancelClick();

protected:
    void done(int result) override;

private:
    FormSet& forms_;
    // The file dialog has asked before the name was taken.
    bool replaceConfirmed_ = false;
};
