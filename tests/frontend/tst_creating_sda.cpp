// The archive creation dialog on its own: its checks before a run, the quality
// bar, the choosers, the help-text counter and its cutting rule, Cancel.
#include "core_seam.h"
#include "forms_fixture.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/create/help_message.h"
#include "frontend/create/output_location.h"
#include "frontend/widgets/radio_group.h"
#include "ui_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kStartingHelp =
    "Press \"Browse\" to change output folder.\n"
    "Press \"Select Keyfile\" button to select keyfile.\n"
    "Press \"Extract\" button to decrypt and extract archive contents.";

QString errorBox(const QString& text)
{
    return "Error | error | OK | OK | " + text;
}

} // namespace

class TestCreatingSDA : public QObject {
    Q_OBJECT

private slots:
    void checksInOrder_data();
    void checksInOrder();
    void qualityBarFollowsTheFirstField_data();
    void qualityBarFollowsTheFirstField();
    void passphraseFieldsHoldAtMost255();
    void hidePassphraseMasksBothFields();
    void keyfileChooserWritesAFileLocation();
    void outputChooserAppendsTheArchiveExtension_data();
    void outputChooserAppendsTheArchiveExtension();
    void helpTextCountsLinesWithTheirLineEnds_data();
    void helpTextCountsLinesWithTheirLineEnds();
    void helpCounterStartsAt156();
    void typingAtTheLimitAddsNothing();
    void longHelpFileKeepsItsBeginning();
    void cutNeverSplitsASurrogatePair();
    void cancelEmptiesTheSecretFieldsOnly();
    void createCommandOpensTheDialog();
    void outputAmongInputsIsFound_data();
    void outputAmongInputsIsFound();
    void outputAmongInputsIsRefused();
    void focusStartsAtTheFirstEmptyFieldAndTabGoesDown();
    void inputFilesActionIsAnnounced_data();
    void inputFilesActionIsAnnounced();
};

void TestCreatingSDA::checksInOrder_data()
{
    QTest::addColumn<QString>("passphrase");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("keyfile");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing at all") << "" << "" << "" << "" << "Enter passphrase or select keyfile!";
    QTest::newRow("confirmation only") << "" << "secret" << "" << "/tmp/a.run"
                                       << "Enter passphrase or select keyfile!";
    QTest::newRow("one character differs") << "secret1" << "secret2" << "" << ""
                                           << "Passphrases do not match!";
    QTest::newRow("case differs") << "Secret" << "secret" << "" << "/tmp/a.run"
                                  << "Passphrases do not match!";
    QTest::newRow("trailing blank") << "secret" << "secret " << "" << "/tmp/a.run"
                                    << "Passphrases do not match!";
    QTest::newRow("keyfile but confirmation typed") << "" << "x" << "file:///k" << "/tmp/a.run"
                                                    << "Passphrases do not match!";
    QTest::newRow("no output") << "secret" << "secret" << "" << "" << "Set output archive file path!";
    QTest::newRow("keyfile, no output") << "" << "" << "file:///k" << "" << "Set output archive file path!";
    QTest::newRow("keyfile location too long")
        << "secret" << "secret" << "file://" + QString(4100, 'k') << "/tmp/a.run" << "Keyfile path/URL is too long!";

    // What the run would meet later is found now, named with its path and
    // the reason. "@" stands for the fixture's folder, which holds "key" a
    // file, "dir" a folder, "fifo" a FIFO, "locked" a folder without write
    // permission.
    const QString keyfile = "Can not open keyfile!\n\"@%1\": ";
    const QString archive = "Can not create archive file!\n\"@%1\": ";
    QTest::newRow("no such keyfile") << "s" << "s" << "@gone.key" << "@a.run"
                                     << keyfile.arg("gone.key") + "No such file or directory";
    QTest::newRow("no such file:// keyfile") << "" << "" << "file://@gone.key" << "@a.run"
                                             << keyfile.arg("gone.key") + "No such file or directory";
    QTest::newRow("a folder as keyfile") << "" << "" << "file://@dir" << "@a.run"
                                         << keyfile.arg("dir") + "not a regular file";
    QTest::newRow("a FIFO as keyfile") << "" << "" << "@fifo" << "@a.run" << keyfile.arg("fifo") + "not a regular file";
    QTest::newRow("output folder missing") << "s" << "s" << "" << "@none/a.run"
                                           << archive.arg("none") + "No such file or directory";
    QTest::newRow("output is a folder") << "s" << "s" << "" << "@dir" << archive.arg("dir") + "is a folder";
    QTest::newRow("output below a file") << "s" << "s" << "@key" << "@key/a.run" << archive.arg("key") + "not a folder";
    if (::geteuid() != 0)  // root writes anywhere
        QTest::newRow("output folder not writable") << "s" << "s" << "" << "@locked/a.run"
                                                    << archive.arg("locked") + "Permission denied";
}

