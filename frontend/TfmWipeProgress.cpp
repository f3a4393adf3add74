#include "frontend/TfmWipeProgress.h"

#include "frontend/TfmMain.h"
#include "frontend/TfmOptions.h"
#include "frontend/form_set.h"
#include "frontend/message_boxes.h"
#include "frontend/result_messages.h"

#include <QFile>

namespace {

ProgressTexts wipeTexts()
{
    return {QStringLiteral("Removing Files..."),
            QStringLiteral("Removing:"),
            QStringLiteral("Removing "),
            QStringLiteral("Can not remove "),
            QMessageBox::No,
            QStringLiteral("Do you realy want to abort wiping?"),
            QStringLiteral("Not enaugh resources to start wiping!")};
}

} // namespace

TfmWipeProgress::TfmWipeProgress(FormSet& forms)
    : ProgressDialog(forms, wipeTexts(), QStringLiteral("fmWipeProgress"))
{
}

std::optional<RunOutcome> TfmWipeProgress::run(WipeMode mode)
{
    WipeJob job;
    job.mode = mode;
    return runJob(job);
}

std::optional<RunOutcome> TfmWipeProgress::run(WipeMode mode, const ArchiveToProve& archive)
{
    WipeJob job;
    job.mode = mode;
    job.archive = &archive;
    return runJob(job);
}

std::optional<RunOutcome> TfmWipeProgress::runJob(WipeJob& job)
{
    job.passes = static_cast<std::uint32_t>(forms_.fmOptions->passCnt());
    job.method = static_cast<std::uint32_t>(forms_.fmOptions->wipeAlg());
    job.entries = takeRunEntries(forms_.fmMain->inputList());
    const CoreApi& core = forms_.services.core;

    WipeOutcome wiped;
    const bool started = runWorker(
        [&](WorkerChannel& channel, const CoreCallbacks& callbacks) {
            wiped = runWipeJob(job, core, callbacks, channel);
            QString message;
            if (wiped.proofFailure)
                message = QStringLiteral("The archive could not be verified, so the input files were left in "
                                         "place: %1")
                              .arg(QString::fromUtf8(ProofResultText(*wiped.proofFailure)));
            else if (wiped.run.end == RunEnd::Failed)
                message = wipeResultMessage(wiped.run.code);
            return RunEnding{message, wiped.entriesTouched, QString()};
        },
        0);
    if (!started)
        return std::nullopt;
    if (job.archive && !wiped.removal.kept.empty())
        reportKept(wiped.removal);
    return wiped.run;
}

void TfmWipeProgress::reportKept(const RemovalReport& removal)
{
    constexpr std::size_t namesShown = 5;
    QString text = QStringLiteral("%1 of the input entries were kept, as the archive does not hold them as they "
                                  "are now:")
                       .arg(removal.kept.size());
    for (std::size_t i = 0; i < removal.kept.size() && i < namesShown; ++i)
        text += QStringLiteral("\n%1 (%2)")
                    .arg(QFile::decodeName(removal.kept[i].path.c_str()),
                         QString::fromUtf8(KeptReasonText(removal.kept[i].reason)));
    if (removal.kept.size() > namesShown)
        text += QStringLiteral("\n...");
    MessageBoxes::information(forms_.fmMain.get(), QStringLiteral("Input files kept"), text);
}
