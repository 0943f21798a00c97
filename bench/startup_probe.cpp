// The editor as it starts for a user: the program's start-up steps in the
// order its main takes them, then the main window shown with a configuration
// opened from the command line; the process ends as soon as the canvas has
// painted its first page. startup_bench times it from outside.
#include "app/FontWarmup.h"
#include "app/StartupSteps.h"
#include "canvas/DashCanvas.h"
#include "window/MainWindow.h"

#include "FirstPaint.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_probe <config.zconf2>\n");
        return 2;
    }
    FontWarmup fontconfig(FontWarmup::Fontconfig);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindrel AS"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvelanto"));
    // The icon the program sets from beside itself.
    QApplication::setWindowIcon(QIcon(QStringLiteral(KORV_APP_ICON)));
    startup::installFileLogger();
    startup::runTemplateMigrations();
    startup::registerUrlScheme();
    fontconfig.wait();

    const FontWarmup fontDatabase(FontWarmup::FontDatabase);
    MainWindow window;
    FirstPaint watcher;
    window.show();
    window.openFilePath(QString::fromLocal8Bit(argv[1]));
    const QList<DashCanvas*> canvases = window.findChildren<DashCanvas*>();
    if (canvases.isEmpty()) {
        std::fprintf(stderr, "startup_probe: no canvas\n");
        return 1;
    }
    for (DashCanvas* canvas : canvases)
        canvas->installEventFilter(&watcher);
    return QApplication::exec();
}
