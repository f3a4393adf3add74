#include "module/module_texts.h"

namespace {

constexpr std::string_view About =
    "This self-decrypting archive was created with Ironquiver Self-Decryptor v2.50\n"
    "Enter the passphrase and/or keyfile, pick a folder and press Extract.\n"
    "Home page: http://www.ironquiver.example/\n"
    "\n";
static_assert(Utf16UnitsOf(About) <= MaxAboutUnits);

} // namespace

const ModuleTexts EnglishTexts = {
    .aboutText = About,
    .windowTitle = "Ironquiver Self-Decrypting Archive",
    .destinationLabel = "Destination folder:",
    .passphraseLabel = "Passphrase:",
    .keyfileLabel = "Keyfile (file://, http://, ftp://):",
    .statusLabel = "Extraction status:",
    .exitButton = "E&xit",
    .browseButton = "&Browse",
    .extractButton = "&Extract",
    .extractButtonRun = "Extract",
    .breakButton = "Break",
    .helpButton = "&Help",
    .selectKeyfileButton = "&Select Keyfile",
    .yesButton = "&Yes",
    .noButton = "&No",
    .yesToAllButton = "Yes to &all",
    .noToAllButton = "N&o to all",
    .okButton = "OK",
    .folderChooserTitle = "Select destination folder:",
    .keyfileFilterName = "All Files (*.*)",
    .keyfileChooserTitle = "Select keyfile",
    .errorCaption = "Error",
    .helpCaption = "Help",
    .questionCaption = "Confirmation",
    .abortQuestion = "Do you want to abort extraction?",
    .overwriteQuestionTail = " already exists!\nDo you want to overrite it?",
    .noKeyInput = "You must enter passphrase and/or select keyfile!",
    .workerStartFailed = "Not enaugh resources to start archive extraction!",
    .invalidFieldText = "The field \"%s\" holds characters that are not valid text!",
    .readyLine = "Ready for extraction...",
    .runStartLine = "Extracting archive contents:",
    .doneLine = "Done!",
    .errorLine = "Error!",
    .titlePrefix = "Extracting archive: ",
    .titleSuffix = "...",
    .removedLinePrefix = "Left incomplete and removed: ",
    .blockProgress = "Block %1 of %2",
    .resultTexts =
        {
            "Done!",
            "Not enaugh memory!",
            "Not enaugh disk space to extract files!",
            "Can not read keyfile!",
            "Can not open archive!",
            "Can not create output file!",
            "Can not create or open output directory!",
            "Wrong passphrase or keyfile!",
            "Archive is corrupted!",
            "Archive is corrupted!",
        },
};
