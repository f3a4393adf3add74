#include "frontend/create/TfmCreatingSDA.h"

#include "frontend/app/form_set.h"
#include "frontend/app/native_path.h"
#include "frontend/app/vendor.h"
#include "frontend/create/TfmCreateSDAProgress.h"
#include "frontend/create/archive_job.h"
#include "frontend/create/help_message.h"
#include "frontend/create/module_choice.h"
#include "frontend/create/output_location.h"
#include "frontend/create/run_precheck.h"
#include "frontend/generators/TfmPassphrGen.h"
#include "frontend/main/input_list_model.h"
#include "frontend/options/cipher_info.h"
#include "frontend/options/settings_in_force.h"
#include "frontend/runs/run_report.h"
#include "frontend/widgets/mask_style.h"
#include "frontend/widgets/message_boxes.h"
#include "frontend/widgets/theme_icons.h"
#include "frontend/wipe/TfmWipeProgress.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kStartingHelp = QStringLiteral(
    "Press \"Browse\" to change output folder.\n"
    "Press \"Select Keyfile\" button to select keyfile.\n"
    "Press \"Extract\" button to decrypt and extract archive contents.");

// Only the beginning of a help file can survive the limit; this many bytes
// always hold more than 1,024 units of help text.
constexpr qint64 kHelpFileReadLimit = 65536;

QToolButton* smallButton(QWidget* parent, const char* name, const char* hint, const char* icon,
                         QStyle::StandardPixmap fallback)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(hint));
    button->setIcon(themeIcon(icon, fallback));
    button->setAutoRaise(false);
    return button;
}

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(300);
    return edit;
}

std::u16string_view viewOf(const LockedUtf16& text)
{
    const char16_t* units = text.textOrNull();
    return units ? std::u16string_view(units) : std::u16string_view();
}

// Wipes what a QString copy of a secret holds once nothing else shares it.
void wipeText(QString& text)
{
    if (!text.isDetached())
        return;
    std::fill(text.begin(), text.end(), QChar(0));
    text.clear();
}

} // namespace

