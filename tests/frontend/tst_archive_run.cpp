// Archives built through the forms over the real library and extracted by
// the real module in console mode; the calls the forms make, the skip
// question, Break, and the input-files action after the run.
#include "core_seam.h"
#include "forms_fixture.h"
#include "frontend/create/TfmCreateSDAProgress.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/widgets/radio_group.h"
#include "module_runner.h"
#include "ui_driver.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <QDateTime>
#include <memory>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

const QString kCaption = "Ironquiver Self-Decryptor";
const QString kBreakQuestion =
    "Confirmation | question | Yes/No | No | Do you realy want to abort archive creation?";

struct ArchiveForm {
    QString passphrase;
    QString keyfile;
    QString output;
};

const QString kCompletionStart = "Ironquiver Self-Decryptor | information | OK | OK | The archive was written:\n";

// The boxes, the completion message after a completed run shown as
// "completion".
QStringList boxesSeen(const MessageBoxAnswers& answers)
{
    QStringList all = describe(answers.seen());
    for (QString& box : all)
        if (box.startsWith(kCompletionStart))
            box = "completion";
    return all;
}

// What the creation dialog held when it came back after a run that did
// not complete (it is cancelled then).
struct CameBack {
    bool shown = false;
    QStringList fields;
};

// Opens the creation dialog from the main window, fills it in and presses
// OK; returns once the run, and what follows it, is over.
CameBack createArchive(FormSet& forms, const ArchiveForm& form)
{
    CameBack back;
    std::unique_ptr<NextModal<TfmCreatingSDA>> again;
    NextModal<TfmCreatingSDA> fill([&](TfmCreatingSDA* dialog) {
        QTest::keyClicks(dialog->edPasswd1, form.passphrase);
        QTest::keyClicks(dialog->edPasswd2, form.passphrase);
        dialog->edPassFile->setText(form.keyfile);
        dialog->edOutFile->setText(form.output);
        again = std::make_unique<NextModal<TfmCreatingSDA>>([&back](TfmCreatingSDA* shown) {
            back.shown = true;
            for (QLineEdit* field : {shown->edPasswd1, shown->edPasswd2, shown->edPassFile, shown->edOutFile})
                back.fields << field->text();
            shown->bbCancel->click();
        });
        dialog->bbOK->click();
    });
    forms.fmMain->tbCreateSDA->trigger();
    [&] { QVERIFY(fill.ran()); }();
    [&] { QVERIFY(!forms.fmCreatingSDA->isVisible()); }();
    return back;
}

