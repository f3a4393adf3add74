#include "frontend/module_copy.h"

#include "platform/descriptor_io.h"
#include "platform/unique_fd.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t currentUmask()
{
    // The kernel reports it without changing it; umask() itself can only be
    // read by setting it, which races with other threads creating files.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

ModuleCopy copyModule(const QString& modulePath, const QString& outputPath)
{
    if (modulePath.isEmpty() || outputPath.isEmpty())
        return ModuleCopy::NothingWritten;
    const QByteArray source = QFile::encodeName(modulePath);
    const QByteArray target = QFile::encodeName(outputPath);

    UniqueFd from(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    struct stat sourceInfo {};
    if (!from || ::fstat(from.Get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return ModuleCopy::NothingWritten;
    // Truncating the module itself would destroy it before it is read.
    struct stat targetInfo {};
    if (::stat(target.constData(), &targetInfo) == 0 && targetInfo.st_dev == sourceInfo.st_dev
        && targetInfo.st_ino == sourceInfo.st_ino)
        return ModuleCopy::NothingWritten;

    // Private until the archive is complete; makeExecutable() opens it up.
    UniqueFd to(::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!to)
        return ModuleCopy::NothingWritten;
    const bool copied = CopyAll(from.Get(), to.Get()) == CopyResult::Ok;
    const bool closed = to.Reset();
    return copied && closed ? ModuleCopy::Done : ModuleCopy::PartlyWritten;
}

bool makeExecutable(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0755 & ~currentUmask()) == 0;
}
