#include "model/DashConfig.h"
#include "model/DeviceRegistry.h"
#include "model/DeviceTables.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

class DeviceTablesTest : public QObject {
    Q_OBJECT

private:
    // Two device files: "a" (dash 1, 1280 wide) and "b" (dash 2, 800 wide),
    // each with two pages unless told otherwise.
    static ConfigFixture twoDashes(int pagesA = 2, int pagesB = 2, int dashA = 1, int dashB = 2, int dimA = 1280,
                                   int dimB = 800)
    {
        ConfigFixture cfg;
        FixtureDevice& a = cfg.device();
        a.folder = "a";
        a.dashNumber = dashA;
        a.dimX = dimA;
        for (int i = 0; i < pagesA; ++i) {
            FixturePage& p = a.page(QStringLiteral("A%1").arg(i + 1));
            p.imagePath = QStringLiteral("aim/resources/overlay/mxg_12/bkg/a%1.png").arg(i + 1);
            p.param("PATH_IMAGE_PRW", QStringLiteral("prw-a%1.png").arg(i + 1));
        }
        FixtureDevice& b = cfg.addDevice("b");
        b.dashNumber = dashB;
        b.dimX = dimB;
        for (int i = 0; i < pagesB; ++i)
            b.page(QStringLiteral("B%1").arg(i + 1)).param("PATH_IMAGE_SFONDO_FW", " fw.tgz ");
        return cfg;
    }

private Q_SLOTS:
    void deviceTypeFolder_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("folder");
        QTest::newRow("MXG 1.2") << "MXG 1.2" << "mxg_12";
        QTest::newRow("lower case") << "mxg 1.2" << "mxg_12";
        QTest::newRow("MXS Strada") << "MXS Strada" << "mxs_12";
        QTest::newRow("MXS Strada Light") << "mxs strada light" << "mxsl";
        QTest::newRow("PDM08") << "PDM08" << "pdm08/dash1";
        QTest::newRow("Solo") << "Solo 2 DL" << "solo2dl";
        QTest::newRow("SW4") << "SW4" << "fsw";
        QTest::newRow("trailing blank") << "MXG " << "";
        QTest::newRow("unknown") << "MXZ" << "";
        QTest::newRow("empty") << "" << "";
    }
    void deviceTypeFolder()
    {
        QFETCH(QString, type);
        QFETCH(QString, folder);
        QCOMPARE(overlayFolderForDeviceName(type), folder);
    }

    void folderFromPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("mxg") << "aim/resources/overlay/mxg/masks/x/" << "mxg" << "mxg_12";
        QTest::newRow("strada alias") << "overlay/MXS_12 Strada/masks/" << "MXS_12 Strada" << "mxs_12";
        QTest::newRow("pdm dash") << "aim/resources/overlay/pdm08/dash2/masks/a" << "pdm08/dash2" << "pdm08/dash2";
        QTest::newRow("pdm") << "overlay/pdm/masks/" << "pdm" << "pdm/dash1";
        QTest::newRow("unknown alias") << "overlay/t/masks/" << "t" << "";
        QTest::newRow("empty folder") << "overlay//masks/" << "" << "";
        QTest::newRow("masks before overlay") << "x/masks/overlay/mxg/" << "" << "";
        QTest::newRow("no overlay") << "aim/mxg/masks/" << "" << "";
        QTest::newRow("case-sensitive markers") << "Overlay/mxg/Masks/" << "" << "";
    }
    void folderFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, raw);
        QFETCH(QString, canonical);
        QCOMPARE(deviceFolderFromPath(path), raw);
        QCOMPARE(canonicalDeviceFolderFromPath(path), canonical);
    }

    void typeCode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        QTest::newRow("MXS1.2 lower case") << "mxs1.2" << "14";
        QTest::newRow("MXG Strada Light") << "MXG Strada Light" << "91";
        QTest::newRow("MXTN") << "MXTN" << "96";
        QTest::newRow("PDM08 has no row") << "PDM08" << "";
        QTest::newRow("trailing blank") << "MXG 1.2 " << "";
        QTest::newRow("empty") << "" << "";
    }
    void typeCode()
    {
        QFETCH(QString, name);
        QFETCH(QString, code);
        QCOMPARE(deviceTypeCodeForName(name), code);
    }

    void registry()
    {
        const std::vector<DeviceRow>& rows = DeviceRegistry::devices();
        QCOMPARE(rows.size(), size_t(11));
        QCOMPARE(&rows, &DeviceRegistry::devices());
        QStringList ids, wide;
        for (const DeviceRow& r : rows) {
            ids << r.id;
            if (r.width == 1280)
                wide << r.id;
            QVERIFY(!r.baseTemplatePath.isEmpty());
        }
        QCOMPARE(ids.join(','), QStringLiteral("mxg_12,mxs_12,mxp,mxsl,mxt,pdm_dash1,pdm_dash2,pdm08_dash1,"
                                               "pdm08_dash2,solo2dl,fsw"));
        QCOMPARE(wide.join(','), QStringLiteral("mxt,pdm_dash1,pdm08_dash1"));
        QCOMPARE(rows[9].width, 238);
        QCOMPARE(rows[9].height, 99);
        QCOMPARE(rows[9].baseTemplatePath, QStringLiteral("s01/p04"));
        QCOMPARE(rows[7].family, QStringLiteral("pdm08/dash1"));
        QCOMPARE(rows[10].displayName, QStringLiteral("SW4 (Steering Wheel)"));
    }

    void pageAccessorsWithAlternatingPages()
    {
        DashConfig config;
        QVERIFY(config.load(twoDashes().writeTempZip()));
        QCOMPARE(config.pageCount(), 4);
        // Pages of the two files interleaved, as page inserts can leave them.
        std::swap(config.pages[1], config.pages[2]);
        QStringList order;
        for (const PageModel& p : config.pages)
            order << p.name;
        QCOMPARE(order.join(','), QStringLiteral("A1,B1,A2,B2"));
        for (int i = 0; i < config.pageCount(); ++i)
            QCOMPARE(QString::fromUtf8(paramValue(config.pageParamNode(i), "PAGE_NAME")), config.pages[size_t(i)].name);
        QVERIFY(!config.pageParamNode(4));
        QVERIFY(!config.pageParamNode(-1));

        QCOMPARE(config.pageImagePaths(2),
                 (QStringList{"aim/resources/overlay/mxg_12/bkg/a2.png", "prw-a2.png", ""}));
        QCOMPARE(config.pageImagePaths(3), (QStringList{"", "", " fw.tgz "}));
        QCOMPARE(config.pageImagePaths(9), (QStringList{"", "", ""}));

        // A page whose file lost a GPageParam has no node.
        config.pages.push_back(PageModel());
        config.pages.back().deviceFileIndex = 0;
        QVERIFY(!config.pageParamNode(4));
    }

    void dashTarget_data()
    {
        QTest::addColumn<int>("pagesA");
        QTest::addColumn<int>("pagesB");
        QTest::addColumn<int>("dashA");
        QTest::addColumn<int>("dashB");
        QTest::addColumn<int>("dimA");
        QTest::addColumn<int>("dimB");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("newDimX");

        // Devices load with pages first and then by dash number: with pages
        // in both, "a" (dash 1) is index 0.
        QTest::newRow("dash2 upper case by number") << 1 << 0 << 1 << 2 << 1280 << 1280 << "x/pdm/DASH2" << 1 << 800;
        QTest::newRow("dash1 by number") << 1 << 1 << 1 << 2 << 1280 << 800 << "pdm/dash1" << 0 << 1280;
        QTest::newRow("file with pages keeps width") << 1 << 1 << 1 << 2 << 1280 << 1280 << "pdm/dash2" << 1 << 1280;
        QTest::newRow("by width without numbers") << 1 << 1 << -1 << -1 << 800 << 1280 << "pdm/dash1" << 1 << 1280;
        QTest::newRow("no width matches") << 1 << 1 << -1 << -1 << 800 << 800 << "pdm/dash1" << -1 << -1;
        QTest::newRow("other target: first with pages") << 0 << 1 << 1 << 2 << 1280 << 800 << "mxg_12" << 0 << -1;
    }
    void dashTarget()
    {
        QFETCH(int, pagesA);
        QFETCH(int, pagesB);
        QFETCH(int, dashA);
        QFETCH(int, dashB);
        QFETCH(int, dimA);
        QFETCH(int, dimB);
        QFETCH(QString, target);
        QFETCH(int, index);
        QFETCH(int, newDimX);

        DashConfig config;
        QVERIFY(config.load(twoDashes(pagesA, pagesB, dashA, dashB, dimA, dimB).writeTempZip()));
        QCOMPARE(config.devices.size(), size_t(2));
        const bool dashTargetGiven = target.endsWith("dash1", Qt::CaseInsensitive)
            || target.endsWith("dash2", Qt::CaseInsensitive);
        QCOMPARE(config.fileIndexForDashTarget(target), index);
        if (index < 0 || !dashTargetGiven) {
            for (const DeviceFile* d : config.devices)
                QVERIFY(!d->dirty);
            return;
        }
        const DeviceFile* chosen = config.devices[size_t(index)];
        QVERIFY(chosen->dirty);
        QCOMPARE(chosen->overlayFolder, target);
        QCOMPARE(chosen->dimX, newDimX);
        QCOMPARE(paramInt(config.gconfNode(index), "DIMENSIONE_X"), newDimX);
    }

    void dashTargetFewFiles()
    {
        DashConfig config;
        QCOMPARE(config.fileIndexForDashTarget("pdm/dash1"), -1);
        ConfigFixture one;
        one.device().page("P");
        QVERIFY(config.load(one.writeTempZip()));
        QCOMPARE(config.fileIndexForDashTarget("pdm/dash1"), 0);
        QVERIFY(!config.devices[0]->dirty);
        QCOMPARE(config.devices[0]->overlayFolder, QString());
    }
};

KORV_GUI_TEST_MAIN(DeviceTablesTest)
#include "tst_devicetables.moc"
