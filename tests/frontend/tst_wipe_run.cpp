// The wipe worker over the real wipe engine: from the main window, the skip
// question, Break in both modes, a failed IQ_WipeInit.
#include "core_seam.h"
#include "forms_fixture.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/wipe/TfmWipeProgress.h"
#include "frontend/widgets/radio_group.h"
#include "module_runner.h"
#include "platform/copy_on_write.h"
#include "scratch_mount.h"
#include "ui_driver.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

const QString kCaption = "Ironquiver Self-Decryptor";

// Runs `look` on the GUI thread each time the worker is held before an
// entry call, then lets it go on.
class OnHold : public QObject {
public:
    OnHold(CoreSeam& core, std::function<void()> look)
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [&core, look = std::move(look)] {
            if (!core.holding())
                return;
            look();
            core.release();
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

struct Inputs {
    QString file;
    QString folder;
};

Inputs makeInputs(const FormsFixture& run)
{
    writeFile(run.path("in/a.txt"), noise(700000, 3));
    writeFile(run.path("in/tree/one.bin"), noise(5000, 4));
    writeFile(run.path("in/tree/deeper/two.txt"), "two");
    QDir().mkpath(run.path("in/tree/deeper/empty"));
    return {run.path("in/a.txt"), run.path("in/tree")};
}

void useFastWipe(FormSet& forms, int passes)
{
    forms.fmOptions->rgWipeAlg->setItemIndex(0);
    forms.fmOptions->udPassCnt->setValue(passes);
}

} // namespace

class TestWipeRun : public QObject {
    Q_OBJECT

private slots:
    void wipeFromTheMainWindow();
    void skipQuestion_data();
    void skipQuestion();
    void breakQuestion_data();
    void breakQuestion();
    void failedWipeInitTouchesNothing();
    void copyOnWriteNotice();
};

void TestWipeRun::wipeFromTheMainWindow()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    forms.fmMain->addFile(inputs.file);
    forms.fmMain->addFolder(inputs.folder);
    forms.fmMain->refreshStatus();
    useFastWipe(forms, 2);
    TfmWipeProgress& progress = *forms.fmWipeProgress;

    // Held before the folder: the file's name, title and bar are on show.
    QString memo;
    QString title;
    int barValue = -1;
    int barMaximum = -1;
    bool shown = false;
    bool minimized = false;
    core.holdNextEntry();
    OnHold look(core, [&] {
        if (core.count("WipeFile") == 0) {
            core.holdNextEntry();
            return;
        }
        shown = progress.isVisible();
        memo = progress.mmCurFile->toPlainText();
        title = forms.fmMain->windowTitle();
        barValue = progress.pbProgress->value();
        barMaximum = progress.pbProgress->maximum();
        progress.bbMinimize->click();
        minimized = forms.fmMain->isMinimized();
    });

    MessageBoxAnswers answers({QMessageBox::Yes});
    forms.fmMain->tbWipe->trigger();

    QCOMPARE(describe(answers.seen()),
             QStringList{"Confirmation | question | Yes/No | No | Do you realy want to wipe files?"});
    QCOMPARE(core.calls(), (QStringList{"WipeInit(2 0)", "WipeFile(" + inputs.file + ") -> 0",
                                        "WipeDir(" + inputs.folder + ") -> 0", "WipeFinal"}));
    QVERIFY(shown);
    QCOMPARE(memo, QString("Removing:\n\na.txt"));
    QCOMPARE(title, QString("Removing \"a.txt\"..."));
    // Two repetitions of one pass over two 512 KiB pieces.
    QCOMPARE(barMaximum, 4);
    QCOMPARE(barValue, 4);
    // Minimize hides the whole program; the end of the run restores it.
    QVERIFY(minimized);
    QVERIFY(!forms.fmMain->isMinimized());

    QVERIFY(!QFile::exists(inputs.file));
    QVERIFY(!QFileInfo::exists(inputs.folder));
    QVERIFY(forms.fmMain->inputList().isEmpty());
    QCOMPARE(forms.fmMain->spHelpPanels[0]->text(), QString("Folders: 0"));
    QCOMPARE(forms.fmMain->spHelpPanels[1]->text(), QString("Files: 0"));
    // The file and the folder with its four entries.
    QCOMPARE(forms.fmMain->spHelpPanels[2]->text(), QString("Wipe done: 6 entries wiped."));
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
    QCOMPARE(progress.mmCurFile->toPlainText(), QString("Removing:\n"));
    QVERIFY(!progress.isVisible());
}

void TestWipeRun::skipQuestion_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("laterEntryGone");

    QTest::newRow("wipe, skipped") << 2 << QMessageBox::Yes << true;
    QTest::newRow("wipe, not skipped") << 2 << QMessageBox::No << false;
    QTest::newRow("delete, skipped") << 1 << QMessageBox::Yes << true;
    QTest::newRow("delete, not skipped") << 1 << QMessageBox::No << false;
}

