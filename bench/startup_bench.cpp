// Start-up to the first painted page: the editor opening a configuration,
// against a minimal QMainWindow + QGraphicsView showing an 800 x 480 scene.
// Both are started as fresh processes, offscreen, with an empty home of
// their own; their runs alternate and the best of each counts.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double runMs(const QString& program, const QStringList& args, const QString& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "startup_bench: %s failed\n", qPrintable(program));
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    const QString probe = QStringLiteral(KORV_STARTUP_PROBE);
    const QString baseline = QStringLiteral(KORV_STARTUP_BASELINE);
    const QStringList config{QStringLiteral(KORV_DEMO)};
    // One of each first, so the page cache holds both programs' libraries.
    if (runMs(probe, config, home.path()) < 0 || runMs(baseline, {}, home.path()) < 0)
        return 1;
    const int rounds = 5;
    std::vector<double> ours;
    std::vector<double> base;
    for (int r = 0; r < rounds; ++r) {
        if (r % 2 == 0) {
            ours.push_back(runMs(probe, config, home.path()));
            base.push_back(runMs(baseline, {}, home.path()));
        } else {
            base.push_back(runMs(baseline, {}, home.path()));
            ours.push_back(runMs(probe, config, home.path()));
        }
    }
    const double bestOurs = *std::min_element(ours.begin(), ours.end());
    const double bestBase = *std::min_element(base.begin(), base.end());
    std::printf("startup_bench (best of %d, interleaved)\n", rounds);
    std::printf("  minimal QMainWindow + QGraphicsView: %7.1f ms\n", bestBase);
    std::printf("  editor, demo page painted:           %7.1f ms\n", bestOurs);
    std::printf("  row: start-up to the first painted page  ratio %.2f  goal <= 1.30\n", bestOurs / bestBase);
    return 0;
}
