#include "support/FullInstallFixture.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/ZipFixture.h"

#include <QFile>
#include <QImage>

namespace {

const QString kSets = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
const QString kStockBar = kSets + QStringLiteral("s02/bar/Items/b1/");
constexpr int kItemsPerSet = 40;

QString pageFolder(int page)
{
    return kSets + (page % 2 == 0 ? QStringLiteral("s02/p01/") : QStringLiteral("s02/p02/"));
}

QString stockItem(int n)
{
    return kSets + QStringLiteral("s01/p%1/Items/md_%2/").arg(n / kItemsPerSet, 2, 10, QLatin1Char('0')).arg(n % kItemsPerSet);
}

QString boxItem(int n)
{
    return kSets + QStringLiteral("s04_homebrew/zbox_Club/Items/box_%1/").arg(n);
}

QString colourFolder(int n)
{
    return kSets + QStringLiteral("s04_homebrew/zbar_Club_%1/Items/b1/").arg(n);
}

QImage barPicture()
{
    QImage image(200, 30, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

QMap<QString, QByteArray> barFiles()
{
    const QImage bar = barPicture();
    return {{QStringLiteral("mask.png"), pngBytes(bar)},
            {QStringLiteral("mask.tgz"), TgzImage::encode(bar)},
            {QStringLiteral("m4off.png"), pngBytes(bar)},
            {QStringLiteral("b1.M2.xml"), "<aimDataBase_Mask2/>"}};
}

// The item file of a page set's own item: values and labels, no bars.
QByteArray ownItemXml()
{
    return "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n<e c=\"GMaskParam\" i=\"md1\">\n"
           "<e c=\"Digit\" i=\"1\"><p n=\"WIDTH\">10</p></e>\n<e c=\"Label\" i=\"2\"><p n=\"WIDTH\">10</p></e>\n"
           "</e>\n</aimDataBase_Mask2>\n";
}

FixtureElement valueBox(int p, int k)
{
    FixtureElement m = Fx::mask(QStringLiteral("md.%1").arg(k, 2, 10, QLatin1Char('0')), 10 + 130 * (k % 6),
                                20 + 60 * (k / 6), 120, 50);
    m.p("PATH_REL_AiM_MASK", stockItem((p * 15 + k) % 1960))
        .p("PATH_MASK_FW", QStringLiteral("md_%1").arg(k))
        .p("PATH_IMAGE", (p + k) % 9 == 0 ? "gone.png" : "mask.png");
    return m.add(Fx::axis(QStringLiteral("a%1").arg(k), "RPM", "RPM", "rpm"))
        .add(Fx::digit(QStringLiteral("d%1").arg(k), 0, 0, 120, 30, QStringLiteral("a%1").arg(k)))
        .add(Fx::label(QStringLiteral("l%1").arg(k), "RPM", 0, 30, 120, 20));
}

FixtureElement bar(const QString& id, int y, const QString& item, int width, int fillTo)
{
    return Fx::mask(id, 0, y, 200, 30)
        .p("PATH_REL_AiM_MASK", item)
        .add(Fx::axis(QStringLiteral("ab"), "RPM", "RPM", "rpm"))
        .add(Fx::bargraph(QStringLiteral("b1"), 0, 0, width, 30, QStringLiteral("ab"), true)
                 .p("XEnd1", fillTo)
                 .p("XEnd2", fillTo)
                 .add(Fx::stepScale({{"0", "0"}, {"180", "9000"}})));
}

FixturePage& fillPage(FixturePage& page, int p)
{
    page.pagePath = pageFolder(p);
    page.width = 800;
    page.height = 480;
    if (p % 10 == 3)
        page.param(QStringLiteral("PATH_IMAGE_SFONDO_FW"), QStringLiteral("gone.tgz"));
    else if (p % 10 != 4)
        page.param(QStringLiteral("PATH_IMAGE_SFONDO_FW"), QStringLiteral("bkg.tgz"));
    for (int k = 0; k < 6; ++k)
        page.mask(valueBox(p, k));
    // An outline marker off its label now and then.
    page.mask(Fx::mask(QStringLiteral("md.06"), 10, 140, 200, 40)
                  .p("PATH_REL_AiM_MASK", stockItem(p % 1960))
                  .add(Fx::label("l1", "Lap", 50, 0, 100, 40)
                           .p("LINES_X_HOT_MOUSE", p % 3 == 0 ? "70,0,170,0" : "50,0,150,0")));
    // Stock bars: one whose fill or width disagrees with it.
    page.mask(bar(QStringLiteral("md.07"), 190, kStockBar, p % 4 == 1 ? 150 : 200, p % 4 == 2 ? 120 : 200));
    // Coloured bars: one without its record, one with widgets its colours
    // do not cover.
    page.mask(bar(QStringLiteral("md.08"), 230, colourFolder(p % 53), 200, 200).p("DE_BARCOLOR_SRC", kStockBar));
    FixtureElement covered = bar(QStringLiteral("md.09"), 270, colourFolder((p + 7) % 53), 200, 200)
                                 .p("DE_BARCOLOR_SRC", kStockBar);
    if (p % 2 == 0)
        covered.add(Fx::bargraph("b2", 0, 0, 200, 30, "ab", true));
    if (p % 5 == 0)
        covered.add(Fx::label("l9", "Past", 150, 0, 100, 30));
    page.mask(covered);
    page.mask(Fx::mask(QStringLiteral("md.10"), 300, 300, 100, 40)
                  .p("PATH_REL_AiM_MASK", stockItem((p + 3) % 1960))
                  .p("PATH_MASK_FW", p % 2 == 1 ? QStringLiteral("AUTO%1").arg(p) : QStringLiteral("md_10"))
                  .add(Fx::label("l1", "Gear", 0, 0, 100, 40)));
    // A kind borrowed from another set.
    page.mask(Fx::mask(QStringLiteral("md.11"), 420, 300, 100, 40)
                  .p("PATH_REL_AiM_MASK", stockItem(80 + p % 40))
                  .add(p % 3 == 1 ? Fx::bargraph("b1", 0, 0, 100, 40) : Fx::icon("i1", 0, 0, 40, 40)));
    // Off the page, or its art on no install.
    page.mask(Fx::mask(QStringLiteral("md.12"), p % 7 == 0 ? 780 : 540, 300, 100, 40)
                  .p("PATH_REL_AiM_MASK", p % 4 == 0 ? kSets + QStringLiteral("s09/gone/Items/x/") : stockItem(p + 5))
                  .add(Fx::label("l1", "Fuel", 0, 0, 100, 40)));
    page.mask(Fx::mask(QStringLiteral("md.13"), 660, 300, 120, 50)
                  .p("PATH_REL_AiM_MASK", boxItem((p * 2) % 300))
                  .add(Fx::axis("a13", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("d13", 0, 0, 120, 50, "a13")));
    page.mask(bar(QStringLiteral("md.14"), 360, kStockBar, 200, 200));
    return page;
}

bool writeRecords(const QString& path, int pages)
{
    DashConfig c;
    if (!c.load(path))
        return false;
    QMap<QString, BarColorRecord> bars;
    QMap<QString, BoxStyleRecord> boxes;
    const QString stock = kStockBar;
    for (int p = 0; p < pages; ++p) {
        const BarColorRecord coloured{true, 9000, stock, QStringLiteral("WIDTH=200;HEIGHT=30")};
        if (p % 6 != 0)
            bars.insert(c.sidecarKey(p, 8, SidecarStore::BarColors), coloured);
        bars.insert(c.sidecarKey(p, 9, SidecarStore::BarColors), coloured);
        // A record left by an editor that ended before saving its file.
        if (p % 5 == 2)
            bars.insert(c.sidecarKey(p, 14, SidecarStore::BarColors), coloured);
        if (p % 4 != 3) {
            BoxStyleRecord box;
            box.styleId = QStringLiteral("panel_dark");
            box.originalPathRel = stockItem(p);
            boxes.insert(c.boxStyleKey(p, 13), box);
        }
    }
    // Box styles wait for a save: written as one would leave them.
    return c.saveBarColorSidecar(bars) && c.saveBoxStyleSidecar(boxes) && c.writeStagedRecords();
}

} // namespace

FullInstallFixture::FullInstallFixture(const Counts& counts)
    : m_counts(counts)
{
    m_valid = build();
}

FullInstallFixture::FullInstallFixture()
    : FullInstallFixture(Counts())
{
}

bool FullInstallFixture::build()
{
    m_rs3.addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
    m_rs3.addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
    for (int n = 0; n < m_counts.stockItems; ++n) {
        if (!m_rs3.addArtItem(Rs3Fixture::Stable, stockItem(n), QSize(120, 50), QColor(40, 40, 40)))
            return false;
    }
    for (const QString& set : {QStringLiteral("s02/p01/"), QStringLiteral("s02/p02/")}) {
        if (!m_rs3.writeFile(Rs3Fixture::Stable, kSets + set + QStringLiteral("Items/md1/md1.M2.xml"), ownItemXml()))
            return false;
    }
    const QByteArray background = TgzImage::encode(QImage(800, 480, QImage::Format_ARGB32));
    if (!m_rs3.writeFile(Rs3Fixture::Stable, kSets + QStringLiteral("s02/p01/bkg.tgz"), background))
        return false;
    const QMap<QString, QByteArray> bar = barFiles();
    if (!ZipFixture::writeTree(m_rs3.absolutePath(Rs3Fixture::Stable, kStockBar), bar))
        return false;
    for (int n = 0; n < m_counts.colourFolders; ++n) {
        if (!ZipFixture::writeTree(m_rs3.absolutePath(Rs3Fixture::Stable, colourFolder(n)), bar)
            || !ZipFixture::writeTree(m_rs3.absolutePath(Rs3Fixture::Beta, colourFolder(n)), bar))
            return false;
    }
    for (int n = 0; n < m_counts.homebrewBoxes; ++n) {
        for (const Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            if (!m_rs3.addArtItem(root, boxItem(n), QSize(120, 50), QColor(20, 60, 120)))
                return false;
        }
    }
    return true;
}

QString FullInstallFixture::writeConfig(const QString& folder, const QString& name, int pages) const
{
    ConfigFixture cfg;
    for (int p = 0; p < pages; ++p)
        fillPage(cfg.device().page(QStringLiteral("Page %1").arg(p)), p);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".zconf2");
    if (!cfg.writeZip(path) || !writeRecords(path, pages))
        return {};
    return path;
}
