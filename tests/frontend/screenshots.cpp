// Draws every window of the front end on a real X server and saves them as
// PNG files for a reviewer, in $IVQA_SCREENSHOT_DIR: the main window with a
// few entries, every Options page, the compression-level dialog, both pages
// of the archive creation dialog, both progress windows in mid-run, the
// generators and the About box. Fails when a picture cannot be made.
#include "core_seam.h"
#include "forms_fixture.h"
#include "frontend/help/TfmAbout.h"
#include "frontend/options/TfmChangeCompLevel.h"
#include "frontend/create/TfmCreateSDAProgress.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/generators/TfmKeyfileGen.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/generators/TfmPassphrGen.h"
#include "frontend/wipe/TfmWipeProgress.h"
#include "frontend/create/archive_job.h"
#include "frontend/widgets/radio_group.h"
#include "frontend/widgets/theme_icons.h"
#include "module_runner.h"
#include "ui_driver.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBlock>
#include <QToolButton>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <cstdio>

namespace {

bool grab(QWidget& window, const QDir& folder, const QString& name)
{
    const QString file = folder.filePath(name + ".png");
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

bool shoot(QWidget& window, const QDir& folder, const QString& name)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "%s: window not exposed\n", qPrintable(name));
        return false;
    }
    QTest::qWait(100);  // let the style finish its first paint
    return grab(window, folder, name);
}

// Runs `start` (which shows `window` modally until a run ends) and takes
// the picture while the seam holds the worker in its third step; the run
// waits a while in its second, so that the speed and time left are shown.
bool shootMidRun(CoreSeam& core, QWidget& window, const QDir& folder, const QString& name,
                 const std::function<void()>& start)
{
    bool ok = false;
    bool waited = false;
    bool busy = false; // the waits below run the timer's events again
    core.holdAtStep(2);
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (busy || !core.holding() || !window.isVisible())
            return;
        busy = true;
        if (!waited) {
            waited = true;
            QTest::qWait(1100);
            core.holdAtStep(1);
            core.release();
            busy = false;
            return;
        }
        watch.stop();
        ok = QTest::qWaitForWindowExposed(&window);
        QTest::qWait(150);
        ok = ok && grab(window, folder, name);
        core.release();
    });
    watch.start();
    start();
    if (!ok)
        std::fprintf(stderr, "%s: the run was not caught in mid-run\n", qPrintable(name));
    return ok;
}

