#include "creation/module_stage.h"

#include "platform/descriptor_io.h"
#include "platform/path_calls.h"
#include "platform/unique_fd.h"

ModuleStage StageModuleCopy(const std::string& module, const std::string& output)
{
    ModuleStage stage;
    const UniqueFd source(OpenForReading(module, true));
    FileStatus sourceStatus;
    if (!source || !QueryOpenFileStatus(source.Get(), &sourceStatus) || !IsRegularFile(sourceStatus)) {
        stage.result = ModuleStageResult::CannotReadModule;
        return stage;
    }
    FileStatus outputStatus;
    if (PathStatus(output, true, &outputStatus) && SameObject(outputStatus, sourceStatus)) {
        stage.result = ModuleStageResult::SameFile;
        return stage;
    }

    std::optional<StagedFile> archive = StagedFile::Create(output);
    if (!archive)
        return stage;
    switch (CopyAll(source.Get(), archive->Fd())) {
    case CopyResult::ReadFailed:
        stage.result = ModuleStageResult::CannotReadModule;
        return stage;
    case CopyResult::WriteFailed:
        return stage;
    case CopyResult::Ok:
        break;
    }
    FileStatus copied;
    if (!QueryOpenFileStatus(archive->Fd(), &copied))
        return stage;
    stage.result = ModuleStageResult::Ok;
    stage.moduleLength = copied.size;
    stage.archive = std::move(archive);
    return stage;
}
