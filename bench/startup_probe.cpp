// The editor as it starts for a user: the program's start-up steps in the
// order its main takes them, then the main window shown with a configuration
// named on the command line, opened as main schedules it (once the window is
// on screen); the process ends as soon as the canvas has painted the page.
// startup_bench times it from outside. With --open-at-once after the file the
// open starts right after show(), before the window is on screen, as the
// probe of earlier versions did: a figure comparable to theirs.
#include "app/FontWarmup.h"
#include "app/StartupSteps.h"
#include "app/WindowedStart.h"
#include "canvas/DashCanvas.h"
#include "window/MainWindow.h"

#include <QEvent>

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// The canvas paints once empty, with the window's first expose, before the
// open has read the file: the probe ends at its first paint of a page.
class PagePainted : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto* canvas = static_cast<DashCanvas*>(watched);
        if (event->type() == QEvent::Paint && canvas->config && canvas->config->pageCount() > 0)
            QTimer::singleShot(0, [] {
                std::fflush(stdout);
                std::_Exit(0);
            });
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_probe <config.zconf2> [--open-at-once]\n");
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
    startup::clearAbandonedExtractFolders();
    fontconfig.wait();

    const WindowedStart start = WindowedStart::scan(QCoreApplication::arguments());
    const FontWarmup fontDatabase(FontWarmup::FontDatabase);
    MainWindow window;
    PagePainted watcher;
    window.show();
    if (argc > 2 && qstrcmp(argv[2], "--open-at-once") == 0)
        window.openFilePath(QString::fromLocal8Bit(argv[1]));
    else
        start.schedule(window);
    const QList<DashCanvas*> canvases = window.findChildren<DashCanvas*>();
    if (canvases.isEmpty()) {
        std::fprintf(stderr, "startup_probe: no canvas\n");
        return 1;
    }
    for (DashCanvas* canvas : canvases)
        canvas->installEventFilter(&watcher);
    return QApplication::exec();
}