// Presses Break once the worker is held before an entry call.
class BreakWhenHeld : public QObject {
public:
    BreakWhenHeld(CoreSeam& core, ProgressDialog& window)
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [&core, &window, this] {
            if (!core.holding() || !window.isVisible())
                return;
            timer_.stop();
            window.bbBreak->click();
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

// What the question saw of the run while it was open.
struct WhileAsked {
    bool callbackHeld = false;
    QString memo;
    QString title;
};

// Answers the Break question once the held worker has entered its next
// callback, after checking that the callback does not return meanwhile.
MessageBoxAnswers::Decision answerBreak(CoreSeam& core, FormSet& forms, WhileAsked& seen,
                                        QMessageBox::StandardButton answer)
{
    return [&core, &forms, &seen, answer](QMessageBox&) {
        const int entered = core.callbacksEntered();
        const int returned = core.callbacksReturned();
        core.release();
        const bool reached = QTest::qWaitFor([&] { return core.callbacksEntered() > entered; }, 10000);
        QTest::qWait(150);
        seen.callbackHeld = reached && core.callbacksReturned() == returned;
        seen.memo = forms.fmCreateSDAProgress->mmCurFile->toPlainText();
        seen.title = forms.fmMain->windowTitle();
        return answer;
    };
}

mode_t umaskNow()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// A file of three blocks and a folder with nested files, an empty file and
// an empty folder, below `root`.
struct Inputs {
    QString file;
    QString folder;
};

Inputs makeInputs(const FormsFixture& run)
{
    writeFile(run.path("in/report.bin"), noise(2 * 1048576 + 4321, 1));
    writeFile(run.path("in/Photos/beach.jpg"), noise(150000, 2));
    writeFile(run.path("in/Photos/notes/list.txt"), QByteArray(20000, 'n') + "end\n");
    writeFile(run.path("in/Photos/notes/empty.txt"), {});
    QDir().mkpath(run.path("in/Photos/notes/none"));
    return {run.path("in/report.bin"), run.path("in/Photos")};
}

// Adds the file at level 0 and the folder at level 9.
void listInputs(FormSet& forms, const Inputs& inputs)
{
    forms.fmOptions->tbCompLevel->setValue(0);
    forms.fmMain->addFile(inputs.file);
    forms.fmOptions->tbCompLevel->setValue(9);
    forms.fmMain->addFolder(inputs.folder);
    forms.fmMain->refreshStatus();
}

QStringList extractedWith(const QString& archive, const QString& destination, const QByteArray& input,
                          const QStringList& extra = {})
{
    QDir().mkpath(destination);
    const Extraction result = extractArchive(archive, destination, input, extra);
    if (result.exitCode != 0)
        return {QString("exit %1: %2 %3").arg(result.exitCode).arg(result.output, result.errors)};
    return {};
}

} // namespace

class TestArchiveRun : public QObject {
    Q_OBJECT

private slots:
    void fileAtLevel0AndFolderAtLevel9ComeBackWhole();
    void keyfileOnlyWithoutHelp();
    void authenticatedCipherForBothSystems_data();
    void authenticatedCipherForBothSystems();
    void workerCopiesTheModuleOfLanguageAndSystem_data();
    void workerCopiesTheModuleOfLanguageAndSystem();
    void missingModuleCreatesNothing_data();
    void missingModuleCreatesNothing();
    void skipQuestion_data();
    void skipQuestion();
    void breakAnsweredNoHoldsTheWorkerThenCompletes();
    void breakAnsweredYesLeavesNothing();
    void inputFilesActionOnlyAfterACompletedRun_data();
    void inputFilesActionOnlyAfterACompletedRun();
    void inputFilesActionRemovesOnlyWhatTheArchiveHolds_data();
    void inputFilesActionRemovesOnlyWhatTheArchiveHolds();
    void failedArchiveRunLeavesTheOutputNameAsItWas();
};

void TestArchiveRun::fileAtLevel0AndFolderAtLevel9ComeBackWhole()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);

    // The output chooser makes backup.run of backup.
    FileDialogStub dialogs;
    dialogs.choose({run.path("out/backup")});
    dialogs.install(*forms.fmMain);
    QDir().mkpath(run.path("out"));
    forms.fmCreatingSDA->sbSetOutFileName->click();
    const QString archive = run.path("out/backup.run");
    QCOMPARE(forms.fmCreatingSDA->edOutFile->text(), archive);

    // 256 characters typed, 255 kept and handed over whole.
    const QString passphrase = QString(256, 'k');
    MessageBoxAnswers answers;
    QVERIFY(!createArchive(forms, {passphrase, "", archive}).shown);
    // One message once it is over: what was written, and where the page
    // for a browser lies.
    QCOMPARE(describe(answers.seen()),
             QStringList{kCompletionStart + archive + "\n"
                         + QLocale().formattedDataSize(QFileInfo(archive).size())
                         + ", 7 entries.\n\nA recipient who cannot run it can open it in a web browser with the "
                           "page\n"
                         + qEnvironmentVariable("IVQA_BIN_DIR") + "/ivqa-extract.html"});

    QCOMPARE(core.calls(), (QStringList{"SDAInit(pass=255 key=null help=156 cipher=0)",
                                        "SDAAddFile(" + inputs.file + " 0) -> 0",
                                        "SDAAddDir(" + inputs.folder + " 9) -> 0", "SDAFinal"}));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(archive).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0755 & ~umaskNow());

    // The end of the run: title, memo, fields, and the list cleared since
    // the input files stay.
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
    QCOMPARE(forms.fmCreateSDAProgress->mmCurFile->toPlainText(), QString("Adding:\n"));
    QVERIFY(!forms.fmCreateSDAProgress->isVisible());
    QCOMPARE(forms.fmCreatingSDA->edPasswd1->text(), QString());
    QCOMPARE(forms.fmCreatingSDA->edOutFile->text(), QString());
    QVERIFY(forms.fmMain->inputList().isEmpty());
    QCOMPARE(forms.fmMain->FileCount() + forms.fmMain->FolderCount(), 0);

    const QString destination = run.path("extracted");
    QCOMPARE(extractedWith(archive, destination, QString(255, 'k').toUtf8() + "\n"), QStringList{});
    QCOMPARE(readFile(destination + "/report.bin"), readFile(inputs.file));
    QCOMPARE(treeDifference(inputs.folder, destination + "/Photos"), QString());
    QVERIFY(QFile::exists(inputs.file));
}