void TestCreatingSDA::checksInOrder()
{
    QFETCH(QString, passphrase);
    QFETCH(QString, confirmation);
    QFETCH(QString, keyfile);
    QFETCH(QString, output);
    QFETCH(QString, message);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    forms.fmMain->addFile(run.path("input.txt"));
    const QString root = run.path("");
    writeFile(root + "key", "key");
    QDir().mkpath(root + "dir");
    QDir().mkpath(root + "locked");
    QFile::setPermissions(root + "locked", QFile::ReadOwner | QFile::ExeOwner);
    QCOMPARE(::mkfifo(QFile::encodeName(root + "fifo").constData(), 0600), 0);
    for (QString* text : {&keyfile, &output, &message})
        text->replace('@', root);
    TfmCreatingSDA& dialog = *forms.fmCreatingSDA;
    dialog.show();
    dialog.edPasswd1->setText(passphrase);
    dialog.edPasswd2->setText(confirmation);
    dialog.edPassFile->setText(keyfile);
    dialog.edOutFile->setText(output);

    MessageBoxAnswers answers;
    dialog.bbOK->click();
    QCOMPARE(describe(answers.seen()), QStringList{errorBox(message)});
    // Nothing was started and nothing was taken from the fields.
    QVERIFY(dialog.isVisible());
    QCOMPARE(core.calls(), QStringList{});
    QCOMPARE(dialog.edPasswd1->text(), passphrase);
    QCOMPARE(dialog.edPasswd2->text(), confirmation);
    QCOMPARE(dialog.edPassFile->text(), keyfile);
    QCOMPARE(dialog.edOutFile->text(), output);
    QVERIFY(output.isEmpty() || output.endsWith("dir") || !QFile::exists(output));
    QFile::setPermissions(root + "locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestCreatingSDA::qualityBarFollowsTheFirstField_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("bar");

    QTest::newRow("8 characters, a quarter") << 8 << 8;
    QTest::newRow("32 characters, full") << 32 << 32;
    QTest::newRow("40 characters, full") << 40 << 32;
}

void TestCreatingSDA::qualityBarFollowsTheFirstField()
{
    QFETCH(int, length);
    QFETCH(int, bar);

    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    QCOMPARE(dialog.pbPassQual->minimum(), 0);
    QCOMPARE(dialog.pbPassQual->maximum(), 32);
    QTest::keyClicks(dialog.edPasswd1, QString(length, 'p'));
    QCOMPARE(dialog.pbPassQual->value(), bar);
    QTest::keyClicks(dialog.edPasswd2, QString(3, 'q'));
    QCOMPARE(dialog.pbPassQual->value(), bar);
    dialog.edPasswd1->setText("abc");
    QCOMPARE(dialog.pbPassQual->value(), 3);
}

void TestCreatingSDA::passphraseFieldsHoldAtMost255()
{
    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    for (QLineEdit* field : {dialog.edPasswd1, dialog.edPasswd2}) {
        QTest::keyClicks(field, QString(256, 'k'));
        QCOMPARE(field->text(), QString(255, 'k'));
    }
}

void TestCreatingSDA::hidePassphraseMasksBothFields()
{
    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    dialog.show();
    QVERIFY(dialog.cbHidePass->isChecked());
    for (QLineEdit* field : {dialog.edPasswd1, dialog.edPasswd2}) {
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field),
                 int('*'));
    }
    dialog.cbHidePass->click();
    QVERIFY(!dialog.cbHidePass->isChecked());
    QCOMPARE(dialog.edPasswd1->echoMode(), QLineEdit::Normal);
    QCOMPARE(dialog.edPasswd2->echoMode(), QLineEdit::Normal);
    dialog.cbHidePass->click();
    QCOMPARE(dialog.edPasswd2->echoMode(), QLineEdit::Password);
}

