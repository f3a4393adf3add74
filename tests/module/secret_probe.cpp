// The child of the secret-residue test: writes an archive of one file and
// extracts it again, reading the passphrase each time from standard input
// into a buffer of its own that it wipes after the call, and stops itself
// after IQ_SDAFinal and after the extraction so that its memory can be read.
//     secret_probe CIPHER INPUT ARCHIVE DESTINATION   (two passphrase lines on stdin)

#include "ivqa.h"
#include "module/extraction_engine.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class NoQuestions final : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry&) override {}
    bool AskOverwrite(std::u16string_view) override { return false; }
};

// One ASCII line, byte by byte, so that nothing of the next line is read
// ahead into a buffer that is not ours.
std::size_t ReadPassphrase(char16_t* units, std::size_t capacity)
{
    std::size_t length = 0;
    char byte = 0;
    while (length + 1 < capacity && ::read(0, &byte, 1) == 1 && byte != '\n')
        units[length++] = static_cast<unsigned char>(byte);
    units[length] = 0;
    byte = 0;
    return length;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "secret_probe: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return Fail("usage: secret_probe CIPHER INPUT ARCHIVE DESTINATION");
    const auto cipher = static_cast<std::uint32_t>(std::atoi(argv[1]));
    const std::u16string input = Utf8ToUtf16(argv[2]).value();
    const std::u16string archive = Utf8ToUtf16(argv[3]).value();
    const std::u16string destination = Utf8ToUtf16(argv[4]).value();
    char16_t passphrase[64];

    ReadPassphrase(passphrase, std::size(passphrase));
    SdaContext* context = nullptr;
    CoreResult result = IQ_SDAInit(&context, archive.c_str(), passphrase, nullptr, cipher, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
    SecureWipe(passphrase, sizeof passphrase);
    if (result == IQ_OK)
        result = IQ_SDAAddFile(context, input.c_str(), 6);
    IQ_SDAFinal(context);
    if (result != IQ_OK)
        return Fail("writing the archive failed");
    std::raise(SIGSTOP);

    const std::size_t length = ReadPassphrase(passphrase, std::size(passphrase));
    const FilePayloadArchive payload(argv[3], 0);
    const auto fileSystem = MakeNativeExtractFileSystem();
    NoQuestions observer;
    ExtractInput run;
    run.archive = &payload;
    run.helpLength = 0;
    run.passphrase = std::u16string_view(passphrase, length);
    run.destination = destination;
    run.fileSystem = fileSystem.get();
    run.observer = &observer;
    ExtractResult extracted = ExtractResult::Done;
    {
        ExtractState state;
        extracted = RunExtraction(state, run);
    }
    SecureWipe(passphrase, sizeof passphrase);
    if (extracted != ExtractResult::Done)
        return Fail("extraction failed");
    std::raise(SIGSTOP);
    return 0;
}
