// The calls the page's worker makes into the project's own reading code:
// find the payload as `ivqa info` does, show what the archive's module would
// show, and run the extraction engine into a .zip stream or a folder the
// recipient picked. Files are reached through the worker's file system,
// which reads the picked files in slices.

#include "cli/archive_probe.h"
#include "module/display_text.h"
#include "module/extraction_engine.h"
#include "module/help_text.h"
#include "platform/extract_fs_folder_web.h"
#include "platform/extract_fs_web.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <emscripten.h>

#include <optional>
#include <string>

namespace {

// The worker hands the bytes on as blobs, so the archive's contents never
// gather in the page's memory.
EM_JS(int, PageEmitZipBytes, (const std::uint8_t* data, std::size_t length), {
    return Module.onZipBytes(HEAPU8.subarray(data, data + length)) ? 1 : 0;
});
EM_JS(void, PageReportEntry, (int directory, const char* name, double size), {
    Module.onEntry(directory !== 0, UTF8ToString(name), size);
});
EM_JS(void, PageReportLeave, (), { Module.onLeave(); });
EM_JS(void, PageReportBlock, (double bytes), { Module.onBlock(bytes); });
EM_JS(void, PageReportRemoved, (const char* name), { Module.onRemoved(UTF8ToString(name)); });
// The recipient's answer: 0 no, 1 yes, 2 yes to all, 3 no to all.
EM_ASYNC_JS(int, PageAskOverwrite, (const char* name), {
    return await Module.askOverwrite(UTF8ToString(name));
});

struct OpenedArchive {
    std::string path;
    ArchiveLayout layout;
    std::string help; // the about text and the help, as the module shows them
};

std::optional<OpenedArchive> g_archive;
std::string g_answer; // the last string handed to the page

const ModuleTexts& TextsOf(std::string_view language)
{
    return language == "ru" ? RussianTexts : EnglishTexts;
}

// The same hooks the module's console has, reported to the page instead.
class PageObserver final : public ExtractObserver {
public:
    explicit PageObserver(ZipExtractFileSystem* zip) : zip_(zip) {}
    // Into a folder, entries that were there before the run exist too.
    bool asksOverwrite = false;

    void ReportEntry(const ExtractEntry& entry) override
    {
        const bool directory = entry.kind == EntryKind::Directory;
        if (zip_ != nullptr)
            zip_->AnnounceEntry({entry.creationTime, directory ? entry.creationTime : entry.lastWriteTime},
                                entry.size);
        PageReportEntry(directory ? 1 : 0, ToDisplayUtf8(entry.name).c_str(), static_cast<double>(entry.size));
    }

    void LeaveDirectory() override { PageReportLeave(); }

    // In a zip only an entry restored earlier in this run can exist: the
    // later record replaces it, as a fresh folder with "always" would have it.
    bool AskOverwrite(std::u16string_view name) override
    {
        if (!asksOverwrite)
            return true;
        if (answerForAll_ >= 0)
            return answerForAll_ != 0;
        const int answer = PageAskOverwrite(ToDisplayUtf8(name).c_str());
        if (answer >= 2)
            answerForAll_ = answer == 2 ? 1 : 0;
        return answer == 1 || answer == 2;
    }

    void FileRemoved(std::u16string_view name) override { PageReportRemoved(ToDisplayUtf8(name).c_str()); }

    void BlockDone(std::size_t inflatedBytes) override { PageReportBlock(static_cast<double>(inflatedBytes)); }

private:
    ZipExtractFileSystem* zip_;
    int answerForAll_ = -1;
};

} // namespace