void TestArchiveRun::keyfileOnlyWithoutHelp()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);
    forms.fmOptions->cbCipher->setCurrentIndex(3);
    writeFile(run.path("keys/my.key"), noise(3000, 9));
    forms.fmCreatingSDA->mmHelpMsgText->clear();

    FileDialogStub dialogs;
    dialogs.choose({run.path("keys/my.key")});
    dialogs.install(*forms.fmMain);
    forms.fmCreatingSDA->sbSetKeyFile->click();
    const QString keyfile = forms.fmCreatingSDA->edPassFile->text();
    QCOMPARE(keyfile, "file://" + run.path("keys/my.key"));

    const QString archive = run.path("keyed.run");
    MessageBoxAnswers answers;
    createArchive(forms, {"", keyfile, archive});
    QCOMPARE(boxesSeen(answers), QStringList{"completion"});
    QCOMPARE(core.calls().first(), "SDAInit(pass=null key=" + keyfile + " help=null cipher=3)");

    const QString destination = run.path("extracted");
    QCOMPARE(extractedWith(archive, destination, "\n", {"--keyfile", run.path("keys/my.key")}),
             QStringList{});
    QCOMPARE(readFile(destination + "/report.bin"), readFile(inputs.file));
    QCOMPARE(treeDifference(inputs.folder, destination + "/Photos"), QString());
}

// The sixth cipher with passphrase, keyfile and help text, for either
// recipient's system: the Linux archive comes back whole through its run,
// the Windows one lies behind the Windows module.
void TestArchiveRun::authenticatedCipherForBothSystems_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("archive");
    QTest::newRow("Linux") << 0 << "sealed.run";
    QTest::newRow("Windows") << 1 << "sealed.exe";
}

void TestArchiveRun::authenticatedCipherForBothSystems()
{
    QFETCH(int, target);
    QFETCH(QString, archive);
    qputenv("IVQA_KDF_COST", "floor");
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);
    forms.fmOptions->cbCipher->setCurrentIndex(5);
    forms.fmOptions->lbModTarget->setCurrentRow(target);
    writeFile(run.path("keys/my.key"), noise(3000, 9));
    const QString keyfile = "file://" + run.path("keys/my.key");

    MessageBoxAnswers answers;
    const QString path = run.path(archive);
    createArchive(forms, {"secret", keyfile, path});
    qunsetenv("IVQA_KDF_COST");
    QCOMPARE(boxesSeen(answers), QStringList{"completion"});
    QCOMPARE(core.calls().first(), "SDAInit(pass=6 key=" + keyfile + " help=156 cipher=5)");
    if (target == 1) {
        QCOMPARE(readFile(path).left(2), QByteArray("MZ"));
        return;
    }
    const QString destination = run.path("extracted");
    QCOMPARE(extractedWith(path, destination, "secret\n", {"--keyfile", keyfile}), QStringList{});
    QCOMPARE(readFile(destination + "/report.bin"), readFile(inputs.file));
    QCOMPARE(treeDifference(inputs.folder, destination + "/Photos"), QString());
}

void TestArchiveRun::workerCopiesTheModuleOfLanguageAndSystem_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("archive");

    QTest::newRow("English, Linux") << 0 << 0 << "GUI_en.iqm" << "out/backup.run";
    QTest::newRow("Russian, Linux") << 1 << 0 << "GUI_ru.iqm" << "out/backup.run";
    QTest::newRow("English, Windows") << 0 << 1 << "GUI_en.exe.iqm" << "out/backup.exe";
    QTest::newRow("Russian, Windows") << 1 << 1 << "GUI_ru.exe.iqm" << "out/backup.exe";
}

