// The main window: the input list and its counters, the list file, drag and
// drop, the commands' guards, and the window rectangle.
#include "forms_fixture.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/main/list_file.h"
#include "ui_driver.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QSlider>
#include <QTest>
#include <QTreeView>
#include <QUrl>

namespace {

const QString kListFilter = "Ironquiver Self-Decryptor Lists (*.iq)";

// The three status panels.
QStringList status(const TfmMain& main)
{
    return {main.spHelpPanels[0]->text(), main.spHelpPanels[1]->text(),
            main.spHelpPanels[2]->text()};
}

QStringList counters(int folders, int files)
{
    return {QString("Folders: %1").arg(folders), QString("Files: %1").arg(files),
            "Wellcome to Ironquiver Self-Decryptor!"};
}

void selectRow(TfmMain& main, int row)
{
    main.lvInput->selectionModel()->select(main.inputList().index(row, 0),
                                           QItemSelectionModel::ClearAndSelect
                                               | QItemSelectionModel::Rows);
}

QString warningBox(const QString& text)
{
    return "Warning | warning | OK | OK | " + text;
}

QString questionBox(const QString& text)
{
    return "Confirmation | question | Yes/No | No | " + text;
}

// Drags the URLs (text/uri-list) onto the window and drops them there, as
// the file manager does; false when the window refuses the drag.
bool dragAndDrop(TfmMain& main, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = main.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(&main, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&main, &drop);
    return drop.isAccepted();
}

// A file or folder that exists, below the fixture's folder.
QString makeFile(const FormsFixture& run, const QString& relative, const QByteArray& bytes = "x")
{
    writeFile(run.path(relative), bytes);
    return run.path(relative);
}

QString makeFolder(const FormsFixture& run, const QString& relative)
{
    QDir().mkpath(run.path(relative));
    return run.path(relative);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void addFilesTakesTheDefaultLevel();
    void addFolderSplitsNameAndPath();
    void sameEntryIsAddedOnce_data();
    void sameEntryIsAddedOnce();
    void removeTakesTheSelectedRowOnly();
    void commandsOnAnEmptyListAskForInput_data();
    void commandsOnAnEmptyListAskForInput();
    void shortcutsReachTheCommandsFromTheList_data();
    void shortcutsReachTheCommandsFromTheList();
    void closingAsksToSaveAChangedList_data();
    void closingAsksToSaveAChangedList();
    void copyPutsTheSelectedPathOnTheClipboard();
    void wipeAsksWithNoAsTheDefault();
    void newAsksBeforeClearing_data();
    void newAsksBeforeClearing();
    void saveAsThenOpenRestoresTheList();
    void saveAsAppliesTheListExtension_data();
    void saveAsAppliesTheListExtension();
    void saveAfterOpenWritesTheOpenedFile();
    void saveFailureIsReportedAndForgetsNothing();
    void openAsksWhetherToMerge_data();
    void openAsksWhetherToMerge();
    void wrongFormatEmptiesTheList_data();
    void wrongFormatEmptiesTheList();
    void openGivesTheDefaultLevelForNoDigit();
    void unreadableListFileKeepsTheList();
    void dropAddsFilesAndFolders();
    void windowRectangleComesFromAndGoesToWnd();
};

void TestMainWindow::addFilesTakesTheDefaultLevel()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    QCOMPARE(status(main), counters(0, 0));
    run.forms().fmOptions->tbCompLevel->setValue(4);

    FileDialogStub dialogs;
    dialogs.choose({"/home/a/report.txt", "/home/a/.hidden"});
    dialogs.install(main);
    main.tbAddFiles->trigger();

    QCOMPARE(dialogs.calls().size(), 1);
    const FileDialogStub::Call& call = dialogs.calls().first();
    QCOMPARE(call.title, QString("Select Input Files"));
    QCOMPARE(call.fileMode, QFileDialog::ExistingFiles);
    QVERIFY(call.filter.testFlag(QDir::Hidden));
    QCOMPARE(call.nameFilters, QStringList{"All Files (*)"});

