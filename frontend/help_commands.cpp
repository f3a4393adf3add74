#include "frontend/help_commands.h"

#include "frontend/message_boxes.h"
#include "frontend/update_check.h"
#include "frontend/vendor.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

void openHomePage()
{
    // The desktop's failure to open it is not reported.
    QDesktopServices::openUrl(QUrl(Vendor::kHomePage));
}

void writeMailToAuthor()
{
    QUrl mail;
    mail.setScheme(QStringLiteral("mailto"));
    mail.setPath(Vendor::kContact);
    mail.setQuery(QStringLiteral("subject=")
                  + QString::fromLatin1(QUrl::toPercentEncoding(Vendor::kFullVersion)));
    QDesktopServices::openUrl(mail);
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
