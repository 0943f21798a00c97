// The first open of a styled configuration on a machine whose RaceStudio 3
// installs hold none of its art (the file mailed to another computer): 60
// pages of four styled boxes and one coloured bar each, the boxes and bars
// drawn again into both installs by the open. Printed as a ratio against
// copying the very files that open writes into fresh folders with one sync,
// both measured in this run. HOME, the settings and both installs live in a
// temporary folder on the disk the system's temporary folder is on.

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/FolderCopy.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPages = 60;
constexpr int kBoxesPerPage = 4;
constexpr int kRounds = 3;

const QString kStockBox = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/box/Items/bx1/");
const QString kStockBar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
const QString kHomebrew = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew");

QImage stockBar()
{
    QImage image(160, 30, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

bool buildInstalls(const Rs3Fixture& rs3)
{
    rs3.addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
    rs3.addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
    const QImage bar = stockBar();
    return rs3.addArtItem(Rs3Fixture::Stable, kStockBox, QSize(200, 100), QColor(30, 30, 30))
        && rs3.writeFile(Rs3Fixture::Stable, kStockBar + QStringLiteral("mask.png"), pngBytes(bar))
        && rs3.writeFile(Rs3Fixture::Stable, kStockBar + QStringLiteral("mask.tgz"), TgzImage::encode(bar))
        && rs3.writeFile(Rs3Fixture::Stable, kStockBar + QStringLiteral("b1.M2.xml"), "<aimDataBase_Mask2/>");
}

// Every box and bar a size of its own, so every one is an item of its own;
// a bar fills its element, as Color… asks.
QString styledConfig()
{
    ConfigFixture cfg;
    for (int p = 0; p < kPages; ++p) {
        FixturePage& page = cfg.device().page(QStringLiteral("Page %1").arg(p));
        for (int b = 0; b < kBoxesPerPage; ++b) {
            const QString axis = QStringLiteral("a%1").arg(b);
            page.mask(Fx::mask(QStringLiteral("md.%1").arg(b), 10 + 200 * b, 20, 150 + p, 80 + b)
                          .p("PATH_REL_AiM_MASK", kStockBox)
                          .add(Fx::axis(axis, QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm")))
                          .add(Fx::digit(QStringLiteral("d%1").arg(b), 10, 10, 100, 40, axis)));
        }
        page.mask(Fx::mask(QStringLiteral("mb.01"), 10, 300, 300 + p, 40)
                      .p("PATH_REL_AiM_MASK", kStockBar)
                      .add(Fx::axis(QStringLiteral("ab"), QStringLiteral("RPM"), QStringLiteral("RPM"),
                                    QStringLiteral("rpm")))
                      .add(Fx::bargraph(QStringLiteral("b1"), 0, 0, 300 + p, 40, QStringLiteral("ab"))
                               .p("XEnd1", 300 + p)
                               .p("XEnd2", 300 + p)
                               .add(Fx::stepScale({{"0", "0"}, {"280", "9000"}}))));
    }
    const QString path = cfg.writeTempZip(QStringLiteral("Track Day.zconf2"));
    DashConfig c;
    if (path.isEmpty() || !c.load(path))
        return {};
    for (int p = 0; p < kPages; ++p) {
        for (int b = 0; b < kBoxesPerPage; ++b) {
            if (!c.applyBoxStyle(p, b, QStringLiteral("panel_dark"), 0xff2080ffu, true, 2,
                                 QStringLiteral("P%1").arg(p), 0))
                return {};
        }
        if (!c.applyBarColor(p, kBoxesPerPage))
            return {};
    }
    return c.save(path) ? path : QString();
}

bool removeArt(const Rs3Fixture& rs3)
{
    return FolderCopy::removeTree(rs3.absolutePath(Rs3Fixture::Stable, kHomebrew))
        && FolderCopy::removeTree(rs3.absolutePath(Rs3Fixture::Beta, kHomebrew));
}

int fileCount(const QString& folder)
{
    int n = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++n;
    return n;
}

// The repairs log every item they draw: only what goes wrong is shown.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    qInstallMessageHandler(quiet);
    QGuiApplication app(argc, argv);
    Rs3Fixture rs3;
    const QString path = buildInstalls(rs3) ? styledConfig() : QString();
    if (path.isEmpty() || !removeArt(rs3)) {
        std::fprintf(stderr, "open_repair_bench: could not build the styled configuration\n");
        return 1;
    }
    // What the open writes, kept aside as the copy's source.
    const QString kept = TestEnvironment::makeTempDir(QStringLiteral("kept"));
    {
        DashConfig c;
        if (!c.load(path) || c.homebrewRepairCount != kPages * kBoxesPerPage || c.barRepairCount != kPages) {
            std::fprintf(stderr, "open_repair_bench: the open rebuilt %d boxes and %d bars\n", c.homebrewRepairCount,
                         c.barRepairCount);
            return 1;
        }
        FolderCopy copy;
        if (copy.addFolder(rs3.absolutePath(Rs3Fixture::Stable, kHomebrew), kept + QStringLiteral("/stable"))
                != FolderCopy::Outcome::Added
            || copy.addFolder(rs3.absolutePath(Rs3Fixture::Beta, kHomebrew), kept + QStringLiteral("/beta"))
                != FolderCopy::Outcome::Added
            || !copy.flush())
            return 1;
    }
    const int files = fileCount(kept);

    std::vector<double> opens;
    std::vector<double> copies;
    for (int round = 0; round < kRounds; ++round) {
        if (!removeArt(rs3))
            return 1;
        QElapsedTimer timer;
        timer.start();
        {
            DashConfig c;
            if (!c.load(path))
                return 1;
        }
        opens.push_back(double(timer.nsecsElapsed()) / 1e6);

        const QString target = TestEnvironment::makeTempDir(QStringLiteral("copy"));
        timer.restart();
        {
            FolderCopy copy;
            copy.addFolder(kept + QStringLiteral("/stable"), target + QStringLiteral("/stable"));
            copy.addFolder(kept + QStringLiteral("/beta"), target + QStringLiteral("/beta"));
            if (!copy.flush())
                return 1;
        }
        copies.push_back(double(timer.nsecsElapsed()) / 1e6);
        FolderCopy::removeTree(target);
    }
    // The same open once the installs hold the art: what reading the file
    // alone takes.
    std::vector<double> plainOpens;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        DashConfig c;
        if (!c.load(path) || c.homebrewRepairCount != 0)
            return 1;
        plainOpens.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double open = median(opens);
    const double copy = median(copies);
    std::printf("open_repair_bench: %d pages, %d boxes and %d bars drawn again, %d files\n", kPages,
                kPages * kBoxesPerPage, kPages, files);
    std::printf("first open %8.1f ms   copy of the same files, one sync %8.1f ms   ratio %5.2f   goal <= 2\n", open,
                copy, open / copy);
    std::printf("(the same open with the art in place %8.1f ms)\n", median(plainOpens));
    return 0;
}
