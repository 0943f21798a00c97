#include "artwork/BoxStyleRenderer.h"
#include "editing/MultiBoxCellRequest.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {

const QString kSet = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_Race/Items/");

struct Cell {
    int x;
    int y;
};

FixtureElement panelMask(const QString& id, const QString& rel, const QList<Cell>& values, int w = 200, int h = 100)
{
    FixtureElement mask = Fx::mask(id, 10, 10, w, h).p("PATH_REL_AiM_MASK", rel).p("PATH_IMAGE_SFONDO_FW", "mask.tgz");
    int k = 0;
    for (const Cell& c : values)
        mask.add(Fx::digit(QStringLiteral("%1_z").arg(k++), c.x, c.y, 40, 20));
    return mask;
}

bool writeStore(const QString& path, const QByteArray& masksJson)
{
    QFile f(path);
    return masksJson.isEmpty()
        || (f.open(QIODevice::WriteOnly) && f.write("{\"version\":1,\"masks\":" + masksJson + "}") > 0);
}

// Writes "Race.zconf2" with the masks and, when given, its multi-box and box
// style sidecars; returns the path.
QString writeRace(const QList<FixtureElement>& masks, const QByteArray& multiBoxJson = {},
                  const QByteArray& boxStylesJson = {})
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    for (const FixtureElement& m : masks)
        page.mask(m);
    const QString path = cfg.writeTempZip(QStringLiteral("Race.zconf2"));
    const QString base = QFileInfo(path).absolutePath() + QStringLiteral("/Race");
    if (!writeStore(base + QStringLiteral(".multibox.json"), multiBoxJson)
        || !writeStore(base + QStringLiteral(".boxstyles.json"), boxStylesJson))
        return {};
    return path;
}

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

Q_DECLARE_METATYPE(Cell)
Q_DECLARE_METATYPE(FixtureElement)

class HomebrewRepairTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void initTestCase()
    {
        rs3.addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        rs3.addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
    }

    // A panel without its art is drawn again with the grid its record names,
    // else (its style recorded) the grid its values sit in.
    void gridOfRebuiltPanel_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QList<Cell>>("values");
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<bool>("styled");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        const QList<Cell> square{{10, 40}, {110, 40}, {10, 90}, {110, 90}};
        QTest::newRow("2 x 2 inferred") << "sq" << square << QByteArray() << true << 2 << 2;
        QTest::newRow("1 x 3 inferred") << "row" << QList<Cell>{{0, 50}, {70, 50}, {140, 50}} << QByteArray() << true
                                        << 1 << 3;
        QTest::newRow("single") << "one" << QList<Cell>{{0, 50}} << QByteArray() << true << 1 << 1;
        // Rows split where values lie more than an eighth of the height
        // (100 / 8 = 12) apart.
        QTest::newRow("10 apart is one row") << "near" << QList<Cell>{{10, 40}, {10, 50}} << QByteArray() << true << 1
                                             << 2;
        QTest::newRow("20 apart is two rows") << "far" << QList<Cell>{{10, 40}, {10, 60}} << QByteArray() << true << 2
                                              << 1;
        QTest::newRow("record wins") << "rec" << square << QByteArray(R"({"rec":{"rows":1,"cols":2}})") << false << 1
                                     << 2;
        QTest::newRow("damaged record is none") << "bad" << square << QByteArray(R"({"bad":{"rows":0,"cols":5}})")
                                                << true << 2 << 2;
        QTest::newRow("oversized record is none") << "big" << square
                                                  << QByteArray(R"({"big":{"rows":1,"cols":5000}})") << true << 2 << 2;
        QTest::newRow("id-less under mbox0") << "" << square << QByteArray(R"({"mbox0":{"rows":1,"cols":2}})") << false
                                             << 1 << 2;
    }
    void gridOfRebuiltPanel()
    {
        QFETCH(QString, id);
        QFETCH(QList<Cell>, values);
        QFETCH(QByteArray, records);
        QFETCH(bool, styled);
        QFETCH(int, rows);
        QFETCH(int, cols);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        const QString rel = kSet + QStringLiteral("mbox_") + tag + '/';
        const QByteArray style = styled ? "{\"" + id.toUtf8() + "\":{\"styleId\":\"panel_dark\"}}" : QByteArray();
        const QString path = writeRace({panelMask(id, rel, values)}, records, style);
        QVERIFY(!path.isEmpty());
        DashConfig config;
        QVERIFY(config.load(path));
        QCOMPARE(config.homebrewRepairCount, 1);

        const QSize size(200, 100);
        const QImage expected =
            rows * cols < 2 ? BoxStyleRenderer::render(size, "panel_dark", {}, 0, {}, {})
                            : BoxStyleRenderer::renderMultiBox(size, "panel_dark", {}, rows, cols, true, 0, {}, {});
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QImage written(rs3.absolutePath(root, rel + QStringLiteral("mask.png")));
            QCOMPARE(argb(written), argb(expected));
            QVERIFY(QFileInfo::exists(rs3.absolutePath(root, rel + QStringLiteral("mask.tgz"))));
        }
    }

    // Paths and items the repair must leave alone, even when forced: nothing
    // is written anywhere. A box without a record of its style is named.
    void leftAlone_data()
    {
        QTest::addColumn<FixtureElement>("mask");
        QTest::addColumn<QStringList>("named");
        const QList<Cell> one{{0, 50}};
        const QStringList none;
        QTest::newRow("path without the trailing slash") << panelMask("a", kSet + "box_a", one) << none;
        QTest::newRow("art item") << panelMask("b", kSet + "art_b/", one) << none;
        QTest::newRow("fitted item without origin") << panelMask("c", kSet + "fit_c/", one) << none;
        const QString tail = QStringLiteral("/masks/set/standard/s04_homebrew/zbox_Race/Items/");
        QTest::newRow("path leaving the install")
            << panelMask("d", "aim/resources/overlay/mxg_12/../../../x" + tail + "box_d/", one) << none;
        QTest::newRow("dot component") << panelMask("e", "aim/resources/overlay/mxg_12/." + tail + "box_e/", one)
                                       << none;
        QTest::newRow("oversized mask") << panelMask("f", kSet + "box_f/", one, 100000, 100000) << none;
        QTest::newRow("device not installed")
            << panelMask("g", "aim/resources/overlay/mxs" + tail + "box_g/", one) << none;
        QTest::newRow("box without a record") << panelMask("h", kSet + "box_h/", one) << QStringList{"Main / h"};
    }
    void leftAlone()
    {
        QFETCH(FixtureElement, mask);
        QFETCH(QStringList, named);
        const QString path = writeRace({mask});
        const QString outside = QFileInfo(path).absolutePath();
        const auto before = rs3.snapshot();
        const auto outsideBefore = Rs3Fixture::treeSnapshot(outside);
        DashConfig config;
        QVERIFY(config.load(path));
        QCOMPARE(config.homebrewRepairCount, 0);
        QCOMPARE(config.homebrewRepairLeft, named);
        QStringList left;
        QCOMPARE(config.repairMissingHomebrewArt(true, &left), 0);
        QCOMPARE(left, named);
        QCOMPARE(rs3.snapshot(), before);
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
    }

    // The multi-value box of the demo loses its art in the beta install:
    // the next open puts back exactly what went missing, once.
    void demoBoxMissingFromBeta()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("demo"));
        const QString path = ConfigFixture::demoArchiveCopy(work);
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        QString item;
        {
            DashConfig config;
            QVERIFY(config.load(path));
            QCOMPARE(config.homebrewRepairCount, 0);
            std::vector<MultiBoxCellRequest> cells(6, MultiBoxCellRequest{QStringLiteral("RPM"), "RPM", true});
            const int index = config.addMultiBox(1, 2, 3, QStringLiteral("top"), cells, QRect(40, 60, 360, 150));
            QVERIFY(index >= 0);
            item = QString::fromUtf8(config.pages[1].masks[size_t(index)].node.find_child_by_attribute("p", "n",
                                                                                        "PATH_REL_AiM_MASK")
                                         .text()
                                         .get());
            QVERIFY(config.save(path));
        }
        const QMap<QString, QByteArray> beta = Rs3Fixture::treeSnapshot(rs3.root(Rs3Fixture::Beta));
        const QMap<QString, QByteArray> stable = Rs3Fixture::treeSnapshot(rs3.root(Rs3Fixture::Stable));
        QVERIFY(QDir(rs3.absolutePath(Rs3Fixture::Beta, item)).removeRecursively());

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.homebrewRepairCount, 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(rs3.root(Rs3Fixture::Beta)), beta);
        QCOMPARE(Rs3Fixture::treeSnapshot(rs3.root(Rs3Fixture::Stable)), stable);

        DashConfig again;
        QVERIFY(again.load(path));
        QCOMPARE(again.homebrewRepairCount, 0);
        // Forced, every recognised item is drawn again with the same result.
        QCOMPARE(again.repairMissingHomebrewArt(true), 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(rs3.root(Rs3Fixture::Beta)), beta);
    }
};

KORV_GUI_TEST_MAIN(HomebrewRepairTest)
#include "tst_homebrewrepair.moc"
