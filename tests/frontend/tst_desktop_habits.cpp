// What a desktop user expects of the main window beyond its commands: the
// paths of Open With, file dialogs that remember their folders, the
// maximised state, a window that is never lost off screen, the modules of
// an installed program, and the window icon.
#include "forms_fixture.h"
#include "frontend/main/TfmMain.h"
#include "frontend/create/module_location.h"
#include "frontend/main/window_placement.h"
#include "ui_driver.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// Answers each file dialog with the next choice and records the folder it
// was opened in.
struct DialogFolders {
    QList<QStringList> choices;
    QStringList startedIn;

    void install(TfmMain& main)
    {
        main.setFileDialogRunner([this](QFileDialog& dialog) {
            startedIn << dialog.directory().absolutePath();
            return choices.isEmpty() ? QStringList{} : choices.takeFirst();
        });
    }
};

} // namespace

class TestDesktopHabits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLinePathsOpenListsAndAddTheRest();
    void fileDialogsStartAtHomeAndRememberTheirFolder();
    void maximisedStateIsKept();
    void positionOffEveryScreenComesBack_data();
    void positionOffEveryScreenComesBack();
    void storedPositionOffScreenIsBroughtBack();
    void modulesAreFoundBesideOrInstalled_data();
    void modulesAreFoundBesideOrInstalled();
    void windowCarriesTheApplicationIcon();
    void enterPressesTheDefaultButton_data();
    void enterPressesTheDefaultButton();

private:
    QTemporaryDir home_;
};

void TestDesktopHabits::initTestCase()
{
    // The dialogs' first folder; never the user's own.
    qputenv("HOME", home_.path().toUtf8());
}

void TestDesktopHabits::commandLinePathsOpenListsAndAddTheRest()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    const QString data = run.path("");
    QDir().mkpath(data + "folder");
    writeFile(data + "a.txt", "a");
    writeFile(data + "list.IQ", ("*" + data + "saved:3\r\n" + data + "b.txt:5\r\n").toUtf8());

    // Relative paths are the current folder's; a vanished one counts as a
    // folder, as in a drop; one named twice is warned about once.
    const QString before = QDir::currentPath();
    QDir::setCurrent(data);
    MessageBoxAnswers boxes;
    main.openCommandLinePaths({"a.txt", "list.IQ", "folder/", data + "gone", "./a.txt"});
    QDir::setCurrent(before);

    const QString dataDir = QDir::cleanPath(data);
    QCOMPARE(rows(main), QStringList({"F|a.txt|" + data + "|7", "D|saved|" + data + "|3",
                                      "F|b.txt|" + data + "|5", "D|folder|" + data + "|7",
                                      "D|gone|" + data + "|7"}));
    QCOMPARE(main.ListFileName(), dataDir + "/list.IQ");
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().text, '"' + data + "a.txt\" is already added!");
    QCOMPARE(main.spHelpPanels[0]->text(), QString("Folders: 3"));
    QCOMPARE(main.spHelpPanels[1]->text(), QString("Files: 2"));
}

void TestDesktopHabits::fileDialogsStartAtHomeAndRememberTheirFolder()
{
    FormsFixture run;
    const QString docs = run.path("docs");
    const QString lists = run.path("lists");
    QDir().mkpath(docs);
    QDir().mkpath(lists);
    DialogFolders dialogs;
    TfmMain* main = run.start().fmMain.get();
    dialogs.install(*main);

    dialogs.choices = {{docs + "/x.txt"}, {}};
    main->tbAddFilesClick();   // first time: home
    main->tbAddDirClick();     // its own memory: home; cancelled
    main->tbAddFilesClick();   // where the first one was left
    main->tbAddDirClick();     // a cancelled dialog remembers nothing
    QCOMPARE(dialogs.startedIn, QStringList({home_.path(), home_.path(), docs, home_.path()}));
    QVERIFY(run.readIni().contains("[Dialogs]"));

    // Kept in the settings file across runs; a folder since removed is
    // forgotten for home. A chosen folder is remembered by its parent.
    dialogs.startedIn.clear();
    dialogs.choices = {{lists + "/sub"}};
    main = run.restart().fmMain.get();
    dialogs.install(*main);
    main->tbAddDirClick();
    main->tbAddFilesClick();
    QDir(docs).removeRecursively();
    main->tbAddFilesClick();
    main->tbAddDirClick();
    QCOMPARE(dialogs.startedIn, QStringList({home_.path(), docs, home_.path(), lists}));
}

void TestDesktopHabits::maximisedStateIsKept()
{
    FormsFixture run;
    run.writeIni("[Wnd]\r\nLeft=30\r\nTop=40\r\nHeight=300\r\nWidth=600\r\n");
    TfmMain* main = run.start().fmMain.get();
    QVERIFY(!main->isMaximized());
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    main->showMaximized();
    QTRY_VERIFY(main->isMaximized());

    main = run.restart().fmMain.get();
    const QByteArray ini = run.readIni();
    // The rectangle stays the one it returns to.
    for (const char* line : {"Maximized=1", "Left=30", "Top=40", "Height=300", "Width=600"})
        QVERIFY2(ini.contains(line), line);
    QVERIFY(main->windowState() & Qt::WindowMaximized);

    main->setWindowState(Qt::WindowNoState);
    main = run.restart().fmMain.get();
    QVERIFY(run.readIni().contains("Maximized=0"));
    QVERIFY(!(main->windowState() & Qt::WindowMaximized));
}

