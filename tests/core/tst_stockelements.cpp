#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QtTest>

namespace {

const QString kStandard = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");

bool openWith(DashConfig& config, const QList<FixtureElement>& masks, const QString& pagePath = QString())
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.pagePath = pagePath;
    for (const FixtureElement& m : masks)
        page.mask(m);
    return config.load(cfg.writeTempZip());
}

QStringList paramNames(pugi::xml_node e)
{
    QStringList names;
    for (pugi::xml_node p : e.children("p"))
        names << QString::fromUtf8(p.attribute("n").value());
    return names;
}

pugi::xml_node child(pugi::xml_node mask, const char* id)
{
    return mask.find_child_by_attribute("e", "i", id);
}

FixtureElement iconMask(const QString& id, const QString& folder, const QString& overlay)
{
    return Fx::mask(id, 0, 0, 44, 44)
        .p("PATH_REL_AiM_MASK", folder)
        .p("PATH_MASK_FW", "m007/")
        .add(Fx::icon("00_zi", 0, 0, 40, 40).p("OVERLAY2_ICONA_NERA", overlay));
}

FixtureElement ordered(const QString& id, int order)
{
    return Fx::mask(id, 0, 0, 10, 10).set("ORDINE", order);
}

QString scaleText(pugi::xml_node bar)
{
    const pugi::xml_node scale = bar.find_child_by_attribute("e", "c", "ScaleFSV");
    return QString::fromUtf8(paramValue(scale, "NOME_SCALA")) + '|'
        + QString::fromUtf8(paramValue(scale.find_child_by_attribute("e", "i", "1"), "VAL_SCALA"));
}

} // namespace

class StockElementsTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

    void addIconFolder(const QStringList& files)
    {
        for (const QString& file : files)
            QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kStandard + "s02/Icon/" + file, "BM"));
    }

