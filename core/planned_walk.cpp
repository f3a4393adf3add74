#include "core/planned_walk.h"

#include "core/block_pipeline.h"
#include "core/direct_output.h"
#include "core/entry_output.h"
#include "platform/secure_memory.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// How far the planner may run ahead in entries; the blocks are bounded by
// the pipeline.
constexpr std::size_t MaxPlannedSteps = 1024;
// Steps gathered by the planner before it hands them on.
constexpr std::size_t StepBatch = 32;

// The error of a failed call, kept for the thread that reports it: the
// skip callback and the caller after the export read it.
struct FailureCause {
    int error = 0;
#ifdef _WIN32
    DWORD lastError = 0;
#endif

    static FailureCause Now()
    {
        FailureCause cause;
        cause.error = errno;
#ifdef _WIN32
        cause.lastError = GetLastError();
#endif
        return cause;
    }
    void Restore() const
    {
#ifdef _WIN32
        SetLastError(lastError);
#endif
        errno = error;
    }
};

struct PlannedStep {
    enum class Kind : std::uint8_t { Name, Skip, Range, DirEnter, DirLeave, File, End };
    Kind kind = Kind::End;
    CoreResult result = IQ_OK;  // Skip: the refusal; End: the walk's result
    FailureCause cause;         // Skip, End
    std::uint64_t value = 0;    // Range: blocks; DirEnter: creation time
    FileRecordFields fields;    // File
    std::u16string text;        // Name, Skip: as shown; DirEnter, File: as recorded
};

class PlannedOutput final : public EntryOutput {
public:
    explicit PlannedOutput(BlockPipeline& pipeline) : pipeline_(pipeline) {}

    void Name(const char16_t* name) override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::Name;
        step.text = name;
        (void)Push(std::move(step));
    }

    CoreResult SkipOrFail(const char16_t* name, CoreResult refusal) override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::Skip;
        step.cause = FailureCause::Now();
        step.result = refusal;
        step.text = name;
        return Push(std::move(step)) ? IQ_OK : IQ_ABORTED;
    }

    void Range(std::uint64_t blocks) override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::Range;
        step.value = blocks;
        (void)Push(std::move(step));
    }

    CoreResult DirEnter(std::uint64_t creationTime, std::u16string_view name) override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::DirEnter;
        step.value = creationTime;
        step.text = name;
        return Push(std::move(step)) ? IQ_OK : IQ_ABORTED;
    }

    CoreResult DirLeave() override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::DirLeave;
        return Push(std::move(step)) ? IQ_OK : IQ_ABORTED;
    }

    CoreResult File(const FileRecordFields& fields, std::u16string_view name, UniqueFd input, int level) override
    {
        PlannedStep step;
        step.kind = PlannedStep::Kind::File;
        step.fields = fields;
        step.text = name;
        // Everything that can fail comes before the record is queued: the
        // caller's thread takes exactly the blocks the record announces.
        const SharedInput shared =
            fields.blockCount > 0 ? std::make_shared<const UniqueFd>(std::move(input)) : SharedInput();
        if (!Push(std::move(step)))
            return IQ_ABORTED;
        for (std::uint64_t index = 0; index < fields.blockCount; ++index) {
            if (pipeline_.Submit(shared, fields.size, index, level, false))
                continue;
            // Waiting for the caller's thread to take blocks: it must not
            // be waiting for more steps meanwhile.
            Hurry();
            if (!pipeline_.Submit(shared, fields.size, index, level, true))
                return IQ_ABORTED;
        }
        return IQ_OK;
    }

    // Hands the steps gathered so far to the caller's thread, waiting for
    // room; false once stopped.
    bool Flush()
    {
        if (gathered_.empty())
            return !stopping_;
        {
            std::unique_lock lock(mutex_);
            if (!stopping_ && steps_.size() >= MaxPlannedSteps) {
                plannerWaiting_ = true;
                changed_.notify_all(); // the caller's thread is surely due
                changed_.wait(lock, [this] { return stopping_ || steps_.size() < MaxPlannedSteps; });
                plannerWaiting_ = false;
            }
            if (stopping_)
                return false;
            for (PlannedStep& step : gathered_)
                steps_.push_back(std::move(step));
            gathered_.clear();
            if (!callerWaiting_)
                return true;
        }
        changed_.notify_all();
        return true;
    }

    // The walk's last step; it cannot fail, so the caller's thread always
    // learns how the walk ended (steps not flushed are dropped).
    void End(CoreResult result, const FailureCause& cause) noexcept
    {
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            endResult_ = result;
            endCause_ = cause;
        }
        changed_.notify_all();
    }

    // The next step in walk order, waiting for the planner.
    PlannedStep Pop()
    {
        if (taken_.empty()) {
            std::unique_lock lock(mutex_);
            if (steps_.empty() && !ended_) {
                callerWaiting_ = true;
                changed_.wait(lock, [this] { return !steps_.empty() || ended_; });
                callerWaiting_ = false;
            }
            taken_.swap(steps_);
            if (plannerWaiting_) {
                lock.unlock();
                changed_.notify_all();
            }
        }
        PlannedStep step;
        if (taken_.empty()) {
            const std::lock_guard lock(mutex_);
            step.kind = PlannedStep::Kind::End;
            step.result = endResult_;
            step.cause = endCause_;
            return step;
        }
        step = std::move(taken_.front());
        taken_.pop_front();
        return step;
    }

    // The planner's next Push fails, and one waiting for room wakes.
    void Stop() noexcept
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }

