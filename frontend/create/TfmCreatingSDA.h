#pragma once

#include <QDialog>

#include <memory>

class FormSet;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
struct ArchiveJob;

// The archive creation dialog (form `fmCreatingSDA`): passphrase, keyfile,
// output file and help text; OK checks them and starts the archive run,
// followed by the input-files action when the run completed.
class TfmCreatingSDA : public QDialog {
    Q_OBJECT

public:
    explicit TfmCreatingSDA(FormSet& forms);

    QTabWidget* pcCreatingSDA;
    QLineEdit* edPasswd1;
    QCheckBox* cbHidePass;
    QToolButton* sbPassphrGen;
    QProgressBar* pbPassQual;
    QLineEdit* edPasswd2;
    QLineEdit* edPassFile;
    QToolButton* sbSetKeyFile;
    QLineEdit* edOutFile;
    QToolButton* sbSetOutFileName;
    // Which input-files action follows a completed run, when one is set.
    QLabel* lbInFilesAction;
    QLabel* lbCharsCount;
    QPlainTextEdit* mmHelpMsgText;
    QPushButton* bbLoadFromFile;
    QPushButton* bbOK;
    QPushButton* bbCancel;

public slots:
    void bbOKClick();
    void bbCancelClick();
    void edPasswd1Change();
    void cbHidePassClick();
    void sbPassphrGenClick();
    void sbSetKeyFileClick();
    void sbSetOutFileNameClick();
    void mmHelpMsgTextChange();
    void bbLoadFromFileClick();
    // Esc as well as Cancel: the secret fields are emptied.
    void reject() override;
    // Shows the dialog until it is cancelled or a run completes. OK hides
    // it for the run; after a run that did not complete it comes back with
    // every field as it was typed.
    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The archive run and the input-files action after it; true when the
    // archive run completed (or the worker could not be started, which
    // closes the dialog).
    bool runArchive();
    void focusFirstEmptyField();
    QWidget* buildGeneralPage();
    QWidget* buildModulePage();
    QString chooseExistingFile();
    // The run's copy of the fields, which stay as typed until the run has
    // completed.
    std::unique_ptr<ArchiveJob> takeJob();
    void clearSecretFields();

    FormSet& forms_;
    bool cuttingHelp_ = false;
    bool runRequested_ = false;
};
