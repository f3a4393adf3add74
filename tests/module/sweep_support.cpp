#include "sweep_support.h"

#include "test_support.h"

#include "core/archive_format.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class SilentObserver final : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry&) override {}
    bool AskOverwrite(std::u16string_view) override { return false; }
};

} // namespace

Tree ReadTree(const std::string& root)
{
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        if (entry.is_directory())
            tree[relative + "/"] = {};
        else
            tree[relative] = ReadFile(entry.path().string());
    }
    return tree;
}

void MakeSweepTree(const std::string& root, std::uint32_t seed)
{
    MakeDir(root);
    MakeDir(root + "/alpha");
    WriteFile(root + "/alpha/one.txt", SampleBytes(300, seed));
    MakeDir(root + "/alpha/beta");
    std::vector<std::uint8_t> twoBlocks(BlockSize + 700, 0);
    for (std::size_t i = 0; i < twoBlocks.size(); i += 4096)
        twoBlocks[i] = static_cast<std::uint8_t>(i >> 12);
    WriteFile(root + "/alpha/beta/two.bin", twoBlocks);
    WriteFile(root + "/alpha/beta/empty.txt", std::vector<std::uint8_t>{});
    WriteFile(root + "/three.txt", "three\n");
}

ExtractResult ExtractInto(const std::vector<std::uint8_t>& payload, std::uint16_t helpLength,
                          const std::string& root, const SweepKey& key)
{
    const std::string destination = root + "/dest";
    std::error_code error;
    fs::remove_all(destination, error);
    MakeDir(destination);

    const MemoryPayloadArchive archive(payload);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const std::u16string destinationUnits = U16(destination);
    SilentObserver observer;
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = helpLength;
    input.passphrase = key.passphrase;
    input.keyfileLocation = key.keyfile;
    input.destination = destinationUnits;
    input.fileSystem = fileSystem.get();
    input.observer = &observer;
    const ExtractResult result = RunExtraction(state, input);

    for (const auto& entry : fs::directory_iterator(root))
        EXPECT_EQ(entry.path().filename(), "dest") << "written outside the destination";
    return result;
}

void ExpectOnlyWholeFiles(const std::string& destination, const Tree& original, std::size_t at)
{
    for (const auto& [path, content] : ReadTree(destination)) {
        const auto found = original.find(path);
        ASSERT_TRUE(found != original.end()) << path << " left at " << at;
        ASSERT_EQ(content, found->second) << path << " incomplete at " << at;
    }
}