private:
    // Gathers `step` and hands a batch on when it is full: small files
    // would otherwise wake the caller's thread for every step. False once
    // stopped.
    bool Push(PlannedStep&& step)
    {
        if (stopping_)
            return false;
        gathered_.push_back(std::move(step));
        return gathered_.size() < StepBatch || Flush();
    }

    // Before the planner waits for the caller's thread to take blocks, that
    // thread must have the steps that announce them.
    void Hurry() { (void)Flush(); }

    BlockPipeline& pipeline_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PlannedStep> steps_;
    std::vector<PlannedStep> gathered_; // the planner's alone
    std::deque<PlannedStep> taken_;     // the caller's thread's alone
    bool callerWaiting_ = false;
    bool plannerWaiting_ = false;
    std::atomic<bool> stopping_ = false;
    bool ended_ = false;
    CoreResult endResult_ = IQ_OK;
    FailureCause endCause_;
};

// The planner thread, stopped and joined however the caller's thread
// leaves; the walk's output is the context's direct one again afterwards.
class Planner {
public:
    Planner(SdaContext& context, PlannedOutput& output, BlockPipeline& pipeline)
        : context_(context), output_(output), pipeline_(pipeline), direct_(context.output)
    {
    }
    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;
    ~Planner()
    {
        if (!thread_.joinable())
            return;
        output_.Stop();
        pipeline_.Stop();
        thread_.join();
        context_.output = direct_;
    }

    bool Start(const std::function<CoreResult()>& walk)
    {
        context_.output = &output_;
        try {
            thread_ = std::thread(&Planner::Run, this, std::cref(walk));
        } catch (const std::system_error&) {
            context_.output = direct_;
            return false;
        }
        return true;
    }

private:
    void Run(const std::function<CoreResult()>& walk) noexcept
    {
        CoreResult result = IQ_OK;
        try {
            result = walk();
            if (!output_.Flush() && result == IQ_OK)
                result = IQ_ABORTED;
        } catch (const std::bad_alloc&) {
            result = IQ_OUT_OF_MEMORY;
        } catch (...) {
            result = IQ_ABORTED;
        }
        output_.End(result, FailureCause::Now());
        pipeline_.Finish();
        SecureScrubStackAndRegisters();
    }

    SdaContext& context_;
    PlannedOutput& output_;
    BlockPipeline& pipeline_;
    EntryOutput* const direct_;
    std::thread thread_;
};

CoreResult WritePlannedSteps(SdaContext& context, PlannedOutput& output, BlockPipeline& pipeline)
{
    for (;;) {
        PlannedStep step = output.Pop();
        CoreResult result = IQ_OK;
        switch (step.kind) {
        case PlannedStep::Kind::Name:
            context.ReportName(step.text.c_str());
            break;
        case PlannedStep::Kind::Skip:
            step.cause.Restore();
            if (!context.AskSkip(step.text.c_str()))
                return step.result;
            break;
        case PlannedStep::Kind::Range:
            context.ReportRange(step.value);
            break;
        case PlannedStep::Kind::DirEnter:
            result = WriteDirEnterRecord(context, step.value, step.text);
            break;
        case PlannedStep::Kind::DirLeave:
            result = WriteDirLeaveRecord(context);
            break;
        case PlannedStep::Kind::File:
            result = WriteFileRecord(context, step.fields, step.text);
            for (std::uint64_t index = 0; result == IQ_OK && index < step.fields.blockCount; ++index) {
                const std::optional<TakenBlock> block = pipeline.Take();
                if (!block)
                    break; // the planner ended early: its End says why
                result = WriteTakenBlock(context, pipeline, *block);
            }
            break;
        case PlannedStep::Kind::End:
            step.cause.Restore();
            return step.result;
        }
        if (result != IQ_OK)
            return result;
    }
}

} // namespace

CoreResult WritePlannedWalk(SdaContext& context, unsigned helpers, const std::function<CoreResult()>& walk)
{
    if (helpers > 0 && context.PrepareRings(helpers)) {
        CoreResult result = IQ_OK;
        FailureCause cause;
        {
            BlockPipeline pipeline(context.ring, context.smallRing, helpers);
            if (!pipeline.Start())
                return walk();
            PlannedOutput output(pipeline);
            Planner planner(context, output, pipeline);
            if (!planner.Start(walk))
                return walk(); // the pipeline is idle, and the walk has not begun
            result = WritePlannedSteps(context, output, pipeline);
            cause = FailureCause::Now();
        }
        // Joining the threads must not change what the caller reads of the
        // failure.
        cause.Restore();
        return result;
    }
    return walk();
}
