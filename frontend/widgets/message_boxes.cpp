#include "frontend/widgets/message_boxes.h"

namespace MessageBoxes {

namespace {

QMessageBox::StandardButton show(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                                 const QString& text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, owner);
    // Texts carry paths and what a server sent: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void warning(QWidget* owner, const QString& text)
{
    // A warning icon under the caption "Error" tells two stories.
    show(owner, QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok,
         QMessageBox::Ok);
}

void error(QWidget* owner, const QString& text)
{
    show(owner, QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok,
         QMessageBox::Ok);
}

void information(QWidget* owner, const QString& caption, const QString& text)
{
    show(owner, QMessageBox::Information, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool question(QWidget* owner, const QString& text, QMessageBox::StandardButton defaultButton)
{
    return show(owner, QMessageBox::Question, QStringLiteral("Confirmation"), text,
                QMessageBox::Yes | QMessageBox::No, defaultButton)
        == QMessageBox::Yes;
}

QMessageBox::StandardButton askToSave(QWidget* owner, const QString& text)
{
    return show(owner, QMessageBox::Warning, QStringLiteral("Confirmation"), text,
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
}

void failure(QWidget* owner, const QString& text)
{
    show(owner, QMessageBox::Critical, QStringLiteral("Ironquiver Self-Decryptor"), text,
         QMessageBox::Ok, QMessageBox::Ok);
}

} // namespace MessageBoxes
