#include "frontend/options/TfmChangeCompLevel.h"

#include "frontend/widgets/level_slider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

TfmChangeCompLevel::TfmChangeCompLevel(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("fmChangeCompLevel"));
    setWindowTitle(QStringLiteral("Change Compression Level"));

    tbNewCompLevel = new QSlider(Qt::Horizontal, this);
    tbNewCompLevel->setObjectName(QStringLiteral("tbNewCompLevel"));
    tbNewCompLevel->setRange(0, 9);
    tbNewCompLevel->setPageStep(1);
    tbNewCompLevel->setTickPosition(QSlider::TicksBelow);
    tbNewCompLevel->setTickInterval(1);
    tbNewCompLevel->setMinimumWidth(220);

    bbOK = new QPushButton(QStringLiteral("&OK"), this);
    bbOK->setObjectName(QStringLiteral("bbOK"));
    bbOK->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("C&ancel"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    connect(bbOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbOK);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New compression level:"), this));
    layout->addLayout(withLevelShown(tbNewCompLevel, "lbNewCompLevel", this));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<int> TfmChangeCompLevel::chooseLevel(int currentLevel)
{
    tbNewCompLevel->setValue(currentLevel);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return tbNewCompLevel->value();
}