void TestArchiveRun::workerCopiesTheModuleOfLanguageAndSystem()
{
    QFETCH(int, language);
    QFETCH(int, target);
    QFETCH(QString, module);
    QFETCH(QString, archive);

    // Four stand-ins of different lengths and bytes: the archive's head
    // tells which one was copied.
    CoreSeam core;
    FormsFixture run;
    FormServices services = core.services();
    services.moduleDir = run.path("modules");
    const QStringList names{"GUI_en.iqm", "GUI_ru.iqm", "GUI_en.exe.iqm", "GUI_ru.exe.iqm"};
    for (int i = 0; i < names.size(); ++i)
        writeFile(run.path("modules/" + names[i]), (i >= 2 ? "MZ" : "\x7f" "ELF") + noise(4096 * (i + 1), 20 + i));
    FormSet& forms = run.start(services);
    forms.fmOptions->lbModLang->setCurrentRow(language);
    forms.fmOptions->lbModTarget->setCurrentRow(target);
    writeFile(run.path("in/a.txt"), "a");
    forms.fmMain->addFile(run.path("in/a.txt"));

    FileDialogStub dialogs;
    dialogs.choose({run.path("out/backup")});
    dialogs.install(*forms.fmMain);
    QDir().mkpath(run.path("out"));
    forms.fmCreatingSDA->sbSetOutFileName->click();
    QCOMPARE(forms.fmCreatingSDA->edOutFile->text(), run.path(archive));

    MessageBoxAnswers answers;
    createArchive(forms, {"secret", "", run.path(archive)});
    QCOMPARE(boxesSeen(answers), QStringList{"completion"});
    const QByteArray expected = readFile(run.path("modules/" + module));
    const QByteArray bytes = readFile(run.path(archive));
    QVERIFY(bytes.size() > expected.size() + 2);
    QVERIFY(bytes.startsWith(expected));
    // The payload follows at once: the help length of the starting text.
    QCOMPARE(quint8(bytes[expected.size()]), quint8(156));
    QCOMPARE(quint8(bytes[expected.size() + 1]), quint8(0));
}

void TestArchiveRun::missingModuleCreatesNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("no module in the folder") << "missing";
    QTest::newRow("output names the module") << "itself";
    QTest::newRow("no language chosen") << "none";
    QTest::newRow("no Windows module beside the Linux one") << "no Windows";
    QTest::newRow("no system chosen") << "no system";
}

void TestArchiveRun::missingModuleCreatesNothing()
{
    QFETCH(QString, situation);

    CoreSeam core;
    FormsFixture run;
    FormServices services = core.services();
    services.moduleDir = run.path("modules");
    QDir().mkpath(services.moduleDir);
    const QString module = run.path("modules/GUI_en.iqm");
    if (situation != "missing")
        QVERIFY(QFile::copy(qEnvironmentVariable("IVQA_BIN_DIR") + "/GUI_en.iqm", module));
    const QByteArray moduleBytes = readFile(module);
    FormSet& forms = run.start(services);
    if (situation == "none")
        forms.fmOptions->lbModLang->setCurrentRow(-1);
    if (situation == "no Windows")
        forms.fmOptions->lbModTarget->setCurrentRow(1);
    if (situation == "no system")
        forms.fmOptions->lbModTarget->setCurrentRow(-1);
    writeFile(run.path("in/a.txt"), "a");
    forms.fmMain->addFile(run.path("in/a.txt"));

    const QString output = situation == "itself" ? module : run.path("out.run");
    MessageBoxAnswers answers;
    createArchive(forms, {"secret", "", output});
    QCOMPARE(describe(answers.seen()),
             QStringList{"Error | error | OK | OK | Can not create archive file!"});
    QCOMPARE(core.calls(), QStringList{});
    QCOMPARE(QFile::exists(run.path("out.run")), false);
    QCOMPARE(readFile(module), moduleBytes);
    QCOMPARE(forms.fmMain->inputList().entries().size(), size_t(1));
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
}

void TestArchiveRun::skipQuestion_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("archiveLeft");

    const QString question = "Confirmation | question | Yes/No | Yes | Can not add \"%1\"! Do you want to skip it?";
    QTest::newRow("skipped") << QMessageBox::Yes << QStringList{question, "completion"} << true;
    QTest::newRow("not skipped") << QMessageBox::No
                                 << QStringList{question, "Error | error | OK | OK | Can not open input file!"}
                                 << false;
}

