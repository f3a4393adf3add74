#include "frontend/main/TfmMain.h"

#include "frontend/app/app_icon.h"
#include "frontend/app/form_set.h"
#include "frontend/app/native_path.h"
#include "frontend/app/vendor.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/generators/TfmKeyfileGen.h"
#include "frontend/generators/TfmPassphrGen.h"
#include "frontend/help/TfmAbout.h"
#include "frontend/help/help_commands.h"
#include "frontend/main/list_file.h"
#include "frontend/main/window_placement.h"
#include "frontend/options/TfmChangeCompLevel.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/options/settings_in_force.h"
#include "frontend/options/settings_table.h"
#include "frontend/runs/run_report.h"
#include "frontend/widgets/message_boxes.h"
#include "frontend/widgets/theme_icons.h"
#include "frontend/wipe/TfmWipeProgress.h"
#include "platform/copy_on_write.h"

#include <algorithm>
#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSaveFile>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

#include <utility>

namespace {

const QString kListFilter = QStringLiteral("Ironquiver Self-Decryptor Lists (*.iq)");
const QString kSelectInputFirst = QStringLiteral("Select input files first!");
const QString kClearListQuestion = QStringLiteral("Do you want to clear files list?");

bool hasLocalFiles(const QMimeData* mime)
{
    if (!mime->hasUrls())
        return false;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

} // namespace

TfmMain::TfmMain(FormSet& forms) : forms_(forms)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(Vendor::kProgramCaption);
    setWindowIcon(applicationIcon());
    setAcceptDrops(true);

    buildInputList();
    buildStatusBar();
    buildCommands();
    refreshStatus();

    const QRect stored(readSetting(forms_.settings, Settings::WndLeft),
                       readSetting(forms_.settings, Settings::WndTop),
                       readSetting(forms_.settings, Settings::WndWidth),
                       readSetting(forms_.settings, Settings::WndHeight));
    move(placeOnScreen(stored));
    resize(stored.size());
    if (readSetting(forms_.settings, Settings::WndMaximized))
        setWindowState(windowState() | Qt::WindowMaximized);
}

TfmMain::~TfmMain()
{
    const bool maximized = isMaximized();
    writeSetting(forms_.settings, Settings::WndMaximized, maximized ? 1 : 0);
    QRect rectangle(pos(), size());
    if (maximized) {
        // The rectangle it returns to; one never shown in it keeps the
        // stored rectangle.
        const QRect normal = normalGeometry();
        if (!normal.isValid())
            return;
        rectangle = QRect(normal.topLeft() - (geometry().topLeft() - pos()), normal.size());
    }
    // pos() is the outer corner, size() the inside: the same two things the
    // constructor applied, so an unmoved window writes back what it read.
    writeSetting(forms_.settings, Settings::WndLeft, rectangle.x());
    writeSetting(forms_.settings, Settings::WndTop, rectangle.y());
    writeSetting(forms_.settings, Settings::WndHeight, rectangle.height());
    writeSetting(forms_.settings, Settings::WndWidth, rectangle.width());
}

void TfmMain::openCommandLinePaths(const QStringList& paths)
{
    QStringList others;
    for (const QString& path : paths) {
        const QString absolute = absoluteNativePath(path);
        if (nativePathKind(absolute) == PathKind::File && absolute.endsWith(QStringLiteral(".iq"), Qt::CaseInsensitive)) {
            // Paths before the list join it in command-line order.
            if (!others.isEmpty())
                addDroppedPaths(std::exchange(others, {}));
            loadList(absolute);
        } else {
            others.append(absolute);
        }
    }
    if (!others.isEmpty())
        addDroppedPaths(others);
}

void TfmMain::setFileDialogRunner(FileDialogRunner runner)
{
    forms_.setFileDialogRunner(std::move(runner));
}

