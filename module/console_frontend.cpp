#include "module/console_frontend.h"

#include "module/console_interrupt.h"
#include "module/display_text.h"
#include "module/extraction_engine.h"
#include "module/help_text.h"
#include "module/terminal_input.h"
#include "platform/file_time.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <ctime>
#include <vector>

namespace {

void WriteLine(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

std::string IsoTime(std::uint64_t filetime)
{
    const timespec time = FiletimeToTimespec(filetime);
    std::tm parts{};
    char text[64] = "?";
#ifdef _WIN32
    const bool converted = gmtime_s(&parts, &time.tv_sec) == 0;
#else
    const bool converted = gmtime_r(&time.tv_sec, &parts) != nullptr;
#endif
    if (converted)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// The passphrase: locked while it exists, wiped on the way out. 255 units
// never need more than 1,020 bytes of UTF-8, so a longer line is cut.
class PassphraseInput {
public:
    PassphraseInput()
    {
        SecureLock(bytes_, sizeof bytes_);
        SecureLock(units_, sizeof units_);
    }
    ~PassphraseInput()
    {
        SecureWipeAndUnlock(bytes_, sizeof bytes_);
        SecureWipeAndUnlock(units_, sizeof units_);
    }
    PassphraseInput(const PassphraseInput&) = delete;
    PassphraseInput& operator=(const PassphraseInput&) = delete;

    // False when the line is not UTF-8.
    bool Read(const ConsoleStreams& streams)
    {
        const bool terminal = IsTerminal(streams.in);
        if (terminal) {
            std::fputs("Passphrase: ", streams.err);
            std::fflush(streams.err);
        }
        const long read = ReadInputLine(streams.in, bytes_, sizeof bytes_, true);
        std::size_t length = read < 0 ? 0 : static_cast<std::size_t>(read);
        if (length == sizeof bytes_) {
            // Cut on a character boundary; the rest cannot reach the key.
            while (length > 0 && (static_cast<unsigned char>(bytes_[length - 1]) & 0xC0) == 0x80)
                --length;
            if (length > 0 && static_cast<unsigned char>(bytes_[length - 1]) >= 0xC0)
                --length;
        }
        return Utf8ToUtf16(std::string_view(bytes_, length), units_, std::size(units_), &unitsLength_);
    }

    std::u16string_view Get() const
    {
        return {units_, std::min(unitsLength_, MaxPassphraseUnits)};
    }

private:
    char bytes_[2048] = {};
    char16_t units_[2048] = {};
    std::size_t unitsLength_ = 0;
};

class ConsoleObserver final : public ExtractObserver {
public:
    ConsoleObserver(const ConsoleOptions& options, const ModuleBuild& build, const ConsoleStreams& streams)
        : options_(options), texts_(*build.texts), streams_(streams)
    {
    }

    void ReportEntry(const ExtractEntry& entry) override
    {
        const std::string name = ForTerminal(ToDisplayUtf8(entry.name));
        if (!options_.list) {
            WriteLine(streams_.out, " " + name);
            return;
        }
        std::string path;
        for (const std::string& directory : path_)
            path += directory + "/";
        path += name;
        if (entry.kind == EntryKind::Directory) {
            path_.push_back(name);
            WriteLine(streams_.out, path + "/");
            return;
        }
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%12llu %s ", static_cast<unsigned long long>(entry.size),
                      IsoTime(entry.lastWriteTime).c_str());
        WriteLine(streams_.out, prefix + path);
    }

    void LeaveDirectory() override
    {
        if (!path_.empty())
            path_.pop_back();
    }

    void Checkpoint() override
    {
        if (ConsoleInterrupt::Requested())
            throw ConsoleInterrupted{};
    }

    void FileRemoved(std::u16string_view name) override
    {
        WriteLine(streams_.out, std::string(texts_.removedLinePrefix) + ForTerminal(ToDisplayUtf8(name)));
    }

    bool AskOverwrite(std::u16string_view name) override
    {
        switch (options_.overwrite) {
        case OverwritePolicy::Always:
            return true;
        case OverwritePolicy::Never:
            return false;
        case OverwritePolicy::Ask:
            break;
        }
        if (!IsTerminal(streams_.in))
            return false;
        std::string question = "\"";
        question += ForTerminal(ToDisplayUtf8(name));
        question += "\"";
        question += texts_.overwriteQuestionTail;
        question += " [y/N] ";
        std::fputs(question.c_str(), streams_.err);
        std::fflush(streams_.err);
        char answer[16];
        const long length = ReadInputLine(streams_.in, answer, sizeof answer, false);
        return length > 0 && (answer[0] == 'y' || answer[0] == 'Y');
    }

private:
    const ConsoleOptions& options_;
    const ModuleTexts& texts_;
    const ConsoleStreams& streams_;
    std::vector<std::string> path_;
};

int Fail(const ModuleTexts& texts, const ConsoleStreams& streams, ExtractResult result)
{
    const auto code = static_cast<std::uint32_t>(result);
    WriteLine(streams.out, texts.errorLine);
    WriteLine(streams.err, texts.resultTexts[code]);
    return static_cast<int>(code);
}

} // namespace

int RunConsole(const ConsoleOptions& options, const ModuleBuild& build, const PayloadArchive& archive,
               ExtractFileSystem& fileSystem, const ConsoleStreams& streams)
{
    const ModuleTexts& texts = *build.texts;
    const auto help = LoadHelpText(archive, build);
    if (!help) {
        WriteLine(streams.err, texts.resultTexts[static_cast<int>(ExtractResult::ArchiveError)]);
        return static_cast<int>(ExtractResult::ArchiveError);
    }
    std::string shown = ForTerminal(ToDisplayUtf8(help->text));
    if (!shown.empty() && shown.back() == '\n')
        shown.pop_back();
    WriteLine(streams.out, shown);

    PassphraseInput passphrase;
    if (!passphrase.Read(streams)) {
        WriteLine(streams.err, "The passphrase is not valid UTF-8.");
        return ExitUsage;
    }
    if (passphrase.Get().empty() && options.keyfile.empty()) {
        WriteLine(streams.err, texts.noKeyInput);
        return ExitNoKeyInput;
    }

    if (!options.list)
        WriteLine(streams.out, texts.runStartLine);
    const auto keyfile = Utf8ToUtf16(options.keyfile);
    if (!keyfile)
        return Fail(texts, streams, ExtractResult::KeyfileError);
    // A destination that does not convert cannot be opened: the run reports
    // it in its turn, after the key check.
    const std::u16string destination = Utf8ToUtf16(options.destination).value_or(u"");

    ConsoleObserver observer(options, build, streams);
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = help->helpLength;
    input.passphrase = passphrase.Get();
    input.keyfileLocation = *keyfile;
    input.destination = destination;
    input.mode = options.list ? ExtractMode::List : options.test ? ExtractMode::Test : ExtractMode::Extract;
    input.fileSystem = &fileSystem;
    input.observer = &observer;
    ExtractResult result = ExtractResult::Done;
    try {
        const ConsoleInterrupt interrupt(state.pending, streams.err);
        result = RunExtraction(state, input);
    } catch (const ConsoleInterrupted&) {
        WriteLine(streams.err, "Interrupted.");
        return ExitConsoleInterrupted;
    }
    if (result != ExtractResult::Done)
        return Fail(texts, streams, result);
    if (!options.list)
        WriteLine(streams.out, texts.doneLine);
    return 0;
}
