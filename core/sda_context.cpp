#include "core/sda_context.h"

#include "core/block_pipeline.h"
#include "core/entry_output.h"

SdaContext::~SdaContext()
{
    Spend();
    while (innermost)
        PopDirectory();
}

void SdaContext::Spend() noexcept
{
    spent = true;
    pending.Drop();
    archive.Reset();
    CipherRelease(&cipher);
    sealed.Release();
}

void SdaContext::PushDirectory(std::unique_ptr<DirNode> node)
{
    node->parent = std::move(innermost);
    innermost = std::move(node);
    ++depth;
}

void SdaContext::PopDirectory() noexcept
{
    // Unlinked one at a time, so a deep chain never recurses in destructors.
    std::unique_ptr<DirNode> node = std::move(innermost);
    innermost = std::move(node->parent);
    --depth;
}

#ifndef _WIN32
void SdaContext::HoldFewLevels()
{
    int held = 0;
    const DirNode* child = nullptr;
    for (DirNode* node = innermost.get(); node != nullptr && node->listing.Held();
         child = node, node = node->parent.get()) {
        if (held < HeldWalkLevels || (child != nullptr && child->throughLink))
            ++held;
        else
            node->listing.GiveUp();
    }
}

bool SdaContext::RetakeParent()
{
    DirNode* const parent = innermost->parent.get();
    if (parent == nullptr || parent->listing.Held())
        return true;
    return parent->listing.Retake(innermost->Fd(), parent->status);
}

#endif

bool SdaContext::PrepareRings(unsigned helpers)
{
    if (ring.Count() < RingBlocks(helpers))
        ring = BlockBuffers(RingBlocks(helpers));
    if (smallRing.Count() < BlocksInFlight)
        smallRing = SmallBlockBuffers(BlocksInFlight);
    return ring && smallRing;
}

bool SdaContext::OnChain(const FileStatus& status) const
{
    for (const DirNode* node = innermost.get(); node != nullptr; node = node->parent.get())
        if (node->status.device == status.device && node->status.inode == status.inode)
            return true;
    return false;
}

void SdaContext::ReportName(const char16_t* name) const
{
    if (onName != nullptr)
        onName(name);
}

void SdaContext::ReportRange(std::uint64_t blocks) const
{
    if (onRange != nullptr)
        onRange(&blocks);
}

void SdaContext::ReportStep() const
{
    if (onStep != nullptr)
        onStep();
}

CoreResult SdaContext::SkipInnermostDirectory(const char16_t* name)
{
    if (const CoreResult result = output->SkipOrFail(name, IQ_INPUT_DIR_ERROR); result != IQ_OK)
        return result;
    PopDirectory();
    return IQ_OK;
}

bool SdaContext::AskSkip(const char16_t* name) const
{
    return onSkip != nullptr && onSkip(name) != 0;
}