void TestArchiveRun::skipQuestion()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, boxes);
    QFETCH(bool, archiveLeft);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    writeFile(run.path("in/a.txt"), "kept");
    const QString missing = run.path("in/missing.txt");
    forms.fmMain->addFile(run.path("in/a.txt"));
    forms.fmMain->addFile(missing);
    boxes[0] = boxes[0].arg(missing);

    const QString archive = run.path("out.run");
    MessageBoxAnswers answers({answer});
    const CameBack back = createArchive(forms, {"secret", "", archive});
    QCOMPARE(boxesSeen(answers), boxes);
    // A failed run brings the dialog back with everything typed.
    QCOMPARE(back.shown, !archiveLeft);
    if (back.shown)
        QCOMPARE(back.fields, QStringList({"secret", "secret", "", archive}));
    QCOMPARE(QFile::exists(archive), archiveLeft);
    QCOMPARE(core.count("SDAFinal"), 1);
    // A failed run keeps the list for another try.
    QCOMPARE(forms.fmMain->inputList().isEmpty(), archiveLeft);
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
    if (archiveLeft) {
        const QString destination = run.path("extracted");
        QCOMPARE(extractedWith(archive, destination, "secret\n"), QStringList{});
        QCOMPARE(QDir(destination).entryList(QDir::Files), QStringList{"a.txt"});
    }
}

void TestArchiveRun::breakAnsweredNoHoldsTheWorkerThenCompletes()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);
    TfmCreateSDAProgress& progress = *forms.fmCreateSDAProgress;

    WhileAsked seen;
    MessageBoxAnswers answers;
    const MessageBoxAnswers::Decision answerNo = answerBreak(core, forms, seen, QMessageBox::No);
    answers.answerWith([&](QMessageBox& box) {
        const QMessageBox::StandardButton answer = answerNo(box);
        // Resumed, the worker adds the file and is held before the folder.
        core.holdNextEntry();
        return answer;
    });

    QString memoAfterFile;
    QString titleAfterFile;
    int barValue = -1;
    int barMaximum = -1;
    QString lineAfterFile;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (answers.seen().isEmpty() || !core.holding())
            return;
        watch.stop();
        memoAfterFile = progress.mmCurFile->toPlainText();
        titleAfterFile = forms.fmMain->windowTitle();
        barValue = progress.pbProgress->value();
        barMaximum = progress.pbProgress->maximum();
        lineAfterFile = progress.lbProgress->text();
        core.release();
    });
    watch.start();

    core.holdNextEntry();
    BreakWhenHeld breaker(core, progress);
    const QString archive = run.path("out.run");
    createArchive(forms, {"secret", "", archive});

    QCOMPARE(boxesSeen(answers), QStringList({kBreakQuestion, "completion"}));
    QVERIFY2(seen.callbackHeld, "the callback returned while the question was open");
    QCOMPARE(seen.memo, QString("Adding:\n"));
    QCOMPARE(seen.title, kCaption);
    // Three blocks of the file, three steps of the bar.
    QCOMPARE(memoAfterFile, QString("Adding:\n\nreport.bin"));
    QCOMPARE(titleAfterFile, QString("Adding \"report.bin\"..."));
    QCOMPARE(barMaximum, 3);
    QCOMPARE(barValue, 3);
    // Three of the run's five blocks.
    QVERIFY2(lineAfterFile.startsWith("60% of "), qPrintable(lineAfterFile));

    QCOMPARE(core.count("SDAFinal"), 1);
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
    const QString destination = run.path("extracted");
    QCOMPARE(extractedWith(archive, destination, "secret\n"), QStringList{});
    QCOMPARE(readFile(destination + "/report.bin"), readFile(inputs.file));
    QCOMPARE(treeDifference(inputs.folder, destination + "/Photos"), QString());
}

void TestArchiveRun::breakAnsweredYesLeavesNothing()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);
    // Wiping would follow a completed run; an aborted one touches nothing.
    forms.fmOptions->rgInFilesAction->setItemIndex(2);

    WhileAsked seen;
    MessageBoxAnswers answers;
    answers.answerWith(answerBreak(core, forms, seen, QMessageBox::Yes));
    core.holdNextEntry();
    BreakWhenHeld breaker(core, *forms.fmCreateSDAProgress);
    const QString archive = run.path("out.run");
    const CameBack back = createArchive(forms, {"secret", "", archive});

    QCOMPARE(describe(answers.seen()), QStringList{kBreakQuestion});
    QVERIFY(seen.callbackHeld);
    // Break keeps what was typed: the dialog is back with it.
    QVERIFY(back.shown);
    QCOMPARE(back.fields, QStringList({"secret", "secret", "", archive}));
    QCOMPARE(core.calls(), (QStringList{"SDAInit(pass=6 key=null help=156 cipher=0)",
                                        "SDAAddFile(" + inputs.file + " 0) -> 8", "SDAFinal"}));
    QVERIFY(!QFile::exists(archive));
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
    QCOMPARE(forms.fmMain->inputList().entries().size(), size_t(2));
    QVERIFY(QFile::exists(inputs.file));
    QVERIFY(QFile::exists(inputs.folder + "/notes/list.txt"));
}

