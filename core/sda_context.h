#pragma once
// The state of one archive being written: everything IQ_SDAInit acquires and
// IQ_SDAFinal releases. Every member owns what it records, so releasing the
// context releases exactly what is held, whichever step failed or threw.

#include "core/archive_buffer.h"
#include "core/archive_format.h"
#include "core/block_compressor.h"
#include "core/packed_block.h"
#include "core/sealed_stream.h"
#include "crypto/cipher.h"
#include "ivqa.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"
#include <cstdint>
#include <memory>

#ifdef _WIN32
#include "platform/win32_handle.h"

#include <string>

// One directory on the current walk chain, held open without delete sharing
// so that it cannot be renamed or replaced while it is walked; listed by
// its whole path.
struct DirNode {
    Win32Handle handle;
    std::string path;
    FileStatus status;
    std::unique_ptr<DirNode> parent;
};
#else
#include "platform/dir_listing.h"
#include "platform/walk_level.h"

#include <dirent.h>

// One directory on the current walk chain.
struct DirNode {
    // The directory's handle until its listing takes it over.
    UniqueFd handle;
    WalkLevel listing;
    FileStatus status;
    // Reached through a link: its ".." is not its parent on the chain, so
    // the parent keeps its handle.
    bool throughLink = false;
    std::unique_ptr<DirNode> parent;

    // The handle nested entries are opened relative to.
    int Fd() const { return listing.Held() ? listing.Fd() : handle.Get(); }
};
#endif

class EntryOutput;

struct SdaContext {
    SdaContext(NameCallback name, RangeCallback range, StepCallback step, SkipCallback skip)
        : onName(name), onRange(range), onStep(step), onSkip(skip)
    {
    }
    SdaContext(const SdaContext&) = delete;
    SdaContext& operator=(const SdaContext&) = delete;
    ~SdaContext();

    NameCallback onName;
    RangeCallback onRange;
    StepCallback onStep;
    SkipCallback onSkip;

    UniqueFd archive;
    // Encrypted bytes not yet written to `archive`.
    ArchiveBuffer pending;
    // The archive's own file: met in a walk, or given as an input, it is
    // left out, since it would only hold a cut copy of itself (and a later
    // removal of the inputs would destroy the archive).
    std::uint64_t archiveDevice = 0;
    std::uint64_t archiveInode = 0;
    CipherContext cipher;
    // Keyed instead of `cipher` for the authenticated cipher.
    SealedStreamWriter sealed;
    // The block the caller's thread makes and writes in turn.
    BlockBuffers buffers;
    BlockCompressor compressor;
    // The blocks in flight between the helpers and the caller's thread,
    // allocated when helpers are first used.
    BlockBuffers ring;
    SmallBlockBuffers smallRing;
    // Walks read ahead and blocks are made on helpers when there are cores
    // for them; off, everything happens on the caller's thread (the tests
    // compare both).
    bool parallel = true;

    // Where the current walk puts its entries: the caller's thread's
    // DirectOutput, or the planner's queue while a walk reads ahead.
    EntryOutput* output = nullptr;

    std::unique_ptr<DirNode> innermost;
    std::uint32_t depth = 0;

    // Set by the first failure: from then on only IQ_SDAFinal may follow.
    bool spent = false;

    // Closes the files and drops the key after a failure; the walk chain
    // and the buffers stay for IQ_SDAFinal.
    void Spend() noexcept;

    void PushDirectory(std::unique_ptr<DirNode> node);
    void PopDirectory() noexcept;
#ifndef _WIN32
    // Called once the innermost directory is open: the levels beyond the
    // last few give their handles up.
    void HoldFewLevels();
    // Before the innermost directory is left: its parent takes its handle
    // again when it gave it up; false when that is no longer the same
    // directory.
    bool RetakeParent();
#endif
    // Allocates `ring` and `smallRing` for `helpers`; false when the memory
    // cannot be had.
    bool PrepareRings(unsigned helpers);

    // Whether a directory with this identity is already being walked.
    bool OnChain(const FileStatus& status) const;

    void ReportName(const char16_t* name) const;
    void ReportRange(std::uint64_t blocks) const;
    void ReportStep() const;
    // True when the caller says skip; without a callback nobody can say so.
    bool AskSkip(const char16_t* name) const;
    // A directory that cannot be added: IQ_INPUT_DIR_ERROR, unless the user
    // skips it; skipping drops its node, since nothing of it has been written.
    // Asked through the walk's output.
    CoreResult SkipInnermostDirectory(const char16_t* name);
};
