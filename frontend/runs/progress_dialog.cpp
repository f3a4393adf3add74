#include "frontend/runs/progress_dialog.h"

#include "frontend/app/form_set.h"
#include "frontend/app/vendor.h"
#include "frontend/runs/run_buffers.h"
#include "frontend/runs/worker_channel.h"
#include "frontend/runs/worker_thread.h"
#include "frontend/widgets/message_boxes.h"
#include "frontend/widgets/read_only_look.h"
#include "platform/utf.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

ProgressDialog::ProgressDialog(FormSet& forms, ProgressTexts texts, const QString& objectName)
    : QDialog(forms.mainWindow(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      forms_(forms), texts_(std::move(texts))
{
    setObjectName(objectName);
    setWindowTitle(texts_.caption);

    mmCurFile = new QPlainTextEdit(this);
    mmCurFile->setObjectName(QStringLiteral("mmCurFile"));
    mmCurFile->setReadOnly(true);
    showAsReadOnly(mmCurFile);
    mmCurFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmCurFile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmCurFile->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmCurFile->setFixedSize(380, 160);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setTextVisible(true);
    lbProgress = new QLabel(this);
    lbProgress->setObjectName(QStringLiteral("lbProgress"));

    bbMinimize = new QPushButton(QStringLiteral("Mini&mize"), this);
    bbMinimize->setObjectName(QStringLiteral("bbMinimize"));
    bbMinimize->setAutoDefault(false);
    bbBreak = new QPushButton(QStringLiteral("B&reak"), this);
    bbBreak->setObjectName(QStringLiteral("bbBreak"));
    bbBreak->setAutoDefault(false);
    connect(bbMinimize, &QPushButton::clicked, this, &ProgressDialog::bbMinimizeClick);
    connect(bbBreak, &QPushButton::clicked, this, &ProgressDialog::bbBreakClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbMinimize);
    buttons->addWidget(bbBreak);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mmCurFile);
    layout->addWidget(pbProgress);
    layout->addWidget(lbProgress);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    resetMemo();
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::resetMemo()
{
    // The heading and an empty line; names follow as lines of their own.
    mmCurFile->setPlainText(texts_.memoHeading + QLatin1Char('\n'));
}

bool ProgressDialog::runWorker(WorkerBody body, std::size_t stackSize, RunMeasure measure)
{
    runSize_ = {};
    runStepsDone_ = 0;
    lbProgress->clear();
    channel_ = std::make_unique<WorkerChannel>(this);
    WorkerChannel* channel = channel_.get();
    escapedNames_ = 0;
    entriesNamed_ = 0;
    const CoreCallbacks callbacks{&ProgressDialog::nameCallback, &ProgressDialog::rangeCallback,
                                  &ProgressDialog::stepCallback, &ProgressDialog::skipCallback};
    active_ = this;
    WorkerThread worker;
    const bool started = worker.start(
        [this, channel, callbacks, body = std::move(body), measure = std::move(measure)] {
            channel->waitForStart();
            if (measure) {
                const RunSize size = measure();
                channel->post([this, size] { runSize_ = size; });
            }
            RunEnding ending;
            try {
                ending = body(*channel, callbacks);
            } catch (...) {
                // The window must close even so.
                ending = RunEnding{};
            }
            channel->post([this, ending] { endRun(ending); });
        },
        stackSize);
    if (!started) {
        active_ = nullptr;
        channel_.reset();
        MessageBoxes::error(forms_.mainWindow(), texts_.startFailure);
        return false;
    }
    running_ = true;
    exec();
    worker.join();
    active_ = nullptr;
    channel_.reset();
    return true;
}

void ProgressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!channel_)
        return;
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    elapsed_.start();
    channel_->start();
}

void ProgressDialog::closeEvent(QCloseEvent* event)
{
    // Only the worker's end or Break closes the window.
    if (running_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void ProgressDialog::reject()
{
    if (!running_)
        QDialog::reject();
}

void ProgressDialog::bbMinimizeClick()
{
    forms_.mainWindow()->showMinimized();
    showMinimized();
}

void ProgressDialog::bbBreakClick()
{
    if (!channel_ || !channel_->pause())
        return;
    if (MessageBoxes::question(this, texts_.breakQuestion, QMessageBox::No))
        channel_->abort();
    else
        channel_->resume();
}

void ProgressDialog::showName(const QString& name)
{
    forms_.mainWindow()->setWindowTitle(texts_.titlePrefix + QLatin1Char('"') + name
                                  + QStringLiteral("\"..."));
    mmCurFile->appendPlainText(name);
}

void ProgressDialog::setSteps(std::uint64_t steps)
{
    stepsPerUnit_ = steps <= INT_MAX ? 1 : (steps + INT_MAX - 1) / INT_MAX;
    stepsDone_ = 0;
    // A maximum of 0 would show a busy bar; a file without steps shows an
    // empty one.
    pbProgress->setRange(0, steps == 0 ? 1 : static_cast<int>(steps / stepsPerUnit_));
    pbProgress->setValue(0);
}

void ProgressDialog::step()
{
    ++stepsDone_;
    ++runStepsDone_;
    lbProgress->setText(progressLine(runSize_, runStepsDone_, static_cast<double>(elapsed_.elapsed()) / 1000.0));
    pbProgress->setValue(static_cast<int>(
        std::min<std::uint64_t>(stepsDone_ / stepsPerUnit_, static_cast<std::uint64_t>(pbProgress->maximum()))));
}

void ProgressDialog::endRun(const RunEnding& ending)
{
    if (!ending.message.isEmpty())
        MessageBoxes::error(this, ending.message);
    QWidget& main = *forms_.mainWindow();
    if (ending.clearList)
        forms_.clearInputList();
    main.setWindowTitle(Vendor::kProgramCaption);
    if (main.isMinimized())
        main.showNormal();
    resetMemo();
    lbProgress->clear();
    running_ = false;
    done(QDialog::Accepted);
    main.update();
}

void ProgressDialog::nameCallback(const char16_t* path)
{
    ProgressDialog* self = active_.load();
    ++self->entriesNamed_;
    if (path != nullptr && RecordedNameHoldsEscapedByte(path))
        ++self->escapedNames_;
    const QString name = lastPathComponent(QString::fromUtf16(path ? path : u""));
    self->channel_->call([self, name] { self->showName(name); });
}

void ProgressDialog::rangeCallback(const std::uint64_t* steps)
{
    ProgressDialog* self = active_.load();
    const std::uint64_t count = steps ? *steps : 0;
    self->channel_->call([self, count] { self->setSteps(count); });
}

void ProgressDialog::stepCallback()
{
    ProgressDialog* self = active_.load();
    self->channel_->call([self] { self->step(); });
}

std::int32_t ProgressDialog::skipCallback(const char16_t* path)
{
    ProgressDialog* self = active_.load();
    const QString fullPath = QString::fromUtf16(path ? path : u"");
    bool skip = false;
    self->channel_->call([self, &fullPath, &skip] {
        skip = MessageBoxes::question(self,
                                      self->texts_.skipPrefix + QLatin1Char('"') + fullPath
                                          + QStringLiteral("\"! Do you want to skip it?"),
                                      self->texts_.skipDefault);
    });
    if (skip && path != nullptr && self->escapedNames_ > 0 && RecordedNameHoldsEscapedByte(path))
        --self->escapedNames_;
    if (skip && self->entriesNamed_ > 0)
        --self->entriesNamed_;
    // All bits set: skip and go on.
    return skip ? -1 : 0;
}
