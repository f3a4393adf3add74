// The front end: every window is created once, in start-up order, then the
// main window runs until it closes. libivqa is linked at load time, so its
// random pool is seeded (or the process ended) before main() runs.
#include "frontend/TfmMain.h"
#include "frontend/form_set.h"
#include "frontend/settings_store.h"
#include "frontend/theme_icons.h"
#include "platform/process_hardening.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    HardenProcess();
    QApplication app(argc, argv);
    installIconThemeFallback();

    SettingsStore settings(chooseIniPath(gatherConfigLocationFacts()));
    FormSet forms(settings);
    forms.fmMain->show();
    return app.exec();
}
