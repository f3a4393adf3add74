#include "core/wipe_overwrite.h"

#include "core/process_pool.h"
#include "platform/descriptor_io.h"
#include "platform/secure_memory.h"

#include <cstring>

namespace {

std::uint64_t BufferCount(std::uint64_t size)
{
    return size / WipeBufferSize + (size % WipeBufferSize != 0 ? 1 : 0);
}

// One pass of the pattern buffer over `buffers` buffers from offset 0, then
// flushed, so that it reaches the disk before the next pass replaces it in
// the cache. On failure the file is closed.
bool WritePass(WipeContext& context, std::uint64_t buffers)
{
    const int fd = context.file.Get();
    bool ok = RewindDescriptor(fd);
    for (std::uint64_t written = 0; ok && written < buffers; ++written) {
        ok = WriteAll(fd, context.pattern.data(), context.pattern.size());
        if (ok)
            context.ReportStep();
    }
    ok = ok && FlushToDisk(fd);
    if (!ok)
        context.file.Reset();
    return ok;
}

// The random values of one repetition and the pattern bytes made of them
// are wiped however the repetition ends.
class RepetitionValues {
public:
    explicit RepetitionValues(WipeContext& context) : context_(context) {}
    RepetitionValues(const RepetitionValues&) = delete;
    RepetitionValues& operator=(const RepetitionValues&) = delete;
    ~RepetitionValues()
    {
        SecureWipe(random, sizeof(random));
        SecureWipe(context_.pattern.data(), context_.pattern.size());
    }

    std::uint8_t random[WipeRandomValueCount] = {};

private:
    WipeContext& context_;
};

CoreResult OverwriteRepetition(WipeContext& context, std::uint64_t buffers)
{
    RepetitionValues values(context);
    if (MethodDrawsRandomValues(context.method)) {
        if (const CoreResult result = DrawRandomBytes(values.random, sizeof(values.random)); result != IQ_OK) {
            context.file.Reset();
            return result;
        }
    }
    for (const WipePass& pass : WipePassSequence(context.method)) {
        const std::uint8_t value = pass.random ? values.random[pass.value] : pass.value;
        std::memset(context.pattern.data(), value, context.pattern.size());
        if (!WritePass(context, buffers))
            return IQ_INPUT_FILE_ERROR;
    }
    return IQ_OK;
}

} // namespace

CoreResult OverwriteOpenFile(WipeContext& context, std::uint64_t size)
{
    const std::uint64_t buffers = BufferCount(size);
    const std::uint64_t passes = WipePassSequence(context.method).size();
    context.ReportRange(context.repetitions * buffers * passes);
    for (unsigned repetition = 0; repetition < context.repetitions; ++repetition)
        if (const CoreResult result = OverwriteRepetition(context, buffers); result != IQ_OK)
            return result;
    return IQ_OK;
}
