#pragma once

#include "frontend/main/TfmMain.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

// What a message box looked like when it was answered.
struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// "caption | icon | buttons | default | text", for one readable comparison.
QString describe(const SeenBox& box);
QStringList describe(const QList<SeenBox>& boxes);

// Answers every modal message box that opens while it lives, in order, with
// the given buttons, and records each box. A box beyond the given answers is
// recorded and closed with its default button, so a test never hangs on it.
class MessageBoxAnswers : public QObject {
    Q_OBJECT

public:
    // Looks at the open box (and may wait, events running) before it
    // names the button that answers it.
    using Decision = std::function<QMessageBox::StandardButton(QMessageBox&)>;

    explicit MessageBoxAnswers(QList<QMessageBox::StandardButton> answers = {});
    ~MessageBoxAnswers() override;

    // The next box not yet answered by a button of the list is answered by
    // `decide`.
    void answerWith(Decision decide);

    // Whether some instance is answering boxes now.
    static bool active() { return instances_ > 0; }

    const QList<SeenBox>& seen() const { return seen_; }

private:
    void poll();

    QList<QMessageBox::StandardButton> answers_;
    QList<Decision> decisions_;
    QList<SeenBox> seen_;
    QTimer timer_;
    bool deciding_ = false;
    static inline int instances_ = 0;
};

// Fails the running test on a message box that no MessageBoxAnswers waits
// for, and closes it, so that a test never hangs on a box nobody answers.
class UnexpectedBoxGuard : public QObject {
    Q_OBJECT

public:
    UnexpectedBoxGuard();

private:
    QTimer timer_;
};

// Runs `act` on the next modal dialog of type Dialog; `ran()` tells whether it
// came. A dialog left open by `act` is rejected, so a test never hangs on it.
template <typename Dialog>
class NextModal {
public:
    explicit NextModal(std::function<void(Dialog*)> act) : act_(std::move(act))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer_.stop();
            ran_ = true;
            act_(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        timer_.start();
    }

    bool ran() const { return ran_; }

private:
    std::function<void(Dialog*)> act_;
    QTimer timer_;
    bool ran_ = false;
};

// Stands in for the file dialogs of the main window: records how each dialog
// was prepared and answers it with the next of the given choices (an empty
// choice is a cancelled dialog).
class FileDialogStub {
public:
    struct Call {
        QString title;
        QStringList nameFilters;
        QFileDialog::FileMode fileMode;
        QFileDialog::AcceptMode acceptMode;
        QFileDialog::Options options;
        QDir::Filters filter;
        QString defaultSuffix;
    };

    void install(TfmMain& window);
    // The answer of the next dialog; an empty list cancels it.
    FileDialogStub& choose(QStringList paths)
    {
        choices_.append(std::move(paths));
        return *this;
    }
    const QList<Call>& calls() const { return calls_; }

private:
    QList<QStringList> choices_;
    QList<Call> calls_;
};
