#include "frontend/wipe/wipe_job.h"

#include "frontend/app/core_api.h"
#include "frontend/runs/worker_channel.h"
#include "platform/utf.h"

namespace {

CoreResult removeEntry(const WipeJob& job, const RunEntry& entry, WipeContext* context,
                       const CoreApi& core, const CoreCallbacks& callbacks)
{
    const char16_t* path = entry.path.c_str();
    const bool file = entry.kind == EntryKind::File;
    if (job.mode == WipeMode::Wipe)
        return file ? core.WipeFile(context, path) : core.WipeDir(context, path);
    return file ? core.RmFile(path, callbacks.name, callbacks.skip)
                : core.RmDir(path, callbacks.name, callbacks.skip);
}

// One held file, deleted or wiped through the library's table.
class CoreFileRemover final : public HeldFileRemover {
public:
    CoreFileRemover(const WipeJob& job, WipeContext* context, const CoreApi& core, const CoreCallbacks& callbacks)
        : job_(job), context_(context), core_(core), callbacks_(callbacks)
    {
    }

    CoreResult RemoveFile(const std::string& path) override
    {
        const auto units = Utf8ToUtf16(path);
        if (!units)
            return IQ_OK; // left in place and reported as kept
        return removeEntry(job_, {EntryKind::File, *units, 0}, context_, core_, callbacks_);
    }

private:
    const WipeJob& job_;
    WipeContext* context_;
    const CoreApi& core_;
    const CoreCallbacks& callbacks_;
};

// Break holds and aborts the read-back as it does the library's callbacks.
class ChannelCheckpoints final : public ProofObserver {
public:
    explicit ChannelCheckpoints(WorkerChannel& channel) : channel_(channel) {}
    void Checkpoint() override { channel_.call([] {}); }

private:
    WorkerChannel& channel_;
};

std::vector<InputRoot> inputRoots(const std::vector<RunEntry>& entries)
{
    std::vector<InputRoot> roots;
    for (const RunEntry& entry : entries) {
        auto path = Utf16ToUtf8(entry.path);
        if (!path)
            continue;
        while (path->size() > 1 && path->back() == '/')
            path->pop_back();
        roots.push_back({*path, entry.kind == EntryKind::Folder});
    }
    return roots;
}

// The archive is read back before anything is removed; a failure or an
// abort there leaves every input in place.
std::optional<ExtractResult> proveArchive(const ArchiveToProve& archive, const CoreCallbacks& callbacks,
                                          WorkerChannel& channel, std::vector<HeldEntry>* held)
{
    if (archive.beforeProof)
        archive.beforeProof(archive.path);
    if (callbacks.name) {
        const auto shown = Utf8ToUtf16(archive.path);
        callbacks.name(shown ? shown->c_str() : u"");
    }
    ChannelCheckpoints checkpoints(channel);
    ArchiveProof proof =
        ProveArchive(archive.path, archive.payloadOffset, archive.passphrase, archive.keyfile, &checkpoints);
    if (!ProofSucceeded(proof.result))
        return proof.result;
    *held = std::move(proof.entries);
    return std::nullopt;
}

} // namespace

WipeOutcome runWipeJob(const WipeJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                       WorkerChannel& channel)
{
    WipeOutcome outcome;
    std::vector<HeldEntry> held;
    bool aborted = false;
    if (job.archive) {
        try {
            outcome.proofFailure = proveArchive(*job.archive, callbacks, channel, &held);
        } catch (const RunAborted&) {
            aborted = true;
        }
    }

    WipeContext* context = nullptr;
    CoreResult result = IQ_OK;
    bool touched = false;
    if (!aborted && !outcome.proofFailure) {
        if (job.mode == WipeMode::Wipe)
            result = core.WipeInit(&context, job.passes, job.method, callbacks.name, callbacks.range,
                                   callbacks.step, callbacks.skip);
        if (result == IQ_OK) {
            touched = true;
            if (job.archive) {
                CoreFileRemover remover(job, context, core, callbacks);
                outcome.removal = RemoveHeldEntries(inputRoots(job.entries), held, remover);
                result = outcome.removal.result;
            } else {
                for (const RunEntry& entry : job.entries) {
                    result = removeEntry(job, entry, context, core, callbacks);
                    if (result != IQ_OK)
                        break;
                }
            }
        }
    }

    bool open = !aborted;
    if (open) {
        try {
            channel.close();
        } catch (const RunAborted&) {
            open = false;
        }
    }
    if (context)
        core.WipeFinal(context);
    outcome.entriesTouched = open && touched;
    if (!open) {
        outcome.run = {RunEnd::Aborted, result};
        return outcome;
    }
    if (outcome.proofFailure) {
        outcome.run = {RunEnd::Failed, IQ_OK};
        return outcome;
    }
    outcome.run = {result == IQ_OK ? RunEnd::Completed : RunEnd::Failed, result};
    return outcome;
}
