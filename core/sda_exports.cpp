// The archive writer's exports. Each body runs in the guard, so no exception
// reaches the caller; any result but Ok spends the context.

#include "core/archive_entries.h"
#include "core/export_guard.h"
#include "core/record_writer.h"
#include "core/sda_init.h"

#include <fcntl.h>
#include <memory>

namespace {

#ifdef _WIN32
constexpr int CallerPathBase = -1; // Windows paths are whole: no handle
#else
constexpr int CallerPathBase = AT_FDCWD;
#endif

CoreResult AddEntry(SdaContext* context, const char16_t* path, std::int32_t level, bool directory)
{
    if (context == nullptr || context->spent)
        return IQ_ARCHIVE_ERROR;
    const CoreResult result = GuardExport([&] {
        // zlib would take -1 as its default level; the interface allows 0 to 9.
        if (level < MinCompressionLevel || level > MaxCompressionLevel)
            return static_cast<CoreResult>(IQ_COMPRESSION_ERROR);
        const EntryName entry = CallerEntryName(path);
        return AddCallerEntry(*context, CallerPathBase, entry, level, directory);
    });
    if (result != IQ_OK)
        context->Spend();
    return result;
}

} // namespace

extern "C" {

IVQA_API CoreResult IQ_SDAInit(SdaContext** ctx, const char16_t* archive, const char16_t* passphrase,
                               const char16_t* keyfile, uint32_t cipher_id, const char16_t* help,
                               NameCallback name, RangeCallback range, StepCallback step, SkipCallback skip)
{
    if (ctx == nullptr)
        return IQ_ARCHIVE_ERROR;
    *ctx = nullptr;
    const CoreResult result = GuardExport([&] {
        auto context = std::make_unique<SdaContext>(name, range, step, skip);
        *ctx = context.release();
        return InitArchive(**ctx, archive, passphrase, keyfile, cipher_id, help);
    });
    if (result != IQ_OK && *ctx != nullptr)
        (*ctx)->Spend();
    return result;
}

IVQA_API CoreResult IQ_SDAAddFile(SdaContext* ctx, const char16_t* path, int32_t level)
{
    return AddEntry(ctx, path, level, false);
}

IVQA_API CoreResult IQ_SDAAddDir(SdaContext* ctx, const char16_t* path, int32_t level)
{
    return AddEntry(ctx, path, level, true);
}

IVQA_API void IQ_SDAFinal(SdaContext* ctx)
{
    // Taking ownership back releases everything the context records; an
    // archive whose run went well gets its end first.
    GuardVoidExport([&] {
        std::unique_ptr<SdaContext> owner(ctx);
        if (owner && !owner->spent)
            WriteStreamEnd(*owner);
    });
}

} // extern "C"
