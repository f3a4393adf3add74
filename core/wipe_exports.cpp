// The wipe and delete exports. Each body runs in the guard, so no exception
// reaches the caller; any result but Ok spends a wipe context.

#include "core/entry_removal.h"
#include "core/export_guard.h"
#include "core/file_wiper.h"
#include "core/wipe_context.h"

#include <memory>

namespace {

template <typename Body>
CoreResult RunWithContext(WipeContext* context, CoreResult refused, Body&& body)
{
    if (context == nullptr || context->spent)
        return refused;
    const CoreResult result = GuardExport(body);
    if (result != IQ_OK)
        context->Spend();
    return result;
}

} // namespace

extern "C" {

IVQA_API CoreResult IQ_WipeInit(WipeContext** ctx, uint32_t repetitions, uint32_t method, NameCallback name,
                                RangeCallback range, StepCallback step, SkipCallback skip)
{
    if (ctx == nullptr)
        return IQ_INPUT_FILE_ERROR;
    *ctx = nullptr;
    return GuardExport([&] {
        // Either would delete files without overwriting them.
        const auto kept = static_cast<std::uint8_t>(repetitions);
        if (method >= WipeMethodCount || kept == 0)
            return static_cast<CoreResult>(IQ_INPUT_FILE_ERROR);
        *ctx = std::make_unique<WipeContext>(kept, static_cast<WipeMethod>(method), name, range, step, skip)
                   .release();
        return static_cast<CoreResult>(IQ_OK);
    });
}

IVQA_API CoreResult IQ_WipeFile(WipeContext* ctx, const char16_t* path)
{
    return RunWithContext(ctx, IQ_INPUT_FILE_ERROR, [&] {
        FileWiper wiper(*ctx);
        const PinnedPath pinned = PinCallerFile(path);
        return wiper.Remove(pinned.parent.Get(), pinned.entry, nullptr);
    });
}

IVQA_API CoreResult IQ_WipeDir(WipeContext* ctx, const char16_t* path)
{
    return RunWithContext(ctx, IQ_INPUT_DIR_ERROR, [&] {
        FileWiper wiper(*ctx);
        const PinnedPath pinned = PinCallerDir(path);
        return RemoveTree(ctx->callbacks, wiper, pinned.parent.Get(), pinned.entry);
    });
}

IVQA_API void IQ_WipeFinal(WipeContext* ctx)
{
    // Taking ownership back closes a file an abort left open.
    GuardVoidExport([&] { std::unique_ptr<WipeContext> owner(ctx); });
}

IVQA_API CoreResult IQ_RmFile(const char16_t* path, NameCallback name, SkipCallback skip)
{
    return GuardExport([&] {
        const RemovalCallbacks callbacks{name, skip};
        FileDeleter deleter(callbacks);
        const PinnedPath pinned = PinCallerFile(path);
        return deleter.Remove(pinned.parent.Get(), pinned.entry, nullptr);
    });
}

IVQA_API CoreResult IQ_RmDir(const char16_t* path, NameCallback name, SkipCallback skip)
{
    return GuardExport([&] {
        const RemovalCallbacks callbacks{name, skip};
        FileDeleter deleter(callbacks);
        const PinnedPath pinned = PinCallerDir(path);
        return RemoveTree(callbacks, deleter, pinned.parent.Get(), pinned.entry);
    });
}

} // extern "C"