    QCOMPARE(rows(main), (QStringList{"F|report.txt|/home/a/|4", "F|.hidden|/home/a/|4"}));
    QCOMPARE(main.FileCount(), 2);
    QCOMPARE(status(main), counters(0, 2));

    const InputListModel& list = main.inputList();
    QCOMPARE(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Name"));
    QCOMPARE(list.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Path"));
    QCOMPARE(list.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Comp. Level"));

    // The level is the default in force when the entry is added.
    run.forms().fmOptions->tbCompLevel->setValue(9);
    dialogs.choose({"/home/a/later.txt"});
    main.mnAddFiles->trigger();
    QCOMPARE(rows(main).last(), QString("F|later.txt|/home/a/|9"));
    QCOMPARE(rows(main).first(), QString("F|report.txt|/home/a/|4"));
}

void TestMainWindow::addFolderSplitsNameAndPath()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    FileDialogStub dialogs;
    dialogs.choose({"/home/a/Photos"}).choose({"/"}).choose({});
    dialogs.install(main);

    main.tbAddDir->trigger();
    main.mnAddFolder->trigger();
    main.tbAddDir->trigger();  // cancelled

    const FileDialogStub::Call& call = dialogs.calls().first();
    QCOMPARE(call.title, QString("Select input folder:"));
    QCOMPARE(call.fileMode, QFileDialog::Directory);
    QVERIFY(call.options.testFlag(QFileDialog::ShowDirsOnly));
    // The Path column shows where each lies, as for files; the entry keeps
    // the folder itself, shown whole in the row's tip.
    QCOMPARE(rows(main), (QStringList{"D|Photos|/home/a/|7", "D|/||7"}));
    QCOMPARE(main.inputList().entry(0).fullPath(), QString("/home/a/Photos"));
    QCOMPARE(main.inputList().data(main.inputList().index(0, 1), Qt::ToolTipRole).toString(),
             QString("/home/a/Photos"));
    QCOMPARE(status(main), counters(2, 0));
}

void TestMainWindow::sameEntryIsAddedOnce_data()
{
    QTest::addColumn<bool>("firstIsFolder");
    QTest::addColumn<QString>("first");
    QTest::addColumn<bool>("secondIsFolder");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<int>("rowCount");

    QTest::newRow("file twice") << false << "/d/a.txt" << false << "/d/a.txt"
                                << QStringList{warningBox("\"/d/a.txt\" is already added!")} << 1;
    QTest::newRow("case differs") << false << "/d/a.txt" << false << "/d/A.txt" << QStringList{} << 2;
    QTest::newRow("folder twice") << true << "/d/Photos" << true << "/d/Photos"
                                  << QStringList{warningBox("\"/d/Photos\" is already added!")} << 1;
    QTest::newRow("folder with a trailing slash")
        << true << "/d/Photos" << true << "/d/Photos/"
        << QStringList{warningBox("\"/d/Photos\" is already added!")} << 1;
    QTest::newRow("file and folder of one path") << false << "/d/x" << true << "/d/x" << QStringList{}
                                                 << 2;
    QTest::newRow("root twice") << true << "/" << true << "/"
                                << QStringList{warningBox("\"/\" is already added!")} << 1;
}

void TestMainWindow::sameEntryIsAddedOnce()
{
    QFETCH(bool, firstIsFolder);
    QFETCH(QString, first);
    QFETCH(bool, secondIsFolder);
    QFETCH(QString, second);
    QFETCH(QStringList, warnings);
    QFETCH(int, rowCount);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    const auto add = [&main](bool folder, const QString& path) {
        return folder ? main.addFolder(path) : main.addFile(path);
    };
    MessageBoxAnswers boxes;
    QVERIFY(add(firstIsFolder, first));
    QCOMPARE(add(secondIsFolder, second), warnings.isEmpty());
    main.refreshStatus();

    QCOMPARE(describe(boxes.seen()), warnings);
    QCOMPARE(main.inputList().rowCount(), rowCount);
    QCOMPARE(main.FolderCount() + main.FileCount(), rowCount);
}

void TestMainWindow::removeTakesTheSelectedRowOnly()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    main.addFolder("/d/Photos");
    main.addFile("/d/b.txt");
    main.refreshStatus();

    main.tbRemove->trigger();  // no row selected
    QCOMPARE(main.inputList().rowCount(), 3);

    selectRow(main, 1);
    main.tbRemove->trigger();
    QCOMPARE(rows(main), (QStringList{"F|a.txt|/d/|7", "F|b.txt|/d/|7"}));
    QCOMPARE(status(main), counters(0, 2));
    main.mnRemove->trigger();  // the removal left no row selected
    QCOMPARE(main.inputList().rowCount(), 2);

    // Del is the menu item's shortcut.
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    selectRow(main, 0);
    main.lvInput->setFocus();
    QTest::keyClick(main.lvInput, Qt::Key_Delete);
    QCOMPARE(rows(main), QStringList{"F|b.txt|/d/|7"});
    QCOMPARE(status(main), counters(0, 1));
}

void TestMainWindow::commandsOnAnEmptyListAskForInput_data()
{
    QTest::addColumn<QString>("command");
    for (const char* command : {"tbSave", "mnSave", "mnSaveAs", "tbCreateSDA", "tbWipe"})
        QTest::newRow(command) << command;
}

void TestMainWindow::commandsOnAnEmptyListAskForInput()
{
    QFETCH(QString, command);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    FileDialogStub dialogs;
    dialogs.choose({run.path("list.iq")});
    dialogs.install(main);
    MessageBoxAnswers boxes;
    main.findChild<QAction*>(command)->trigger();

    QCOMPARE(describe(boxes.seen()), QStringList{warningBox("Select input files first!")});
    QVERIFY(dialogs.calls().isEmpty());
}

void TestMainWindow::shortcutsReachTheCommandsFromTheList_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("command");
    QTest::newRow("Ctrl+E create") << QKeySequence(Qt::CTRL | Qt::Key_E) << "mnCreateSDA";
    QTest::newRow("Ctrl+W wipe") << QKeySequence(Qt::CTRL | Qt::Key_W) << "mnWipe";
    QTest::newRow("Ctrl+S save") << QKeySequence(Qt::CTRL | Qt::Key_S) << "mnSave";
    QTest::newRow("Ctrl+Shift+S save as") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) << "mnSaveAs";
    QTest::newRow("Ctrl+O open") << QKeySequence(Qt::CTRL | Qt::Key_O) << "mnOpen";
    QTest::newRow("Ctrl+Q quit") << QKeySequence(Qt::CTRL | Qt::Key_Q) << "mnExit";
    QTest::newRow("Ctrl+, options") << QKeySequence(Qt::CTRL | Qt::Key_Comma) << "mnOptions";
    QTest::newRow("F9 about") << QKeySequence(Qt::Key_F9) << "mnAbout";
    // Copy and Cut are the desktop's: neither creates nor quits.
    QTest::newRow("Ctrl+C") << QKeySequence(Qt::CTRL | Qt::Key_C) << "lvInputCopy";
    QTest::newRow("Ctrl+X") << QKeySequence(Qt::CTRL | Qt::Key_X) << "";
}

