#include "app/FontWarmup.h"
#include "app/HeadlessPreview.h"
#include "window/MainWindow.h"
#include "app/StartupSteps.h"
#include "app/WindowedStart.h"
#include "model/SafeRead.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstring>

namespace {

bool hasArgument(int argc, char** argv, const char* name)
{
    const size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, n) == 0 && (argv[i][n] == '\0' || argv[i][n] == '='))
            return true;
    }
    return false;
}

// The headless render needs no display: without an explicit platform it runs
// on the offscreen one, so it works over ssh and in CI.
void chooseHeadlessPlatform(int argc, char** argv)
{
    if (!hasArgument(argc, argv, "--dump-preview"))
        return;
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || hasArgument(argc, argv, "-platform"))
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

void addOptions(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(QStringLiteral("dump-preview"),
                                        QStringLiteral("Render one page of --input to <output>.png and exit"),
                                        QStringLiteral("output")));
    parser.addOption(QCommandLineOption(QStringLiteral("input"),
                                        QStringLiteral("Input .zconf2 file for --dump-preview"),
                                        QStringLiteral("input")));
    parser.addOption(QCommandLineOption(QStringLiteral("scale"),
                                        QStringLiteral("Render scale multiplier (default 1)"),
                                        QStringLiteral("scale"), QStringLiteral("1")));
    parser.addOption(QCommandLineOption(QStringLiteral("page"),
                                        QStringLiteral("Zero-based page index to render (default 0)"),
                                        QStringLiteral("page"), QStringLiteral("0")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("sample-data"),
        QStringLiteral("Render widgets with synthetic sample values + text (live-dash preview) instead of geometry only")));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
}

} // namespace

int main(int argc, char** argv)
{
    startup::applyPendingUpdate(argc, argv);
    chooseHeadlessPlatform(argc, argv);

    FontWarmup fontconfig(FontWarmup::Fontconfig);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindrel AS"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvelanto"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0"));
    // Read as a plain file only: a pipe put in its place would hold the start.
    const QPixmap icon = QPixmap::fromImage(
        SafeRead::readImage(QCoreApplication::applicationDirPath() + QStringLiteral("/assets/icon.png")));
    QApplication::setWindowIcon(QIcon(icon));
    startup::installFileLogger();
    startup::runTemplateMigrations();
    startup::registerUrlScheme();
    startup::clearAbandonedExtractFolders();

    QCommandLineParser parser;
    addOptions(parser);
    parser.parse(QCoreApplication::arguments());

    fontconfig.wait();
    if (parser.isSet(QStringLiteral("dump-preview")))
        return runDumpPreview(parser);

    const WindowedStart start = WindowedStart::scan(QCoreApplication::arguments());
    const FontWarmup fontDatabase(FontWarmup::FontDatabase);
    MainWindow window;
    window.show();
    start.schedule(window);
    return QApplication::exec();
}
