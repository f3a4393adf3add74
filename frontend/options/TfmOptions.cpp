#include "frontend/options/TfmOptions.h"

#include "frontend/options/cipher_info.h"
#include "frontend/options/settings_table.h"
#include "frontend/widgets/level_slider.h"
#include "frontend/widgets/radio_group.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The four lines of `lbWarning`. A label breaks lines at LF here, where the
// text's own system broke them at CR.
const QString kLevelZeroWarning = QStringLiteral(
    "WARNING!!!\n"
    "It is not recommended to create self-decrypting archives with\n"
    "\"zero\" compression level! This can seriously decreace cryptographical\n"
    "stability of output archives!");

template <typename Widget>
Widget* named(Widget* widget, const char* objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

} // namespace

TfmOptions::TfmOptions(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    setObjectName(QStringLiteral("fmOptions"));
    setWindowTitle(QStringLiteral("Options"));

    pcOptions = named(new QTabWidget(this), "pcOptions");
    pcOptions->addTab(buildCryptographyPage(), QStringLiteral("Cryptography"));
    pcOptions->addTab(buildCompressionPage(), QStringLiteral("Compression"));
    pcOptions->addTab(buildWipePage(), QStringLiteral("Wipe"));
    pcOptions->addTab(buildOthersPage(), QStringLiteral("Others"));

    bbApply = named(new QPushButton(QStringLiteral("A&pply"), this), "bbApply");
    bbApply->setDefault(true);
    bbCancel = named(new QPushButton(QStringLiteral("C&ancel"), this), "bbCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbApply);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcOptions);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(bbApply, &QPushButton::clicked, this, &TfmOptions::bbApplyClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmOptions::bbCancelClick);

    // FormCreate: warning text, load options, cipher info, warning visibility.
    lbWarning->setText(kLevelZeroWarning);
    loadOptions();
    cbCipherChange();
    tbCompLevelChange();
    connect(cbCipher, &QComboBox::currentIndexChanged, this, &TfmOptions::cbCipherChange);
    connect(tbCompLevel, &QSlider::valueChanged, this, &TfmOptions::tbCompLevelChange);
}

QWidget* TfmOptions::buildCryptographyPage()
{
    auto* page = new QWidget;
    cbCipher = named(new QComboBox(page), "cbCipher");
    for (int id = 0; id < kCipherCount; ++id)
        cbCipher->addItem(cipherInfo(id)->item);

    auto* info = named(new QGroupBox(QStringLiteral("Algorithm info"), page), "gbAlgorithmInfo");
    auto* rows = new QFormLayout(info);
    const auto addRow = [&](const char* caption, const char* objectName) {
        auto* value = named(new QLabel(info), objectName);
        rows->addRow(QString::fromLatin1(caption), value);
        return value;
    };
    lbAuthor = addRow("Author:", "lbAuthor");
    lbBlckSize = addRow("Block size:", "lbBlckSize");
    lbRoundsCnt = addRow("Rounds count:", "lbRoundsCnt");
    lbMode = addRow("Mode:", "lbMode");
    lbMaxKeySize = addRow("Max key size:", "lbMaxKeySize");
    lbUsedKeySize = addRow("Used key size:", "lbUsedKeySize");

    lbCipherNote = named(new QLabel(QString::fromLatin1(kAuthenticatedCipherNote), page), "lbCipherNote");
    lbCipherNote->setWordWrap(true);
    // The page keeps its size when the note comes and goes.
    QSizePolicy keepSpace = lbCipherNote->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    lbCipherNote->setSizePolicy(keepSpace);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Encryption algorithm:"), page));
    layout->addWidget(cbCipher);
    layout->addWidget(info);
    layout->addWidget(lbCipherNote);
    layout->addStretch(1);
    return page;
}

QWidget* TfmOptions::buildCompressionPage()
{
    auto* page = new QWidget;
    tbCompLevel = named(new QSlider(Qt::Horizontal, page), "tbCompLevel");
    tbCompLevel->setRange(0, 9);
    tbCompLevel->setPageStep(1);
    tbCompLevel->setTickPosition(QSlider::TicksBelow);
    tbCompLevel->setTickInterval(1);

    auto* ends = new QHBoxLayout;
    ends->addWidget(new QLabel(QStringLiteral("no compression"), page));
    ends->addStretch(1);
    ends->addWidget(new QLabel(QStringLiteral("max compression"), page));

    lbWarning = named(new QLabel(page), "lbWarning");
    lbWarning->setAlignment(Qt::AlignCenter);
    lbWarning->setStyleSheet(QStringLiteral("color: red;"));
    // The page keeps its size when the warning comes and goes.
    QSizePolicy keepSpace = lbWarning->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    lbWarning->setSizePolicy(keepSpace);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Default compression level:"), page));
    layout->addLayout(withLevelShown(tbCompLevel, "lbCompLevel", page));
    layout->addLayout(ends);
    layout->addWidget(lbWarning);
    layout->addStretch(1);
    return page;
}

QWidget* TfmOptions::buildWipePage()
{
    auto* page = new QWidget;
    rgWipeAlg = named(new RadioGroup(QStringLiteral("Wipe algorithm"),
                                     {QStringLiteral("Fast"), QStringLiteral("DoD-5220.22-M"),
                                      QStringLiteral("Peter Gutmann's")},
                                     page),
                      "rgWipeAlg");

    udPassCnt = named(new QSpinBox(page), "udPassCnt");
    udPassCnt->setRange(1, 32);
    // The field shows the up-down's position; only the arrows change it.
    edPassCnt = named(udPassCnt->findChild<QLineEdit*>(), "edPassCnt");
    edPassCnt->setReadOnly(true);
    edPassCnt->setMaxLength(2);
    auto* passes = new QHBoxLayout;
    passes->addWidget(new QLabel(QStringLiteral("Number of passes:"), page));
    passes->addWidget(udPassCnt);
    passes->addStretch(1);

    rgInFilesAction = named(new RadioGroup(QStringLiteral("Action for input files"),
                                           {QStringLiteral("Do not delete"), QStringLiteral("Delete"),
                                            QStringLiteral("Wipe")},
                                           page),
                            "rgInFilesAction");

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(rgWipeAlg);
    layout->addLayout(passes);
    layout->addWidget(rgInFilesAction);
    layout->addStretch(1);
    return page;
}

namespace {

// A list box exactly as high as its items.
QListWidget* shortList(QWidget* page, const char* objectName, const QStringList& items)
{
    auto* list = named(new QListWidget(page), objectName);
    list->addItems(items);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFixedHeight(list->sizeHintForRow(0) * list->count() + 2 * list->frameWidth() + 4);
    return list;
}

} // namespace

QWidget* TfmOptions::buildOthersPage()
{
    auto* page = new QWidget;
    lbModLang = shortList(page, "lbModLang", {QStringLiteral("English"), QStringLiteral("Russian")});
    lbModTarget = shortList(page, "lbModTarget", {QStringLiteral("Linux"), QStringLiteral("Windows")});

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Select self-decrypting module language:"), page));
    layout->addWidget(lbModLang);
    layout->addWidget(new QLabel(QStringLiteral("Recipient's system:"), page));
    layout->addWidget(lbModTarget);
    layout->addStretch(1);
    return page;
}

int TfmOptions::cipherId() const { return cbCipher->currentIndex(); }
int TfmOptions::compLevel() const { return tbCompLevel->value(); }
int TfmOptions::wipeAlg() const { return rgWipeAlg->itemIndex(); }
int TfmOptions::passCnt() const { return udPassCnt->value(); }
int TfmOptions::inFileAct() const { return rgInFilesAction->itemIndex(); }
int TfmOptions::modLang() const { return lbModLang->currentRow(); }
int TfmOptions::modTarget() const { return lbModTarget->currentRow(); }

void TfmOptions::loadOptions()
{
    cbCipher->setCurrentIndex(readSetting(settings_, Settings::Cipher));
    tbCompLevel->setValue(readSetting(settings_, Settings::CompLevel));
    rgWipeAlg->setItemIndex(readSetting(settings_, Settings::WipeAlg));
    udPassCnt->setValue(readSetting(settings_, Settings::PassCnt));
    rgInFilesAction->setItemIndex(readSetting(settings_, Settings::InFileAct));
    lbModLang->setCurrentRow(readSetting(settings_, Settings::ModLang));
    lbModTarget->setCurrentRow(readSetting(settings_, Settings::ModTarget));
}

void TfmOptions::saveOptions()
{
    writeSetting(settings_, Settings::Cipher, cipherId());
    writeSetting(settings_, Settings::CompLevel, compLevel());
    writeSetting(settings_, Settings::WipeAlg, wipeAlg());
    writeSetting(settings_, Settings::PassCnt, passCnt());
    writeSetting(settings_, Settings::InFileAct, inFileAct());
    writeSetting(settings_, Settings::ModLang, modLang());
    writeSetting(settings_, Settings::ModTarget, modTarget());
}

void TfmOptions::bbApplyClick()
{
    saveOptions();
    accept();
}

void TfmOptions::bbCancelClick()
{
    reject();
}

void TfmOptions::cbCipherChange()
{
    const std::optional<CipherInfo> info = cipherInfo(cbCipher->currentIndex());
    if (!info)
        return;
    lbAuthor->setText(info->author);
    lbBlckSize->setText(info->blockSize);
    lbRoundsCnt->setText(info->roundsCount);
    lbMode->setText(info->mode);
    lbMaxKeySize->setText(info->maxKeySize);
    lbUsedKeySize->setText(info->usedKeySize);
    lbCipherNote->setVisible(cbCipher->currentIndex() == kAuthenticatedCipherId);
}

void TfmOptions::tbCompLevelChange()
{
    lbWarning->setVisible(tbCompLevel->value() == 0);
}
