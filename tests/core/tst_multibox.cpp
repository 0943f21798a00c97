#include "artwork/TgzImage.h"
#include "artwork/BoxStyleRenderer.h"
#include "editing/MoveCommand.h"
#include "editing/MultiBoxCellRequest.h"
#include "editing/MultiBoxGeometry.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QUndoStack>
#include <QRegularExpression>
#include <QtTest>

namespace {

using Requests = std::vector<MultiBoxCellRequest>;

Requests requests(int n, bool captions, const QStringList& channels = {})
{
    Requests out;
    for (int k = 0; k < n; ++k)
        out.push_back({channels.value(k), QStringLiteral("C%1").arg(k), captions});
    return out;
}

// The mask's children as "class:id", in document order.
QStringList childList(pugi::xml_node mask)
{
    QStringList out;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
        out << QString::fromUtf8(e.attribute("c").value()) + ':' + QString::fromUtf8(e.attribute("i").value());
    return out;
}

pugi::xml_node child(pugi::xml_node mask, const char* id)
{
    return mask.find_child_by_attribute("e", "i", id);
}

// The cells as written: every child element of the mask, serialized.
QByteArray cellsXml(pugi::xml_node mask)
{
    QByteArray out;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
        out += ConfigSnapshot::xml(e);
    return out;
}

bool openWith(DashConfig& config, const QList<FixtureElement>& masks)
{
    ConfigFixture cfg;
    cfg.channel(5, QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm"));
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    for (const FixtureElement& m : masks)
        page.mask(m);
    return config.load(cfg.writeTempZip(QStringLiteral("Race.zconf2")));
}

} // namespace

class MultiBoxTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void initTestCase()
    {
        rs3.addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        rs3.addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
    }

