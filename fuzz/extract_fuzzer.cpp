// The extraction engine over an in-memory payload, with the passphrase the
// seed archives were written with, into a fresh destination for every
// input. Anything that appears beside the destination is a finding.

#include "core/archive_format.h"
#include "module/extraction_engine.h"
#include "platform/utf.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Also in make_seed_corpus.py.
constexpr char16_t Passphrase[] = u"fuzz";

class AnswerObserver final : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry&) override {}
    // Both answers in turn, so that replacing and skipping are both reached.
    bool AskOverwrite(std::u16string_view) override { return (++questions_ & 1) != 0; }

private:
    unsigned questions_ = 0;
};

// A scratch folder holding only the destination; the process works inside
// it, so that a stray relative path would land there too.
struct Sandbox {
    Sandbox()
    {
        std::string pattern = (fs::temp_directory_path() / "ivqa-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root = pattern;
        destination = root / "dest";
        if (::chdir(root.c_str()) != 0)
            std::abort();
    }
    ~Sandbox()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
    fs::path destination;
};

Sandbox& TheSandbox()
{
    static Sandbox sandbox;
    return sandbox;
}

void CheckNothingOutside(const Sandbox& sandbox)
{
    for (const auto& entry : fs::directory_iterator(sandbox.root)) {
        if (entry.path() != sandbox.destination) {
            std::fprintf(stderr, "entry outside the destination: %s\n", entry.path().c_str());
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The module reads the help length before anything else and refuses a
    // payload without one.
    if (size < 2)
        return 0;
    Sandbox& sandbox = TheSandbox();
    std::error_code error;
    fs::remove_all(sandbox.destination, error);
    if (::mkdir(sandbox.destination.c_str(), 0700) != 0)
        std::abort();
    const std::u16string destination = Utf8ToUtf16(sandbox.destination.string()).value();

    const MemoryPayloadArchive archive({data, size});
    const auto fileSystem = MakeNativeExtractFileSystem();
    AnswerObserver observer;
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = LoadLe16(data);
    input.passphrase = Passphrase;
    input.destination = destination;
    input.mode = ExtractMode::Extract;
    input.fileSystem = fileSystem.get();
    input.observer = &observer;
    const ExtractResult result = RunExtraction(state, input);
    if (static_cast<std::uint32_t>(result) > static_cast<std::uint32_t>(ExtractResult::DecompressorError))
        std::abort();
    CheckNothingOutside(sandbox);
    return 0;
}
