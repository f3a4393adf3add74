#include "module/module_texts.h"

namespace {

constexpr std::string_view About =
    "Этот саморасшифровывающийся архив создан программой Ironquiver Self-Decryptor v2.50\n"
    "Введите пароль-фразу и/или ключевой файл и нажмите Распаковать.\n"
    "Сайт: http://www.ironquiver.example/\n"
    "\n";
static_assert(Utf16UnitsOf(About) <= MaxAboutUnits);

} // namespace

const ModuleTexts RussianTexts = {
    .aboutText = About,
    .windowTitle = "Ironquiver Self-Decrypting Archive",
    .destinationLabel = "Папка назначения:",
    .passphraseLabel = "Пароль-фраза:",
    .keyfileLabel = "Путь к ключевому файлу (file://, http://, ftp://):",
    .statusLabel = "Ход распаковки:",
    .exitButton = "&Выход",
    .browseButton = "&Обзор",
    .extractButton = "&Распаковать",
    .extractButtonRun = "Распаковать",
    .breakButton = "Отмена",
    .helpButton = "&Помощь",
    .selectKeyfileButton = "&Ключевой файл",
    .yesButton = "&Да",
    .noButton = "&Нет",
    .yesToAllButton = "Да для &всех",
    .noToAllButton = "Нет для вс&ех",
    .okButton = "OK",
    .folderChooserTitle = "Выберите каталог для извлечения файлов:",
    .keyfileFilterName = "Все файлы (*.*)",
    .keyfileChooserTitle = "Выберите ключевой файл",
    .errorCaption = "Ошибка",
    .helpCaption = "Помощь",
    .questionCaption = "Подтверждение",
    .abortQuestion = "Вы хотите прервать распаковку архива?",
    .overwriteQuestionTail = " уже существует!\nВы хотите его перезаписать?",
    .noKeyInput = "Вы должны ввести пароль-фразу и/или путь к ключевому файлу!",
    .workerStartFailed = "Недостаточно ресурсов для начала распаковки архива!",
    .invalidFieldText = "Поле \"%s\" содержит недопустимые символы!",
    .readyLine = "Архив готов к распаковке...",
    .runStartLine = "Идет распаковка архива:",
    .doneLine = "Готово!",
    .errorLine = "Ошибка!",
    .titlePrefix = "Extracting archive: ",
    .titleSuffix = "...",
    .removedLinePrefix = "Не завершён и удалён: ",
    .blockProgress = "Блок %1 из %2",
    .resultTexts =
        {
            "Готово!",
            "Недостаточно памяти!",
            "Недостаточно свободного места на диске!",
            "Невозможно открыть и прочитать ключевой файл!",
            "Невозможно открыть архив!",
            "Невозможно создать файл!",
            "Невозможно создать или открыть каталог!",
            "Неправильная пароль-фраза или ключевой файл!",
            "Архив поврежден!",
            "Архив поврежден!",
        },
};
