// Export Install Bundle and Install Config Bundle for a configuration of 20
// pages, each using a homebrew template folder of its own (about 5,000 art
// files in all), timed against the same work done plainly in the same
// process: the export against zipping the same files (`zip -r` when it is
// on the PATH, else minizip writing them), the install against copying the
// bundle's art tree into both installs (std::filesystem, as `cp -r`). The
// install is timed twice: into installs without the art, and over the art
// of another computer (each replaced file kept in the backups). Printed as
// ratios of medians; rounds alternate between ours and the baseline.
//
// Usage: bundle_bench [rounds, default 5]

#include "gallery/ConfigBundleExport.h"
#include "gallery/ConfigBundleInstall.h"
#include "model/DashConfig.h"
#include "model/ZipWriter.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kPages = 20;
constexpr int kItems = 50; // five files each, with a page file and a background: 252 files a page

QString folderOf(int page)
{
    return QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/Page %1/").arg(page, 2, 10,
                                                                                                      QLatin1Char('0'));
}

// Art as pictures compress: runs of a few values, 1 to 16 kB.
QByteArray artBytes(QRandomGenerator& random, const QByteArray& salt)
{
    QByteArray bytes = salt;
    const int size = 1024 + int(random.bounded(15 * 1024));
    while (bytes.size() < size)
        bytes.append(int(random.bounded(24)), char('a' + random.bounded(16)));
    return bytes;
}

bool writeArt(const Rs3Fixture& rs3, const QByteArray& salt)
{
    QRandomGenerator random(7);
    for (int page = 0; page < kPages; ++page) {
        const QString folder = folderOf(page);
        bool ok = rs3.writeFile(Rs3Fixture::Stable, folder + QStringLiteral("pMain.P2.xml"), "<page/>" + salt)
            && rs3.writeFile(Rs3Fixture::Stable, folder + QStringLiteral("bkg.png"), artBytes(random, salt));
        for (int item = 1; ok && item <= kItems; ++item) {
            const QString items = folder + QStringLiteral("Items/md%1/").arg(item);
            for (const char* name : {"mask.png", "mask.tgz", "prw.png", "frame.png"})
                ok = ok && rs3.writeFile(Rs3Fixture::Stable, items + QLatin1String(name), artBytes(random, salt));
            ok = ok && rs3.writeFile(Rs3Fixture::Stable, items + QStringLiteral("md%1.M2.xml").arg(item), "<item/>");
        }
        if (!ok)
            return false;
    }
    return true;
}

QString writeConfig()
{
    ConfigFixture fixture;
    for (int page = 0; page < kPages; ++page) {
        FixtureElement mask = Fx::mask(QStringLiteral("m%1").arg(page), 0, 0, 100, 40);
        mask.p("PATH_REL_AiM_MASK", folderOf(page) + QStringLiteral("Items/md1/")).p("PATH_IMAGE", "mask.png");
        fixture.device().page(QStringLiteral("P%1").arg(page)).mask(mask);
    }
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("cfg")) + QStringLiteral("/Club Race.zconf2");
    return fixture.writeZip(path) ? path : QString();
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(folder.size() + 1);
    files.sort();
    return files;
}

bool zipWithMinizip(const QString& folder, const QString& zipPath)
{
    zipFile zip = openZipForWrite(zipPath);
    bool ok = zip != nullptr;
    for (const QString& rel : filesBelow(folder)) {
        if (!ok)
            break;
        QFile file(folder + QLatin1Char('/') + rel);
        ok = file.open(QIODevice::ReadOnly) && writeZipEntry(zip, rel, file.readAll());
    }
    return zip && zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool zipWithTool(const QString& folder, const QString& zipPath)
{
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), zipPath, QStringLiteral(".")});
    return zip.waitForFinished(-1) && zip.exitCode() == 0;
}

double msOf(const std::function<bool()>& work, bool* ok)
{
    QElapsedTimer timer;
    timer.start();
    *ok = work() && *ok;
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Row {
    const char* name;
    std::function<void()> prepare; // untimed, before each round of either side
    std::function<bool()> ours;
    std::function<bool()> base;
};

bool report(const Row& row, int rounds)
{
    std::vector<double> ours;
    std::vector<double> base;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            row.prepare();
            // Neither side pays for what the other left to write.
            ::sync();
            if ((side == 0) == (round % 2 == 0))
                ours.push_back(msOf(row.ours, &ok));
            else
                base.push_back(msOf(row.base, &ok));
        }
    }
    std::printf("%-32s ours %8.0f ms  baseline %8.0f ms  ratio %5.2f%s\n", row.name, median(ours), median(base),
                median(ours) / median(base), ok ? "" : "  (FAILED)");
    return ok;
}

void removeArt(const Rs3Fixture& rs3)
{
    for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
        std::filesystem::remove_all(rs3.absolutePath(which, QStringLiteral("aim")).toStdString());
}

bool copyTree(const QString& from, const Rs3Fixture& rs3, bool stable = true)
{
    std::error_code error;
    for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
        if (which == Rs3Fixture::Stable && !stable)
            continue;
        const QString to = rs3.absolutePath(which, QStringLiteral("aim"));
        std::filesystem::copy(from.toStdString(), to.toStdString(),
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                              error);
        if (error)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    const bool haveZip = !QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty();
    const QString work = TestEnvironment::makeTempDir(QStringLiteral("bench"));
    bool ok = true;

    // The export, on the computer that made the templates.
    QString bundle = work + QStringLiteral("/bundle.zip");
    QString tree = work + QStringLiteral("/tree");
    {
        Rs3Fixture home;
        DashConfig config;
        if (!writeArt(home, "home") || !config.load(writeConfig())) {
            std::fprintf(stderr, "bundle_bench: could not write the fixtures\n");
            return 1;
        }
        QString error;
        int art = 0;
        if (!exportConfigInstallBundle(config, bundle, &error, nullptr, &art) || !extractZipSafely(bundle, tree)) {
            std::fprintf(stderr, "bundle_bench: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%d art files, %d pages, bundle of %lld kB\n", art, kPages, QFileInfo(bundle).size() / 1024);
        const QString exported = work + QStringLiteral("/exported.zip");
        const QString zipped = work + QStringLiteral("/zipped.zip");
        ok = report({haveZip ? "export vs zip -r" : "export vs minizip",
                     [&] {
                         QFile::remove(exported);
                         QFile::remove(zipped);
                     },
                     [&] { return exportConfigInstallBundle(config, exported); },
                     [&] { return haveZip ? zipWithTool(tree, zipped) : zipWithMinizip(tree, zipped); }},
                    rounds)
            && ok;
    }

    // The install, on another computer.
    Rs3Fixture other;
    const QString art = tree + QStringLiteral("/RS3_homebrew_folder/aim");
    const QString placed = TestEnvironment::makeTempDir(QStringLiteral("placed"));
    const auto install = [&] { return installConfigInstallBundle(bundle, placed); };
    const auto copy = [&] { return copyTree(art, other); };
    ok = report({"install vs copy, new art", [&] { removeArt(other); }, install, copy}, rounds) && ok;
    ok = report({"install vs copy, over other art",
                 [&] {
                     removeArt(other);
                     writeArt(other, "other");
                     copyTree(other.absolutePath(Rs3Fixture::Stable, QStringLiteral("aim")), other, false);
                 },
                 install, copy},
                rounds)
        && ok;
    return ok ? 0 : 1;
}