void TestArchiveRun::inputFilesActionOnlyAfterACompletedRun_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QStringList>("actionCalls");

    // File by file, as the archive holds them; the emptied folders go with
    // them. Sorted: a folder lists its files in no fixed order.
    QTest::newRow("delete after a completed run")
        << 1 << false
        << QStringList{"RmFile(%1) -> 0", "RmFile(%2/beach.jpg) -> 0", "RmFile(%2/notes/empty.txt) -> 0",
                       "RmFile(%2/notes/list.txt) -> 0"};
    QTest::newRow("wipe after a completed run")
        << 2 << false
        << QStringList{"WipeFile(%1) -> 0", "WipeFile(%2/beach.jpg) -> 0", "WipeFile(%2/notes/empty.txt) -> 0",
                       "WipeFile(%2/notes/list.txt) -> 0", "WipeFinal", "WipeInit(1 0)"};
    QTest::newRow("no delete after a failed run") << 1 << true << QStringList{};
    QTest::newRow("no wipe after a failed run") << 2 << true << QStringList{};
}

void TestArchiveRun::inputFilesActionOnlyAfterACompletedRun()
{
    QFETCH(int, action);
    QFETCH(bool, fails);
    QFETCH(QStringList, actionCalls);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    listInputs(forms, inputs);
    if (fails)
        forms.fmMain->addFile(run.path("in/missing.txt"));
    forms.fmOptions->rgInFilesAction->setItemIndex(action);
    forms.fmOptions->rgWipeAlg->setItemIndex(0);
    forms.fmOptions->udPassCnt->setValue(1);

    MessageBoxAnswers answers({QMessageBox::No});
    const QString archive = run.path("out.run");
    createArchive(forms, {"secret", "", archive});

    QStringList calls = core.calls();
    calls = calls.mid(calls.indexOf("SDAFinal") + 1);
    calls.sort();
    for (QString& call : actionCalls)
        call.replace("%1", inputs.file).replace("%2", inputs.folder);
    actionCalls.sort();
    QCOMPARE(calls, actionCalls);
    QCOMPARE(QFile::exists(archive), !fails);
    QCOMPARE(QFile::exists(inputs.file), fails);
    QCOMPARE(QFileInfo::exists(inputs.folder), fails);
    QCOMPARE(forms.fmMain->inputList().isEmpty(), !fails);
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
}

void TestArchiveRun::inputFilesActionRemovesOnlyWhatTheArchiveHolds_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("event");
    for (const int action : {1, 2}) {
        const char* name = action == 1 ? "delete" : "wipe";
        QTest::addRow("%s, an entry skipped during the run", name) << action << "skipped";
        QTest::addRow("%s, a file changed before the removal", name) << action << "changed";
        QTest::addRow("%s, the archive damaged before the read-back", name) << action << "damaged";
    }
}

