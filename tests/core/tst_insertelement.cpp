#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QImage>
#include <QtTest>

namespace {

const QString kPageFolder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/");

bool openWith(DashConfig& config, const QList<FixtureElement>& masks, const QString& pagePath = QString())
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.pagePath = pagePath;
    for (const FixtureElement& m : masks)
        page.mask(m);
    return config.load(cfg.writeTempZip());
}

pugi::xml_node detached(pugi::xml_document& doc, const FixtureElement& e)
{
    const QByteArray xml = e.toXml();
    doc.load_buffer(xml.constData(), size_t(xml.size()));
    return doc.first_child();
}

pugi::xml_node child(pugi::xml_node mask, const char* id)
{
    return mask.find_child_by_attribute("e", "i", id);
}

QStringList paramNames(pugi::xml_node e)
{
    QStringList names;
    for (pugi::xml_node p : e.children("p"))
        names << QString::fromUtf8(p.attribute("n").value());
    return names;
}

FixtureElement donor(int w, int h)
{
    FixtureElement mask(QStringLiteral("GMaskParam"), QStringLiteral("md.07"));
    if (w > 0)
        mask.p("WIDTH", w).p("HEIGHT", h);
    mask.p("ORDINE", 9);
    return mask;
}

ChannelInfo noChannel()
{
    return ChannelInfo();
}

} // namespace

class InsertElementTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    // Each case starts from empty installs: art left by one would be found
    // by the look-ups of the next.
    void cleanup()
    {
        for (const Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QDir(rs3.overlayRoot(root)).removeRecursively();
            QDir().mkpath(rs3.overlayRoot(root));
        }
    }

    void namesAndFirmwareFolder()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("a", 0, 0, 10, 10), Fx::mask("b", 0, 0, 10, 10), Fx::mask("c", 0, 0, 10, 10)}));
        pugi::xml_document doc;
        MaskElement out;
        const int index = config.insertElement(0, detached(doc, donor(200, 80).add(Fx::label("00", "x", 0, 0, 50, 20))),
                                               noChannel(), 10, 20, 200, 80, out, kPageFolder + "Items/md_lbl/");
        QCOMPARE(index, 3);
        const pugi::xml_node mask = config.pages[0].masks[3].node;
        QCOMPARE(paramValue(mask, "PATH_MASK_FW"), QByteArray("auto4/"));
        QCOMPARE(paramValue(mask, "PATH_IMAGE"), QByteArray("mask.png"));
        QCOMPARE(paramValue(mask, "PATH_REL_AiM_MASK"), (kPageFolder + "Items/md_lbl/").toUtf8());
        QCOMPARE(paramValue(mask, "ORDINE"), QByteArray("9")); // the donor's own
        QCOMPARE(QString::fromUtf8(mask.attribute("i").value()), QStringLiteral("new.1"));
        QCOMPARE(out.id, QStringLiteral("new.1"));
        QCOMPARE(QRect(out.x, out.y, out.w, out.h), QRect(10, 20, 200, 80));
        QVERIFY(config.devices[0]->dirty);
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());
    }

    void donorWithoutIdGetsOne()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("new.1", 0, 0, 10, 10)}));
        FixtureElement anonymous(QStringLiteral("GMaskParam"));
        anonymous.add(Fx::label("00", "x", 0, 0, 50, 20));
        pugi::xml_document doc;
        MaskElement out;
        QCOMPARE(config.insertElement(0, detached(doc, anonymous), noChannel(), 0, 0, 100, 40, out, QString()), 1);
        QCOMPARE(QString::fromUtf8(config.pages[0].masks[1].node.attribute("i").value()), QStringLiteral("new.2"));
        QCOMPARE(config.parseMask(config.pages[0].masks[1].node).id, QStringLiteral("new.2"));
    }

    void donorFromTheOpenConfiguration()
    {
        // With no stock art found, the add-element dialog offers the
        // configuration's own masks as donors.
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("md.00", 5, 5, 100, 40).add(Fx::label("01", "x", 10, 20, 50, 10))}));
        const QByteArray source = ConfigSnapshot::xml(config.pages[0].masks[0].node);
        MaskElement out;
        QCOMPARE(config.insertElement(0, config.pages[0].masks[0].node, noChannel(), 0, 0, 200, 80, out, QString()), 1);
        QCOMPARE(ConfigSnapshot::xml(config.pages[0].masks[0].node), source);
        QCOMPARE(paramValue(child(config.pages[0].masks[1].node, "01"), "XPOS"), QByteArray("20"));
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());
    }

    void rescalesChildren_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("WIDTH rounds half up") << "WIDTH" << "25" << "38";
        QTest::newRow("XPOS keeps its tail") << "XPOS" << "40,12" << "60,12";
        QTest::newRow("XEnd2") << "XEnd2" << "3" << "5";
        QTest::newRow("YPOS") << "YPOS" << "10" << "15";
        QTest::newRow("YIMG negative rounds away") << "YIMG" << "-5" << "-8";
        QTest::newRow("HEIGHT") << "HEIGHT" << "80" << "120";
    }
    void rescalesChildren()
    {
        QFETCH(QString, param);
        QFETCH(QString, before);
        DashConfig config;
        QVERIFY(openWith(config, {}));
        FixtureElement bar = Fx::bargraph("01", 0, 0, 0, 0, "00");
        bar.set(param, before);
        FixtureElement ring(QStringLiteral("Ring"), QStringLiteral("02"));
        ring.p(param, before);
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, donor(200, 80).add(bar).add(ring)), noChannel(), 0, 0, 300, 120,
                                     out, kPageFolder + "Items/bar/")
                >= 0);
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        QTEST(QString::fromUtf8(paramValue(child(mask, "01"), param.toUtf8().constData())), "after");
        QCOMPARE(QString::fromUtf8(paramValue(child(mask, "02"), param.toUtf8().constData())), before); // not a widget
    }

    void sizelessDonorIsNotRescaled()
    {
        DashConfig config;
        QVERIFY(openWith(config, {}));
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, donor(0, 0).add(Fx::label("00", "x", 4, 6, 50, 20))), noChannel(),
                                     0, 0, 300, 120, out, QString())
                >= 0);
        const pugi::xml_node label = child(config.pages[0].masks[0].node, "00");
        QCOMPARE(paramValue(label, "XPOS"), QByteArray("4"));
        QCOMPARE(paramValue(label, "WIDTH"), QByteArray("50"));
    }

    void firmwarePositions()
    {
        DashConfig config;
        QVERIFY(openWith(config, {}));
        FixtureElement icon = Fx::icon("03", 7, 8, 20, 20);
        FixtureElement label = Fx::label("02", "x", 4, 6, 50, 20);
        label.p("XPOS_FW", 99).p("YPOS_FW", 99);
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, donor(100, 40).add(Fx::digit("01", 5, 6, 50, 20)).add(label).add(icon)),
                                     noChannel(), 0, 0, 100, 40, out, QString())
                >= 0);
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        QCOMPARE(paramNames(child(mask, "01")), (QStringList{"XPOS", "XPOS_FW", "YPOS", "YPOS_FW", "WIDTH", "HEIGHT"}));
        QCOMPARE(paramValue(child(mask, "01"), "YPOS_FW"), QByteArray("6"));
        QCOMPARE(paramValue(child(mask, "02"), "XPOS_FW"), QByteArray("4"));
        QCOMPARE(paramValue(child(mask, "02"), "YPOS_FW"), QByteArray("6"));
        QVERIFY(!paramNames(child(mask, "03")).contains("XPOS_FW"));
    }

    void firmwareBackground_data()
    {
        QTest::addColumn<QStringList>("classes");
        QTest::addColumn<bool>("kept");
        QTest::newRow("digit and bar") << QStringList{"Digit", "Bargraph"} << true;
        QTest::newRow("digit and label") << QStringList{"Digit", "Label"} << false;
        QTest::newRow("digit and ring") << QStringList{"Digit", "Ring"} << true;
        QTest::newRow("label only") << QStringList{"Label"} << true;
    }
    void firmwareBackground()
    {
        QFETCH(QStringList, classes);
        DashConfig config;
        QVERIFY(openWith(config, {}));
        FixtureElement mask = donor(100, 40).p("PATH_IMAGE_SFONDO_FW", "mask.tgz");
        int n = 0;
        for (const QString& cls : classes)
            mask.add(FixtureElement(cls, QString::number(++n)).p("XPOS", 0));
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, mask), noChannel(), 0, 0, 100, 40, out, kPageFolder + "Items/x/") >= 0);
        QTEST(config.pages[0].masks[0].node.find_child_by_attribute("p", "n", "PATH_IMAGE_SFONDO_FW") ? true : false,
              "kept");
    }

    void barWithoutLayoutArtIsRefused_data()
    {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("kind");
        QTest::newRow("bar") << "Bargraph" << "bar";
        QTest::newRow("trapezoid bar") << "BargraphTrapezio" << "bar";
        QTest::newRow("needle") << "Analog" << "needle gauge";
        QTest::newRow("ring") << "Ring" << "ring gauge";
    }
    void barWithoutLayoutArtIsRefused()
    {
        QFETCH(QString, cls);
        QFETCH(QString, kind);
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("a", 0, 0, 10, 10)}));
        const QByteArray before = ConfigSnapshot::of(config);
        pugi::xml_document doc;
        MaskElement out;
        QString error = QStringLiteral("stale");
        FixtureElement mask = donor(100, 40).add(Fx::digit("01", 0, 0, 10, 10)).add(FixtureElement(cls, "02").p("XPOS", 0));
        QCOMPARE(config.insertElement(0, detached(doc, mask), noChannel(), 0, 0, 100, 40, out, QString(), &error), -1);
        QCOMPARE(error, QStringLiteral("This page's layout has no %1 to build on, so Korvelanto cannot place one here "
                                       "without pointing it at another element's artwork — which is what makes "
                                       "RaceStudio 3 reject the file.\n\nPut the %1 on a page whose layout already "
                                       "contains one, or pick a different element.")
                            .arg(kind));
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void barUsesItemOfThePageLayout()
    {
        const QString item = kPageFolder + "Items/md_bar/";
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, item, QSize(100, 40)));
        const QString m2 = item + "md_bar.M2.xml";
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, m2,
                              "<aimDataBase_Mask2><e c=\"GMaskParam\" i=\"x\"><e c=\"Bargraph\" i=\"01\"/></e>"
                              "</aimDataBase_Mask2>"));
        DashConfig config;
        QVERIFY(openWith(config, {}));
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, donor(100, 40).add(Fx::bargraph("01", 0, 0, 100, 40))), noChannel(),
                                     0, 0, 100, 40, out, QString())
                >= 0);
        QCOMPARE(paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK"), item.toUtf8());
    }

    void pageFolderIsRepairedFromASiblingPage()
    {
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Bare")).pagePath = QStringLiteral("");
        cfg.device().page(QStringLiteral("Laid out"));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QVERIFY(config.pages[0].relPagePath.isEmpty());
        const QString sibling = config.pages[1].relPagePath;
        pugi::xml_document doc;
        MaskElement out;
        QVERIFY(config.insertElement(0, detached(doc, donor(100, 40).add(Fx::label("00", "x", 0, 0, 10, 10))), noChannel(),
                                     0, 0, 100, 40, out, QString())
                >= 0);
        QCOMPARE(config.pages[0].relPagePath, sibling);
        QCOMPARE(QString::fromUtf8(paramValue(config.pageParamNode(0), "PATH_REL_AiM_PAGE")), sibling);
        QCOMPARE(QString::fromUtf8(paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK")),
                 sibling + QStringLiteral("Items/mdNew/"));
    }

    void sourceFolderOutsideTheInstallIsRefused_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("parent") << "aim/resources/overlay/../../../etc/";
        QTest::newRow("absolute") << "/etc/";
        QTest::newRow("backslash") << "aim\\resources\\x\\";
    }
    void sourceFolderOutsideTheInstallIsRefused()
    {
        QFETCH(QString, folder);
        DashConfig config;
        QVERIFY(openWith(config, {}));
        const QByteArray before = ConfigSnapshot::of(config);
        pugi::xml_document doc;
        MaskElement out;
        QString error;
        QCOMPARE(config.insertElement(0, detached(doc, donor(100, 40).add(Fx::label("00", "x", 0, 0, 10, 10))), noChannel(),
                                      0, 0, 100, 40, out, folder, &error),
                 -1);
        QVERIFY(error.contains(folder));
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void simpleMaskFillsThePage()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("a", 0, 0, 10, 10)}));
        MaskElement out;
        QCOMPARE(config.addMaskSimple(0, QStringLiteral("auto_mask.1 x"), out), 1);
        const pugi::xml_node mask = config.pages[0].masks[1].node;
        QCOMPARE(QRect(out.x, out.y, out.w, out.h), QRect(0, 0, 800, 480));
        QCOMPARE(QString::fromUtf8(paramValue(mask, "PATH_REL_AiM_MASK")), kPageFolder + "Items/auto_mask_1_x/");
        QCOMPARE(paramValue(mask, "ORDINE"), QByteArray("2"));
        QCOMPARE(paramValue(mask, "PATH_MASK_FW"), QByteArray("auto2/"));
        QCOMPARE(paramNames(mask).size(), 20);
        QCOMPARE(paramNames(mask).last(), QStringLiteral("NAME"));
        const pugi::xml_node axis = child(mask, "00");
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("1"));
        QCOMPARE(paramNames(axis).size(), 26);
        QCOMPARE(mask.find_child_by_attribute("e", "c", "Axis"), axis);
    }

    void libraryItemChannelElements_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("own 00") << QStringList{"00"} << QStringList{"00:given"};
        QTest::newRow("03 only") << QStringList{"03"} << QStringList{"00:default", "03:given"};
        QTest::newRow("none") << QStringList{} << QStringList{"00:default"};
    }
    void libraryItemChannelElements()
    {
        QFETCH(QStringList, given);
        DashConfig config;
        QVERIFY(openWith(config, {}));
        pugi::xml_document doc;
        pugi::xml_node holder = doc.append_child("holder");
        std::vector<pugi::xml_node> elements;
        for (const QString& id : given) {
            pugi::xml_node axis = holder.append_child("e");
            axis.append_attribute("c").set_value("Axis");
            axis.append_attribute("i").set_value(id.toUtf8().constData());
            appendParam(axis, "lnm", "given");
            elements.push_back(axis);
        }
        elements.push_back(holder.append_child("e")); // not an Axis: ignored
        MaskElement out;
        QCOMPARE(config.addMaskFromLibraryItem(0, "m", kPageFolder + "Items/a/", "img.png", "prw.png", "fw/", elements, out), 0);
        QStringList found;
        for (pugi::xml_node e : config.pages[0].masks[0].node.children("e"))
            found << QString::fromUtf8(e.attribute("i").value()) + ':'
                     + (paramValue(e, "lnm").isEmpty() ? QStringLiteral("default") : QStringLiteral("given"));
        QTEST(found, "expected");
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        QCOMPARE(paramValue(mask, "PATH_IMAGE"), QByteArray("img.png"));
        QCOMPARE(paramValue(mask, "PATH_IMAGE_PRW"), QByteArray("prw.png"));
        QCOMPARE(paramValue(mask, "PATH_MASK_FW"), QByteArray("fw/"));
    }

    void artFolderIsRehomed_data()
    {
        QTest::addColumn<bool>("sameNamed");
        QTest::addColumn<bool>("otherItem");
        QTest::addColumn<QString>("expected");
        const QString foreign = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s09/p04/Items/md7/");
        QTest::newRow("same-named item") << true << true << kPageFolder + "Items/md7/";
        QTest::newRow("another item of the layout") << false << true << kPageFolder + "Items/md1/";
        QTest::newRow("nothing: the same name anyway") << false << false << kPageFolder + "Items/md7/";
    }
    void artFolderIsRehomed()
    {
        QFETCH(bool, sameNamed);
        QFETCH(bool, otherItem);
        if (sameNamed)
            QVERIFY(rs3.addArtItem(Rs3Fixture::Beta, kPageFolder + "Items/md7/", QSize(10, 10)));
        if (otherItem)
            QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kPageFolder + "Items/md1/", QSize(10, 10)));
        DashConfig config;
        QVERIFY(openWith(config, {}));
        MaskElement out;
        QCOMPARE(config.addMaskFromLibraryItem(0, "m", "aim/resources/overlay/mxg_12/masks/set/standard/s09/p04/Items/md7/",
                                               QString(), QString(), QString(), {}, out),
                 0);
        QTEST(QString::fromUtf8(paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK")), "expected");
    }

    // A channel chosen for a stock icon survives the save: the icon names
    // a channel element bound to it (CHANNEL_NOT_SET 0, as a bound element
    // has it), whether the donor brought one, brought one its icon does not
    // name, or brought none. So a later paste merge of another channel's
    // element under the same id leaves it alone. Without a channel the donor
    // is copied as it is.
    void iconKeepsItsChannel_data()
    {
        QTest::addColumn<bool>("donorAxis");
        QTest::addColumn<bool>("withChannel");
        QTest::newRow("no channel element") << false << true;
        QTest::newRow("channel element the icon does not name") << true << true;
        QTest::newRow("no channel chosen") << false << false;
    }
    void iconKeepsItsChannel()
    {
        QFETCH(bool, donorAxis);
        QFETCH(bool, withChannel);
        ConfigFixture cfg;
        cfg.channel(9, QStringLiteral("Oil Temp Alarm"));
        cfg.device().page(QStringLiteral("Main"));
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        FixtureElement stock = donor(44, 44);
        if (donorAxis)
            stock.add(Fx::axis("03", QString()));
        stock.add(Fx::icon("01", 0, 0, 44, 44));
        const ChannelInfo channel = withChannel ? config.channels.front() : noChannel();
        pugi::xml_document doc;
        MaskElement out;
        QCOMPARE(config.insertElement(0, detached(doc, stock), channel, 10, 10, 44, 44, out, QString()), 0);
        QVERIFY(config.save(path));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const pugi::xml_node mask = reopened.pages[0].masks[0].node;
        const QByteArray ref = paramValue(child(mask, "01"), "AXIS_REF");
        if (!withChannel) {
            QVERIFY(ref.isEmpty());
            QVERIFY(!mask.find_child_by_attribute("e", "c", "Axis"));
            return;
        }
        QCOMPARE(ref, donorAxis ? QByteArray("03") : QByteArray("00"));
        QCOMPARE(paramValue(child(mask, ref.constData()), "lnm"), QByteArray("Oil Temp Alarm"));
        QCOMPARE(paramValue(child(mask, ref.constData()), "fid"), QByteArray("9"));
        QCOMPARE(paramValue(child(mask, ref.constData()), "CHANNEL_NOT_SET"), QByteArray("0"));

        pugi::xml_document clip;
        const pugi::xml_node speed = detached(clip, Fx::axis(QString::fromUtf8(ref), QStringLiteral("Speed")));
        QHash<QString, QString> idMap;
        QCOMPARE(reopened.mergeAxisElements(0, 0, {speed}, &idMap), 1);
        QVERIFY(idMap.value(QString::fromUtf8(ref)) != QString::fromUtf8(ref));
        QCOMPARE(paramValue(child(reopened.pages[0].masks[0].node, ref.constData()), "lnm"),
                 QByteArray("Oil Temp Alarm"));
    }

    void insertIntoDemoAndReopen()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        const QString item = kPageFolder + "Items/md_value/";
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, item, QSize(200, 80), QColor(0, 0, 255)));

        DashConfig config;
        QVERIFY(config.load(path));
        const QByteArray untouched = ConfigSnapshot::documents(config);
        const auto water = std::find_if(config.channels.begin(), config.channels.end(),
                                        [](const ChannelInfo& c) { return c.longName == QLatin1String("Water Temp"); });
        QVERIFY(water != config.channels.end());
        FixtureElement stock = donor(200, 80).p("PATH_IMAGE_SFONDO_FW", "mask.tgz").p("PATH_REL_AiM_MASK", item);
        stock.add(Fx::axis("00", QString())).add(Fx::digit("01", 20, 70, 160, 60, "00")).add(Fx::label("02", "T", 0, 0, 200, 20));
        pugi::xml_document doc;
        MaskElement out;
        const int count = int(config.pages[1].masks.size());
        QCOMPARE(config.insertElement(1, detached(doc, stock), *water, 250, 180, 300, 120, out, item), count);
        QVERIFY(config.save(path));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(int(reopened.pages[1].masks.size()), count + 1);
        const MaskElement& mask = reopened.pages[1].masks.back();
        QCOMPARE(mask.id, QStringLiteral("new.1"));
        QCOMPARE(QRect(mask.x, mask.y, mask.w, mask.h), QRect(250, 180, 300, 120));
        QCOMPARE(mask.widgets.size(), size_t(2));
        QCOMPARE(mask.widgets[0].channel, QStringLiteral("Water Temp"));
        QCOMPARE(paramValue(child(mask.node, "00"), "fid"), QByteArray::number(water->fid));
        QCOMPARE(paramValue(child(mask.node, "01"), "YPOS"), QByteArray("105"));
        // The art is the stock item's, in the page's own layout.
        QCOMPARE(QString::fromUtf8(paramValue(mask.node, "PATH_REL_AiM_MASK")), item);
        const QString png = DashConfig::resolveRs3Path(item + QStringLiteral("mask.png"));
        QVERIFY2(!png.isEmpty(), qPrintable(item));
        QCOMPARE(QImage(png).pixelColor(5, 5), QColor(0, 0, 255));

        // Everything else is as it was.
        const pugi::xml_node node = mask.node;
        reopened.pages[1].masks.pop_back();
        reopened.pageParamNode(1).remove_child(node);
        QCOMPARE(ConfigSnapshot::documents(reopened), untouched);
    }
};

KORV_GUI_TEST_MAIN(InsertElementTest)
#include "tst_insertelement.moc"
