#include "frontend/generators/TfmKeyfileGen.h"

#include "frontend/app/form_set.h"
#include "frontend/generators/keyfile_writer.h"
#include "frontend/options/settings_table.h"
#include "frontend/widgets/message_boxes.h"
#include "frontend/widgets/number_field.h"
#include "frontend/widgets/read_only_look.h"
#include "frontend/widgets/theme_icons.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TfmKeyfileGen::TfmKeyfileGen(FormSet& forms) : QDialog(forms.mainWindow()), forms_(forms)
{
    setObjectName(QStringLiteral("fmKeyfileGen"));
    setWindowTitle(QStringLiteral("Keyfiles Generator"));

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    udKeyfileSize = new NumberField("udKeyfileSize", "edPassphrLen", Settings::KeyFileGenSize.minimum,
                                    Settings::KeyFileGenSize.maximum, options);
    udKeyfileSize->setGroupSeparatorShown(true);
    udKeyfileSize->setSingleStep(64);
    edPassphrLen = udKeyfileSize->findChild<QLineEdit*>(QStringLiteral("edPassphrLen"));
    auto* fields = new QFormLayout(options);
    fields->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    fields->addRow(QStringLiteral("Keyfile size (bytes):"), udKeyfileSize);

    edOutFile = new QLineEdit(this);
    edOutFile->setObjectName(QStringLiteral("edOutFile"));
    edOutFile->setReadOnly(true);
    showAsReadOnly(edOutFile);
    edOutFile->setMinimumWidth(300);
    sbSetOutFileName = new QToolButton(this);
    sbSetOutFileName->setObjectName(QStringLiteral("sbSetOutFileName"));
    sbSetOutFileName->setToolTip(QStringLiteral("Set output file"));
    sbSetOutFileName->setIcon(themeIcon("document-save", QStyle::SP_DialogSaveButton));
    auto* output = new QHBoxLayout;
    output->addWidget(edOutFile, 1);
    output->addWidget(sbSetOutFileName);

    bbGenerate = new QPushButton(QStringLiteral("Ge&nerate"), this);
    bbGenerate->setObjectName(QStringLiteral("bbGenerate"));
    bbGenerate->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("C&ancel"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    bbCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbGenerate);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addWidget(new QLabel(QStringLiteral("Output file:"), this));
    layout->addLayout(output);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(sbSetOutFileName, &QToolButton::clicked, this, &TfmKeyfileGen::sbSetOutFileNameClick);
    connect(edOutFile, &QLineEdit::textChanged, this, &TfmKeyfileGen::edOutFileChange);
    connect(bbGenerate, &QPushButton::clicked, this, &TfmKeyfileGen::bbGenerateClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmKeyfileGen::bbCancelClick);

    udKeyfileSize->setValue(readSetting(forms_.settings, Settings::KeyFileGenSize));
    edOutFileChange();
}

TfmKeyfileGen::~TfmKeyfileGen()
{
    writeSetting(forms_.settings, Settings::KeyFileGenSize, udKeyfileSize->number());
}

void TfmKeyfileGen::sbSetOutFileNameClick()
{
    // The save dialog asks before it replaces a file.
    QFileDialog dialog(this);
    dialog.setNameFilter(QStringLiteral("All Files (*)"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList chosen = forms_.runFileDialog(dialog);
    if (chosen.isEmpty())
        return;
    edOutFile->setText(chosen.first());
    replaceConfirmed_ = true;
}

void TfmKeyfileGen::edOutFileChange()
{
    bbGenerate->setEnabled(!edOutFile->text().isEmpty());
}

void TfmKeyfileGen::bbGenerateClick()
{
    const QString path = edOutFile->text();
    if (path.isEmpty())
        return;
    // The save dialog asked about a file that was there; one this dialog
    // wrote since, or one that appeared, is asked about here.
    if (!replaceConfirmed_ && QFileInfo::exists(path)
        && !MessageBoxes::question(this, QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                                             .arg(QDir::toNativeSeparators(path))))
        return;
    replaceConfirmed_ = false;
    const int size = udKeyfileSize->number();
    switch (writeKeyfile(path, size, forms_.services.core)) {
    case KeyfileWrite::Done:
        forms_.showStatusLine(QStringLiteral("Keyfile written: %1 (%2 bytes).")
                                          .arg(QDir::toNativeSeparators(path), QLocale().toString(size)));
        break;
    case KeyfileWrite::RandomFailed:
        MessageBoxes::error(this, QStringLiteral("Can not generate random bytes!"));
        break;
    case KeyfileWrite::FileFailed:
        MessageBoxes::error(this, QStringLiteral("Can not create keyfile!"));
        break;
    }
}

void TfmKeyfileGen::bbCancelClick()
{
    reject();
}

void TfmKeyfileGen::done(int result)
{
    edOutFile->clear();
    replaceConfirmed_ = false;
    QDialog::done(result);
}