// The real library and engine: the archive is read back before anything
// goes, and only what it holds unchanged is removed.
void TestArchiveRun::inputFilesActionRemovesOnlyWhatTheArchiveHolds()
{
    QFETCH(int, action);
    QFETCH(QString, event);

    CoreSeam core;
    FormsFixture run;
    const Inputs inputs = makeInputs(run);
    const QString pipe = inputs.folder + "/notes/pipe";
    const QString changed = inputs.folder + "/beach.jpg";
    if (event == "skipped")
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0); // never read: not a regular file
    FormServices services = core.services();
    services.beforeArchiveProof = [&](const std::string& archivePath) {
        if (event == "changed") {
            const QDateTime later = QFileInfo(changed).lastModified().addSecs(3600);
            QFile file(changed);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(later, QFileDevice::FileModificationTime));
        }
        if (event == "damaged") {
            QFile file(QString::fromStdString(archivePath));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size() - 100));
            const QByteArray byte = file.read(1);
            QVERIFY(file.seek(file.size() - 100));
            file.write(QByteArray(1, char(byte[0] ^ 0x55)));
        }
    };
    FormSet& forms = run.start(services);
    listInputs(forms, inputs);
    forms.fmOptions->rgInFilesAction->setItemIndex(action);
    forms.fmOptions->rgWipeAlg->setItemIndex(0);
    forms.fmOptions->udPassCnt->setValue(1);

    MessageBoxAnswers answers({QMessageBox::Yes}); // skip the pipe
    const QString archive = run.path("out.run");
    createArchive(forms, {"secret", "", archive});
    const QStringList boxes = describe(answers.seen());

    QVERIFY(QFile::exists(archive));
    if (event == "damaged") {
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith(kCompletionStart)
                     && boxes[0].contains("The input files were left in place: the archive could not be verified "
                                          "(Archive is corrupted!)."),
                 qPrintable(boxes[0]));
        QVERIFY(QFile::exists(inputs.file));
        QVERIFY(QFile::exists(inputs.folder + "/notes/list.txt"));
        QVERIFY(!forms.fmMain->inputList().isEmpty());
        return;
    }
    const QString kept = event == "skipped" ? pipe : changed;
    // The one message after the run says what went and what stayed, and why.
    const QString reason = event == "skipped" ? "not in the archive" : "changed since it was archived";
    const QString verb = action == 1 ? "deleted" : "wiped";
    QVERIFY2(boxes.last().startsWith(kCompletionStart)
                 && boxes.last().contains("Input files " + verb + ": 5 entries; 1 kept:\n" + kept + " (" + reason + ")"),
             qPrintable(boxes.join('\n')));
    QVERIFY(QFileInfo::exists(kept));
    QVERIFY(!QFile::exists(inputs.file));
    QVERIFY(!QFile::exists(inputs.folder + "/notes/list.txt"));
    QVERIFY(!QFile::exists(inputs.folder + "/notes/empty.txt"));
    QVERIFY(!QFileInfo::exists(inputs.folder + "/notes/none"));
    // Folders that hold a kept entry stay; emptied ones go.
    QCOMPARE(QFileInfo::exists(inputs.folder + "/notes"), event == "skipped");
    QVERIFY(QFileInfo::exists(inputs.folder));
}

// Over an existing file and over a link to one: a failed run (an input
// that cannot be read, answered No) replaces nothing and leaves no
// temporary file; a completed one replaces the link as a name only.
void TestArchiveRun::failedArchiveRunLeavesTheOutputNameAsItWas()
{
    for (const bool link : {false, true}) {
        CoreSeam core;
        FormsFixture run;
        FormSet& forms = run.start(core.services());
        writeFile(run.path("in/a.txt"), "content");
        writeFile(run.path("important.txt"), "keep me");
        const QString archive = run.path("out/out.run");
        QDir().mkpath(run.path("out"));
        if (link)
            QVERIFY(QFile::link(run.path("important.txt"), archive));
        else
            writeFile(archive, "an older archive");
        const QByteArray before = readFile(archive);

        forms.fmMain->addFile(run.path("in/a.txt"));
        forms.fmMain->addFile(run.path("in/missing.txt"));
        {
            MessageBoxAnswers answers({QMessageBox::No});
            createArchive(forms, {"secret", "", archive});
        }
        QCOMPARE(readFile(archive), before);
        QCOMPARE(QFileInfo(archive).isSymLink(), link);
        QCOMPARE(readFile(run.path("important.txt")), QByteArray("keep me"));
        QCOMPARE(QDir(run.path("out")).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"out.run"});

        forms.fmMain->clearList();
        forms.fmMain->addFile(run.path("in/a.txt"));
        {
            MessageBoxAnswers answers;
            createArchive(forms, {"secret", "", archive});
        }
        QVERIFY(!QFileInfo(archive).isSymLink());
        QCOMPARE(readFile(run.path("important.txt")), QByteArray("keep me"));
        QCOMPARE(extractedWith(archive, run.path("extracted"), "secret\n"), QStringList{});
        QCOMPARE(readFile(run.path("extracted/a.txt")), QByteArray("content"));
    }
}

QTEST_MAIN(TestArchiveRun)
#include "tst_archive_run.moc"
