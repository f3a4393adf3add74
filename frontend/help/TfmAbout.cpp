#include "frontend/help/TfmAbout.h"

#include "frontend/app/vendor.h"
#include "frontend/help/help_commands.h"
#include "frontend/widgets/link_label.h"
#include "frontend/widgets/theme_icons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("About..."));

    imLogo = new QLabel(this);
    imLogo->setObjectName(QStringLiteral("imLogo"));
    imLogo->setPixmap(themeIcon("changes-prevent", QStyle::SP_DriveHDIcon).pixmap(32, 32));
    imLogo->setFixedSize(32, 32);

    lbFullVersion = new QLabel(Vendor::kFullVersion, this);
    lbFullVersion->setObjectName(QStringLiteral("lbFullVersion"));
    QFont bold = lbFullVersion->font();
    bold.setBold(true);
    lbFullVersion->setFont(bold);
    auto* notice = new QLabel(QStringLiteral("Freeware. Copyright (c) Ironquiver. All rights reserved."), this);

    lbMyURL = new LinkLabel(Vendor::kHomePageHost, "lbMyURL", this);
    lbMyEmail = new LinkLabel(Vendor::kContact, "lbMyEmail", this);
    connect(lbMyURL, &LinkLabel::clicked, this, [this] { openHomePage(this); });
    connect(lbMyEmail, &LinkLabel::clicked, this, [this] { writeMailToAuthor(this); });

    bbOK = new QPushButton(QStringLiteral("&OK"), this);
    bbOK->setObjectName(QStringLiteral("bbOK"));
    bbOK->setDefault(true);
    connect(bbOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* information = new QHBoxLayout;
    information->setSpacing(0);
    information->addWidget(new QLabel(QStringLiteral("Information: "), this));
    information->addWidget(lbMyURL);
    information->addWidget(new QLabel(QStringLiteral(", "), this));
    information->addWidget(lbMyEmail);
    information->addStretch(1);

    auto* text = new QVBoxLayout;
    text->addWidget(lbFullVersion);
    text->addWidget(notice);
    text->addSpacing(8);
    text->addLayout(information);

    auto* top = new QHBoxLayout;
    top->addWidget(imLogo, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbOK);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The credits the box has always carried, kept out of sight.
    for (const char* credit : {"Contains next algorithms implementations:", "inflate 1.2.1 (zlib)",
                               "deflate 1.2.1 (zlib)"}) {
        auto* hidden = new QLabel(QString::fromLatin1(credit), this);
        hidden->hide();
    }
}
