// Times the whole headless render of the demo configuration against the same
// executable started with arguments that make it exit at once, so process
// start-up and library loading cancel out of the ratio.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianRunMs(const QStringList& args, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        p.start(QStringLiteral(KORV_EXECUTABLE), args);
        p.waitForFinished(-1);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/page.png");
    const int runs = 9;
    const double baseline = medianRunMs({QStringLiteral("--dump-preview"), out}, runs);
    const double geometry = medianRunMs(
        {QStringLiteral("--dump-preview"), out, QStringLiteral("--input"), QStringLiteral(KORV_DEMO)}, runs);
    const double sample = medianRunMs({QStringLiteral("--dump-preview"), out, QStringLiteral("--input"),
                                       QStringLiteral(KORV_DEMO), QStringLiteral("--sample-data")},
                                      runs);
    std::printf("exit at once (baseline): %.1f ms (median of %d)\n", baseline, runs);
    std::printf("geometry render: %.1f ms, ratio %.2f\n", geometry, geometry / baseline);
    std::printf("sample-data render: %.1f ms, ratio %.2f\n", sample, sample / baseline);
    return 0;
}
