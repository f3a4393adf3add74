#pragma once

#include "frontend/char_table.h"

#include <QDialog>

class FormSet;
class NumberField;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The passphrase generator (form `fmPassphrGen`): random passphrases of
// printable characters for the user to copy, one per line.
class TfmPassphrGen : public QDialog {
    Q_OBJECT

public:
    explicit TfmPassphrGen(FormSet& forms);
    ~TfmPassphrGen() override;

    const CharTable& charTable() const { return table_; }

    NumberField* udPassphrLen;
    QLineEdit* edPassphrLen;
    NumberField* udPassphrNum;
    QLineEdit* edPassphrNum;
    QPlainTextEdit* mmOutput;
    QPushButton* bbClear;
    QPushButton* bbGenerate;
    QPushButton* bbCancel;

public slots:
    void bbClearClick();
    void bbGenerateClick();
    void bbCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void shuffleTable();

    FormSet& forms_;
    CharTable table_;
};