    void elementsInOrder()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("mbox.1"), 0, 0, 10, 10)}));
        const Requests cells = requests(6, true, {QStringLiteral("RPM"), QStringLiteral("Nope")});
        QCOMPARE(config.addMultiBox(0, 2, 3, QStringLiteral("left"), cells, QRect(20, 30, 300, 120)), 1);
        const MaskElement& box = config.pages[0].masks[1];
        QCOMPARE(box.id, QStringLiteral("mbox.2"));
        QCOMPARE(QRect(box.x, box.y, box.w, box.h), QRect(20, 30, 300, 120));
        QStringList expected;
        for (const char* k : {"00", "01", "02", "03", "04", "05"})
            expected << QStringLiteral("Axis:%1").arg(k) << QStringLiteral("Label:%1_L").arg(k)
                     << QStringLiteral("Digit:%1_z").arg(k);
        QCOMPARE(childList(box.node), expected);

        // "left": the caption takes the first third of the cell.
        const QRect cell = multiBoxCells(300, 120, 2, 3).first();
        QCOMPARE(paramInt(child(box.node, "00_z"), "XPOS"), cell.x() + cell.width() / 3);
        QCOMPARE(paramInt(child(box.node, "00_z"), "YPOS"), cell.y() + cell.height());
        QCOMPARE(paramInt(child(box.node, "00_L"), "YPOS_FW"), cell.y() + cell.height());
        QCOMPARE(paramInt(child(box.node, "00_L"), "WIDTH"), cell.width() / 3);
        QCOMPARE(paramValue(child(box.node, "00_z"), "AXIS_REF"), QByteArray("00"));
        QCOMPARE(paramValue(child(box.node, "00"), "CHANNEL_NOT_SET"), QByteArray("0"));
        QCOMPARE(paramValue(child(box.node, "01"), "CHANNEL_NOT_SET"), QByteArray("1"));
        QVERIFY(child(box.node, "05_z"));

        QCOMPARE(config.multiBoxRecord(0, 1).rows, 2);
        QCOMPARE(config.multiBoxRecord(0, 1).cols, 3);
        const QString panel = QString::fromUtf8(paramValue(box.node, "PATH_REL_AiM_MASK"));
        // The box's page and name, then a hash of the panel.
        QVERIFY2(QRegularExpression("/zbox_Race/Items/mbox_dash_p1_mbox_2_[0-9a-f]{8}/$").match(panel).hasMatch(),
                 qPrintable(panel));
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QVERIFY(QFileInfo::exists(rs3.absolutePath(root, panel + QStringLiteral("mask.tgz"))));
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
    }

    void refused_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("count");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("no such page") << 4 << 2 << 3 << 6 << QRect(0, 0, 100, 50);
        QTest::newRow("no rows") << 0 << 0 << 3 << 0 << QRect(0, 0, 100, 50);
        QTest::newRow("no columns") << 0 << 2 << 0 << 0 << QRect(0, 0, 100, 50);
        QTest::newRow("five requests for 2 x 3") << 0 << 2 << 3 << 5 << QRect(0, 0, 100, 50);
        QTest::newRow("empty rectangle") << 0 << 2 << 3 << 6 << QRect(0, 0, 100, 0);
        QTest::newRow("more columns than drawn") << 0 << 1 << 65 << 65 << QRect(0, 0, 100, 50);
    }
    void refused()
    {
        QFETCH(int, page);
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, count);
        QFETCH(QRect, rect);
        DashConfig config;
        QVERIFY(openWith(config, {}));
        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.addMultiBox(page, rows, cols, QStringLiteral("top"), requests(count, true), rect), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
        QVERIFY(!QFileInfo::exists(config.multiBoxSidecarPath()));
    }

    void gapClusters_data()
    {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("clusters");
        QTest::newRow("three groups") << QList<int>{10, 50, 12, 90} << 8 << 3;
        QTest::newRow("gaps not above the threshold") << QList<int>{10, 50, 12, 90} << 40 << 1;
        QTest::newRow("none") << QList<int>{} << 8 << 0;
        QTest::newRow("far apart") << QList<int>{INT_MIN, INT_MAX} << INT_MAX << 2;
    }
    void gapClusters()
    {
        QFETCH(QList<int>, values);
        QFETCH(int, threshold);
        std::vector<int> list(values.begin(), values.end());
        QTEST(countGapClusters(list, threshold), "clusters");
        QVERIFY(list.empty());
    }

    // A Label without a value after it stays put; a value without a caption
    // before it fills its cell.
    void relayoutPairsCaptionsWithValues()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("mm"), 0, 0, 200, 100)
                                      .add(Fx::label(QStringLiteral("t"), QStringLiteral("x"), 3, 4, 5, 6))
                                      .add(Fx::axis(QStringLiteral("00"), QString()))
                                      .add(Fx::digit(QStringLiteral("00_z"), 0, 0, 10, 10))
                                      .add(Fx::label(QStringLiteral("01_L"), QStringLiteral("y"), 0, 0, 1, 1))
                                      .add(Fx::digit(QStringLiteral("01_z"), 0, 0, 10, 10))}));
        const QString key = config.sidecarKey(0, 0, SidecarStore::MultiBoxes);
        QVERIFY(config.saveMultiBoxEntry(key, 1, 2, QStringLiteral("top")));
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        setParam(mask, "WIDTH", "400");
        QVERIFY(config.relayoutMultiBox(0, 0));
        const QList<QRect> cells = multiBoxCells(400, 100, 1, 2);
        const pugi::xml_node lone = child(mask, "t");
        QCOMPARE(paramInt(lone, "XPOS"), 3);
        QCOMPARE(paramInt(child(mask, "00_z"), "XPOS"), cells[0].x());
        QCOMPARE(paramInt(child(mask, "00_z"), "HEIGHT"), cells[0].height());
        const QRect caption = splitMultiBoxCell(cells[1], QStringLiteral("top"), true).caption;
        QCOMPARE(paramInt(child(mask, "01_L"), "YPOS"), caption.y() + caption.height());
        QCOMPARE(paramInt(child(mask, "01_z"), "XPOS"), cells[1].x());
        QCOMPARE(config.pages[0].masks[0].w, 400);

        // A damaged record is no record: nothing moves, nothing is divided by.
        QVERIFY(config.saveMultiBoxEntry(key, 0, 2, QStringLiteral("top")));
        const QByteArray before = ConfigSnapshot::xml(mask);
        setParam(mask, "WIDTH", "300");
        QVERIFY(!config.relayoutMultiBox(0, 0));
        setParam(mask, "WIDTH", "400");
        QCOMPARE(ConfigSnapshot::xml(mask), before);
    }

    // A resize of a mask that is no multi-value box leaves its children to
    // the other steps: undo adds no parameter the children did not have.
    void plainMaskUndoesExactly()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("md"), 5, 5, 100, 40)
                                      .add(Fx::digit(QStringLiteral("d"), 0, 0, 100, 40)
                                               .without(QStringLiteral("WIDTH"))
                                               .without(QStringLiteral("LINES_X_HOT_MOUSE")))}));
        const QByteArray xml0 = ConfigSnapshot::documents(config);
        const QByteArray records0 = ConfigSnapshot::records(config);
        QUndoStack stack;
        const MaskElement& m = config.pages[0].masks[0];
        stack.push(new MoveCommand(&m, 5, 5, 100, 40, 5, 5, 160, 60, &config, 0, 0, true, false));
        QCOMPARE(config.pages[0].masks[0].w, 160);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), xml0);
        QCOMPARE(ConfigSnapshot::records(config), records0);
    }

    // A 2 x 3 box on the demo: a resize lays the cells out for the new size,
    // undo gives back the cells and the art exactly, redo the resized box.
    void resizeUndoRedoOnDemo_data()
    {
        QTest::addColumn<bool>("rescale");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("canvas drag") << false << 2 << 3;
        QTest::newRow("property panel") << true << 2 << 3;
        // One cell spans the box, so its outline is scaled with the mask too.
        QTest::newRow("single cell") << false << 1 << 1;
    }
    void resizeUndoRedoOnDemo()
    {
        QFETCH(bool, rescale);
        QFETCH(int, rows);
        QFETCH(int, cols);
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        DashConfig config;
        QVERIFY(config.load(path));
        const int index =
            config.addMultiBox(0, rows, cols, QStringLiteral("left"),
                               requests(rows * cols, true, {QStringLiteral("RPM"), QStringLiteral("Speed")}),
                               QRect(100, 200, 330, 140));
        QVERIFY(index >= 0);
        const pugi::xml_node mask = config.pages[0].masks[size_t(index)].node;
        const QByteArray cells0 = cellsXml(mask);
        const QByteArray records0 = ConfigSnapshot::records(config);
        const QMap<QString, QByteArray> art0 = rs3.snapshot();
        const QByteArray panel0 = paramValue(mask, "PATH_REL_AiM_MASK");

        QUndoStack stack;
        const MaskElement& m = config.pages[0].masks[size_t(index)];
        stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, 90, 190, 500, 260, &config, 0, index, true, rescale));
        const int last = rows * cols - 1;
        const QRect cell = multiBoxCells(500, 260, rows, cols).at(last);
        const QByteArray valueId = QStringLiteral("%1_z").arg(last, 2, 10, QLatin1Char('0')).toUtf8();
        const pugi::xml_node value = child(mask, valueId.constData());
        QCOMPARE(paramInt(value, "XPOS"), cell.x() + cell.width() / 3);
        QCOMPARE(paramInt(value, "YPOS"), cell.y() + cell.height());
        QCOMPARE(paramValue(value, "LINES_X_HOT_MOUSE"),
                 QByteArray::number(cell.x()) + ',' + QByteArray::number(cell.y()) + ','
                     + QByteArray::number(cell.x() + cell.width()) + ',' + QByteArray::number(cell.y()) + ','
                     + QByteArray::number(cell.x() + cell.width()) + ','
                     + QByteArray::number(cell.y() + cell.height()) + ',' + QByteArray::number(cell.x()) + ','
                     + QByteArray::number(cell.y() + cell.height()) + ',' + QByteArray::number(cell.x()) + ','
                     + QByteArray::number(cell.y()));
        const QByteArray cells1 = cellsXml(mask);
        const QMap<QString, QByteArray> art1 = rs3.snapshot();
        // The panel at the new size is an item of its own (the same grid at
        // the same size, drawn in an earlier row, is found again).
        const QByteArray panel1 = paramValue(mask, "PATH_REL_AiM_MASK");
        QVERIFY(panel1 != panel0);
        QCOMPARE(TgzImage::decodeFile(rs3.absolutePath(Rs3Fixture::Stable, QString::fromUtf8(panel1) + "mask.tgz")).size(),
                 QSize(500, 260));

        stack.undo();
        QCOMPARE(cellsXml(mask), cells0);
        QCOMPARE(ConfigSnapshot::records(config), records0);
        QCOMPARE(paramValue(mask, "PATH_REL_AiM_MASK"), panel0);
        // Files the resize added may stay; every earlier one is as it was.
        QMap<QString, QByteArray> art = rs3.snapshot();
        for (auto it = art.begin(); it != art.end();)
            it = art0.contains(it.key()) ? std::next(it) : art.erase(it);
        QCOMPARE(art, art0);

        stack.redo();
        QCOMPARE(cellsXml(mask), cells1);
        QCOMPARE(rs3.snapshot(), art1);
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
    }
};

KORV_GUI_TEST_MAIN(MultiBoxTest)
#include "tst_multibox.moc"