private Q_SLOTS:
    void cleanup()
    {
        for (const Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QDir(rs3.overlayRoot(root)).removeRecursively();
            QDir().mkpath(rs3.overlayRoot(root));
        }
    }

    // --- icons ------------------------------------------------------------

    void iconReusesAnExistingIcon()
    {
        // No RS3 tree and no layout folder on the first page: a search could
        // find nothing, so the icon can only come from the configuration.
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Bare")).pagePath = QStringLiteral("");
        cfg.device().page(QStringLiteral("No icon")).mask(Fx::mask("m", 0, 0, 10, 10));
        cfg.device().page(QStringLiteral("Icons")).mask(iconMask("i1", "aim/x/Items/md9/", "aim/x/Icon/b.bmp"));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.insertIcon(0, QRect(30, 40, 300, 300)), 0);
        const MaskElement& icon = config.pages[0].masks[0];
        QCOMPARE(findParamText(icon.node, "PATH_REL_AiM_MASK"), QStringLiteral("aim/x/Items/md9/"));
        QCOMPARE(findParamText(icon.node, "PATH_MASK_FW"), QStringLiteral("m007/"));
        QCOMPARE(findParamText(child(icon.node, "00_zi"), "OVERLAY2_ICONA_NERA"), QStringLiteral("aim/x/Icon/b.bmp"));
        QCOMPARE(QRect(icon.x, icon.y, icon.w, icon.h), QRect(30, 40, 44, 44));
        QCOMPARE(icon.id, QStringLiteral("ico.1"));
        QCOMPARE(icon.kind, int(MaskIcon));
        QCOMPARE(paramNames(icon.node).size(), 18);
        QCOMPARE(paramNames(child(icon.node, "00")).size(), 27);
        QCOMPARE(paramValue(child(icon.node, "00"), "FID_OK"), QByteArray("LAPTIME_GPS"));
        const pugi::xml_node aim = child(icon.node, "00_zi");
        QCOMPARE(paramNames(aim).size(), 18);
        QCOMPARE(paramValue(aim, "LINES_X_HOT_MOUSE"), QByteArray("0,0,40,0,40,40,0,40,0,0"));
        QVERIFY(config.devices[0]->dirty);
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());
    }

    void iconOverlayFromStock_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("black first") << QStringList{"a.bmp", "Icon_Black.bmp"} << "Icon_Black.bmp";
        QTest::newRow("black before a name sorted first")
            << QStringList{"Icon_Amber.bmp", "Icon_Black.bmp", "Icon_White.bmp"} << "Icon_Black.bmp";
        QTest::newRow("else the first") << QStringList{"b.bmp", "a.bmp", "c.png"} << "a.bmp";
    }
    void iconOverlayFromStock()
    {
        QFETCH(QStringList, files);
        addIconFolder(files);
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kStandard + "s02/p07/Items/md4/", QSize(44, 44)));
        DashConfig config;
        QVERIFY(openWith(config, {}));
        QCOMPARE(config.insertIcon(0, QRect()), 0);
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        QTEST(findParamText(child(mask, "00_zi"), "OVERLAY2_ICONA_NERA").section('/', -1), "chosen");
        QCOMPARE(findParamText(mask, "PATH_REL_AiM_MASK"), kStandard + "s02/p07/Items/md4/");
        QCOMPARE(findParamText(mask, "PATH_MASK_FW"), QStringLiteral("m001/"));
    }

    void iconItemMustBeAnMdItemWithArt()
    {
        addIconFolder({"a.bmp"});
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kStandard + "s02/p01/Items/box1/", QSize(44, 44)));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kStandard + "s02/p01/Items/md1/md1.M2.xml", "<x/>"));
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kStandard + "s02/p01/Items/md2/", QSize(44, 44)));
        DashConfig config;
        QVERIFY(openWith(config, {}));
        QCOMPARE(config.insertIcon(0, QRect()), 0);
        QCOMPARE(findParamText(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK"), kStandard + "s02/p01/Items/md2/");
    }

    void iconWithoutArtIsRefused_data()
    {
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<bool>("item");
        QTest::addColumn<QString>("pagePath");
        QTest::newRow("no overlay") << false << true << QString();
        QTest::newRow("no item") << true << false << QString();
        QTest::newRow("no family") << true << true << "somewhere/else/";
    }
    void iconWithoutArtIsRefused()
    {
        QFETCH(bool, overlay);
        QFETCH(bool, item);
        QFETCH(QString, pagePath);
        if (overlay)
            addIconFolder({"a.bmp"});
        if (item)
            QVERIFY(rs3.addArtItem(Rs3Fixture::Beta, kStandard + "s02/p01/Items/md1/", QSize(44, 44)));
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("m", 0, 0, 10, 10)}, pagePath));
        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.insertIcon(0, QRect()), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void iconOrderAndName_data()
    {
        QTest::addColumn<QList<int>>("orders");
        QTest::addColumn<QByteArray>("order");
        QTest::newRow("above 120") << QList<int>{3, 120} << QByteArray("121");
        QTest::newRow("at least 90") << QList<int>{5} << QByteArray("90");
        QTest::newRow("no masks") << QList<int>{} << QByteArray("90");
    }
    void iconOrderAndName()
    {
        QFETCH(QList<int>, orders);
        QList<FixtureElement> masks;
        for (int i = 0; i < orders.size(); ++i)
            masks << ordered(i == 0 ? QStringLiteral("ico.1") : QStringLiteral("m%1").arg(i), orders[i]);
        masks << iconMask("ico.3", "aim/x/Items/md9/", "aim/x/b.bmp").without("ORDINE");
        DashConfig config;
        QVERIFY(openWith(config, masks));
        const int index = config.insertIcon(0, QRect(1, 2, 3, 4));
        QCOMPARE(index, int(masks.size()));
        QTEST(paramValue(config.pages[0].masks[size_t(index)].node, "ORDINE"), "order");
        QCOMPARE(config.pages[0].masks[size_t(index)].id, orders.isEmpty() ? QStringLiteral("ico.1") : QStringLiteral("ico.2"));
    }

    // --- +- Ref Time bar ----------------------------------------------------

    // The firmware folder search starts after the masks the page already
    // has: with two masks and no folder in use, the bar gets auto3/.
    void refTimeBarFirmwareFolderAfterTheMasks()
    {
        QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, kStandard + "s02/p25iextv2/items/md3/"));
        DashConfig config;
        QVERIFY(openWith(config, {ordered("a", 1), ordered("b", 2)}));
        const int index = config.insertRefTimeBar(0, QRect(0, 0, 1, 1), QColor(), QColor(), 1.0);
        QCOMPARE(index, 2);
        QCOMPARE(paramValue(config.pages[0].masks[2].node, "PATH_MASK_FW"), QByteArray("auto3/"));
    }

    void refTimeBar()
    {
        const QString item = kStandard + "s02/p25iextv2/items/md3/";
        QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, item));
        DashConfig config;
        QVERIFY(openWith(config, {ordered("a", 3).p("PATH_MASK_FW", "auto3/"), ordered("b", 7).p("PATH_MASK_FW", "auto4/"),
                                  ordered("c", 5)}));
        const int index = config.insertRefTimeBar(0, QRect(100, 200, 1, 1), QColor(), QColor(1, 2, 3), 1.5);
        QCOMPARE(index, 3);
        const MaskElement& bar = config.pages[0].masks[3];
        QCOMPARE(bar.id, QStringLiteral("reftime.1"));
        QCOMPARE(QString::fromUtf8(bar.node.attribute("i").value()), QStringLiteral("reftime.1"));
        QCOMPARE(QRect(bar.x, bar.y, bar.w, bar.h), QRect(100, 200, 540, 90));
        QCOMPARE(paramValue(bar.node, "ORDINE"), QByteArray("8"));
        QCOMPARE(paramValue(bar.node, "PATH_MASK_FW"), QByteArray("auto5/"));
        QCOMPARE(findParamText(bar.node, "PATH_REL_AiM_MASK"), item);
        QCOMPARE(paramValue(bar.node, "XPOS"), QByteArray("100"));
        QCOMPARE(paramValue(bar.node, "WIDTH"), QByteArray("540"));
        const pugi::xml_node slower = child(bar.node, "00_008barg");
        const pugi::xml_node faster = child(bar.node, "00_009barg");
        QCOMPARE(paramValue(slower, "COL"), QByteArray("0xFFff0000"));
        QCOMPARE(scaleText(slower), QStringLiteral("1.50|1.50"));
        QCOMPARE(paramValue(faster, "COL"), QByteArray("0xFF010203"));
        QCOMPARE(scaleText(faster), QStringLiteral("-1.50|-1.50"));
        QCOMPARE(paramValue(child(bar.node, "00_006ch_scale0"), "TEXT"), QByteArray("-1.50"));
        QCOMPARE(paramValue(child(bar.node, "00_007ch_scale1"), "TEXT"), QByteArray("1.50"));
        QVERIFY(config.devices[0]->dirty);
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());
    }

    void refTimeStockSearch_data()
    {
        QTest::addColumn<QStringList>("items"); // folder below the standard folder, '-' marks one without colours
        QTest::addColumn<QString>("chosen");
        QTest::newRow("own page before other pages") << QStringList{"s01/p05/items/md3/", "s02/p01/Items/md3/"}
                                                     << "s02/p01/Items/md3/";
        QTest::newRow("strict before lenient") << QStringList{"-s01/p05/items/md3/", "s02/p09/items/md3/"}
                                               << "s02/p09/items/md3/";
        QTest::newRow("lenient when nothing else") << QStringList{"-s01/p05/items/md3/"} << "s01/p05/items/md3/";
        QTest::newRow("items before Items") << QStringList{"s01/p05/Items/md3/", "s01/p05/items/md3/"}
                                            << "s01/p05/items/md3/";
        QTest::newRow("only p pages") << QStringList{"s01/x05/items/md3/", "s01/p06/items/md3/"} << "s01/p06/items/md3/";
    }
    void refTimeStockSearch()
    {
        QFETCH(QStringList, items);
        for (QString folder : items) {
            const bool coloured = !folder.startsWith('-');
            if (!coloured)
                folder.remove(0, 1);
            QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, kStandard + folder, coloured));
        }
        DashConfig config;
        QVERIFY(openWith(config, {})); // the page's layout folder is s02/p01
        QCOMPARE(config.insertRefTimeBar(0, QRect(), QColor(), QColor(), 2), 0);
        QTEST(findParamText(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK").mid(kStandard.size()), "chosen");
    }

    void refTimeNeedsBothBars_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<QString>("pagePath");
        QTest::newRow("one bar") << 1 << QString();
        QTest::newRow("three bars") << 3 << QString();
        QTest::newRow("no family in the page folder") << 2 << "mxg_12/masks/set/standard/s02/p01/";
    }
    void refTimeNeedsBothBars()
    {
        QFETCH(int, bars);
        QFETCH(QString, pagePath);
        QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, kStandard + "s02/p01/items/md3/", true, bars));
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("m", 0, 0, 10, 10)}, pagePath));
        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.insertRefTimeBar(0, QRect(), QColor(), QColor(), 2), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    // --- duplicating --------------------------------------------------------

    void duplicatePosition_data()
    {
        QTest::addColumn<QRect>("source");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("kept on the page") << QRect(790, 10, 60, 40) << QPoint(20, 20) << QPoint(740, 30);
        QTest::newRow("wider than the page") << QRect(10, 10, 900, 40) << QPoint(20, 20) << QPoint(0, 30);
        QTest::newRow("not left of the page") << QRect(5, 100, 60, 40) << QPoint(-20, 0) << QPoint(0, 100);
        QTest::newRow("bottom edge") << QRect(100, 470, 60, 40) << QPoint(20, 20) << QPoint(120, 440);
        QTest::newRow("mirrored") << QRect(100, 100, 200, 40) << QPoint(400, 0) << QPoint(500, 100);
    }
    void duplicatePosition()
    {
        QFETCH(QRect, source);
        QFETCH(QPoint, offset);
        QFETCH(QPoint, expected);
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("src", source.x(), source.y(), source.width(), source.height())}));
        MaskElement out;
        QCOMPARE(config.duplicateMask(0, 0, offset.x(), offset.y(), out), 1);
        QCOMPARE(QPoint(out.x, out.y), expected);
        QCOMPARE(out.w, source.width());
        const pugi::xml_node copy = config.pages[0].masks[1].node;
        QCOMPARE(paramValue(copy, "XPOS"), QByteArray::number(expected.x()));
        QCOMPARE(paramValue(copy, "YPOS"), QByteArray::number(expected.y()));
        QCOMPARE(paramValue(config.pages[0].masks[0].node, "XPOS"), QByteArray::number(source.x()));
    }

    void duplicateCopiesEverything()
    {
        FixtureElement source = Fx::mask("src", 10, 10, 100, 50)
                                    .set("ORDINE", 4)
                                    .add(Fx::axis("00", "RPM"))
                                    .add(Fx::digit("01", 0, 0, 100, 50, "00"));
        DashConfig config;
        QVERIFY(openWith(config, {source, Fx::mask("new.1", 0, 0, 1, 1), Fx::mask("new.3", 0, 0, 1, 1)}));
        MaskElement out;
        QCOMPARE(config.duplicateMask(0, 0, 20, 20, out), 3);
        QCOMPARE(out.id, QStringLiteral("new.2"));
        const pugi::xml_node copy = config.pages[0].masks[3].node;
        QCOMPARE(QString::fromUtf8(copy.attribute("i").value()), QStringLiteral("new.2"));
        QCOMPARE(config.maskOrder(0, 3), 4);
        QCOMPARE(config.maskOrder(0, 0), 4);
        QCOMPARE(out.widgets.size(), size_t(1));
        QCOMPARE(out.widgets[0].id, QStringLiteral("01"));
        QCOMPARE(out.widgets[0].channel, QStringLiteral("RPM"));
        QVERIFY(child(copy, "00"));
        QVERIFY(config.devices[0]->dirty);
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());

        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.duplicateMask(0, 9, 0, 0, out), -1);
        QCOMPARE(config.duplicateMask(1, 0, 0, 0, out), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }
};

KORV_GUI_TEST_MAIN(StockElementsTest)
#include "tst_stockelements.moc"
