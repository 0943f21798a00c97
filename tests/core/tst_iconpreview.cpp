#include "artwork/HomebrewItems.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "model/SidecarKeys.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {
bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}
}

class IconPreviewTest : public QObject {
    Q_OBJECT

    // One page: an icon mask with a padded feature key, a mask without id,
    // and a three-digit box "mb".
    static ConfigFixture fixture()
    {
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("ic", 0, 0, 40, 40).add(Fx::icon("i1", 0, 0, 40, 40).p("OVERLAY2_ICONA_FEATUREKEY", "  OIL_P  ")))
            .mask(Fx::mask("", 0, 0, 10, 10))
            .mask(Fx::mask("mb", 0, 0, 200, 100)
                      .add(Fx::digit("d1", 0, 0, 10, 10))
                      .add(Fx::digit("d2", 0, 0, 10, 10))
                      .add(Fx::label("l1", "x", 0, 0, 10, 10))
                      .add(Fx::digit("d3", 0, 0, 10, 10)));
        cfg.triggeredIcon("OIL_P", 12, 3, "");
        return cfg;
    }

private Q_SLOTS:
    void iconKeyAndPreview()
    {
        DashConfig config;
        QVERIFY(config.load(fixture().writeTempZip()));
        QCOMPARE(config.iconFeatureKey(0, 0), QStringLiteral("OIL_P"));
        QCOMPARE(iconPreviewKey(config.pages[0].masks[1].id, 1), QStringLiteral("icon1"));

        QVERIFY(config.iconPreviewGraphic(0, 0).isEmpty());
        QVERIFY(writeText(config.iconPreviewSidecarPath(),
                          R"({"version":1,"icons":{"dash/p1/ic":{"graphic":"oil.png"},"dash/p1/icon1":{"graphic":"x.png"}}})"));
        // Edits on disk are seen at once.
        QCOMPARE(config.iconPreviewGraphic(0, 0), QStringLiteral("oil.png"));
        QCOMPARE(config.iconPreviewGraphic(0, 1), QStringLiteral("x.png"));
        QVERIFY(config.iconPreviewGraphic(0, 9).isEmpty());
    }

    void resolveIconPreview()
    {
        DashConfig config;
        QVERIFY(config.load(fixture().writeTempZip()));
        const IconPreviewInfo known = config.resolveIconPreview(0, 0);
        QCOMPARE(known.featureKey, QStringLiteral("OIL_P"));
        QCOMPARE(known.fid, 12);
        QCOMPARE(known.idf, 3);
        config.triggeredIcons.clear();
        const IconPreviewInfo unknown = config.resolveIconPreview(0, 0);
        QCOMPARE(unknown.description, QStringLiteral("OIL_P"));
        QCOMPARE(unknown.fid, -1);
        QCOMPARE(unknown.idf, -1);
        QVERIFY(unknown.graphicFile.isEmpty());
    }

    void multiBoxRecord_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("digits");
        QTest::newRow("usable") << QByteArray(R"({"dash/p1/mb":{"rows":3,"cols":1,"labelPlacement":"left"}})") << true << 3 << 3;
        QTest::newRow("no record") << QByteArray(R"({"dash/p1/other":{"rows":3,"cols":1}})") << false << 0 << 0;
        QTest::newRow("zero columns") << QByteArray(R"({"dash/p1/mb":{"rows":2,"cols":0}})") << false << 0 << 0;
        QTest::newRow("negative rows") << QByteArray(R"({"dash/p1/mb":{"rows":-1,"cols":2}})") << false << 0 << 0;
        QTest::newRow("absurd rows") << QByteArray(R"({"dash/p1/mb":{"rows":100000,"cols":2}})") << false << 0 << 0;
        QTest::newRow("id-less key") << QByteArray(R"({"dash/p1/mbox1":{"rows":2,"cols":2}})") << false << 0 << 0;
    }
    void multiBoxRecord()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, found);
        QFETCH(int, rows);
        QFETCH(int, digits);
        DashConfig config;
        QVERIFY(config.load(fixture().writeTempZip()));
        QVERIFY(writeText(config.multiBoxSidecarPath(), "{\"version\":1,\"masks\":" + json + "}"));
        const MultiBoxInfo info = config.multiBoxRecord(0, 2);
        QCOMPARE(info.found, found);
        QCOMPARE(info.rows, rows);
        QCOMPARE(info.digitCount, digits);
        if (found)
            QCOMPARE(info.labelPlacement, QStringLiteral("left"));
        // Mask 1 has no id: its record is the one the writers key ".../mbox1".
        QCOMPARE(config.multiBoxRecord(0, 1).found, QByteArray(QTest::currentDataTag()) == "id-less key");
    }

    void boxStyleRecordOfAMaskWithoutId()
    {
        DashConfig config;
        QVERIFY(config.load(fixture().writeTempZip()));
        QVERIFY(writeText(config.boxStylesSidecarPath(),
                          R"({"version":1,"masks":{"dash/p1/box1":{"styleId":"carbon","originalPathRel":""}}})"));
        // Not the art the mask points at: nothing to tell of it.
        QVERIFY(!config.boxStyleRecord(0, 1).present);
        setParam(config.pages[0].masks[1].node, "PATH_REL_AiM_MASK",
                 "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_x/Items/box_dash_p1_box1/");
        QVERIFY(config.boxStyleRecord(0, 1).present);
        QCOMPARE(config.boxStyleRecord(0, 1).styleId, QStringLiteral("carbon"));
        QVERIFY(!config.boxStyleRecord(0, 2).present);
    }

    void barGeometryText()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string(R"(<e c="Bargraph"><p n="XEnd1">10</p><p n="COL">0xff</p><p n="WIDTH">200</p></e>)"));
        QCOMPARE(DashConfig::barGeometryText(doc.first_child()), QStringLiteral("XEnd1=10;WIDTH=200"));
        QVERIFY(DashConfig::barGeometryText(pugi::xml_node()).isEmpty());
    }

    void editorPngFlagIsTakenOnce()
    {
        DashConfig config;
        config.editorPngWriteFailed = true;
        QVERIFY(config.takeEditorPngWriteFailed());
        QVERIFY(!config.takeEditorPngWriteFailed());
    }

    void firstM2FileIsTheFirstByName()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(firstM2File(dir).isEmpty());
        QVERIFY(writeText(dir + "/b.M2.xml", "<x/>"));
        QVERIFY(writeText(dir + "/a.M2.xml", "<x/>"));
        QVERIFY(QDir().mkpath(dir + "/0.M2.xml")); // a folder is no descriptor
        QCOMPARE(firstM2File(dir), dir + "/a.M2.xml");
    }

    void homebrewPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("item");
        const QString base = "aim/resources/overlay/mxs/masks/set/standard/s04_homebrew/zbox_cfg/Items/";
        QTest::newRow("box") << base + "box_a/" << true << "mxs" << "cfg" << "box_a";
        QTest::newRow("two-level device")
            << "aim/resources/overlay/pdm/dash1/masks/set/standard/s04_homebrew/zbox_c/Items/fit_x/" << true
            << "pdm/dash1" << "c" << "fit_x";
        QTest::newRow("deeper") << base + "box_a/x" << false << "" << "" << "";
        QTest::newRow("no masks") << "aim/resources/overlay/mxs/s04_homebrew/zbox_cfg/Items/box_a/" << false << ""
                                  << "" << "";
        QTest::newRow("redundant components") << "aim/resources/overlay/mxs//masks/./set/standard/s04_homebrew/zbox_cfg/Items/box_a//"
                                              << true << "mxs" << "cfg" << "box_a";
        QTest::newRow("dot item") << base + "./" << false << "" << "" << "";
        QTest::newRow("dot-dot device")
            << "aim/resources/overlay/../../x/masks/set/standard/s04_homebrew/zbox_cfg/Items/box_a/" << false << ""
            << "" << "";
    }
    void homebrewPaths()
    {
        QFETCH(QString, path);
        QFETCH(bool, ok);
        QString device, stem, item;
        QCOMPARE(parseHomebrewBoxPath(path, device, stem, item), ok);
        if (ok) {
            QTEST(device, "device");
            QTEST(stem, "stem");
            QTEST(item, "item");
        }
    }

    void sanitize()
    {
        QCOMPARE(sanitizeFileStem("My Config (2)"), QStringLiteral("My_Config__2_"));
        QCOMPARE(sanitizeFileStem(""), QStringLiteral("config"));
        QCOMPARE(sanitizeFileStem("md.03"), QStringLiteral("md_03"));
    }
};

KORV_GUI_TEST_MAIN(IconPreviewTest)
#include "tst_iconpreview.moc"
