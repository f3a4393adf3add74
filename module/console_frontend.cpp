#include "module/console_frontend.h"

#include "module/console_interrupt.h"
#include "module/display_text.h"
#include "module/entry_listing.h"
#include "module/extraction_engine.h"
#include "module/help_text.h"
#include "module/overwrite_question.h"
#include "module/terminal_input.h"
#include "platform/locked_buffer.h"
#include "platform/utf.h"

namespace {

void WriteLine(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// The passphrase: locked while it exists, wiped on the way out. 255 units
// never need more than 1,020 bytes of UTF-8, so a line that fills the
// buffer is over the limit whatever it holds.
class PassphraseInput {
public:

    // False when the line is not UTF-8.
    bool Read(const ConsoleStreams& streams)
    {
        const bool terminal = IsTerminal(streams.in);
        if (terminal) {
            std::fputs("Passphrase: ", streams.err);
            std::fflush(streams.err);
        }
        const long read = ReadInputLine(streams.in, bytes_.data(), bytes_.size(), true);
        std::size_t length = read < 0 ? 0 : static_cast<std::size_t>(read);
        if (length == bytes_.size()) {
            // Cut on a character boundary; the rest cannot reach the key.
            while (length > 0 && (static_cast<unsigned char>(bytes_[length - 1]) & 0xC0) == 0x80)
                --length;
            if (length > 0 && static_cast<unsigned char>(bytes_[length - 1]) >= 0xC0)
                --length;
        }
        tooLong_ = length == bytes_.size();
        if (!Utf8ToUtf16(std::string_view(bytes_.data(), length), units_.data(), units_.size(), &unitsLength_))
            return false;
        tooLong_ = tooLong_ || unitsLength_ > MaxPassphraseUnits;
        return true;
    }

    // Only the first 255 units reach the key: a longer passphrase would open
    // the archive with a part of it, so it is refused.
    bool TooLong() const { return tooLong_; }

    std::u16string_view Get() const
    {
        return {units_.data(), std::min(unitsLength_, MaxPassphraseUnits)};
    }

private:
    LockedBuffer<char> bytes_{2048};
    LockedBuffer<char16_t> units_{2048};
    std::size_t unitsLength_ = 0;
    bool tooLong_ = false;
};

class ConsoleObserver final : public ExtractObserver {
public:
    ConsoleObserver(const ConsoleOptions& options, const ModuleBuild& build, const ConsoleStreams& streams)
        : options_(options), texts_(*build.texts), streams_(streams), overwrite_(options.overwrite)
    {
    }

    void ReportEntry(const ExtractEntry& entry) override
    {
        const std::string& path = paths_.Enter(entry);
        if (!options_.list) {
            std::string line = " ";
            line += ForTerminal(ToDisplayUtf8(entry.name));
            WriteLine(streams_.out, line);
            return;
        }
        WriteLine(streams_.out, ListingLine(entry, path));
    }

    void LeaveDirectory() override { paths_.Leave(); }

    void Checkpoint() override
    {
        if (ConsoleInterrupt::Requested())
            throw ConsoleInterrupted{};
    }

    void FileRemoved(std::u16string_view name) override
    {
        WriteLine(streams_.out, std::string(texts_.removedLinePrefix) + ForTerminal(ToDisplayUtf8(name)));
    }

    bool AskOverwrite(std::u16string_view) override
    {
        return overwrite_.Ask(streams_.in, streams_.err, texts_, paths_.Current());
    }

private:
    const ConsoleOptions& options_;
    const ModuleTexts& texts_;
    const ConsoleStreams& streams_;
    EntryPaths paths_;
    OverwriteQuestion overwrite_;
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
    // The banner is meant for the reader: a pipe or a file gets the run's
    // own lines alone.
    WriteLine(IsTerminal(streams.out) ? streams.out : streams.err, shown);

    PassphraseInput passphrase;
    if (!passphrase.Read(streams)) {
        WriteLine(streams.err, "The passphrase is not valid UTF-8.");
        return ExitUsage;
    }
    if (passphrase.TooLong()) {
        WriteLine(streams.err, "The passphrase is longer than 255 characters, which is all the archive can use.");
        return ExitNoKeyInput;
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