void TestMainWindow::shortcutsReachTheCommandsFromTheList()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, command);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    main.lvInput->setFocus();

    QStringList triggered;
    for (QAction* action : main.findChildren<QAction*>())
        connect(action, &QAction::triggered, &main, [&triggered, action] {
            // The toolbar's twins run the same handlers; the menu's name counts.
            if (!action->objectName().startsWith("tb"))
                triggered << action->objectName();
        });
    // Each command's own window or question is closed unseen.
    MessageBoxAnswers boxes;
    NextModal<QDialog> anyDialog([](QDialog*) {});
    QTest::keySequence(main.lvInput, keys);
    QTest::qWait(50);
    QCOMPARE(triggered, command.isEmpty() ? QStringList{} : QStringList{command});
}

void TestMainWindow::closingAsksToSaveAChangedList_data()
{
    QTest::addColumn<QString>("history");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("empty list") << "" << 0 << false << true;
    QTest::newRow("unsaved, discard") << "add" << int(QMessageBox::Discard) << true << true;
    QTest::newRow("unsaved, cancel") << "add" << int(QMessageBox::Cancel) << true << false;
    QTest::newRow("unsaved, save") << "add" << int(QMessageBox::Save) << true << true;
    QTest::newRow("saved") << "add save" << 0 << false << true;
    QTest::newRow("changed after saving") << "add save add" << int(QMessageBox::Cancel) << true << false;
    QTest::newRow("opened") << "open" << 0 << false << true;
    QTest::newRow("merged into another") << "add open" << int(QMessageBox::Cancel) << true << false;
    QTest::newRow("level changed") << "open level" << int(QMessageBox::Cancel) << true << false;
}