TfmCreatingSDA::TfmCreatingSDA(FormSet& forms)
    : QDialog(forms.mainWindow(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      forms_(forms)
{
    setObjectName(QStringLiteral("fmCreatingSDA"));
    setWindowTitle(QStringLiteral("Creating Self-Decrypting Archive"));

    pcCreatingSDA = new QTabWidget(this);
    pcCreatingSDA->setObjectName(QStringLiteral("pcCreatingSDA"));
    pcCreatingSDA->addTab(buildGeneralPage(), QStringLiteral("General"));
    pcCreatingSDA->addTab(buildModulePage(), QStringLiteral("Self-Decrypting Module Options"));

    bbOK = new QPushButton(QStringLiteral("&OK"), this);
    bbOK->setObjectName(QStringLiteral("bbOK"));
    bbOK->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("C&ancel"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbOK);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcCreatingSDA);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(bbOK, &QPushButton::clicked, this, &TfmCreatingSDA::bbOKClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmCreatingSDA::bbCancelClick);
    connect(edPasswd1, &QLineEdit::textChanged, this, &TfmCreatingSDA::edPasswd1Change);
    connect(cbHidePass, &QCheckBox::clicked, this, &TfmCreatingSDA::cbHidePassClick);
    connect(sbPassphrGen, &QToolButton::clicked, this, &TfmCreatingSDA::sbPassphrGenClick);
    connect(sbSetKeyFile, &QToolButton::clicked, this, &TfmCreatingSDA::sbSetKeyFileClick);
    connect(sbSetOutFileName, &QToolButton::clicked, this, &TfmCreatingSDA::sbSetOutFileNameClick);
    connect(mmHelpMsgText, &QPlainTextEdit::textChanged, this, &TfmCreatingSDA::mmHelpMsgTextChange);
    connect(bbLoadFromFile, &QPushButton::clicked, this, &TfmCreatingSDA::bbLoadFromFileClick);

    mmHelpMsgText->setPlainText(kStartingHelp);
    cbHidePassClick();
}

QWidget* TfmCreatingSDA::buildGeneralPage()
{
    auto* page = new QWidget;
    auto* maskStyle = new AsteriskMaskStyle;
    maskStyle->setParent(page);

    edPasswd1 = lineEdit(page, "edPasswd1");
    edPasswd2 = lineEdit(page, "edPasswd2");
    for (QLineEdit* edit : {edPasswd1, edPasswd2}) {
        edit->setMaxLength(255);
        edit->setStyle(maskStyle);
    }
    cbHidePass = new QCheckBox(QStringLiteral("Hide passphrase"), page);
    cbHidePass->setObjectName(QStringLiteral("cbHidePass"));
    cbHidePass->setChecked(true);
    sbPassphrGen = smallButton(page, "sbPassphrGen", "Passphrases generator", "dialog-password",
                               QStyle::SP_MessageBoxInformation);
    pbPassQual = new QProgressBar(page);
    pbPassQual->setObjectName(QStringLiteral("pbPassQual"));
    pbPassQual->setRange(0, 32);
    pbPassQual->setValue(0);
    pbPassQual->setTextVisible(false);
    edPassFile = lineEdit(page, "edPassFile");
    sbSetKeyFile = smallButton(page, "sbSetKeyFile", "Select keyfile", "document-open",
                               QStyle::SP_DialogOpenButton);
    edOutFile = lineEdit(page, "edOutFile");
    sbSetOutFileName = smallButton(page, "sbSetOutFileName", "Set output file path", "document-save",
                                   QStyle::SP_DialogSaveButton);

    auto* grid = new QGridLayout(page);
    int row = 0;
    const auto label = [&](const char* text) {
        grid->addWidget(new QLabel(QString::fromLatin1(text), page), row++, 0, 1, 2);
    };
    label("Passphrase:");
    grid->addWidget(edPasswd1, row, 0);
    grid->addWidget(sbPassphrGen, row++, 1);
    grid->addWidget(cbHidePass, row++, 0, 1, 2);
    label("Passphrase quality:");
    grid->addWidget(pbPassQual, row++, 0);
    label("Confirm passphrase:");
    grid->addWidget(edPasswd2, row++, 0);
    label("Keyfile path/URL:");
    grid->addWidget(edPassFile, row, 0);
    grid->addWidget(sbSetKeyFile, row++, 1);
    label("Output file path:");
    grid->addWidget(edOutFile, row, 0);
    grid->addWidget(sbSetOutFileName, row++, 1);
    lbInFilesAction = new QLabel(page);
    lbInFilesAction->setObjectName(QStringLiteral("lbInFilesAction"));
    lbInFilesAction->setWordWrap(true);
    grid->addWidget(lbInFilesAction, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    // Top to bottom, each field before the button beside it.
    QWidget* order[] = {edPasswd1, sbPassphrGen, cbHidePass, edPasswd2,       edPassFile,
                        sbSetKeyFile, edOutFile, sbSetOutFileName};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    return page;
}

QWidget* TfmCreatingSDA::buildModulePage()
{
    auto* page = new QWidget;
    lbCharsCount = new QLabel(QStringLiteral("0:1024"), page);
    lbCharsCount->setObjectName(QStringLiteral("lbCharsCount"));
    lbCharsCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mmHelpMsgText = new QPlainTextEdit(page);
    mmHelpMsgText->setObjectName(QStringLiteral("mmHelpMsgText"));
    mmHelpMsgText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmHelpMsgText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmHelpMsgText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Wide enough for the starting lines.
    mmHelpMsgText->setMinimumSize(mmHelpMsgText->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 72,
                                  200);
    bbLoadFromFile = new QPushButton(QStringLiteral("Load From &File"), page);
    bbLoadFromFile->setObjectName(QStringLiteral("bbLoadFromFile"));
    bbLoadFromFile->setAutoDefault(false);

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(QStringLiteral("\"Help\" message text:"), page));
    heading->addStretch(1);
    heading->addWidget(lbCharsCount);
    auto* below = new QHBoxLayout;
    below->addStretch(1);
    below->addWidget(bbLoadFromFile);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(heading);
    layout->addWidget(mmHelpMsgText, 1);
    layout->addLayout(below);
    return page;
}

void TfmCreatingSDA::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    mmHelpMsgTextChange();
    switch (forms_.settingsInForce()->inFileAct()) {
    case static_cast<int>(WipeMode::Delete):
        lbInFilesAction->setText(QStringLiteral("Once the archive is written and verified, the input files it "
                                                "holds will be deleted."));
        break;
    case static_cast<int>(WipeMode::Wipe):
        lbInFilesAction->setText(QStringLiteral("Once the archive is written and verified, the input files it "
                                                "holds will be wiped."));
        break;
    default:
        lbInFilesAction->clear();
        break;
    }
    lbInFilesAction->setVisible(!lbInFilesAction->text().isEmpty());
    if (!event->spontaneous())
        focusFirstEmptyField();
}

