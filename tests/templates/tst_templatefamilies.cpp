#include "templates/PageTemplateLibrary.h"

#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

class TemplateFamiliesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Table hits never look at the disk: the roots here do not exist.
    void tableNames_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("lower case") << "mxs 1.2" << QStringList{"mxs_12"};
        QTest::newRow("upper case") << "MXS 1.2" << QStringList{"mxs_12"};
        QTest::newRow("pdm32") << "PDM32" << QStringList{"pdm/dash1", "pdm/dash2"};
        QTest::newRow("pdm08") << "pdm08" << QStringList{"pdm08/dash1", "pdm08/dash2"};
        QTest::newRow("strada light") << "MXS Strada Light" << QStringList{"mxsl"};
        QTest::newRow("steering wheel") << "SW4" << QStringList{"fsw"};
        QTest::newRow("unknown") << "Nothing Like It" << QStringList();
    }

    void tableNames()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, folders);
        QSettings settings;
        settings.setValue("paths/raceStudio3Root", TestEnvironment::homeDir() + "/absent");
        settings.setValue("paths/raceStudio3BetaRoot", TestEnvironment::homeDir() + "/absent_beta");
        QCOMPARE(PageTemplateLibrary::familyFolderCandidates(device), folders);
        QCOMPARE(PageTemplateLibrary::familyFolderFor(device), folders.value(0));
        settings.remove("paths");
    }

    // Names that miss the table are matched against the folders of the
    // overlay roots, root by root, each with an exact and a prefix pass.
    void diskNames_data()
    {
        QTest::addColumn<QStringList>("stable");
        QTest::addColumn<QStringList>("beta");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("folder");
        QTest::newRow("key A exact") << QStringList{"mxs 1_2"} << QStringList() << " MXS 1.2 " << "mxs 1_2";
        QTest::newRow("key B exact") << QStringList{"MXS_1_2"} << QStringList() << " MXS 1.2 " << "MXS_1_2";
        QTest::newRow("key B prefix") << QStringList{"mxs_1_2_strada"} << QStringList() << " MXS 1.2 "
                                      << "mxs_1_2_strada";
        QTest::newRow("nothing fits") << QStringList{"mxs_12", "mxs 1_23"} << QStringList() << " MXS 1.2 " << "";
        QTest::newRow("prefix with underscore") << QStringList{"mxg_1_3_strada"} << QStringList() << "MXG 1.3"
                                                << "mxg_1_3_strada";
        QTest::newRow("prefix with blank") << QStringList{"mxg 1_3 strada"} << QStringList() << "MXG 1.3"
                                           << "mxg 1_3 strada";
        QTest::newRow("mixed is no prefix") << QStringList{"mxg_1_3 strada"} << QStringList() << "MXG 1.3" << "";
        QTest::newRow("exact beats prefix") << QStringList{"mxg_1_3_strada", "mxg_1_3"} << QStringList() << "MXG 1.3"
                                            << "mxg_1_3";
        QTest::newRow("earlier root wins") << QStringList{"mxg 1_3 strada"} << QStringList{"mxg_1_3"} << "MXG 1.3"
                                           << "mxg 1_3 strada";
        QTest::newRow("later root") << QStringList() << QStringList{"mxg_1_3"} << "MXG 1.3" << "mxg_1_3";
        QTest::newRow("strada light") << QStringList{"mxpsl"} << QStringList() << "MXP Strada Light" << "mxpsl";
        QTest::newRow("dashes and dots") << QStringList{"evo_5"} << QStringList() << "EVO-.5__" << "evo_5";
    }

    void diskNames()
    {
        QFETCH(QStringList, stable);
        QFETCH(QStringList, beta);
        QFETCH(QString, device);
        QFETCH(QString, folder);
        Rs3Fixture fx;
        for (const QString& f : stable)
            fx.addDeviceFolder(Rs3Fixture::Stable, f);
        for (const QString& f : beta)
            fx.addDeviceFolder(Rs3Fixture::Beta, f);
        QCOMPARE(PageTemplateLibrary::familyFolderFor(device), folder);
        QCOMPARE(PageTemplateLibrary::familyFolderCandidates(device).size(), folder.isEmpty() ? 0 : 1);
    }

    void modelFolders()
    {
        Rs3Fixture fx;
        QCOMPARE(PageTemplateLibrary::modelFolderCandidates("mxs"), QStringLiteral("mxs"));
        QCOMPARE(PageTemplateLibrary::modelFolderCandidates("MXG"), QStringLiteral("mxg"));
        QCOMPARE(PageTemplateLibrary::modelFolderCandidates("MXG 1.2"), QStringLiteral("mxg_12"));
        QCOMPARE(PageTemplateLibrary::modelFolderCandidates("unknown"), QString());
    }

    void aliases()
    {
        QCOMPARE(PageTemplateLibrary::familyAliases("mxs_12"),
                 QStringList({"mxs_12", "mxs_12 strada", "mxs strada", "mxs"}));
        QCOMPARE(PageTemplateLibrary::familyAliases("mxg_12"), QStringList({"mxg_12", "mxg_12 strada", "mxg"}));
        QCOMPARE(PageTemplateLibrary::familyAliases("mxp"), QStringList({"mxp", "mxp strada"}));
        QCOMPARE(PageTemplateLibrary::familyAliases("mxt"), QStringList({"mxt", "mxt strada"}));
        QCOMPARE(PageTemplateLibrary::familyAliases("pdm/dash1"), QStringList({"pdm/dash1"}));
        QCOMPARE(PageTemplateLibrary::canonicalFamily("MXS Strada"), QStringLiteral("mxs_12"));
        QCOMPARE(PageTemplateLibrary::canonicalFamily("pdm/dash1"), QStringLiteral("pdm/dash1"));
        QCOMPARE(PageTemplateLibrary::canonicalFamily(" Odd "), QStringLiteral(" Odd "));
    }

    void candidates()
    {
        QCOMPARE(PageTemplateLibrary::familyCandidates("pdm/dash1", {"pdm/dash2", "pdm", "mxs_12"}),
                 QStringList({"pdm", "pdm/dash1"}));
        QCOMPARE(PageTemplateLibrary::familyCandidates("mxs strada", {}),
                 QStringList({"mxs_12", "mxs_12 strada", "mxs strada", "mxs"}));
        QCOMPARE(PageTemplateLibrary::familyCandidates("mxs_12", {" MXS_12/ ", "", "mxs_12"}),
                 QStringList({"MXS_12", "mxs_12 strada", "mxs strada", "mxs"}));
    }

    void suffixes()
    {
        QCOMPARE(PageTemplateLibrary::expandFamilies({"pdm/dash1", "pdm/dash2"}),
                 QStringList({"pdm/dash1", "pdm", "pdm/dash2"}));
        QCOMPARE(PageTemplateLibrary::expandFamilies({"", "mxt", "MXT"}), QStringList({"mxt"}));
        QCOMPARE(PageTemplateLibrary::stripDashSuffix("pdm08/dash2"), QStringLiteral("pdm08"));
        QCOMPARE(PageTemplateLibrary::stripDashSuffix("pdm/Dash12"), QStringLiteral("pdm"));
        QCOMPARE(PageTemplateLibrary::stripDashSuffix("pdm/dash"), QStringLiteral("pdm/dash"));
        QStringList list{"mxt"};
        PageTemplateLibrary::appendUnique(&list, " MXT// ");
        PageTemplateLibrary::appendUnique(&list, " / ");
        PageTemplateLibrary::appendUnique(&list, " fsw/ ");
        QCOMPARE(list, QStringList({"mxt", "fsw"}));
    }

    void labelsAndSizes()
    {
        QCOMPARE(PageTemplateLibrary::subFamilyLabel("pdm08/dash1"), QStringLiteral("Dash 1 (1280x480 wide)"));
        QCOMPARE(PageTemplateLibrary::subFamilyLabel("pdm/dash2"), QStringLiteral("Dash 2 (800x480 standard)"));
        QCOMPARE(PageTemplateLibrary::subFamilyLabel("fsw"), QStringLiteral("SW4 (Steering Wheel)"));
        QCOMPARE(PageTemplateLibrary::subFamilyLabel("PDM/dash1"), QStringLiteral("PDM/dash1"));
        QCOMPARE(PageTemplateLibrary::declaredCanvasSize("MXT"), QSize(1280, 480));
        QCOMPARE(PageTemplateLibrary::declaredCanvasSize("mxg"), QSize(800, 480));
        QCOMPARE(PageTemplateLibrary::declaredCanvasSize("solo2dl"), QSize(238, 99));
        QVERIFY(!PageTemplateLibrary::declaredCanvasSize("unknown").isValid());
    }
};

KORV_GUI_TEST_MAIN(TemplateFamiliesTest)
#include "tst_templatefamilies.moc"