void TestMainWindow::closingAsksToSaveAChangedList()
{
    QFETCH(QString, history);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    const QString listFile = run.path("kept.iq");
    writeFile(listFile, "/d/kept.txt:7\r\n");
    FileDialogStub dialogs;
    dialogs.install(main);
    int added = 0;
    for (const QString& step : history.split(' ', Qt::SkipEmptyParts)) {
        if (step == "add") {
            main.addFile(QString("/d/%1.txt").arg(++added));
        } else if (step == "save") {
            dialogs.choose({listFile});
            main.mnSaveAs->trigger();
        } else if (step == "open") {
            MessageBoxAnswers merge({QMessageBox::No});
            dialogs.choose({listFile});
            main.mnOpen->trigger();
        } else if (step == "level") {
            main.inputList().setLevel(0, 3);
        }
    }
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    if (answer == int(QMessageBox::Save))
        dialogs.choose({run.path("new.iq")});
    MessageBoxAnswers boxes({QMessageBox::StandardButton(answer)});
    main.mnExit->trigger();

    const QString question = "Confirmation | warning | Save/Discard/Cancel | Save | "
                             "The files list has changed.\nDo you want to save it?";
    QCOMPARE(describe(boxes.seen()), asked ? QStringList{question} : QStringList{});
    QCOMPARE(!main.isVisible(), closed);
    if (answer == int(QMessageBox::Save))
        QCOMPARE(readFile(run.path("new.iq")), formatListFile(main.inputList().entries()));
}

void TestMainWindow::copyPutsTheSelectedPathOnTheClipboard()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a b.txt");
    main.addFolder("/d/Photos");
    QGuiApplication::clipboard()->setText("before");
    main.lvInputCopy->trigger();  // nothing selected: the clipboard stays
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));

    selectRow(main, 1);
    main.lvInputCopy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("/d/Photos"));
    selectRow(main, 0);
    main.lvInputCopy->trigger();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(copied->text(), QString("/d/a b.txt"));
    QCOMPARE(copied->urls(), QList<QUrl>{QUrl::fromLocalFile("/d/a b.txt")});
}

void TestMainWindow::wipeAsksWithNoAsTheDefault()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    MessageBoxAnswers boxes({QMessageBox::No});
    main.mnWipe->trigger();

    QCOMPARE(describe(boxes.seen()), QStringList{questionBox("Do you realy want to wipe files?")});
    QCOMPARE(main.inputList().rowCount(), 1);
}

