// Rebuilds the element catalog over a synthetic pair of RS3 installs holding
// 5,000 element files and prints how long that takes relative to a plain
// walk that opens and reads the same files; then loads the catalog file it
// wrote and prints that relative to QJsonDocument::fromJson of the same
// bytes. Both sides are measured in this run. Everything lives in a
// temporary folder: HOME, the settings and the application data folder
// point there, so the user's own catalog and settings are never touched.

#include "model/InstallRoots.h"
#include "panels/ElementCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kFiles = 5000;
constexpr int kInStable = 3000;
constexpr int kSharedKeys = 500; // beta elements that the stable install also has

double medianMs(int rounds, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray m2Xml(const QString& id, bool bar)
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n"
                          "  <e c=\"GMaskParam\" i=\"%1\">\n"
                          "    <p n=\"VERSION\">1.1</p>\n"
                          "    <p n=\"WIDTH\">%2</p>\n"
                          "    <p n=\"HEIGHT\">%3</p>\n"
                          "    <p n=\"PATH_IMAGE\">mask.png</p>\n"
                          "    <e c=\"Axis\" i=\"00\">\n      <p n=\"CHANNEL_NOT_SET\">0</p>\n    </e>\n"
                          "    <e c=\"%4\" i=\"01\">\n      <p n=\"AXIS_REF\">00</p>\n    </e>\n"
                          "  </e>\n</aimDataBase_Mask2>\n")
        .arg(id)
        .arg(bar ? 300 : 120)
        .arg(bar ? 40 : 60)
        .arg(bar ? QStringLiteral("BargraphTrapezio") : QStringLiteral("Digit"))
        .toUtf8();
}

// Element k of the tree: the first kInStable in the stable install, the rest
// in the beta install, kSharedKeys of those at places the stable one has too.
bool buildTree(const QString& stableOverlay, const QString& betaOverlay)
{
    for (int k = 0; k < kFiles; ++k) {
        const bool stable = k < kInStable;
        const int idx = stable ? k : k - kSharedKeys;
        const QString folder = QStringLiteral("%1/dev%2/set/s%3/page%4/Items/item%5")
                                   .arg(stable ? stableOverlay : betaOverlay)
                                   .arg(idx / 500)
                                   .arg((idx / 100) % 5)
                                   .arg((idx / 20) % 5)
                                   .arg(idx % 20);
        const bool bar = idx % 3 == 0;
        if (!QDir().mkpath(folder) || !writeFile(folder + QStringLiteral("/item.M2.xml"), m2Xml(folder, bar))
            || !writeFile(folder + QStringLiteral("/mask.png"), "png") || !writeFile(folder + QStringLiteral("/mask.tgz"), "tgz"))
            return false;
        if (bar && !writeFile(folder + QStringLiteral("/scala_rpm_ON_8.png"), "png"))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) {
        std::fprintf(stderr, "catalog_bench: no temporary folder\n");
        return 1;
    }
    const QByteArray home = sandbox.path().toUtf8();
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_DATA_HOME", home + "/data");
    qputenv("APPDATA", home + "/appdata");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindrel AS"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvelanto"));

    const QString stableRoot = sandbox.path() + QStringLiteral("/RaceStudio3");
    const QString betaRoot = sandbox.path() + QStringLiteral("/RaceStudio3_beta");
    // Only installs that exist count as installs.
    QDir().mkpath(stableRoot);
    QDir().mkpath(betaRoot);
    {
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        settings.setValue(QStringLiteral("paths/raceStudio3Root"), stableRoot);
        settings.setValue(QStringLiteral("paths/raceStudio3BetaRoot"), betaRoot);
    }
    setLocalOverlayRootOverride(sandbox.path() + QStringLiteral("/program/aim/resources/overlay"));
    const QStringList roots = allOverlayRoots();
    if (!buildTree(roots.at(0), roots.at(1))) {
        std::fprintf(stderr, "catalog_bench: could not build the tree\n");
        return 1;
    }

    qint64 sink = 0;
    int entries = 0;
    const double rebuildMs = medianMs(5, [&] { entries = ElementCatalog::rebuild(); });
    const double walkMs = medianMs(5, [&] {
        for (const QString& root : roots) {
            QDirIterator it(root, {QStringLiteral("*.M2.xml")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile f(it.next());
                if (f.open(QIODevice::ReadOnly))
                    sink += f.readAll().size();
            }
        }
    });
    if (entries != kFiles - kSharedKeys) {
        std::fprintf(stderr, "catalog_bench: %d entries, expected %d\n", entries, kFiles - kSharedKeys);
        return 1;
    }

    QFile file(ElementCatalog::catalogPath());
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "catalog_bench: no catalog file was written\n");
        return 1;
    }
    const QByteArray json = file.readAll();
    bool loaded = true;
    const double loadMs = medianMs(21, [&] { loaded = ElementCatalog::load() && loaded; });
    const double parseMs = medianMs(21, [&] { sink += QJsonDocument::fromJson(json).object().size(); });
    if (!loaded || ElementCatalog::entries().size() != entries) {
        std::fprintf(stderr, "catalog_bench: the catalog did not load back\n");
        return 1;
    }

    std::printf("catalog_bench: %d element files in two installs, %d entries, %lld bytes of catalog\n", kFiles,
                entries, static_cast<long long>(json.size()));
    std::printf("rebuild %9.1f ms   plain walk and read %9.1f ms   ratio %.2f\n", rebuildMs, walkMs,
                rebuildMs / walkMs);
    std::printf("load    %9.1f ms   QJsonDocument::fromJson %5.1f ms   ratio %.2f\n", loadMs, parseMs,
                loadMs / parseMs);
    std::printf("(checksum %lld)\n", static_cast<long long>(sink));
    return 0;
}