void TestWipeRun::skipQuestion()
{
    QFETCH(int, mode);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, laterEntryGone);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    useFastWipe(forms, 1);
    const QString missing = run.path("in/missing.txt");
    writeFile(run.path("in/later.txt"), "later");
    forms.fmMain->addFile(missing);
    forms.fmMain->addFile(run.path("in/later.txt"));

    MessageBoxAnswers answers({answer});
    QVERIFY(forms.fmWipeProgress->run(static_cast<WipeMode>(mode)));

    QStringList boxes{"Confirmation | question | Yes/No | No | Can not remove \"" + missing
                      + "\"! Do you want to skip it?"};
    if (answer == QMessageBox::No)
        boxes << "Error | error | OK | OK | Can not open input file!";
    QCOMPARE(describe(answers.seen()), boxes);
    QCOMPARE(QFile::exists(run.path("in/later.txt")), !laterEntryGone);
    QCOMPARE(core.count("WipeFinal"), mode == 2 ? 1 : 0);
    // Cleared also when the loop stopped on an error.
    QVERIFY(forms.fmMain->inputList().isEmpty());
}

void TestWipeRun::breakQuestion_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("delete, aborted") << 1 << QMessageBox::Yes << QStringList{"RmFile(%1) -> 8"};
    QTest::newRow("wipe, aborted")
        << 2 << QMessageBox::Yes << QStringList{"WipeInit(1 0)", "WipeFile(%1) -> 8", "WipeFinal"};
    QTest::newRow("delete, resumed") << 1 << QMessageBox::No
                                     << QStringList{"RmFile(%1) -> 0", "RmDir(%2) -> 0"};
    QTest::newRow("wipe, resumed")
        << 2 << QMessageBox::No
        << QStringList{"WipeInit(1 0)", "WipeFile(%1) -> 0", "WipeDir(%2) -> 0", "WipeFinal"};
}

void TestWipeRun::breakQuestion()
{
    QFETCH(int, mode);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, calls);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    useFastWipe(forms, 1);
    const Inputs inputs = makeInputs(run);
    forms.fmMain->addFile(inputs.file);
    forms.fmMain->addFolder(inputs.folder);
    TfmWipeProgress& progress = *forms.fmWipeProgress;

    bool callbackHeld = false;
    MessageBoxAnswers answers;
    answers.answerWith([&](QMessageBox&) {
        const int entered = core.callbacksEntered();
        const int returned = core.callbacksReturned();
        core.release();
        const bool reached = QTest::qWaitFor([&] { return core.callbacksEntered() > entered; }, 10000);
        QTest::qWait(150);
        callbackHeld = reached && core.callbacksReturned() == returned;
        return answer;
    });
    core.holdNextEntry();
    QTimer breaker;
    breaker.setInterval(5);
    connect(&breaker, &QTimer::timeout, this, [&] {
        if (core.holding() && progress.isVisible()) {
            breaker.stop();
            progress.bbBreak->click();
        }
    });
    breaker.start();
    QVERIFY(progress.run(static_cast<WipeMode>(mode)));

    QCOMPARE(describe(answers.seen()),
             QStringList{"Confirmation | question | Yes/No | No | Do you realy want to abort wiping?"});
    QVERIFY(callbackHeld);
    for (QString& call : calls)
        call.replace("%1", inputs.file).replace("%2", inputs.folder);
    QCOMPARE(core.calls(), calls);
    const bool aborted = answer == QMessageBox::Yes;
    QCOMPARE(QFile::exists(inputs.file), aborted);
    QCOMPARE(forms.fmMain->inputList().isEmpty(), !aborted);
    QCOMPARE(forms.fmMain->windowTitle(), kCaption);
}

void TestWipeRun::failedWipeInitTouchesNothing()
{
    CoreSeam core;
    core.wipeInitResult = [] { return CoreResult(IQ_OUT_OF_MEMORY); };
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const Inputs inputs = makeInputs(run);
    forms.fmMain->addFile(inputs.file);

    MessageBoxAnswers answers({QMessageBox::Yes});
    forms.fmMain->mnWipe->trigger();
    QCOMPARE(describe(answers.seen()),
             (QStringList{"Confirmation | question | Yes/No | No | Do you realy want to wipe files?",
                          "Error | error | OK | OK | Not enaugh memory!"}));
    QCOMPARE(core.calls(), QStringList{"WipeInit(8 1)"});
    QVERIFY(QFile::exists(inputs.file));
    QCOMPARE(forms.fmMain->inputList().entries().size(), size_t(1));
}

// The confirmation adds one sentence when an input lies on a copy-on-write
// file system, where the overwrite cannot reach the old contents.
void TestWipeRun::copyOnWriteNotice()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    QVERIFY(QDir().mkpath(run.path("cow")));
    ScratchMount btrfs("btrfs", run.path("image").toStdString(), 128, run.path("cow").toStdString());
    if (!btrfs.Mounted())
        QSKIP(btrfs.Why().c_str());
    writeFile(run.path("plain.txt"), "plain");
    writeFile(run.path("cow/secret.txt"), "secret");
    const QString question = "Confirmation | question | Yes/No | No | Do you realy want to wipe files?";

    forms.fmMain->addFile(run.path("plain.txt"));
    {
        MessageBoxAnswers plain({QMessageBox::No});
        forms.fmMain->tbWipe->trigger();
        QCOMPARE(describe(plain.seen()), QStringList{question});
    }
    forms.fmMain->addFile(run.path("cow/secret.txt"));
    MessageBoxAnswers told({QMessageBox::No});
    forms.fmMain->tbWipe->trigger();
    QCOMPARE(describe(told.seen()), QStringList{question + "\n" + QString::fromUtf8(CopyOnWriteNotice)});
    QCOMPARE(core.calls(), QStringList{});
    QVERIFY(QFile::exists(run.path("cow/secret.txt")));
}

QTEST_MAIN(TestWipeRun)
#include "tst_wipe_run.moc"
