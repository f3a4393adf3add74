#include "ui_driver.h"

#include <QAbstractButton>
#include <QTest>
#include <QPushButton>

namespace {

QString iconName(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Information: return "information";
    case QMessageBox::Warning: return "warning";
    case QMessageBox::Critical: return "error";
    case QMessageBox::Question: return "question";
    default: return "none";
    }
}

QString buttonName(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return "OK";
    case QMessageBox::Yes: return "Yes";
    case QMessageBox::No: return "No";
    case QMessageBox::Cancel: return "Cancel";
    case QMessageBox::Save: return "Save";
    case QMessageBox::Discard: return "Discard";
    default: return "none";
    }
}

} // namespace

QString describe(const SeenBox& box)
{
    QStringList buttons;
    for (QMessageBox::StandardButton button : {QMessageBox::Ok, QMessageBox::Save, QMessageBox::Discard,
                                               QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        if (box.buttons.testFlag(button))
            buttons << buttonName(button);
    return QStringList{box.caption, iconName(box.icon), buttons.join('/'),
                       buttonName(box.defaultButton), box.text}
        .join(" | ");
}

QStringList describe(const QList<SeenBox>& boxes)
{
    QStringList all;
    for (const SeenBox& box : boxes)
        all << describe(box);
    return all;
}

MessageBoxAnswers::MessageBoxAnswers(QList<QMessageBox::StandardButton> answers)
    : answers_(std::move(answers))
{
    ++instances_;
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswers::poll);
    timer_.start();
}

MessageBoxAnswers::~MessageBoxAnswers()
{
    --instances_;
}

UnexpectedBoxGuard::UnexpectedBoxGuard()
{
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || MessageBoxAnswers::active())
            return;
        const QByteArray what = "unexpected message box: " + describe(SeenBox{
            box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
            QMessageBox::NoButton}).toUtf8();
        box->reject();
        QTest::qFail(what.constData(), __FILE__, __LINE__);
    });
    timer_.start();
}

void MessageBoxAnswers::answerWith(Decision decide)
{
    decisions_.append(std::move(decide));
}

void MessageBoxAnswers::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (deciding_ || !box || !box->isVisible())
        return;
    SeenBox seen;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    if (QPushButton* button = box->defaultButton())
        seen.defaultButton = box->standardButton(button);
    seen_.append(seen);

    QMessageBox::StandardButton answer = seen.defaultButton;
    if (!answers_.isEmpty()) {
        answer = answers_.takeFirst();
    } else if (!decisions_.isEmpty()) {
        const Decision decide = decisions_.takeFirst();
        deciding_ = true;
        answer = decide(*box);
        deciding_ = false;
    }
    if (QAbstractButton* button = box->button(answer))
        button->click();
    else
        box->reject();
}

void FileDialogStub::install(TfmMain& window)
{
    window.setFileDialogRunner([this](QFileDialog& dialog) {
        calls_.append(Call{dialog.windowTitle(), dialog.nameFilters(), dialog.fileMode(),
                           dialog.acceptMode(), dialog.options(), dialog.filter(), dialog.defaultSuffix()});
        return choices_.isEmpty() ? QStringList{} : choices_.takeFirst();
    });
}