void TestDesktopHabits::positionOffEveryScreenComesBack_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("placed");
    // Two screens side by side; the left one is the primary.
    QTest::newRow("on the primary") << QRect(100, 100, 522, 428) << QPoint(100, 100);
    QTest::newRow("on the second") << QRect(2000, 50, 522, 428) << QPoint(2000, 50);
    QTest::newRow("across both") << QRect(1700, 0, 522, 428) << QPoint(1700, 0);
    QTest::newRow("beyond the second") << QRect(4000, 300, 522, 428) << QPoint(1920 - 522, 300);
    QTest::newRow("far up and left") << QRect(-5000, -5000, 522, 428) << QPoint(0, 0);
    QTest::newRow("title above the top") << QRect(100, -300, 522, 428) << QPoint(100, 0);
    QTest::newRow("a sliver at the left") << QRect(-500, 100, 522, 428) << QPoint(0, 100);
    QTest::newRow("below the shorter second") << QRect(2000, 900, 522, 428) << QPoint(1398, 652);
    QTest::newRow("larger than the screen") << QRect(-3000, 50, 2500, 1500) << QPoint(0, 0);
}

void TestDesktopHabits::positionOffEveryScreenComesBack()
{
    QFETCH(QRect, frame);
    QFETCH(QPoint, placed);
    const QRect primary(0, 0, 1920, 1080);
    const QRect second(1920, 0, 1280, 800);
    QCOMPARE(placeOnScreen(frame, {primary, second}, primary), placed);
}

void TestDesktopHabits::storedPositionOffScreenIsBroughtBack()
{
    FormsFixture run;
    run.writeIni("[Wnd]\r\nLeft=-20000\r\nTop=30000\r\nHeight=300\r\nWidth=400\r\n");
    TfmMain& main = *run.start().fmMain;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(QRect(main.pos(), main.size())),
             qPrintable(QString("at %1,%2").arg(main.pos().x()).arg(main.pos().y())));
    QCOMPARE(main.size(), QSize(400, 300));
}

void TestDesktopHabits::modulesAreFoundBesideOrInstalled_data()
{
    QTest::addColumn<QStringList>("modules");
    QTest::addColumn<QString>("found");
    QTest::newRow("build folder") << QStringList{"bin/GUI_en.iqm", "lib/ivqa/GUI_en.iqm"} << "bin";
    QTest::newRow("installed") << QStringList{"lib/ivqa/GUI_ru.iqm"} << "lib/ivqa";
    QTest::newRow("only a Windows one beside") << QStringList{"bin/GUI_en.exe.iqm"} << "bin";
    QTest::newRow("none: the program's folder") << QStringList{} << "bin";
    QTest::newRow("another file does not count") << QStringList{"bin/GUI_de.iqm", "lib/ivqa/GUI_en.iqm"}
                                                 << "lib/ivqa";
}

void TestDesktopHabits::modulesAreFoundBesideOrInstalled()
{
    QFETCH(QStringList, modules);
    QFETCH(QString, found);
    QTemporaryDir tree;
    QDir(tree.path()).mkpath("bin");
    for (const QString& module : modules)
        writeFile(QDir(tree.path()).filePath(module), "module");
    QCOMPARE(locateModuleDir(tree.path() + "/bin", "../lib/ivqa"), QDir(tree.path()).filePath(found));
}

void TestDesktopHabits::windowCarriesTheApplicationIcon()
{
    FormsFixture run;
    const QIcon icon = run.start().fmMain->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    // Our own picture, not an empty or a theme's one: the quiver's gold.
    const QImage picture = icon.pixmap(48).toImage();
    QCOMPARE(picture.size(), QSize(48, 48));
    QVERIFY(QColor(picture.pixel(24, 34)).red() > 150);
}

void TestDesktopHabits::enterPressesTheDefaultButton_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("button");
    QTest::newRow("Options") << "fmOptions" << "bbApply";
    QTest::newRow("compression level") << "fmChangeCompLevel" << "bbOK";
    QTest::newRow("passphrase generator") << "fmPassphrGen" << "bbGenerate";
    QTest::newRow("keyfile generator") << "fmKeyfileGen" << "bbGenerate";
    QTest::newRow("About") << "fmAbout" << "bbOK";
    QTest::newRow("creation dialog") << "fmCreatingSDA" << "bbOK";
}

// Enter where the dialog puts the focus presses its default button.
void TestDesktopHabits::enterPressesTheDefaultButton()
{
    QFETCH(QString, dialog);
    QFETCH(QString, button);
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    auto* window = main.findChild<QDialog*>(dialog);
    QVERIFY(window);
    auto* expected = window->findChild<QPushButton*>(button);
    QVERIFY(expected);
    // Pressing it must not open anything that waits.
    QObject::disconnect(expected, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy pressed(expected, &QPushButton::clicked);
    // The keyfile generator's Generate wants a file first.
    if (auto* output = window->findChild<QLineEdit*>("edOutFile"); output && output->isReadOnly())
        output->setText(run.path("k.key"));
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus && window->isAncestorOf(focus));
    QTest::keyClick(focus, Qt::Key_Return);
    QCOMPARE(pressed.count(), 1);
    window->hide();
}

QTEST_MAIN(TestDesktopHabits)
#include "tst_desktop_habits.moc"
