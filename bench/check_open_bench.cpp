// Check config and the open at a full install, on configurations of 30 and
// 120 pages of 15 masks (every rule of the check meets its case now and
// then): each printed as the 120-page time against the 30-page one, measured
// in the same run with their rounds interleaved. What the editor does grows
// with the file: the four times larger file may take at most five times as
// long. HOME, the settings and both installs live in a temporary folder.

#include "bench/InterleavedMedians.h"
#include "check/ConfigCheck.h"
#include "model/DashConfig.h"
#include "support/FullInstallFixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "window/MainWindow.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kSmall = 30;
constexpr int kLarge = 120;
constexpr double kAim = 5.0;

// The open logs what it finds: only what goes wrong is shown.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool report(const char* what, const Medians& m, int findingsSmall, int findingsLarge)
{
    const double ratio = m.ours / m.base;
    std::printf("%-13s %3d pages %9.1f ms   %3d pages %9.1f ms   ratio %5.2f   aim <= %.0f%s\n", what, kSmall,
                m.base / 1e6, kLarge, m.ours / 1e6, ratio, kAim, ratio <= kAim ? "" : "   MISSED");
    if (findingsSmall >= 0)
        std::printf("              findings: %d and %d\n", findingsSmall, findingsLarge);
    return ratio <= kAim;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    QApplication app(argc, argv);
    ScriptedAsker asker;
    const FullInstallFixture install;
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("configs"));
    const QString small = install.isValid() ? install.writeConfig(folder, QStringLiteral("Club"), kSmall) : QString();
    const QString large = small.isEmpty() ? QString() : install.writeConfig(folder, QStringLiteral("Season"), kLarge);
    DashConfig smallConfig;
    DashConfig largeConfig;
    if (large.isEmpty() || !smallConfig.load(small) || !largeConfig.load(large)) {
        std::fprintf(stderr, "check_open_bench: could not build the install and its configurations\n");
        return 1;
    }
    std::printf("check_open_bench: a full install, configurations of %d and %d pages of 15 masks\n", kSmall, kLarge);

    int findingsSmall = 0;
    int findingsLarge = 0;
    const Medians check = interleavedMedians(
        [&] { findingsLarge = int(ConfigCheck::checkConfig(largeConfig).size()); },
        [&] { findingsSmall = int(ConfigCheck::checkConfig(smallConfig).size()); }, 11, 3, 1);
    bool met = report("Check config", check, findingsSmall, findingsLarge);

    // The second open of each: what a user waits for every time.
    MainWindow window;
    window.loadConfig(large);
    if (window.currentFile() != large) {
        std::fprintf(stderr, "check_open_bench: the window could not open %s\n", qPrintable(large));
        return 1;
    }
    const Medians open = interleavedMedians([&] { window.loadConfig(large); }, [&] { window.loadConfig(small); },
                                            9, 1, 1);
    met = report("open", open, -1, -1) && met;
    return met ? 0 : 1;
}
