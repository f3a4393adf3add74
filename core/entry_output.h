#pragma once
// Where a walk puts what it meets, in archive order: straight into the
// archive on the caller's thread (DirectOutput), or into the queue the
// caller's thread writes from while the walk reads ahead (planned_walk.h).
// The walk itself never calls back nor writes.

#include "core/record_writer.h"
#include "platform/unique_fd.h"

#include <cstdint>
#include <string_view>

class EntryOutput {
public:
    // The entry the walk is at, as NameCallback shows it.
    virtual void Name(const char16_t* name) = 0;
    // A failure the user may skip (errno still that of the failed call):
    // IQ_OK to go on without the entry, `refusal` to end the run.
    virtual CoreResult SkipOrFail(const char16_t* name, CoreResult refusal) = 0;
    // The blocks of the file about to be added.
    virtual void Range(std::uint64_t blocks) = 0;
    virtual CoreResult DirEnter(std::uint64_t creationTime, std::u16string_view name) = 0;
    virtual CoreResult DirLeave() = 0;
    // The file's record, then its `fields.blockCount` blocks read from
    // `input` and compressed at `level`.
    virtual CoreResult File(const FileRecordFields& fields, std::u16string_view name, UniqueFd input,
                            int level) = 0;

protected:
    ~EntryOutput() = default;
};