void TestMainWindow::newAsksBeforeClearing_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void TestMainWindow::newAsksBeforeClearing()
{
    QFETCH(int, answer);
    QFETCH(bool, cleared);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    main.addFolder("/d/b");
    main.refreshStatus();
    FileDialogStub dialogs;
    dialogs.choose({run.path("list")});
    dialogs.install(main);
    main.mnSaveAs->trigger();
    QCOMPARE(main.ListFileName(), run.path("list.iq"));

    MessageBoxAnswers boxes({QMessageBox::StandardButton(answer)});
    main.tbNew->trigger();
    QCOMPARE(describe(boxes.seen()), QStringList{questionBox("Do you want to clear files list?")});
    QCOMPARE(main.inputList().isEmpty(), cleared);
    QCOMPARE(status(main), cleared ? counters(0, 0) : counters(1, 1));
    QCOMPARE(main.ListFileName().isEmpty(), cleared);

    // On an empty list New asks nothing.
    main.clearList();
    main.mnNew->trigger();
    QCOMPARE(boxes.seen().size(), 1);
}

void TestMainWindow::saveAsThenOpenRestoresTheList()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    QSlider* level = run.forms().fmOptions->tbCompLevel;
    level->setValue(7);
    main.addFile("/home/a/report.txt");
    level->setValue(5);
    main.addFolder("/");
    level->setValue(0);
    main.addFolder("/home/a/Photos");
    main.refreshStatus();
    const QStringList saved = rows(main);

    FileDialogStub dialogs;
    dialogs.choose({run.path("list")}).choose({run.path("list.iq")});
    dialogs.install(main);
    main.mnSaveAs->trigger();
    const FileDialogStub::Call& save = dialogs.calls().at(0);
    QCOMPARE(save.acceptMode, QFileDialog::AcceptSave);
    QVERIFY(save.options.testFlag(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(save.nameFilters, QStringList{kListFilter});
    QCOMPARE(readFile(run.path("list.iq")),
             QByteArray("/home/a/report.txt:7\r\n*/:5\r\n*/home/a/Photos:0\r\n"));
    QCOMPARE(main.ListFileName(), run.path("list.iq"));

    main.clearList();
    level->setValue(3);
    main.tbOpen->trigger();  // an empty list: no question
    const FileDialogStub::Call& open = dialogs.calls().at(1);
    QCOMPARE(open.title, QString("Select Files List"));
    QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(open.nameFilters, QStringList{kListFilter});
    QCOMPARE(rows(main), saved);
    QCOMPARE(rows(main), (QStringList{"F|report.txt|/home/a/|7", "D|/||5",
                                      "D|Photos|/home/a/|0"}));
    QCOMPARE(status(main), counters(2, 1));
    QCOMPARE(main.ListFileName(), run.path("list.iq"));
}

void TestMainWindow::saveAsAppliesTheListExtension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("absent");

    QTest::newRow("list.IQ") << "list.IQ" << "list.IQ" << "list.IQ.iq";
    QTest::newRow("list.txt") << "list.txt" << "list.txt.iq" << "list.txt";
}

void TestMainWindow::saveAsAppliesTheListExtension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QString, absent);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    // A file of that name is replaced without a question.
    makeFile(run, written, "old contents that are longer than the list\r\n");
    FileDialogStub dialogs;
    dialogs.choose({run.path(chosen)});
    dialogs.install(main);
    MessageBoxAnswers boxes;
    main.mnSaveAs->trigger();

    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(readFile(run.path(written)), QByteArray("/d/a.txt:7\r\n"));
    QVERIFY(!QFile::exists(run.path(absent)));
    QCOMPARE(main.ListFileName(), run.path(written));
}

void TestMainWindow::saveAfterOpenWritesTheOpenedFile()
{
    FormsFixture run;
    const QString listFile = makeFile(run, "mine.iq", "/d/a.txt:1\r\n");
    TfmMain& main = *run.start().fmMain;
    FileDialogStub dialogs;
    dialogs.choose({listFile});
    dialogs.install(main);
    main.tbOpen->trigger();
    main.addFolder("/d/b");

    main.tbSave->trigger();
    QCOMPARE(dialogs.calls().size(), 1);  // the open dialog only
    QCOMPARE(readFile(listFile), QByteArray("/d/a.txt:1\r\n*/d/b:7\r\n"));

    // Without a list file, Save is Save As.
    FormsFixture other;
    TfmMain& fresh = *other.start().fmMain;
    fresh.addFile("/d/c.txt");
    FileDialogStub freshDialogs;
    freshDialogs.choose({other.path("new")});
    freshDialogs.install(fresh);
    fresh.mnSave->trigger();
    QCOMPARE(freshDialogs.calls().size(), 1);
    QCOMPARE(freshDialogs.calls().first().acceptMode, QFileDialog::AcceptSave);
    QCOMPARE(readFile(other.path("new.iq")), QByteArray("/d/c.txt:7\r\n"));
}