void TfmMain::buildInputList()
{
    list_.setIcons(themeIcon("text-x-generic", QStyle::SP_FileIcon),
                   themeIcon("folder", QStyle::SP_DirIcon));

    lvInput = new QTreeView(this);
    lvInput->setObjectName(QStringLiteral("lvInput"));
    lvInput->setToolTip(QStringLiteral("Input files and folders list"));
    lvInput->setModel(&list_);
    lvInput->setRootIsDecorated(false);
    lvInput->setItemsExpandable(false);
    lvInput->setUniformRowHeights(true);
    lvInput->setAllColumnsShowFocus(true);
    lvInput->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvInput->setSelectionMode(QAbstractItemView::SingleSelection);
    lvInput->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvInput->setIconSize(QSize(16, 16));
    QHeaderView* header = lvInput->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->resizeSection(InputListModel::NameColumn, 156);
    header->resizeSection(InputListModel::PathColumn, 250);
    header->resizeSection(InputListModel::LevelColumn, 80);
    setCentralWidget(lvInput);
}

void TfmMain::buildStatusBar()
{
    spHelp = new QStatusBar(this);
    spHelp->setObjectName(QStringLiteral("spHelp"));
    spHelp->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        spHelpPanels[i] = new QLabel(spHelp);
        spHelpPanels[i]->setObjectName(QStringLiteral("spHelpPanel%1").arg(i));
    }
    spHelpPanels[0]->setFixedWidth(120);
    spHelpPanels[1]->setFixedWidth(120);
    // The last panel (300 wide) is cut rather than widening the window past
    // its stored width, which is less than the three panels together.
    spHelpPanels[2]->setMinimumWidth(0);
    spHelpPanels[2]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    spHelp->addWidget(spHelpPanels[0]);
    spHelp->addWidget(spHelpPanels[1]);
    spHelp->addWidget(spHelpPanels[2], 1);
    spHelpPanels[0]->setText(QStringLiteral("Folders: 0"));
    spHelpPanels[1]->setText(QStringLiteral("Files: 0"));
    spHelpPanels[2]->setText(QStringLiteral("Wellcome to Ironquiver Self-Decryptor!"));
    setStatusBar(spHelp);
}

namespace {

using Handler = void (TfmMain::*)();
using ActionMember = QAction* TfmMain::*;

struct MenuItem {
    ActionMember member;  // null for a separator
    const char* name;
    const char* caption;
    QList<QKeySequence> shortcuts;
    Handler handler;
};

struct ToolButton {
    ActionMember member;  // null for a separator
    const char* name;
    const char* hint;
    const char* themeIconName;
    QStyle::StandardPixmap styleIcon;
    Handler handler;
};

const MenuItem kSeparator{nullptr, nullptr, nullptr, {}, nullptr};
const QList<QKeySequence> kNoShortcut{};
QList<QKeySequence> ctrl(Qt::Key key) { return {QKeySequence(Qt::CTRL | key)}; }
QList<QKeySequence> key(Qt::Key key) { return {QKeySequence(key)}; }

// The desktop's own keys for the commands every program has, and the key
// most Linux programs use beside them (a platform theme may offer none).
QList<QKeySequence> standard(QKeySequence::StandardKey command, QKeyCombination usual)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(command);
    if (!keys.contains(QKeySequence(usual)))
        keys.append(QKeySequence(usual));
    return keys;
}

struct Menu {
    const char* name;
    const char* caption;
    std::initializer_list<MenuItem> items;
};

} // namespace