void TestCreatingSDA::keyfileChooserWritesAFileLocation()
{
    FormsFixture run;
    FormSet& forms = run.start();
    FileDialogStub dialogs;
    dialogs.choose({"/home/a/Keys/my.key"}).choose({});
    dialogs.install(*forms.fmMain);
    TfmCreatingSDA& dialog = *forms.fmCreatingSDA;

    dialog.sbSetKeyFile->click();
    QCOMPARE(dialog.edPassFile->text(), QString("file:///home/a/Keys/my.key"));
    dialog.sbSetKeyFile->click();  // cancelled
    QCOMPARE(dialog.edPassFile->text(), QString("file:///home/a/Keys/my.key"));

    const FileDialogStub::Call& call = dialogs.calls().first();
    QCOMPARE(call.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(call.acceptMode, QFileDialog::AcceptOpen);
    QCOMPARE(call.nameFilters, QStringList{"All Files (*)"});
}

void TestCreatingSDA::outputChooserAppendsTheArchiveExtension_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("field");

    QTest::newRow("Linux: no extension") << 0 << "/home/a/backup" << "/home/a/backup.run";
    QTest::newRow("Linux: the extension") << 0 << "/home/a/backup.run" << "/home/a/backup.run";
    QTest::newRow("Linux: upper case") << 0 << "/home/a/backup.RUN" << "/home/a/backup.RUN.run";
    QTest::newRow("Linux: other extension") << 0 << "/home/a/backup.tar" << "/home/a/backup.tar.run";
    QTest::newRow("Linux: dotted folder") << 0 << "/home/a.run/backup" << "/home/a.run/backup.run";
    QTest::newRow("Linux: the Windows extension") << 0 << "/home/a/backup.exe" << "/home/a/backup.exe.run";
    QTest::newRow("Windows: no extension") << 1 << "/home/a/backup" << "/home/a/backup.exe";
    QTest::newRow("Windows: the extension") << 1 << "/home/a/backup.exe" << "/home/a/backup.exe";
    QTest::newRow("Windows: upper case") << 1 << "/home/a/backup.EXE" << "/home/a/backup.EXE.exe";
    QTest::newRow("Windows: the Linux extension") << 1 << "/home/a/backup.run" << "/home/a/backup.run.exe";
    QTest::newRow("Windows: dotted folder") << 1 << "/home/a.exe/backup" << "/home/a.exe/backup.exe";
}

void TestCreatingSDA::outputChooserAppendsTheArchiveExtension()
{
    QFETCH(int, target);
    QFETCH(QString, chosen);
    QFETCH(QString, field);

    FormsFixture run;
    FormSet& forms = run.start();
    // The system in force, even one not applied, names the archive.
    forms.fmOptions->lbModTarget->setCurrentRow(target);
    FileDialogStub dialogs;
    dialogs.choose({chosen});
    dialogs.install(*forms.fmMain);
    TfmCreatingSDA& dialog = *forms.fmCreatingSDA;
    dialog.sbSetOutFileName->click();
    QCOMPARE(dialog.edOutFile->text(), field);

    const FileDialogStub::Call& call = dialogs.calls().first();
    QCOMPARE(call.nameFilters,
             QStringList{target == 1 ? "Self-Decrypting Archives (*.exe)" : "Self-Decrypting Archives (*.run)"});
    QCOMPARE(call.acceptMode, QFileDialog::AcceptSave);
    QVERIFY(!call.options.testFlag(QFileDialog::DontConfirmOverwrite));
    // The dialog itself appends it, so its overwrite question names the
    // file that is written.
    QCOMPARE(call.defaultSuffix, QString(target == 1 ? "exe" : "run"));
}