extern "C" {

// 0 when `path` holds an archive of a known module, else the code of "Can
// not open archive!".
EMSCRIPTEN_KEEPALIVE int ivqa_page_open(const char* path)
{
    g_archive.reset();
    auto layout = ProbeArchive(path);
    if (!layout)
        return static_cast<int>(ExtractResult::ArchiveError);
    const FilePayloadArchive archive(path, layout->module->build.payloadOffset);
    const auto help = LoadHelpText(archive, layout->module->build);
    if (!help)
        return static_cast<int>(ExtractResult::ArchiveError);
    g_archive = OpenedArchive{path, *layout, ToDisplayUtf8(help->text)};
    return 0;
}

// What the page shows of the opened archive: "language" ("en", "ru"),
// "system", "module", "cipher", "help".
EMSCRIPTEN_KEEPALIVE const char* ivqa_page_archive(const char* field)
{
    g_answer.clear();
    if (!g_archive)
        return g_answer.c_str();
    const std::string_view name(field);
    const KnownModule& module = *g_archive->layout.module;
    if (name == "language")
        g_answer = module.key;
    else if (name == "system")
        g_answer = TargetSystemName(module.system);
    else if (name == "module")
        g_answer = module.fileName;
    else if (name == "cipher")
        g_answer = CipherName(g_archive->layout.cipherId);
    else if (name == "help")
        g_answer = g_archive->help;
    return g_answer.c_str();
}

// The module's own texts of a language; `index` 0 to 9 are the result
// texts, the others are named.
EMSCRIPTEN_KEEPALIVE const char* ivqa_page_text(const char* language, const char* key, int index)
{
    const ModuleTexts& texts = TextsOf(language);
    const std::string_view name(key);
    const std::pair<std::string_view, std::string_view> named[] = {
        {"windowTitle", texts.windowTitle},
        {"passphraseLabel", texts.passphraseLabel},
        {"keyfileLabel", texts.keyfileLabel},
        {"statusLabel", texts.statusLabel},
        {"extractButton", texts.extractButtonRun},
        {"selectKeyfileButton", texts.selectKeyfileButton},
        {"helpCaption", texts.helpCaption},
        {"noKeyInput", texts.noKeyInput},
        {"readyLine", texts.readyLine},
        {"runStartLine", texts.runStartLine},
        {"doneLine", texts.doneLine},
        {"errorLine", texts.errorLine},
        {"titlePrefix", texts.titlePrefix},
        {"removedLinePrefix", texts.removedLinePrefix},
        {"questionCaption", texts.questionCaption},
        {"overwriteQuestionTail", texts.overwriteQuestionTail},
        {"yesButton", texts.yesButton},
        {"noButton", texts.noButton},
        {"yesToAllButton", texts.yesToAllButton},
        {"noToAllButton", texts.noToAllButton},
    };
    g_answer.clear();
    if (name == "result" && index >= 0 && index < 10)
        g_answer = texts.resultTexts[index];
    for (const auto& [textName, text] : named) {
        if (textName == name)
            g_answer = text;
    }
    // The page has no access keys.
    std::erase(g_answer, '&');
    return g_answer.c_str();
}

// Runs the engine over the opened archive; `mode` 0 restores into the zip
// stream, 1 only tests, 2 restores into the worker's folder (handle 1). The
// passphrase arrives as UTF-16 units in a buffer that the worker wipes
// afterwards. Returns the result code.
EMSCRIPTEN_KEEPALIVE int ivqa_page_run(const char16_t* passphrase, int passphraseUnits, const char* keyfilePath,
                                       int mode)
{
    if (!g_archive)
        return static_cast<int>(ExtractResult::ArchiveError);
    const FilePayloadArchive archive(g_archive->path, g_archive->layout.module->build.payloadOffset);
    const auto keyfile = Utf8ToUtf16(keyfilePath);
    if (!keyfile)
        return static_cast<int>(ExtractResult::KeyfileError);

    auto zip = MakeZipExtractFileSystem(
        [](const std::uint8_t* data, std::size_t length) { return PageEmitZipBytes(data, length) != 0; });
    auto folder = MakeFolderExtractFileSystem();
    const bool toFolder = mode == 2;
    const bool writing = mode == 0;
    PageObserver observer(writing ? zip.get() : nullptr);
    observer.asksOverwrite = toFolder;
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = g_archive->layout.helpLength;
    input.passphrase = std::u16string_view(passphrase, static_cast<std::size_t>(passphraseUnits));
    input.keyfileLocation = *keyfile;
    input.destination = u"/";
    input.mode = writing || toFolder ? ExtractMode::Extract : ExtractMode::Test;
    input.fileSystem = toFolder ? folder.get() : zip.get();
    input.observer = &observer;
    ExtractResult result = RunExtraction(state, input);
    // What was restored before a failure stays downloadable, as the files
    // stay in a folder; a file cut off by the failure is left out.
    if (writing && result != ExtractResult::WrongKey && result != ExtractResult::KeyfileError &&
        !zip->Finish() && result == ExtractResult::Done)
        result = ExtractResult::OutputFileError;
    return static_cast<int>(result);
}

} // extern "C"
