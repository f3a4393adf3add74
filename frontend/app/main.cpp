// The front end: every window is created once, in start-up order, then the
// main window runs until it closes. libivqa is linked at load time, so its
// random pool is seeded (or the process ended) before main() runs.
#include "frontend/app/app_icon.h"
#include "frontend/app/form_set.h"
#include "frontend/app/native_path.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/settings_store.h"
#include "frontend/widgets/theme_icons.h"
#include "platform/process_hardening.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    HardenProcess();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(kDesktopFileName);
    QApplication::setWindowIcon(applicationIcon());
    installIconThemeFallback();

    SettingsStore settings(chooseIniPath(gatherConfigLocationFacts()));
    FormSet forms(settings);
    forms.fmMain->show();
    // Qt has taken its own options out; what is left are the paths of Open
    // With. They are added once the window shows, so that a warning about one
    // of them has its window behind it.
    // Taken from argv, which Qt has left as bytes: arguments() would have
    // decoded a name that is not UTF-8 into one that names nothing.
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths.append(pathFromNative(argv[i]));
    if (!paths.isEmpty())
        QTimer::singleShot(0, forms.fmMain.get(), [&forms, paths] { forms.fmMain->openCommandLinePaths(paths); });
    return app.exec();
}