void TestCreatingSDA::helpTextCountsLinesWithTheirLineEnds_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("help");

    QTest::newRow("empty memo: no help text") << "" << "";
    QTest::newRow("one line") << "abc" << "abc\r\n";
    QTest::newRow("caret on an empty last line") << "abc\n" << "abc\r\n";
    QTest::newRow("an empty line inside") << "abc\n\ndef" << "abc\r\n\r\ndef\r\n";
    QTest::newRow("two empty lines at the end") << "abc\n\n" << "abc\r\n\r\n";
    QTest::newRow("a lone line break") << "\n" << "\r\n";
}

void TestCreatingSDA::helpTextCountsLinesWithTheirLineEnds()
{
    QFETCH(QString, memo);
    QFETCH(QString, help);
    QCOMPARE(HelpMessage::fromMemo(memo), help);
    QCOMPARE(HelpMessage::length(memo), int(help.size()));
}

void TestCreatingSDA::helpCounterStartsAt156()
{
    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    QCOMPARE(dialog.mmHelpMsgText->toPlainText(), kStartingHelp);
    dialog.show();
    QCOMPARE(dialog.lbCharsCount->text(), QString("156:1024"));
    QVERIFY(dialog.lbCharsCount->alignment().testFlag(Qt::AlignRight));
    dialog.mmHelpMsgText->clear();
    QCOMPARE(dialog.lbCharsCount->text(), QString("0:1024"));
}

void TestCreatingSDA::typingAtTheLimitAddsNothing()
{
    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    dialog.show();
    const QString full = QString(600, 'a') + '\n' + QString(420, 'b');  // 602 + 422 = 1024
    dialog.mmHelpMsgText->setPlainText(full);
    QCOMPARE(dialog.lbCharsCount->text(), QString("1024:1024"));

    dialog.mmHelpMsgText->moveCursor(QTextCursor::End);
    QTest::keyClicks(dialog.mmHelpMsgText, "xyz");
    QCOMPARE(dialog.mmHelpMsgText->toPlainText(), full);
    QCOMPARE(dialog.lbCharsCount->text(), QString("1024:1024"));

    // A line break typed at the end is not yet a line of its own.
    QTest::keyClick(dialog.mmHelpMsgText, Qt::Key_Return);
    QCOMPARE(dialog.lbCharsCount->text(), QString("1024:1024"));
    QTest::keyClick(dialog.mmHelpMsgText, Qt::Key_Backspace);

    // Typed elsewhere, the text's end gives way.
    dialog.mmHelpMsgText->moveCursor(QTextCursor::Start);
    QTest::keyClicks(dialog.mmHelpMsgText, "Z");
    QCOMPARE(dialog.mmHelpMsgText->toPlainText(), 'Z' + full.chopped(1));
    QCOMPARE(dialog.lbCharsCount->text(), QString("1024:1024"));
}

void TestCreatingSDA::longHelpFileKeepsItsBeginning()
{
    FormsFixture run;
    FormSet& forms = run.start();
    QStringList lines;
    QByteArray file;
    for (int i = 0; i < 40; ++i) {
        lines << QString(100, QChar('A' + i % 26));
        file += lines.last().toLatin1() + "\r\n";
    }
    writeFile(run.path("help.txt"), file);
    FileDialogStub dialogs;
    dialogs.choose({run.path("help.txt")}).choose({run.path("help.txt")});
    dialogs.install(*forms.fmMain);

    TfmCreatingSDA& dialog = *forms.fmCreatingSDA;
    dialog.show();
    // Ten lines of 102 and two characters of the eleventh with its CR LF.
    const QString kept = QStringList(lines.mid(0, 10)).join('\n') + '\n' + lines[10].left(2);
    for (int load = 0; load < 2; ++load) {
        dialog.bbLoadFromFile->click();
        QCOMPARE(dialog.mmHelpMsgText->toPlainText(), kept);
        QCOMPARE(dialog.lbCharsCount->text(), QString("1024:1024"));
    }
    QCOMPARE(dialogs.calls().first().fileMode, QFileDialog::ExistingFile);

    // A short file replaces the memo's lines, whatever its line ends.
    writeFile(run.path("short.txt"), "one\rtwo\nthree\r\n");
    dialogs.choose({run.path("short.txt")});
    dialog.bbLoadFromFile->click();
    QCOMPARE(HelpMessage::fromMemo(dialog.mmHelpMsgText->toPlainText()),
             QString("one\r\ntwo\r\nthree\r\n"));
    QCOMPARE(dialog.lbCharsCount->text(), QString("17:1024"));
}

