// Draws the main window with a few entries and every page of the Options
// dialog on a real X server and saves them as PNG files for a reviewer, in
// $IVQA_SCREENSHOT_DIR. Fails when a picture cannot be made.
#include "forms_fixture.h"
#include "frontend/TfmChangeCompLevel.h"
#include "frontend/TfmMain.h"
#include "frontend/TfmOptions.h"
#include "frontend/theme_icons.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <cstdio>

namespace {

bool shoot(QWidget& window, const QDir& folder, const QString& name)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "%s: window not exposed\n", qPrintable(name));
        return false;
    }
    QTest::qWait(100);  // let the style finish its first paint
    const QString file = folder.filePath(name + ".png");
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
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

    FormsFixture run;
    FormSet& forms = run.start();
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

    forms.fmChangeCompLevel->tbNewCompLevel->setValue(3);
    ok = shoot(*forms.fmChangeCompLevel, folder, "change_comp_level") && ok;
    forms.fmChangeCompLevel->hide();
    return ok ? 0 : 1;
}
