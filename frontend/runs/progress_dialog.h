#pragma once

#include "frontend/runs/run_meter.h"
#include "frontend/runs/run_outcome.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class FormSet;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class WorkerChannel;

// What tells the two progress windows apart.
struct ProgressTexts {
    QString caption;
    QString memoHeading;   // "Adding:" or "Removing:"
    QString titlePrefix;   // "Adding " or "Removing "
    QString skipPrefix;    // "Can not add " or "Can not remove "
    QMessageBox::StandardButton skipDefault;
    QString breakQuestion;
    QString startFailure;  // the thread cannot be created
};

// A progress window over one worker thread (the archive and the wipe
// progress windows). While it is shown modally the worker runs; the
// library's callbacks reach the window through a WorkerChannel, so each
// change is applied before the callback returns, and Break holds the worker
// in its next callback while the question is open.
class ProgressDialog : public QDialog {
    Q_OBJECT

public:
    ProgressDialog(FormSet& forms, ProgressTexts texts, const QString& objectName);
    ~ProgressDialog() override;

    // Entries the library named in the last run, less those skipped.
    std::size_t entriesNamed() const { return entriesNamed_; }

    QPlainTextEdit* mmCurFile;
    QProgressBar* pbProgress;
    // The whole run: share done, speed, time left.
    QLabel* lbProgress;
    QPushButton* bbMinimize;
    QPushButton* bbBreak;

public slots:
    void bbMinimizeClick();
    void bbBreakClick();
    // Esc does nothing while a run lasts.
    void reject() override;

protected:
    // What the GUI does when the worker is done: an error text to show
    // (none when empty), and whether the input list is to be cleared.
    struct RunEnding {
        QString message;
        bool clearList = false;
    };
    using WorkerBody = std::function<RunEnding(WorkerChannel&, const CoreCallbacks&)>;
    using RunMeasure = std::function<RunSize()>;

    // Creates the worker, shows the window modally until the worker has
    // ended, and joins it. False, after the start-failure message, when the
    // thread cannot be created; the window is then never shown. The worker
    // first measures the run, when `measure` is given, for the progress line.
    bool runWorker(WorkerBody body, std::size_t stackSize, RunMeasure measure = {});

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Entries of this run, not skipped, whose recorded name holds bytes that
    // are not UTF-8 (stored escaped). Written by the worker only.
    std::size_t escapedNames() const { return escapedNames_; }

    FormSet& forms_;

private:
    void resetMemo();
    void showName(const QString& name);
    void setSteps(std::uint64_t steps);
    void step();
    void endRun(const RunEnding& ending);

    static void nameCallback(const char16_t* path);
    static void rangeCallback(const std::uint64_t* steps);
    static void stepCallback();
    static std::int32_t skipCallback(const char16_t* path);

    // The callbacks carry no user data; at most one worker runs at a time.
    static inline std::atomic<ProgressDialog*> active_{nullptr};

    ProgressTexts texts_;
    std::unique_ptr<WorkerChannel> channel_;
    bool running_ = false;
    // Counts beyond the bar's int range are shown scaled.
    std::uint64_t stepsPerUnit_ = 1;
    std::uint64_t stepsDone_ = 0;
    std::uint64_t runStepsDone_ = 0;
    RunSize runSize_;
    QElapsedTimer elapsed_;
    std::size_t escapedNames_ = 0;
    std::size_t entriesNamed_ = 0;
};
