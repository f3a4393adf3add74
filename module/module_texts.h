#pragma once
// Every text the module shows, one table per language build. UTF-8.

#include <cstddef>
#include <string_view>

struct ModuleTexts {
    // The about text: three lines and an empty one; the help follows it.
    std::string_view aboutText;

    std::string_view windowTitle;
    std::string_view destinationLabel;
    std::string_view passphraseLabel;
    std::string_view keyfileLabel;
    std::string_view statusLabel;
    std::string_view exitButton;
    std::string_view browseButton;
    std::string_view extractButton;     // at creation, with its access key
    std::string_view extractButtonRun;  // restored after a run
    std::string_view breakButton;
    std::string_view helpButton;
    std::string_view selectKeyfileButton;
    std::string_view yesButton;
    std::string_view noButton;
    // The overwrite question's answers for the rest of the run.
    std::string_view yesToAllButton;
    std::string_view noToAllButton;
    std::string_view okButton;

    std::string_view folderChooserTitle;
    std::string_view keyfileFilterName;
    std::string_view keyfileChooserTitle;

    std::string_view errorCaption;
    std::string_view helpCaption;
    std::string_view questionCaption;
    std::string_view abortQuestion;
    std::string_view overwriteQuestionTail; // after the quoted name
    std::string_view noKeyInput;
    std::string_view workerStartFailed;
    // "%s" stands for the field's label without its colon.
    std::string_view invalidFieldText;

    std::string_view readyLine;
    std::string_view runStartLine;
    std::string_view doneLine;
    std::string_view errorLine;
    std::string_view titlePrefix;
    std::string_view titleSuffix; // also the line that restarts the log
    // Before the name of a file the run stopped in and removed.
    std::string_view removedLinePrefix;
    // While a file of several blocks is written: "%1" the blocks done,
    // "%2" its blocks.
    std::string_view blockProgress;

    // Indexed by ExtractResult code; [0] is the success line.
    std::string_view resultTexts[10];
};

extern const ModuleTexts EnglishTexts;
extern const ModuleTexts RussianTexts;

// UTF-16 units of a UTF-8 text, for the limits that count units.
constexpr std::size_t Utf16UnitsOf(std::string_view utf8)
{
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

// The about text leaves room for the longest help the front end stores.
inline constexpr std::size_t MaxAboutUnits = 200;