// Fills the creation dialog, presses OK and takes the picture of the
// message that ends the run.
bool shootCompletion(FormSet& forms, const QDir& folder, const QString& output)
{
    bool ok = false;
    MessageBoxAnswers boxes;
    boxes.answerWith([&](QMessageBox& box) {
        if (!box.text().startsWith("The archive was written")) {
            std::fprintf(stderr, "completion_message: %s\n", qPrintable(box.text()));
            return QMessageBox::Ok;
        }
        ok = QTest::qWaitForWindowExposed(&box);
        QTest::qWait(150);
        ok = ok && grab(box, folder, "completion_message");
        return QMessageBox::Ok;
    });
    NextModal<TfmCreatingSDA> fill([&](TfmCreatingSDA* dialog) {
        dialog->edPasswd1->setText("secret");
        dialog->edPasswd2->setText("secret");
        dialog->edOutFile->setText(output);
        dialog->bbOK->click();
    });
    forms.fmMain->tbCreateSDA->trigger();
    if (!ok)
        std::fprintf(stderr, "completion_message: no message after the run\n");
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installIconThemeFallback();
    const QString target = qEnvironmentVariable("IVQA_SCREENSHOT_DIR");
    if (target.isEmpty() || !QDir().mkpath(target)) {
        std::fprintf(stderr, "IVQA_SCREENSHOT_DIR must name a folder that can be created\n");
        return 1;
    }
    const QDir folder(target);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    TfmMain& main = *forms.fmMain;
    TfmOptions& options = *forms.fmOptions;

    main.addFile("/home/alice/Documents/report.odt");
    main.addFolder("/home/alice/Photos");
    options.tbCompLevel->setValue(0);
    main.addFile("/home/alice/archive.tar.xz");
    options.tbCompLevel->setValue(9);
    main.addFolder("/");
    main.refreshStatus();
    main.lvInput->selectionModel()->select(main.inputList().index(1, 0),
                                           QItemSelectionModel::ClearAndSelect
                                               | QItemSelectionModel::Rows);

    bool ok = shoot(main, folder, "main_window");

    options.cbCipher->setCurrentIndex(3);
    const char* pages[] = {"options_1_cryptography", "options_2_compression", "options_3_wipe",
                           "options_4_others"};
    for (int page = 0; page < options.pcOptions->count(); ++page) {
        options.pcOptions->setCurrentIndex(page);
        ok = shoot(options, folder, pages[page]) && ok;
    }
    options.tbCompLevel->setValue(0);
    options.pcOptions->setCurrentIndex(1);
    ok = shoot(options, folder, "options_2_compression_level_0") && ok;
    options.hide();
    options.cbCipher->setCurrentIndex(0);
    options.tbCompLevel->setValue(7);

    forms.fmChangeCompLevel->tbNewCompLevel->setValue(3);
    ok = shoot(*forms.fmChangeCompLevel, folder, "change_comp_level") && ok;
    forms.fmChangeCompLevel->hide();

    TfmCreatingSDA& creating = *forms.fmCreatingSDA;
    creating.edPasswd1->setText("correct horse battery");
    creating.edPasswd2->setText("correct horse battery");
    creating.edPassFile->setText("file:///home/alice/Keys/my.key");
    creating.edOutFile->setText("/home/alice/backup.run");
    creating.pcCreatingSDA->setCurrentIndex(0);
    ok = shoot(creating, folder, "creating_sda_1_general") && ok;
    creating.pcCreatingSDA->setCurrentIndex(1);
    ok = shoot(creating, folder, "creating_sda_2_module_options") && ok;
    creating.reject();

    // Real runs over real files, caught in their third step.
    main.clearList();
    writeFile(run.path("in/holiday-video.mkv"), noise(6 * 1048576, 5));
    main.addFile(run.path("in/holiday-video.mkv"));
    main.inputList().setLevel(0, 0);
    auto job = std::make_unique<ArchiveJob>();
    job->modulePath = QDir(forms.moduleDir()).filePath("GUI_en.iqm");
    job->outputPath = run.path("out.run");
    job->passphrase.assign(u"secret");
    job->entries = takeRunEntries(main.inputList());
    ok = shootMidRun(core, *forms.fmCreateSDAProgress, folder, "create_sda_progress",
                     [&] { forms.fmCreateSDAProgress->run(*job); })
        && ok;
    // The completed run has cleared the list.
    main.addFile(run.path("in/holiday-video.mkv"));
    options.rgWipeAlg->setItemIndex(0);
    options.udPassCnt->setValue(1);
    ok = shootMidRun(core, *forms.fmWipeProgress, folder, "wipe_progress",
                     [&] { forms.fmWipeProgress->run(WipeMode::Wipe); })
        && ok;

    // A whole archive run from the creation dialog, deleting its input: the
    // one message at its end.
    options.rgInFilesAction->setItemIndex(1);
    writeFile(run.path("in/letter.txt"), "Dear Bob,\n");
    writeFile(run.path("in/photos/beach.jpg"), noise(300000, 6));
    main.clearList();
    main.addFile(run.path("in/letter.txt"));
    main.addFolder(run.path("in/photos"));
    ok = shootCompletion(forms, folder, run.path("letters.run")) && ok;
    options.rgInFilesAction->setItemIndex(0);

    TfmPassphrGen& passphrases = *forms.fmPassphrGen;
    passphrases.show();
    passphrases.bbGenerate->click();
    ok = shoot(passphrases, folder, "passphrase_generator") && ok;
    passphrases.reject();

    // Opened from the creation dialog: Use, the second line selected whole.
    bool usable = false;
    QTimer use;
    use.setInterval(10);
    QObject::connect(&use, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != &passphrases)
            return;
        use.stop();
        passphrases.bbGenerate->click();
        QTextCursor line(passphrases.mmOutput->document()->findBlockByNumber(1));
        line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        passphrases.mmOutput->setTextCursor(line);
        usable = QTest::qWaitForWindowExposed(&passphrases);
        QTest::qWait(100);
        usable = usable && grab(passphrases, folder, "passphrase_generator_use");
        passphrases.reject();
    });
    use.start();
    creating.show();
    creating.sbPassphrGen->click();
    creating.reject();
    ok = usable && ok;

    TfmKeyfileGen& keyfiles = *forms.fmKeyfileGen;
    keyfiles.edOutFile->setText("/home/alice/Keys/my.key");
    ok = shoot(keyfiles, folder, "keyfile_generator") && ok;
    keyfiles.reject();

    ok = shoot(*forms.fmAbout, folder, "about") && ok;
    forms.fmAbout->hide();
    return ok ? 0 : 1;
}
