#pragma once
// The first step of every archive: the self-decrypting module copied byte
// for byte into the archive's temporary file, which the writer then
// extends. The output name itself is not touched until the commit.

#include "creation/staged_file.h"

#include <cstdint>
#include <optional>
#include <string>

enum class ModuleStageResult {
    Ok,
    CannotReadModule,
    SameFile, // the output name is the module: the commit would replace it
    CannotWriteOutput,
};

struct ModuleStage {
    ModuleStageResult result = ModuleStageResult::CannotWriteOutput;
    std::optional<StagedFile> archive; // set only when Ok
    std::uint64_t moduleLength = 0;    // where the payload begins
};

ModuleStage StageModuleCopy(const std::string& module, const std::string& output);
