#pragma once

#include "common/char_table.h"
#include "frontend/widgets/line_memo.h"

#include <QDialog>

#include <optional>

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

    // Shown from the creation dialog: "Use" closes it with the passphrase
    // of the line the cursor is in. Nothing when it is closed otherwise.
    std::optional<QString> choosePassphrase();

    NumberField* udPassphrLen;
    QLineEdit* edPassphrLen;
    NumberField* udPassphrNum;
    QLineEdit* edPassphrNum;
    LineMemo* mmOutput;
    QPushButton* bbClear;
    QPushButton* bbUse;
    QPushButton* bbGenerate;
    QPushButton* bbCancel;

public slots:
    void bbClearClick();
    void bbGenerateClick();
    void bbCancelClick();
    void bbUseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void shuffleTable();

    void updateUse();

    FormSet& forms_;
    CharTable table_;
    QString chosen_;
};