void TestCreatingSDA::cutNeverSplitsASurrogatePair()
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QCOMPARE(emoji.size(), 2);
    // 1,021 + 2 + CR LF = 1,025: the pair goes whole.
    QCOMPARE(HelpMessage::cutToLimit(QString(1021, 'a') + emoji), QString(1021, 'a'));
    QCOMPARE(HelpMessage::cutToLimit(QString(1020, 'a') + emoji), QString(1020, 'a') + emoji);
}

void TestCreatingSDA::cancelEmptiesTheSecretFieldsOnly()
{
    FormsFixture run;
    TfmCreatingSDA& dialog = *run.start().fmCreatingSDA;
    dialog.show();
    dialog.edPasswd1->setText("secret");
    dialog.edPasswd2->setText("secret");
    dialog.edPassFile->setText("file:///k");
    dialog.edOutFile->setText("/tmp/out.run");
    dialog.mmHelpMsgText->setPlainText("Ask Bob.");
    dialog.cbHidePass->click();

    dialog.bbCancel->click();
    QVERIFY(!dialog.isVisible());
    for (QLineEdit* field : {dialog.edPasswd1, dialog.edPasswd2, dialog.edPassFile, dialog.edOutFile})
        QCOMPARE(field->text(), QString());
    QCOMPARE(dialog.pbPassQual->value(), 0);
    QVERIFY(!dialog.edPasswd1->isUndoAvailable());
    QCOMPARE(dialog.mmHelpMsgText->toPlainText(), QString("Ask Bob."));
    QVERIFY(!dialog.cbHidePass->isChecked());
}

void TestCreatingSDA::createCommandOpensTheDialog()
{
    FormsFixture run;
    FormSet& forms = run.start();
    {
        MessageBoxAnswers answers;
        forms.fmMain->tbCreateSDA->trigger();
        QCOMPARE(describe(answers.seen()),
                 QStringList{"Warning | warning | OK | OK | Select input files first!"});
    }
    forms.fmMain->addFile(run.path("input.txt"));
    NextModal<TfmCreatingSDA> shown([](TfmCreatingSDA* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Creating Self-Decrypting Archive"));
        QCOMPARE(dialog->lbCharsCount->text(), QString("156:1024"));
        dialog->bbCancel->click();
    });
    forms.fmMain->mnCreateSDA->trigger();
    QVERIFY(shown.ran());
}

// Below tmp/: in/ (a folder entry) holding sub/, input2/ beside it, a link
// into in/ and a link to in/ that is itself the entry (the writer follows
// it, so what lies behind it counts).
void TestCreatingSDA::outputAmongInputsIsFound_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("among");
    QTest::newRow("in the folder") << "in" << true << "in/a.run" << true;
    QTest::newRow("deeper in the folder") << "in" << true << "in/sub/a.run" << true;
    QTest::newRow("through a link into the folder") << "in" << true << "into-in/a.run" << true;
    QTest::newRow("through dots") << "in" << true << "input2/../in/a.run" << true;
    QTest::newRow("the file entry itself") << "in/sub/a.run" << false << "in/sub/a.run" << true;
    QTest::newRow("a folder of a similar name") << "in" << true << "input2/a.run" << false;
    QTest::newRow("beside the file entry") << "in/sub/a.run" << false << "in/sub/b.run" << false;
    QTest::newRow("behind a link that is the entry") << "link-to-in" << true << "in/a.run" << true;
    QTest::newRow("the root") << "/" << true << "input2/a.run" << true;
    QTest::newRow("in a folder that does not exist") << "in" << true << "gone/a.run" << false;
}

