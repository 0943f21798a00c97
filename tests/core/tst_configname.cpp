#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtTest>

using FileMap = QMap<QString, QByteArray>;

namespace {

const char* const kAimcfg = "devices/Cfg.aimcfg";
const char* const kBuildA = "build/cano_s3s_build.ss.xml";
const char* const kBuildB = "deeper/x/cano_s3s_build.ss.xml";

// An RS3-style description: CRLF line ends and a Latin-1 byte that is not
// valid UTF-8, which must come through the rename untouched.
QByteArray description(const QByteArray& nameParams)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<CfgFileFormat>\r\n  <e c=\"Config\" i=\"0\">\r\n"
           + nameParams
           + "    <p n=\"Note\">caf\xe9</p>\r\n  </e>\r\n</CfgFileFormat>\r\n";
}

QByteArray buildFile(const QByteArray& userName)
{
    return "<root>\n  <p n=\"UserNameAll\">" + userName + "</p>\n  <p n=\"Other\">A&amp;B_SC3</p>\n</root>\n";
}

} // namespace

class ConfigNameTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setConfigName()
    {
        DashConfig config;
        config.loadedConfigName = "Old";
        QVERIFY(!config.setConfigName("   "));
        QVERIFY(!config.renamePending);
        QVERIFY(config.setConfigName("  New  "));
        QCOMPARE(config.newConfigName, QString("New"));
        QVERIFY(config.renamePending);
        config.renamePending = false;
        QVERIFY(!config.setConfigName("New "));
        QVERIFY(!config.renamePending);
        // Back to the loaded name is a change of the pending name.
        QVERIFY(config.setConfigName("Old"));
        QVERIFY(config.renamePending);
    }

    void writeBack_data()
    {
        QTest::addColumn<FileMap>("files");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("result");
        QTest::addColumn<FileMap>("expected");

        const QByteArray amp = "    <p n=\"Name\">A&amp;B</p>\r\n";
        QTest::newRow("A&B to C<D, bytes kept")
            << FileMap{{kAimcfg, description(amp)}, {kBuildA, buildFile("A&amp;B_SC3")}, {kBuildB, buildFile("A&amp;B_SC3")}}
            << "A&B" << "C<D" << false << true
            << FileMap{{kAimcfg, description("    <p n=\"Name\">C&lt;D</p>\r\n")},
                       {kBuildA, buildFile("C&lt;D_SC3")},
                       {kBuildB, buildFile("C&lt;D_SC3")}};
        QTest::newRow("only the first occurrence")
            << FileMap{{kAimcfg, description("    <p n=\"Name\">A</p>\r\n    <p n=\"Name\">A</p>\r\n")}}
            << "A" << "B" << false << true
            << FileMap{{kAimcfg, description("    <p n=\"Name\">B</p>\r\n    <p n=\"Name\">A</p>\r\n")}};
        QTest::newRow("build file without the name is left alone")
            << FileMap{{kAimcfg, description("    <p n=\"Name\">A</p>\r\n")}, {kBuildA, buildFile("Other_SC3")}}
            << "A" << "B" << false << true
            << FileMap{{kAimcfg, description("    <p n=\"Name\">B</p>\r\n")}, {kBuildA, buildFile("Other_SC3")}};
        QTest::newRow("read-only description")
            << FileMap{{kAimcfg, description("    <p n=\"Name\">A</p>\r\n")}} << "A" << "B" << true << true
            << FileMap{{kAimcfg, description("    <p n=\"Name\">B</p>\r\n")}};
        QTest::newRow("renamed back to the loaded name")
            << FileMap{{kAimcfg, description("    <p n=\"Name\">A</p>\r\n")}, {kBuildA, buildFile("A_SC3")}}
            << "A" << "A" << false << true
            << FileMap{{kAimcfg, description("    <p n=\"Name\">A</p>\r\n")}, {kBuildA, buildFile("A_SC3")}};

        const QByteArray spaced = "<?xml version=\"1.0\"?>\n<CfgFileFormat>\n<e c=\"Config\"><p  n=\"Name\">A</p>"
                                  "<e c=\"Device\"><p n=\"Type\">MXG</p></e></e>\n</CfgFileFormat>\n";
        const QByteArray tabbed = "<?xml version=\"1.0\"?>\n<CfgFileFormat>\n\t<e c=\"Config\">\n\t\t<p n=\"Name\">B</p>\n"
                                  "\t\t<e c=\"Device\">\n\t\t\t<p n=\"Type\">MXG</p>\n\t\t</e>\n\t</e>\n</CfgFileFormat>\n";
        QTest::newRow("other spelling falls back to the document")
            << FileMap{{kAimcfg, spaced}, {kBuildA, buildFile("A_SC3")}} << "A" << "B" << false << true
            << FileMap{{kAimcfg, tabbed}, {kBuildA, buildFile("B_SC3")}};
        QTest::newRow("empty loaded name falls back, build files untouched")
            << FileMap{{kAimcfg, spaced}, {kBuildA, buildFile("_SC3")}} << "" << "B" << false << true
            << FileMap{{kAimcfg, tabbed}, {kBuildA, buildFile("_SC3")}};
        QTest::newRow("missing Name parameter is added first")
            << FileMap{{kAimcfg, "<CfgFileFormat><e c=\"Config\"><p n=\"Other\">x</p></e></CfgFileFormat>"}}
            << "A" << "B" << false << true
            << FileMap{{kAimcfg, "<?xml version=\"1.0\"?>\n<CfgFileFormat>\n\t<e c=\"Config\">\n\t\t<p n=\"Name\">B</p>\n"
                                 "\t\t<p n=\"Other\">x</p>\n\t</e>\n</CfgFileFormat>\n"}};

        QTest::newRow("unreadable description fails")
            << FileMap{{kAimcfg, "not xml"}, {kBuildA, buildFile("A_SC3")}} << "A" << "B" << false << false
            << FileMap{{kAimcfg, "not xml"}, {kBuildA, buildFile("A_SC3")}};
        QTest::newRow("description without an element fails")
            << FileMap{{kAimcfg, "<CfgFileFormat/>"}} << "A" << "B" << false << false
            << FileMap{{kAimcfg, "<CfgFileFormat/>"}};
        QTest::newRow("no description fails") << FileMap{{kBuildA, buildFile("A_SC3")}} << "A" << "B" << false
                                              << false << FileMap{{kBuildA, buildFile("A_SC3")}};
    }

    void writeBack()
    {
        QFETCH(FileMap, files);
        QFETCH(QString, loaded);
        QFETCH(QString, newName);
        QFETCH(bool, readOnly);
        QFETCH(bool, result);
        QFETCH(FileMap, expected);

        DashConfig config;
        config.extractDir = TestEnvironment::makeTempDir("extract");
        QVERIFY(ZipFixture::writeTree(config.extractDir, files));
        const QString aimcfg = config.extractDir + '/' + kAimcfg;
        if (readOnly)
            QVERIFY(QFile::setPermissions(aimcfg, QFileDevice::ReadOwner | QFileDevice::ReadUser));
        config.loadedConfigName = loaded;
        config.newConfigName = newName;
        config.renamePending = true;

        QCOMPARE(config.writeConfigNameToAimcfg(), result);
        QCOMPARE(ZipFixture::readTree(config.extractDir), expected);
        QCOMPARE(config.renamePending, !result);
        QCOMPARE(config.loadedConfigName, result ? newName : loaded);
        QCOMPARE(config.newConfigName, newName);
        if (readOnly)
            QVERIFY(QFileInfo(aimcfg).permissions() & QFileDevice::WriteOwner);
    }

    void saveWritesPendingName()
    {
        ConfigFixture fixture;
        fixture.configName = "Track & Road";
        fixture.device().page("P");
        fixture.file("cfg/cano_s3s_build.ss.xml", buildFile("Track &amp; Road_SC3"));
        const QString path = fixture.writeTempZip();

        DashConfig config;
        QVERIFY(config.load(path));
        config.loadedConfigName = fixture.configName; // read by the channel list at open
        QVERIFY(config.setConfigName("Night <2>"));
        QString warning = "stale";
        QVERIFY(config.save(path, nullptr, &warning));
        QVERIFY(warning.isEmpty());
        QVERIFY(!config.renamePending);
        QCOMPARE(config.loadedConfigName, QString("Night <2>"));

        const FileMap saved = ZipFixture::readZip(path);
        QByteArray aimcfg = fixture.aimcfgXml();
        aimcfg.replace("<p n=\"Name\">Track &amp; Road</p>", "<p n=\"Name\">Night &lt;2&gt;</p>");
        QCOMPARE(saved.value(fixture.aimcfgPath), aimcfg);
        QCOMPARE(saved.value("cfg/cano_s3s_build.ss.xml"), buildFile("Night &lt;2&gt;_SC3"));
    }

    // The name cannot go into a description that does not parse: the save
    // still keeps the user's edits, under the old name, and says so.
    void unwritableNameStillSavesTheEdits()
    {
        ConfigFixture fixture;
        fixture.device().page("P").mask(Fx::mask("m1", 10, 20, 100, 50));
        fixture.file(fixture.aimcfgPath, "damaged description");
        const QString path = fixture.writeTempZip();

        DashConfig config;
        QVERIFY(config.load(path));
        config.loadedConfigName = "Test config";
        QVERIFY(config.setConfigName("Other"));
        config.pages[0].masks[0].x = 77;
        config.markPageDirty(0);
        QString error;
        QString warning;
        QVERIFY2(config.save(path, &error, &warning), qPrintable(error));
        QVERIFY(warning.contains(QLatin1String("\"Other\"")));
        QVERIFY(config.renamePending);
        QCOMPARE(config.loadedConfigName, QString("Test config"));
        QVERIFY(QFileInfo::exists(path + ".bak"));

        const FileMap saved = ZipFixture::readZip(path);
        QCOMPARE(saved.value(fixture.aimcfgPath), QByteArray("damaged description"));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.pages[0].masks[0].x, 77);

        // Once the description can take the name, the next save writes it
        // and the warning is gone.
        QVERIFY(ZipFixture::writeTree(config.extractDir,
                                      {{fixture.aimcfgPath, "<CfgFileFormat><e c=\"Config\"/></CfgFileFormat>"}}));
        QVERIFY(config.save(path, &error, &warning));
        QVERIFY(warning.isEmpty());
        QVERIFY(!config.renamePending);
    }

    void renameWithoutDescriptionStaysPending()
    {
        ConfigFixture fixture;
        fixture.aimcfgPath.clear();
        fixture.device().page("P");
        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        QVERIFY(config.setConfigName("Other"));
        QString warning;
        QVERIFY(config.save(path, nullptr, &warning));
        QVERIFY(config.renamePending);
        QVERIFY(!warning.isEmpty());
    }
};

KORV_GUI_TEST_MAIN(ConfigNameTest)
#include "tst_configname.moc"