void TfmCreatingSDA::focusFirstEmptyField()
{
    pcCreatingSDA->setCurrentIndex(0);
    for (QLineEdit* edit : {edPasswd1, edPasswd2, edPassFile, edOutFile}) {
        if (edit->text().isEmpty()) {
            edit->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    bbOK->setFocus(Qt::TabFocusReason);
}

void TfmCreatingSDA::edPasswd1Change()
{
    pbPassQual->setValue(std::min(static_cast<int>(edPasswd1->text().size()), pbPassQual->maximum()));
}

void TfmCreatingSDA::cbHidePassClick()
{
    const QLineEdit::EchoMode mode = cbHidePass->isChecked() ? QLineEdit::Password : QLineEdit::Normal;
    edPasswd1->setEchoMode(mode);
    edPasswd2->setEchoMode(mode);
}

void TfmCreatingSDA::sbPassphrGenClick()
{
    std::optional<QString> chosen = forms_.fmPassphrGen->choosePassphrase();
    if (!chosen)
        return;
    edPasswd1->setText(*chosen);
    edPasswd2->setText(*chosen);
    wipeText(*chosen);
    focusFirstEmptyField();
}

QString TfmCreatingSDA::chooseExistingFile()
{
    QFileDialog dialog(this);
    dialog.setNameFilter(QStringLiteral("All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList chosen = forms_.runFileDialog(dialog);
    return chosen.isEmpty() ? QString() : chosen.first();
}

void TfmCreatingSDA::sbSetKeyFileClick()
{
    const QString path = chooseExistingFile();
    if (!path.isEmpty())
        edPassFile->setText(QStringLiteral("file://") + path);
}

void TfmCreatingSDA::sbSetOutFileNameClick()
{
    // The recipient's system in force now names the archive: ".exe" for
    // Windows, ".run" for Linux.
    const int target = forms_.settingsInForce()->modTarget();
    QFileDialog dialog(this);
    dialog.setNameFilter(ModuleChoice::archiveNameFilter(target));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Appended before the overwrite question, so that it names the file
    // that is written.
    dialog.setDefaultSuffix(ModuleChoice::archiveSuffix(target).mid(1));
    const QStringList chosen = forms_.runFileDialog(dialog);
    if (chosen.isEmpty())
        return;
    // Compared exactly: "backup.RUN" becomes "backup.RUN.run".
    edOutFile->setText(ModuleChoice::withArchiveSuffix(chosen.first(), target));
}

void TfmCreatingSDA::mmHelpMsgTextChange()
{
    if (cuttingHelp_)
        return;
    const QString text = mmHelpMsgText->toPlainText();
    const QString cut = HelpMessage::cutToLimit(text);
    if (cut.size() != text.size()) {
        cuttingHelp_ = true;
        mmHelpMsgText->setPlainText(cut);
        mmHelpMsgText->moveCursor(QTextCursor::End);
        cuttingHelp_ = false;
    }
    lbCharsCount->setText(QString::number(HelpMessage::length(cut)) + QStringLiteral(":")
                          + QString::number(HelpMessage::kLimit));
}

void TfmCreatingSDA::bbLoadFromFileClick()
{
    const QString path = chooseExistingFile();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBoxes::failure(this, QStringLiteral("Cannot open file \"%1\". %2")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const QByteArray bytes = file.read(kHelpFileReadLimit);
    if (file.error() != QFileDevice::NoError) {
        MessageBoxes::failure(this, QStringLiteral("Cannot read file \"%1\". %2")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    mmHelpMsgText->setPlainText(HelpMessage::memoTextFromFile(bytes));
}

void TfmCreatingSDA::bbOKClick()
{
    if (edPasswd1->text().isEmpty() && edPassFile->text().isEmpty()) {
        MessageBoxes::error(this, QStringLiteral("Enter passphrase or select keyfile!"));
        return;
    }
    if (edPasswd1->text() != edPasswd2->text()) {
        MessageBoxes::error(this, QStringLiteral("Passphrases do not match!"));
        return;
    }
    // Never passed on cut or empty: an empty location would be no keyfile.
    if (static_cast<std::size_t>(edPassFile->text().size()) >= kKeyfileLocationUnits) {
        MessageBoxes::error(this, QStringLiteral("Keyfile path/URL is too long!"));
        return;
    }
    if (edOutFile->text().isEmpty()) {
        MessageBoxes::error(this, QStringLiteral("Set output archive file path!"));
        edOutFile->setFocus();
        return;
    }
    // What can fail before the run starts is found now, with every field
    // still filled in.
    if (const std::optional<QString> problem = keyfileProblem(edPassFile->text())) {
        MessageBoxes::error(this, *problem);
        edPassFile->setFocus();
        return;
    }
    if (const std::optional<QString> problem = outputProblem(edOutFile->text())) {
        MessageBoxes::error(this, *problem);
        edOutFile->setFocus();
        return;
    }
    // The writer would leave the archive's own file out, and a removal
    // would then destroy the new archive.
    if (outputAmongInputs(edOutFile->text(), forms_.inputList().entries())) {
        MessageBoxes::error(this, QStringLiteral("Output archive file is among the input files!\n\"%1\"")
                                      .arg(QDir::toNativeSeparators(edOutFile->text())));
        edOutFile->setFocus();
        return;
    }
    runRequested_ = true;
    QDialog::accept();
}

int TfmCreatingSDA::exec()
{
    for (;;) {
        runRequested_ = false;
        const int result = QDialog::exec();
        if (!runRequested_)
            return result;
        if (runArchive()) {
            clearSecretFields();
            return QDialog::Accepted;
        }
    }
}

bool TfmCreatingSDA::runArchive()
{
    const int inputFilesAction = forms_.settingsInForce()->inFileAct();
    const bool removesInputs = inputFilesAction == static_cast<int>(WipeMode::Delete)
                               || inputFilesAction == static_cast<int>(WipeMode::Wipe);
    const std::unique_ptr<ArchiveJob> job = takeJob();
    job->keepKeyInput = removesInputs;
    const std::optional<RunOutcome> outcome = forms_.fmCreateSDAProgress->run(*job);
    if (!outcome)
        return true;
    if (outcome->end != RunEnd::Completed)
        return false;

    ArchiveReport report;
    report.path = job->outputPath;
    report.size = QFileInfo(job->outputPath).size();
    report.entries = forms_.fmCreateSDAProgress->entriesNamed();
    report.escapedNames = forms_.fmCreateSDAProgress->escapedNamesStored();
    const QString page = QDir(forms_.moduleDir()).filePath(QStringLiteral("ivqa-extract.html"));
    if (QFileInfo(page).isFile())
        report.browserPage = page;
    // A failed or aborted run leaves the input files alone; a completed one
    // removes only what the archive, read back, holds.
    if (removesInputs) {
        ArchiveToProve archive;
        archive.path = nativeFromPath(job->outputPath).toStdString();
        archive.payloadOffset = job->payloadOffset;
        archive.passphrase = viewOf(job->passphrase);
        archive.keyfile = viewOf(job->keyfile);
        archive.beforeProof = forms_.services.beforeArchiveProof;
        report.inputFiles = forms_.fmWipeProgress->run(static_cast<WipeMode>(inputFilesAction), archive);
    }
    MessageBoxes::information(forms_.mainWindow(), Vendor::kProgramCaption, completionText(report));
    return true;
}

std::unique_ptr<ArchiveJob> TfmCreatingSDA::takeJob()
{
    auto job = std::make_unique<ArchiveJob>();
    const QString module =
        ModuleChoice::moduleFileName(forms_.settingsInForce()->modLang(), forms_.settingsInForce()->modTarget());
    if (!module.isEmpty())
        job->modulePath = QDir(forms_.moduleDir()).filePath(module);
    job->outputPath = edOutFile->text();

    QString passphrase = edPasswd1->text();
    QString keyfile = edPassFile->text();
    job->passphrase.assign(passphrase);
    job->keyfile.assign(keyfile);
    job->help.assign(HelpMessage::fromMemo(mmHelpMsgText->toPlainText()));
    job->cipherId = static_cast<std::uint32_t>(forms_.settingsInForce()->cipherId());
    job->entries = takeRunEntries(forms_.inputList());

    wipeText(passphrase);
    wipeText(keyfile);
    return job;
}

void TfmCreatingSDA::clearSecretFields()
{
    // setText() rather than clear(): it also drops the fields' undo history.
    for (QLineEdit* edit : {edPasswd1, edPasswd2, edPassFile, edOutFile})
        edit->setText(QString());
    pbPassQual->setValue(0);
}

void TfmCreatingSDA::bbCancelClick()
{
    reject();
}

void TfmCreatingSDA::reject()
{
    clearSecretFields();
    QDialog::reject();
}