void TestCreatingSDA::outputAmongInputsIsFound()
{
    QFETCH(QString, entry);
    QFETCH(bool, folder);
    QFETCH(QString, output);
    QFETCH(bool, among);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("in/sub"));
    QVERIFY(QDir(dir.path()).mkpath("input2"));
    QVERIFY(QFile::link(dir.filePath("in"), dir.filePath("into-in")));
    QVERIFY(QFile::link(dir.filePath("in"), dir.filePath("link-to-in")));
    const QString entryPath = entry.startsWith('/') ? entry : dir.filePath(entry);
    const InputEntry input = folder ? makeFolderEntry(entryPath, 7) : makeFileEntry(entryPath, 7);
    QCOMPARE(outputAmongInputs(dir.filePath(output), {input}), among);
}

void TestCreatingSDA::outputAmongInputsIsRefused()
{
    // Also when nothing is to be removed: the writer would leave the
    // archive's own file out.
    for (int action : {0, 1, 2}) {
        CoreSeam core;
        FormsFixture run;
        FormSet& forms = run.start(core.services());
        QVERIFY(QDir().mkpath(run.path("in")));
        forms.fmMain->addFolder(run.path("in"));
        forms.fmOptions->rgInFilesAction->setItemIndex(action);
        TfmCreatingSDA& dialog = *forms.fmCreatingSDA;
        dialog.show();
        dialog.edPasswd1->setText("secret");
        dialog.edPasswd2->setText("secret");
        dialog.edOutFile->setText(run.path("in/out.run"));

        MessageBoxAnswers answers;
        dialog.bbOK->click();
        QCOMPARE(describe(answers.seen()),
                 QStringList{errorBox("Output archive file is among the input files!\n\"" + run.path("in/out.run")
                                      + '"')});
        QVERIFY(dialog.isVisible());
        QCOMPARE(core.calls(), QStringList{});
        QCOMPARE(dialog.edPasswd1->text(), QString("secret"));
    }
}

void TestCreatingSDA::focusStartsAtTheFirstEmptyFieldAndTabGoesDown()
{
    FormsFixture run;
    FormSet& forms = run.start();
    forms.fmMain->addFile(run.path("input.txt"));
    forms.fmMain->show();
    QStringList focused;
    QStringList chain;
    NextModal<TfmCreatingSDA> look([&](TfmCreatingSDA* dialog) {
        QTRY_VERIFY(dialog->isActiveWindow());
        focused << QApplication::focusWidget()->objectName();
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            chain << QApplication::focusWidget()->objectName();
        }
        dialog->edPasswd1->setText("secret");
        dialog->edPasswd2->setText("secret");
        dialog->edPassFile->setText(run.path("gone.key"));
        dialog->bbOK->click();  // refused: the keyfile does not exist
        dialog->hide();
    });
    MessageBoxAnswers answers;
    forms.fmMain->tbCreateSDA->trigger();
    QVERIFY(look.ran());
    // The fields kept their text; the next empty one takes the focus.
    NextModal<TfmCreatingSDA> again([&](TfmCreatingSDA* dialog) {
        QTRY_VERIFY(dialog->isActiveWindow());
        focused << QApplication::focusWidget()->objectName();
    });
    forms.fmMain->tbCreateSDA->trigger();
    QVERIFY(again.ran());

    QCOMPARE(focused, QStringList({"edPasswd1", "edOutFile"}));
    QCOMPARE(chain, QStringList({"sbPassphrGen", "cbHidePass", "edPasswd2", "edPassFile", "sbSetKeyFile",
                                 "edOutFile", "sbSetOutFileName", "bbOK", "bbCancel"}));
}

void TestCreatingSDA::inputFilesActionIsAnnounced_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("delete") << 1
                            << "Once the archive is written and verified, the input files it holds will be deleted.";
    QTest::newRow("wipe") << 2 << "Once the archive is written and verified, the input files it holds will be wiped.";
}

void TestCreatingSDA::inputFilesActionIsAnnounced()
{
    QFETCH(int, action);
    QFETCH(QString, text);
    FormsFixture run;
    FormSet& forms = run.start();
    forms.fmOptions->rgInFilesAction->setItemIndex(action);
    TfmCreatingSDA& dialog = *forms.fmCreatingSDA;
    dialog.show();
    QCOMPARE(dialog.lbInFilesAction->text(), text);
    QCOMPARE(dialog.lbInFilesAction->isVisible(), !text.isEmpty());
    dialog.reject();
}

QTEST_MAIN(TestCreatingSDA)
#include "tst_creating_sda.moc"
