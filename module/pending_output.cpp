#include "module/pending_output.h"

namespace {

// Hidden, and a name no writer of ours records, so that it rarely meets an
// entry; one that does is passed over.
std::u16string TemporaryName(std::uint32_t number)
{
    static constexpr char16_t Digits[] = u"0123456789abcdef";
    std::u16string name = u".ivqa-part-";
    for (int shift = 28; shift >= 0; shift -= 4)
        name += Digits[(number >> shift) & 0xFU];
    return name;
}

constexpr int MaxNameTries = 64;

} // namespace

std::unique_ptr<FsFile> PendingOutput::Create(ExtractFileSystem& fileSystem, FsDirectory& parent,
                                              std::u16string_view name, std::uint32_t attributes,
                                              bool replacing)
{
    std::lock_guard lock(mutex_);
    if (abandoned_)
        return nullptr;
    // Set before the file exists: a signal that sees it clear may end the
    // process without looking further.
    mayExist_ = true;
    // Cheaper than a temporary name (one entry made, none renamed), and
    // nothing is left behind whatever ends the process. A file that
    // replaces another keeps the rename, which happens only once the new
    // one is closed.
    if (!replacing) {
        if (auto file = fileSystem.CreateUnnamedFile(parent, attributes)) {
            fileSystem_ = &fileSystem;
            parent_ = &parent;
            temporaryName_.clear();
            name_ = std::u16string(name);
            return file;
        }
    }
    if (fileSystem.PublishesOnClose()) {
        // Where the backend cannot keep the old entry until the new one is
        // whole, it goes first.
        const bool removeFirst = !fileSystem.ReplacesOnClose() && fileSystem.Exists(parent, name);
        auto file = removeFirst && !fileSystem.RemoveEntry(parent, name)
                        ? nullptr
                        : fileSystem.CreateNewFile(parent, name, attributes);
        if (!file) {
            mayExist_ = false;
            return nullptr;
        }
        fileSystem_ = &fileSystem;
        parent_ = &parent;
        temporaryName_ = std::u16string(name);
        name_ = std::u16string(name);
        return file;
    }
    for (int attempt = 0; attempt < MaxNameTries; ++attempt) {
        std::u16string temporary = TemporaryName(nextNumber_++);
        // The creation refuses a taken name itself; only a refusal asks why.
        auto file = fileSystem.CreateNewFile(parent, temporary, attributes);
        if (!file) {
            if (fileSystem.Exists(parent, temporary))
                continue;
            break;
        }
        fileSystem_ = &fileSystem;
        parent_ = &parent;
        temporaryName_ = std::move(temporary);
        name_ = std::u16string(name);
        return file;
    }
    mayExist_ = false;
    return nullptr;
}

bool PendingOutput::Commit(std::unique_ptr<FsFile> file)
{
    std::lock_guard lock(mutex_);
    if (fileSystem_ == nullptr)
        return false;
    ExtractFileSystem& fileSystem = *fileSystem_;
    if (temporaryName_.empty()) {
        // Named while still open; an entry that appeared meanwhile is
        // nobody's choice to replace. What the close then loses must not
        // stand under the name.
        if (!fileSystem.LinkFile(*file, *parent_, name_)) {
            fileSystem.Close(std::move(file));
            return false;
        }
        if (!fileSystem.Close(std::move(file))) {
            fileSystem.RemoveEntry(*parent_, name_);
            return false;
        }
    } else if (!fileSystem.Close(std::move(file)) ||
               (temporaryName_ != name_ && !fileSystem.RenameEntry(*parent_, temporaryName_, name_))) {
        return false;
    }
    fileSystem_ = nullptr;
    parent_ = nullptr;
    mayExist_ = false;
    return true;
}

std::optional<std::u16string> PendingOutput::RemoveLocked()
{
    if (fileSystem_ == nullptr)
        return std::nullopt;
    // A file without a name goes with its handle.
    if (!temporaryName_.empty())
        fileSystem_->RemoveEntry(*parent_, temporaryName_);
    fileSystem_ = nullptr;
    parent_ = nullptr;
    mayExist_ = false;
    return std::move(name_);
}

std::optional<std::u16string> PendingOutput::Discard()
{
    std::lock_guard lock(mutex_);
    return RemoveLocked();
}

std::optional<std::u16string> PendingOutput::Abandon()
{
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    return RemoveLocked();
}
