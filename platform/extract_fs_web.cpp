#include "platform/extract_fs_web.h"
#include "platform/windows_names.h"

#include <limits>
#include <optional>
#include <map>
#include <string>

namespace {

struct TreeNode {
    // Children by recorded name; a file has no children of its own.
    std::map<std::u16string, std::unique_ptr<TreeNode>, std::less<>> children;
    std::string path; // UTF-8 below the root, empty for the root
    bool directory = true;
    long zipIndex = -1;
};

class WebDirectory final : public FsDirectory {
public:
    explicit WebDirectory(TreeNode& node) : node(node) {}
    TreeNode& node;
};

class WebFile final : public FsFile {
public:
    explicit WebFile(TreeNode& node) : node(node) {}
    TreeNode& node;
};

} // namespace

std::string WebEntryName(std::u16string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::uint32_t code = name[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (name[i + 1] - 0xDC00U);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = '_';
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

namespace {

class ZipFileSystem final : public ZipExtractFileSystem {
public:
    explicit ZipFileSystem(ZipSink sink) : zip_(std::move(sink)) {}

    void AnnounceEntry(const ZipTimes& times, std::uint64_t size) override
    {
        announced_ = times;
        announcedSize_ = size;
    }

    bool Finish() override { return zip_.Finish(); }

    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view) override
    {
        return std::make_unique<WebDirectory>(root_);
    }

    bool QueryFreeSpace(std::u16string_view, std::uint64_t* bytes) override
    {
        // The browser keeps the download; it reports no quota beforehand.
        *bytes = std::numeric_limits<std::uint64_t>::max();
        return true;
    }

    bool Exists(FsDirectory& parent, std::u16string_view name) override
    {
        return NodeOf(parent).children.contains(name);
    }

    bool MakeDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        TreeNode& node = NodeOf(parent);
        if (node.children.contains(name))
            return false;
        auto child = std::make_unique<TreeNode>();
        child->path = PathBelow(node, name);
        child->zipIndex = zip_.AddDirectory(child->path, {announced_.creationTime, announced_.creationTime});
        if (child->zipIndex < 0)
            return false;
        node.children.emplace(std::u16string(name), std::move(child));
        return true;
    }

    std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        TreeNode& node = NodeOf(parent);
        const auto found = node.children.find(name);
        if (found == node.children.end() || !found->second->directory)
            return nullptr;
        return std::make_unique<WebDirectory>(*found->second);
    }

    bool SetDirectoryCreationTime(FsDirectory&, std::uint64_t) override { return true; }

    bool RemoveEntry(FsDirectory& parent, std::u16string_view name) override
    {
        TreeNode& node = NodeOf(parent);
        const auto found = node.children.find(name);
        if (found == node.children.end() || found->second->directory)
            return false;
        zip_.Remove(found->second->zipIndex);
        node.children.erase(found);
        return true;
    }

    std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name,
                                          std::uint32_t attributes) override
    {
        TreeNode& node = NodeOf(parent);
        if (node.children.contains(name))
            return nullptr;
        auto child = std::make_unique<TreeNode>();
        child->path = PathBelow(node, name);
        child->directory = false;
        child->zipIndex = zip_.BeginFile(child->path, announced_, (attributes & 0x1) != 0, announcedSize_);
        if (child->zipIndex < 0)
            return nullptr;
        TreeNode& created = *child;
        node.children.emplace(std::u16string(name), std::move(child));
        return std::make_unique<WebFile>(created);
    }

    bool Write(FsFile&, const std::uint8_t* data, std::size_t length) override
    {
        return zip_.Write(data, length);
    }

    bool SetFileTimes(FsFile&, std::uint64_t creationTime, std::uint64_t lastWriteTime) override
    {
        times_ = {creationTime, lastWriteTime};
        return true;
    }

    bool Close(std::unique_ptr<FsFile> file) override
    {
        if (!file)
            return false;
        return zip_.EndFile(times_);
    }

    // An entry is in the zip only once its file is closed; nothing is renamed.
    bool PublishesOnClose() const override { return true; }
    bool RenameEntry(FsDirectory&, std::u16string_view, std::u16string_view) override { return false; }

private:
    static TreeNode& NodeOf(FsDirectory& directory) { return static_cast<WebDirectory&>(directory).node; }

    static std::string PathBelow(const TreeNode& parent, std::u16string_view name)
    {
        return parent.path.empty() ? WebEntryName(name) : parent.path + "/" + WebEntryName(name);
    }

    ZipStream zip_;
    TreeNode root_;
    ZipTimes announced_;
    std::uint64_t announcedSize_ = 0;
    ZipTimes times_;
};

} // namespace

std::unique_ptr<ZipExtractFileSystem> MakeZipExtractFileSystem(ZipSink sink)
{
    return std::make_unique<ZipFileSystem>(std::move(sink));
}

// The zip is unpacked on a system nobody knows in advance: a name must be
// one plain component on every one of them, so the strictest rule holds.
bool IsPlainEntryName(std::u16string_view name)
{
    return IsPlainWindowsName(name);
}

// Names the zip cannot hold are refused above, never mapped.
std::optional<std::u16string> WritableEntryName(std::u16string_view recorded)
{
    if (!IsPlainEntryName(recorded))
        return std::nullopt;
    return std::u16string(recorded);
}