void TestMainWindow::saveFailureIsReportedAndForgetsNothing()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    FileDialogStub dialogs;
    dialogs.choose({run.path("no such folder/list.iq")});
    dialogs.install(main);
    MessageBoxAnswers boxes;
    main.mnSaveAs->trigger();

    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().icon, QMessageBox::Critical);
    QVERIFY(boxes.seen().first().text.startsWith("Cannot create file"));
    QVERIFY(main.ListFileName().isEmpty());
    QCOMPARE(main.inputList().rowCount(), 1);
}

void TestMainWindow::openAsksWhetherToMerge_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooseFile");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("no: merged, duplicate line skipped")
        << int(QMessageBox::No) << true
        << QStringList{"F|a.txt|/d/|7", "D|b|/d/|2", "F|c.txt|/d/|3"};
    QTest::newRow("yes: replaced") << int(QMessageBox::Yes) << true
                                   << QStringList{"F|a.txt|/d/|1", "D|b|/d/|2", "F|c.txt|/d/|3"};
    QTest::newRow("no, then cancelled: kept") << int(QMessageBox::No) << false
                                              << QStringList{"F|a.txt|/d/|7"};
    QTest::newRow("yes, then cancelled: stays cleared") << int(QMessageBox::Yes) << false
                                                        << QStringList{};
}

void TestMainWindow::openAsksWhetherToMerge()
{
    QFETCH(int, answer);
    QFETCH(bool, chooseFile);
    QFETCH(QStringList, expected);

    FormsFixture run;
    const QString listFile = makeFile(run, "list.iq", "/d/a.txt:1\r\n*/d/b:2\r\n/d/a.txt:4\r\n/d/c.txt:3\r\n");
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    main.refreshStatus();

    FileDialogStub dialogs;
    dialogs.choose(chooseFile ? QStringList{listFile} : QStringList{});
    dialogs.install(main);
    MessageBoxAnswers boxes({QMessageBox::StandardButton(answer)});
    main.tbOpen->trigger();

    QCOMPARE(describe(boxes.seen()), QStringList{questionBox("Do you want to clear files list?")});
    QCOMPARE(rows(main), expected);
    const int folders = int(expected.filter(QRegularExpression("^D")).size());
    QCOMPARE(status(main), counters(folders, int(expected.size()) - folders));
    QCOMPARE(main.ListFileName(), chooseFile ? listFile : QString());
}

void TestMainWindow::wrongFormatEmptiesTheList_data()
{
    QTest::addColumn<bool>("listHeldEntries");
    QTest::newRow("empty list") << false;
    QTest::newRow("merging into a list") << true;
}

void TestMainWindow::wrongFormatEmptiesTheList()
{
    QFETCH(bool, listHeldEntries);

    FormsFixture run;
    const QString listFile = makeFile(run, "bad.iq", "/d/a.txt:1\r\n*/d/b:2\r\n/d/c.txt3\r\n/d/e:4\r\n");
    TfmMain& main = *run.start().fmMain;
    if (listHeldEntries)
        main.addFolder("/d/kept");
    main.refreshStatus();

    FileDialogStub dialogs;
    dialogs.choose({listFile});
    dialogs.install(main);
    MessageBoxAnswers boxes({QMessageBox::No});
    main.tbOpen->trigger();

    QCOMPARE(describe(boxes.seen()).last(), QString("Error | error | OK | OK | Wrong file format!"));
    QVERIFY(main.inputList().isEmpty());
    QCOMPARE(main.FolderCount(), 0);
    QCOMPARE(main.FileCount(), 0);
    QCOMPARE(status(main), counters(0, 0));
}

