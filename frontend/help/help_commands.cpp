#include "frontend/help/help_commands.h"

#include "frontend/app/vendor.h"
#include "frontend/help/update_check.h"
#include "frontend/widgets/message_boxes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

void openHomePage(QWidget* owner)
{
    if (!QDesktopServices::openUrl(QUrl(Vendor::kHomePage)))
        MessageBoxes::error(owner, QStringLiteral("Can not open %1: no web browser could be started.\n"
                                                  "Please visit it with a browser of your choice.")
                                       .arg(Vendor::kHomePage));
}

void writeMailToAuthor(QWidget* owner)
{
    QUrl mail;
    mail.setScheme(QStringLiteral("mailto"));
    mail.setPath(Vendor::kContact);
    mail.setQuery(QStringLiteral("subject=")
                  + QString::fromLatin1(QUrl::toPercentEncoding(Vendor::kFullVersion)));
    if (!QDesktopServices::openUrl(mail))
        MessageBoxes::error(owner, QStringLiteral("Can not start a mail program.\nPlease write to %1.")
                                       .arg(Vendor::kContact));
}

void checkForUpdates(QWidget* owner)
{
    const QString url = updateUrl();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UpdateReply reply = fetchUpdateReply(url);
    QApplication::restoreOverrideCursor();
    switch (reply.status) {
    case UpdateReply::Status::ConnectFailed:
        MessageBoxes::error(owner, connectFailureText(url));
        break;
    case UpdateReply::Status::ReadFailed:
        MessageBoxes::error(owner, QStringLiteral("Can not check for updates!"));
        break;
    case UpdateReply::Status::Received:
        MessageBoxes::information(owner, QStringLiteral("Success"), updateVerdict(reply.bytes));
        break;
    }
}
