#include "creation/module_stage.h"

#include "platform/descriptor_io.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>

ModuleStage StageModuleCopy(const std::string& module, const std::string& output)
{
    ModuleStage stage;
    const UniqueFd source(::open(module.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat sourceStatus {};
    if (!source || ::fstat(source.Get(), &sourceStatus) != 0 || !S_ISREG(sourceStatus.st_mode)) {
        stage.result = ModuleStageResult::CannotReadModule;
        return stage;
    }
    struct stat outputStatus {};
    if (::stat(output.c_str(), &outputStatus) == 0 && outputStatus.st_dev == sourceStatus.st_dev &&
        outputStatus.st_ino == sourceStatus.st_ino) {
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
    struct stat copied {};
    if (::fstat(archive->Fd(), &copied) != 0)
        return stage;
    stage.result = ModuleStageResult::Ok;
    stage.moduleLength = static_cast<std::uint64_t>(copied.st_size);
    stage.archive = std::move(archive);
    return stage;
}