void TfmMain::buildCommands()
{
    const Menu menus[] = {
        {"mnList", "List",
         {{&TfmMain::mnNew, "mnNew", "New", standard(QKeySequence::New, Qt::CTRL | Qt::Key_N), &TfmMain::tbNewClick},
          {&TfmMain::mnOpen, "mnOpen", "Open", standard(QKeySequence::Open, Qt::CTRL | Qt::Key_O), &TfmMain::tbOpenClick},
          {&TfmMain::mnSave, "mnSave", "Save", standard(QKeySequence::Save, Qt::CTRL | Qt::Key_S), &TfmMain::tbSaveClick},
          {&TfmMain::mnSaveAs, "mnSaveAs", "Save As...", standard(QKeySequence::SaveAs, Qt::CTRL | Qt::SHIFT | Qt::Key_S),
           &TfmMain::mnSaveAsClick},
          kSeparator,
          // Ctrl+X is Cut everywhere else; Quit is the desktop's key.
          {&TfmMain::mnExit, "mnExit", "Exit", standard(QKeySequence::Quit, Qt::CTRL | Qt::Key_Q), &TfmMain::tbExitClick}}},
        {"mnAdd", "Add",
         {{&TfmMain::mnAddFiles, "mnAddFiles", "Files", ctrl(Qt::Key_F), &TfmMain::tbAddFilesClick},
          {&TfmMain::mnAddFolder, "mnAddFolder", "Folder", ctrl(Qt::Key_D), &TfmMain::tbAddDirClick},
          {&TfmMain::mnRemove, "mnRemove", "Remove", standard(QKeySequence::Delete, QKeyCombination(Qt::Key_Delete)),
           &TfmMain::tbRemoveClick}}},
        {"mnTools", "Tools",
         {{&TfmMain::mnCreateSDA, "mnCreateSDA", "Create Self-Decrypting Archive",
           // Ctrl+C is Copy; E as in encrypt.
           ctrl(Qt::Key_E),
           &TfmMain::tbCreateSDAClick},
          {&TfmMain::mnWipe, "mnWipe", "Wipe", ctrl(Qt::Key_W), &TfmMain::tbWipeClick},
          kSeparator,
          {&TfmMain::mnSetCompLevel, "mnSetCompLevel", "Change compression level", ctrl(Qt::Key_L),
           &TfmMain::tbSetCompLevelClick},
          kSeparator,
          {&TfmMain::PassphraseGenerator1, "PassphraseGenerator1", "Passphrases Generator",
           ctrl(Qt::Key_G), &TfmMain::tbPassGenClick},
          {&TfmMain::mnKeyfileGen, "mnKeyfileGen", "Keyfiles Generator", ctrl(Qt::Key_K),
           &TfmMain::tbKeyFileGenClick},
          kSeparator,
          // Ctrl+Q is Quit.
          {&TfmMain::mnOptions, "mnOptions", "Options", standard(QKeySequence::Preferences, Qt::CTRL | Qt::Key_Comma), &TfmMain::mnOptionsClick}}},
        {"mnHelp", "Help",
         {{&TfmMain::mnHomePage, "mnHomePage", "Home Page", kNoShortcut, &TfmMain::mnHomePageClick},
          {&TfmMain::mnEMail, "mnEMail", "Write E-Mail to Author", kNoShortcut,
           &TfmMain::mnEMailClick},
          {&TfmMain::mnCheckUpdates, "mnCheckUpdates", "Check For Updates", kNoShortcut,
           &TfmMain::mnCheckUpdatesClick},
          kSeparator,
          {&TfmMain::mnAbout, "mnAbout", "About...", key(Qt::Key_F9), &TfmMain::mnAboutClick}}},
    };
    for (const Menu& layout : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(layout.caption));
        menu->setObjectName(QString::fromLatin1(layout.name));
        for (const MenuItem& item : layout.items) {
            if (!item.member) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            action->setShortcuts(item.shortcuts);
            connect(action, &QAction::triggered, this, item.handler);
            this->*item.member = action;
        }
    }

    const ToolButton buttons[] = {
        {&TfmMain::tbCreateSDA, "tbCreateSDA", "Create self-decrypting archive", "changes-prevent",
         QStyle::SP_DriveHDIcon, &TfmMain::tbCreateSDAClick},
        {&TfmMain::tbWipe, "tbWipe", "Wipe", "user-trash-full", QStyle::SP_TrashIcon,
         &TfmMain::tbWipeClick},
        {},
        {&TfmMain::tbNew, "tbNew", "New files list", "document-new", QStyle::SP_FileDialogNewFolder,
         &TfmMain::tbNewClick},
        {&TfmMain::tbOpen, "tbOpen", "Open files list", "document-open", QStyle::SP_DialogOpenButton,
         &TfmMain::tbOpenClick},
        {&TfmMain::tbSave, "tbSave", "Save files list", "document-save", QStyle::SP_DialogSaveButton,
         &TfmMain::tbSaveClick},
        {},
        {&TfmMain::tbAddFiles, "tbAddFiles", "Add files", "list-add", QStyle::SP_FileIcon,
         &TfmMain::tbAddFilesClick},
        {&TfmMain::tbAddDir, "tbAddDir", "Add folder", "folder-new", QStyle::SP_DirIcon,
         &TfmMain::tbAddDirClick},
        {&TfmMain::tbRemove, "tbRemove", "Remove item", "list-remove", QStyle::SP_DialogDiscardButton,
         &TfmMain::tbRemoveClick},
        {&TfmMain::tbSetCompLevel, "tbSetCompLevel", "Change compression level", "preferences-system",
         QStyle::SP_FileDialogDetailedView, &TfmMain::tbSetCompLevelClick},
        {},
        {&TfmMain::tbPassGen, "tbPassGen", "Passphrases Generator", "dialog-password",
         QStyle::SP_MessageBoxInformation, &TfmMain::tbPassGenClick},
        {&TfmMain::tbKeyFileGen, "tbKeyFileGen", "Keyfiles Generator", "emblem-documents",
         QStyle::SP_FileDialogContentsView, &TfmMain::tbKeyFileGenClick},
        {},
        {&TfmMain::tbExit, "tbExit", "Exit", "application-exit", QStyle::SP_DialogCloseButton,
         &TfmMain::tbExitClick},
    };
    lvInputCopy = new QAction(QStringLiteral("Copy"), this);
    lvInputCopy->setObjectName(QStringLiteral("lvInputCopy"));
    lvInputCopy->setShortcuts(QKeySequence::Copy);
    lvInputCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(lvInputCopy, &QAction::triggered, this, &TfmMain::lvInputCopyClick);
    lvInput->addAction(lvInputCopy);
    lvInput->setContextMenuPolicy(Qt::ActionsContextMenu);

    tbrMain = addToolBar(QStringLiteral("Toolbar"));
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setIconSize(QSize(24, 24));
    tbrMain->setMovable(false);
    tbrMain->setFloatable(false);
    tbrMain->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ToolButton& button : buttons) {
        if (!button.member) {
            tbrMain->addSeparator();
            continue;
        }
        QAction* action = tbrMain->addAction(themeIcon(button.themeIconName, button.styleIcon),
                                             QString::fromLatin1(button.hint));
        action->setObjectName(QString::fromLatin1(button.name));
        action->setToolTip(QString::fromLatin1(button.hint));
        connect(action, &QAction::triggered, this, button.handler);
        this->*button.member = action;
    }
}