void TestMainWindow::openGivesTheDefaultLevelForNoDigit()
{
    FormsFixture run;
    const QString listFile = makeFile(run, "hand.iq", "\r\n/d/a.txt:x\r\n/d/b.txt:8\r\nab\r\n");
    TfmMain& main = *run.start().fmMain;
    run.forms().fmOptions->tbCompLevel->setValue(2);
    FileDialogStub dialogs;
    dialogs.choose({listFile});
    dialogs.install(main);
    MessageBoxAnswers boxes;
    main.tbOpen->trigger();

    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(rows(main), (QStringList{"F|a.txt|/d/|2", "F|b.txt|/d/|8"}));
}

void TestMainWindow::unreadableListFileKeepsTheList()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    FileDialogStub dialogs;
    dialogs.choose({run.path("missing.iq")});
    dialogs.install(main);
    MessageBoxAnswers boxes({QMessageBox::No});
    main.tbOpen->trigger();

    QCOMPARE(boxes.seen().size(), 2);
    QCOMPARE(boxes.seen().at(1).icon, QMessageBox::Critical);
    QVERIFY(boxes.seen().at(1).text.startsWith("Cannot open file"));
    QCOMPARE(rows(main), QStringList{"F|a.txt|/d/|7"});
    QVERIFY(main.ListFileName().isEmpty());
}

void TestMainWindow::dropAddsFilesAndFolders()
{
    FormsFixture run;
    const QString file = makeFile(run, "in/report.txt");
    const QString folder = makeFolder(run, "in/Photos");
    const QString vanished = run.path("in/gone");
    TfmMain& main = *run.start().fmMain;

    QVERIFY(dragAndDrop(main, {QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder + "/"),
                               QUrl::fromLocalFile(vanished), QUrl("http://example.invalid/x")}));
    const QString in = run.path("in");
    QTRY_COMPARE(main.inputList().rowCount(), 3);
    QCOMPARE(rows(main), (QStringList{"F|report.txt|" + in + "/|7", "D|Photos|" + in + "/|7",
                                      "D|gone|" + in + "/|7"}));
    QCOMPARE(status(main), counters(2, 1));

    // Dropped again, the file is already there.
    MessageBoxAnswers boxes;
    QVERIFY(dragAndDrop(main, {QUrl::fromLocalFile(file)}));
    QTRY_COMPARE(boxes.seen().size(), 1);
    QCOMPARE(describe(boxes.seen().first()), warningBox('"' + file + "\" is already added!"));
    QCOMPARE(main.inputList().rowCount(), 3);

    // Nothing local: the drag is refused.
    QVERIFY(!dragAndDrop(main, {QUrl("http://example.invalid/x")}));
}

void TestMainWindow::windowRectangleComesFromAndGoesToWnd()
{
    FormsFixture defaults;
    TfmMain* main = defaults.start().fmMain.get();
    QCOMPARE(main->pos(), QPoint(100, 100));
    QCOMPARE(main->size(), QSize(522, 428));

    FormsFixture run;
    run.writeIni("[Wnd]\r\nLeft=30\r\nTop=40\r\nHeight=300\r\nWidth=600\r\n");
    main = run.start().fmMain.get();
    QCOMPARE(main->pos(), QPoint(30, 40));
    QCOMPARE(main->size(), QSize(600, 300));

    main->move(50, 60);
    main->resize(700, 500);
    main = run.restart().fmMain.get();
    const QByteArray ini = run.readIni();
    for (const char* line : {"Left=50", "Top=60", "Height=500", "Width=700"})
        QVERIFY2(ini.contains(line), line);
    QCOMPARE(main->pos(), QPoint(50, 60));
    QCOMPARE(main->size(), QSize(700, 500));
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
