#include "frontend/generators/TfmPassphrGen.h"

#include "frontend/app/form_set.h"
#include "frontend/options/settings_table.h"
#include "frontend/widgets/line_memo.h"
#include "frontend/widgets/message_boxes.h"
#include "frontend/widgets/number_field.h"
#include "platform/locked_buffer.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cstdint>
#include <utility>

namespace {

const QString kRandomFailure = QStringLiteral("Can not generate random bytes!");

QPushButton* button(QWidget* parent, const char* caption, const char* name)
{
    auto* push = new QPushButton(QString::fromLatin1(caption), parent);
    push->setObjectName(QString::fromLatin1(name));
    push->setAutoDefault(false);
    return push;
}

} // namespace

TfmPassphrGen::TfmPassphrGen(FormSet& forms)
    : QDialog(forms.mainWindow()), forms_(forms)
{
    setObjectName(QStringLiteral("fmPassphrGen"));
    setWindowTitle(QStringLiteral("Passphrases Generator"));

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    udPassphrLen = new NumberField("udPassphrLen", "edPassphrLen", Settings::PassGenLength.minimum,
                                   Settings::PassGenLength.maximum, options);
    edPassphrLen = udPassphrLen->findChild<QLineEdit*>(QStringLiteral("edPassphrLen"));
    udPassphrNum = new NumberField("udPassphrNum", "edPassphrNum", Settings::PassGenNum.minimum,
                                   Settings::PassGenNum.maximum, options);
    edPassphrNum = udPassphrNum->findChild<QLineEdit*>(QStringLiteral("edPassphrNum"));
    auto* fields = new QFormLayout(options);
    fields->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    fields->addRow(QStringLiteral("Passphrase length:"), udPassphrLen);
    fields->addRow(QStringLiteral("Number of passphrases:"), udPassphrNum);

    mmOutput = new LineMemo(this);
    mmOutput->setObjectName(QStringLiteral("mmOutput"));
    mmOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmOutput->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmOutput->setFixedSize(460, 200);
    QFont fixed = mmOutput->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::Monospace);
    mmOutput->setFont(fixed);

    bbClear = button(this, "Cl&ear", "bbClear");
    bbGenerate = button(this, "Ge&nerate", "bbGenerate");
    bbCancel = button(this, "C&ancel", "bbCancel");
    bbUse = button(this, "&Use", "bbUse");
    bbUse->setToolTip(QStringLiteral("Use the selected passphrase"));
    bbUse->hide();
    // Enter generates, wherever the focus is but in the memo.
    bbGenerate->setDefault(true);
    connect(bbUse, &QPushButton::clicked, this, &TfmPassphrGen::bbUseClick);
    connect(mmOutput, &QPlainTextEdit::cursorPositionChanged, this, &TfmPassphrGen::updateUse);
    connect(mmOutput, &QPlainTextEdit::textChanged, this, &TfmPassphrGen::updateUse);
    connect(bbClear, &QPushButton::clicked, this, &TfmPassphrGen::bbClearClick);
    connect(bbGenerate, &QPushButton::clicked, this, &TfmPassphrGen::bbGenerateClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmPassphrGen::bbCancelClick);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bbClear);
    buttons->addStretch(1);
    buttons->addWidget(bbGenerate);
    buttons->addWidget(bbUse);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addWidget(new QLabel(QStringLiteral("Output:"), this));
    layout->addWidget(mmOutput);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    udPassphrLen->setValue(readSetting(forms_.settings, Settings::PassGenLength));
    udPassphrNum->setValue(readSetting(forms_.settings, Settings::PassGenNum));
}

TfmPassphrGen::~TfmPassphrGen()
{
    writeSetting(forms_.settings, Settings::PassGenLength, udPassphrLen->number());
    writeSetting(forms_.settings, Settings::PassGenNum, udPassphrNum->number());
}

void TfmPassphrGen::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from the task bar is not shown anew.
    if (!event->spontaneous())
        shuffleTable();
}

void TfmPassphrGen::shuffleTable()
{
    if (!table_.Shuffle(forms_.services.core.RndGetBytes))
        MessageBoxes::error(this, kRandomFailure);
}

void TfmPassphrGen::bbGenerateClick()
{
    const int count = udPassphrNum->number();
    const int length = udPassphrLen->number();
    for (int n = 0; n < count; ++n) {
        // Locked on their way into the memo, wiped after.
        LockedBuffer<char> chars(MaxPassphraseLength);
        if (!table_.Generate(forms_.services.core.RndGetBytes, static_cast<std::size_t>(length), chars.data())) {
            MessageBoxes::error(this, kRandomFailure);
            return;
        }
        mmOutput->appendPlainText(QString::fromLatin1(chars.data(), length));
    }
}

void TfmPassphrGen::bbClearClick()
{
    mmOutput->clear();
}

void TfmPassphrGen::bbCancelClick()
{
    reject();
}

std::optional<QString> TfmPassphrGen::choosePassphrase()
{
    chosen_.clear();
    bbUse->show();
    updateUse();
    const int result = exec();
    bbUse->hide();
    if (result != QDialog::Accepted || chosen_.isEmpty())
        return std::nullopt;
    return std::exchange(chosen_, QString());
}

void TfmPassphrGen::updateUse()
{
    bbUse->setEnabled(!mmOutput->currentLine().isEmpty());
}

void TfmPassphrGen::bbUseClick()
{
    chosen_ = mmOutput->currentLine();
    if (!chosen_.isEmpty())
        accept();
}

void TfmPassphrGen::done(int result)
{
    // Passphrases do not outlive the dialog.
    mmOutput->clear();
    QDialog::done(result);
}