int TfmMain::defaultLevel() const
{
    return forms_.settingsInForce() ? forms_.settingsInForce()->compLevel() : Settings::CompLevel.defaultValue;
}

QStringList TfmMain::runFileDialog(QFileDialog& dialog)
{
    return forms_.runFileDialog(dialog);
}

bool TfmMain::add(const InputEntry& entry)
{
    if (list_.append(entry))
        return true;
    MessageBoxes::warning(this, QLatin1Char('"') + entry.fullPath()
                                    + QStringLiteral("\" is already added!"));
    return false;
}

bool TfmMain::addFile(const QString& fullPath)
{
    return add(makeFileEntry(fullPath, defaultLevel()));
}

bool TfmMain::addFolder(const QString& folderPath)
{
    return add(makeFolderEntry(folderPath, defaultLevel()));
}

void TfmMain::refreshStatus()
{
    spHelpPanels[0]->setText(QStringLiteral("Folders: ") + QString::number(FolderCount()));
    spHelpPanels[1]->setText(QStringLiteral("Files: ") + QString::number(FileCount()));
}

void TfmMain::clearList()
{
    list_.clear();
    refreshStatus();
}

int TfmMain::selectedRow() const
{
    const QModelIndexList rows = lvInput->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool TfmMain::saveList(const QString& fileName)
{
    QSaveFile file(fileName);
    // A list in a folder without write permission is still replaced in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(formatListFile(list_.entries())) < 0
        || !file.commit()) {
        MessageBoxes::failure(this, QStringLiteral("Cannot create file \"%1\". %2")
                                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    listFileName_ = fileName;
    savedList_ = formatListFile(list_.entries());
    return true;
}

void TfmMain::loadList(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBoxes::failure(this, QStringLiteral("Cannot open file \"%1\". %2")
                                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    listFileName_ = fileName;

    const ListFileContents contents = parseListFile(bytes);
    if (!contents.wellFormed) {
        clearList();
        MessageBoxes::error(this, QStringLiteral("Wrong file format!"));
        return;
    }
    const int fallbackLevel = defaultLevel();
    std::vector<InputEntry> opened;
    for (const ListFileLine& line : contents.lines) {
        const int level = line.level.value_or(fallbackLevel);
        opened.push_back(line.kind == EntryKind::Folder ? makeFolderEntry(line.path, level)
                                                        : makeFileEntry(line.path, level));
        // A line naming an entry already in the list is skipped silently.
        list_.append(opened.back());
    }
    // A list merged into another differs from the file it came from.
    savedList_ = formatListFile(opened);
    refreshStatus();
}

bool TfmMain::warnIfEmpty()
{
    if (!list_.isEmpty())
        return false;
    MessageBoxes::warning(this, kSelectInputFirst);
    return true;
}

void TfmMain::tbCreateSDAClick()
{
    if (warnIfEmpty())
        return;
    forms_.fmCreatingSDA->exec();
}

void TfmMain::tbWipeClick()
{
    if (warnIfEmpty())
        return;
    QString question = QStringLiteral("Do you realy want to wipe files?");
    const std::vector<InputEntry>& entries = list_.entries();
    if (std::any_of(entries.begin(), entries.end(), [](const InputEntry& entry) {
            return IsOnCopyOnWriteFileSystem(nativeFromPath(entry.fullPath()).constData());
        }))
        question += QLatin1Char('\n') + QString::fromUtf8(CopyOnWriteNotice);
    if (!MessageBoxes::question(this, question))
        return;
    if (const std::optional<RunOutcome> outcome = forms_.fmWipeProgress->run(WipeMode::Wipe))
        showStatusLine(wipeStatusLine(*outcome, forms_.fmWipeProgress->entriesNamed()));
}

void TfmMain::showStatusLine(const QString& line)
{
    spHelpPanels[2]->setText(line);
    spHelpPanels[2]->setToolTip(line);
}

void TfmMain::tbNewClick()
{
    if (list_.isEmpty() || !MessageBoxes::question(this, kClearListQuestion))
        return;
    clearList();
    listFileName_.clear();
    savedList_.clear();
}

void TfmMain::tbOpenClick()
{
    QFileDialog dialog(this, QStringLiteral("Select Files List"));
    dialog.setNameFilter(kListFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);

    if (!list_.isEmpty() && MessageBoxes::question(this, kClearListQuestion)) {
        // As for New: a cleared list no longer belongs to the file it came from.
        clearList();
        listFileName_.clear();
        savedList_.clear();
    }
    const QStringList chosen = runFileDialog(dialog);
    if (chosen.isEmpty())
        return;
    loadList(chosen.first());
}

void TfmMain::tbSaveClick()
{
    if (warnIfEmpty())
        return;
    if (listFileName_.isEmpty())
        mnSaveAsClick();
    else
        saveList(listFileName_);
}

void TfmMain::mnSaveAsClick()
{
    if (warnIfEmpty())
        return;
    QFileDialog dialog(this);
    dialog.setNameFilter(kListFilter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList chosen = runFileDialog(dialog);
    if (chosen.isEmpty())
        return;
    saveList(withListExtension(chosen.first()));
}

void TfmMain::tbExitClick()
{
    close();
}

void TfmMain::tbAddFilesClick()
{
    QFileDialog dialog(this, QStringLiteral("Select Input Files"));
    // "*" rather than "*.*": here a name need not hold a dot.
    dialog.setNameFilter(QStringLiteral("All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    for (const QString& path : runFileDialog(dialog))
        addFile(path);
    refreshStatus();
}

void TfmMain::tbAddDirClick()
{
    QFileDialog dialog(this, QStringLiteral("Select input folder:"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList chosen = runFileDialog(dialog);
    if (!chosen.isEmpty())
        addFolder(chosen.first());
    refreshStatus();
}

void TfmMain::tbRemoveClick()
{
    const int row = selectedRow();
    if (row < 0 || list_.isEmpty())
        return;
    list_.removeEntry(row);
    // One removal per command: the next row does not become the selection.
    lvInput->selectionModel()->clearSelection();
    refreshStatus();
}

void TfmMain::tbSetCompLevelClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    if (const std::optional<int> level = forms_.fmChangeCompLevel->chooseLevel(list_.entry(row).level))
        list_.setLevel(row, *level);
}

void TfmMain::tbPassGenClick()
{
    forms_.fmPassphrGen->exec();
}

void TfmMain::tbKeyFileGenClick()
{
    forms_.fmKeyfileGen->exec();
}

void TfmMain::mnOptionsClick()
{
    forms_.fmOptions->exec();
}

void TfmMain::mnHomePageClick()
{
    openHomePage(this);
}

void TfmMain::mnEMailClick()
{
    writeMailToAuthor(this);
}

void TfmMain::mnCheckUpdatesClick()
{
    checkForUpdates(this);
}

void TfmMain::mnAboutClick()
{
    forms_.fmAbout->exec();
}

void TfmMain::lvInputCopyClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString path = list_.entry(row).fullPath();
    auto* mime = new QMimeData;
    mime->setText(path);
    mime->setUrls({QUrl::fromLocalFile(path)});
    QGuiApplication::clipboard()->setMimeData(mime);
}

bool TfmMain::listDiffersFromFile() const
{
    // An empty list holds nothing to lose.
    return !list_.isEmpty() && formatListFile(list_.entries()) != savedList_;
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    if (listDiffersFromFile()) {
        switch (MessageBoxes::askToSave(this, QStringLiteral("The files list has changed.\n"
                                                             "Do you want to save it?"))) {
        case QMessageBox::Save:
            tbSaveClick();
            if (listDiffersFromFile()) { // the save was cancelled or failed
                event->ignore();
                return;
            }
            break;
        case QMessageBox::Discard:
            break;
        default:
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void TfmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (hasLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void TfmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (hasLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void TfmMain::dropEvent(QDropEvent* event)
{
    if (!hasLocalFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(pathFromLocalUrl(url));
    // The drag source waits until the drop returns; a duplicate warning must
    // not hold it, so the paths are added once the drop is over.
    QMetaObject::invokeMethod(
        this, [this, paths] { addDroppedPaths(paths); }, Qt::QueuedConnection);
}

void TfmMain::addDroppedPaths(const QStringList& paths)
{
    for (const QString& path : paths) {
        // A path that vanished since the drag began counts as a folder.
        if (nativePathKind(path) != PathKind::File)
            addFolder(path);
        else
            addFile(path);
    }
    refreshStatus();
}
