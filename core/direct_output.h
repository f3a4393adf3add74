#pragma once
// The walk's output written at once on the caller's thread: the callbacks
// are called and the records written where the walk meets them. The blocks
// of a file of several blocks are still made on the helpers when there are
// cores for them.

#include "core/entry_output.h"

class BlockPipeline;
struct TakenBlock;

class DirectOutput final : public EntryOutput {
public:
    explicit DirectOutput(SdaContext& context) : context_(context) {}

    void Name(const char16_t* name) override;
    CoreResult SkipOrFail(const char16_t* name, CoreResult refusal) override;
    void Range(std::uint64_t blocks) override;
    CoreResult DirEnter(std::uint64_t creationTime, std::u16string_view name) override;
    CoreResult DirLeave() override;
    CoreResult File(const FileRecordFields& fields, std::u16string_view name, UniqueFd input, int level) override;

private:
    SdaContext& context_;
};

// Writes `block`, taken from `pipeline`, and hands it back; its failure, with
// the errno it met, when it could not be prepared.
CoreResult WriteTakenBlock(SdaContext& context, BlockPipeline& pipeline, const TakenBlock& block);
