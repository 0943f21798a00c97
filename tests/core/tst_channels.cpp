#include "model/DashConfig.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QGuiApplication>
#include <QtTest>

namespace {

QStringList& capturedLog()
{
    static QStringList lines;
    return lines;
}

void captureHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    capturedLog().append(text);
}

// One Canale of a .aimcfg; empty texts leave the parameter out.
QByteArray canale(const char* fid, const char* longName, const QByteArray& extra = QByteArray())
{
    QByteArray out = "<e c=\"Canale\">";
    if (*fid)
        out += QByteArray("<p n=\"FID\">") + fid + "</p>";
    if (*longName)
        out += QByteArray("<p n=\"LongName\">") + longName + "</p>";
    return out + extra + "</e>";
}

QByteArray aimcfg(const QByteArray& channelsXml, const QByteArray& topParams = QByteArray())
{
    return "<CfgFileFormat><e c=\"Cfg\">" + topParams
        + "<e c=\"Device\"><p n=\"Type\">MXG 1.2</p><p n=\"TypeCode\">42 </p></e>"
          "<e c=\"ChannelsList\">"
        + channelsXml + "</e></e></CfgFileFormat>";
}

QByteArray sens(const char* lo, const char* hi, const QByteArray& extra = QByteArray())
{
    return QByteArray("<e c=\"SENS\"><p n=\"Lo\">") + lo + "</p><p n=\"Hi\">" + hi + "</p>" + extra + "</e>";
}

QByteArray chRange(const char* lo, const char* hi)
{
    return QByteArray("<p n=\"ChMin\">") + lo + "</p><p n=\"ChMax\">" + hi + "</p>";
}

QString writeAimcfg(const QByteArray& xml)
{
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
    const QString path = dir + QStringLiteral("/device.aimcfg");
    ZipFixture::writeTree(dir, {{QStringLiteral("device.aimcfg"), xml}});
    return path;
}

QByteArray alarm(const char* descr, const QByteArray& cmds, const char* fid = "12", const char* idf = "3")
{
    return QByteArray("<e c=\"FullIconCmdAlarm\"><p n=\"MCDescr\"> ") + descr + " </p><p n=\"MCFid\">" + fid
        + "</p><p n=\"MCIdf\">" + idf + "</p><e c=\"ElencoIconCmd\">" + cmds + "</e></e>";
}

QByteArray iconCmd(const char* value, const char* path)
{
    return QByteArray("<e c=\"IconCmd\"><p n=\"IconCmdValue\">") + value
        + "</p><p n=\"IconCmdStepAlarmPathImageIco\">" + path + "</p></e>";
}

} // namespace

class ChannelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void channelListFiltering()
    {
        const QByteArray channels = canale("5", "RPM", "<p n=\"ShortName\">rpm</p><p n=\"UIV\">rpm</p><p n=\"IDFis\">9</p>")
            + canale("0", "Zero FID") + canale("7", "") + canale("", "No FID") + canale("-3", "Negative")
            + canale("8", "Öl Temp", "<p n=\"SwTipoCanale\">2</p><p n=\"ChTipoFeatCont\">14</p><p n=\"LabelLongName\">Oil</p>");
        DashConfig config;
        config.zconf2Path = QStringLiteral("/x/b.c.zconf2");
        auto* device = new DeviceFile;
        device->dimX = 1280;
        device->dimY = 0;
        config.devices.push_back(device);
        QVERIFY(config.parseChannelsList(writeAimcfg(aimcfg(channels))));
        QCOMPARE(int(config.channels.size()), 2);
        QCOMPARE(config.channels[0].fid, 5);
        QCOMPARE(config.channels[0].idFis, 9);
        QCOMPARE(config.channels[0].unit, QStringLiteral("rpm"));
        QCOMPARE(config.channels[0].swTipoCanale, -1);
        QCOMPARE(config.channels[1].longName, QStringLiteral("Öl Temp"));
        QCOMPARE(config.channels[1].labelLongName, QStringLiteral("Oil"));
        QCOMPARE(config.channels[1].chTipoFeatCont, 14);
        QCOMPARE(config.deviceName, QStringLiteral("MXG 1.2"));
        QCOMPARE(config.typeCode, 42);
        // No Name: the archive's complete base name.
        QCOMPARE(config.loadedConfigName, QString());
        QCOMPARE(config.newConfigName, QStringLiteral("b.c"));
        QCOMPARE(config.displayWidth, 1280);
        QCOMPARE(config.displayHeight, 480);
        QVERIFY(config.aimcfgDoc.child("CfgFileFormat"));
    }

    void configName()
    {
        DashConfig config;
        config.renamePending = true;
        QVERIFY(config.parseChannelsList(writeAimcfg(aimcfg({}, "<p n=\"Name\">Track day</p>"))));
        QCOMPARE(config.loadedConfigName, QStringLiteral("Track day"));
        QCOMPARE(config.newConfigName, QStringLiteral("Track day"));
        QVERIFY(!config.renamePending);
        QVERIFY(config.channels.empty());
    }

    void unreadableAimcfg()
    {
        DashConfig config;
        config.channels.push_back(ChannelInfo{});
        QVERIFY(!config.parseChannelsList(writeAimcfg("<CfgFileFormat><e")));
        QVERIFY(config.channels.empty());
        QVERIFY(!config.parseChannelsList(writeAimcfg("<Other><e/></Other>")));
        QVERIFY(!config.parseChannelsList(QStringLiteral("/nonexistent.aimcfg")));
    }

    void ranges_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("hasRange");
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::newRow("sensor range wins") << chRange("0", "100") + sens("-50", "150") << true << -50.0 << 150.0;
        QTest::newRow("empty sensor range falls back") << chRange("0", "100") + sens("0", "0") << true << 0.0 << 100.0;
        QTest::newRow("sensor without Hi falls back") << chRange("1.5", "9") + QByteArray("<e c=\"SENS\"><p n=\"Lo\">0</p></e>") << true << 1.5 << 9.0;
        QTest::newRow("unbounded channel range") << chRange("0", "1000000") << false << 0.0 << 0.0;
        QTest::newRow("reversed channel range") << chRange("10", "5") << false << 0.0 << 0.0;
        QTest::newRow("only ChMin") << QByteArray("<p n=\"ChMin\">0</p>") << false << 0.0 << 0.0;
        QTest::newRow("scalinato 1 is discrete") << chRange("0", "100") + sens("-50", "150", "<p n=\"scalinato\">1</p>") << false << 0.0 << 0.0;
        QTest::newRow("scalinato 10 is not") << sens("-50", "150", "<p n=\"scalinato\">10</p>") << true << -50.0 << 150.0;
        QTest::newRow("code conversion is discrete") << sens("-5", "5", "<e c=\"ConvFunc\" i=\"code\"/>") << false << 0.0 << 0.0;
        QTest::newRow("other conversion") << sens("-5", "5", "<e c=\"ConvFunc\" i=\"lin\"/>") << true << -5.0 << 5.0;
    }

    void ranges()
    {
        QFETCH(QByteArray, extra);
        QFETCH(bool, hasRange);
        QFETCH(double, lo);
        QFETCH(double, hi);
        DashConfig config;
        config.parseChannelRanges(writeAimcfg(aimcfg(canale("4", "X", extra))));
        QCOMPARE(config.fidRanges.contains(4), hasRange);
        double l = 7;
        double h = 7;
        QCOMPARE(config.channelRangeForFid(4, l, h), hasRange);
        if (hasRange) {
            QCOMPARE(l, lo);
            QCOMPARE(h, hi);
        } else {
            QCOMPARE(l, 7.0); // untouched
        }
    }

    void firstAcceptedRangeWinsAndLogSummary()
    {
        QByteArray channels = canale("3", "A", chRange("0", "0")) + canale("3", "B", chRange("1", "2"))
            + canale("3", "C", chRange("5", "6")) + canale("0", "Skipped", chRange("1", "2"));
        for (int fid = 10; fid < 22; ++fid)
            channels += canale(QByteArray::number(fid).constData(), "R", chRange("0", "10"));
        channels += canale("30", "D", sens("0", "1", "<p n=\"scalinato\">1</p>"));
        DashConfig config;
        capturedLog().clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureHandler);
        config.parseChannelRanges(writeAimcfg(aimcfg(channels)));
        qInstallMessageHandler(previous);
        QCOMPARE(config.fidRanges.value(3).minimum, 1.0);
        QCOMPARE(config.fidRanges.value(3).maximum, 2.0);
        QCOMPARE(config.fidRanges.size(), 13);
        const QStringList log = capturedLog();
        QCOMPARE(log.size(), 1 + 10 + 1);
        QVERIFY2(log[0].endsWith(QStringLiteral(" parseChannelRanges: scanned 17 Canale entries, extracted ranges for 13 FID(s) "
                                                "(SENS: 0, Canale ChMin/ChMax: 14, skipped 1 discrete + 1 unbounded)")),
                 qPrintable(log[0]));
        QVERIFY(log[0].startsWith(QStringLiteral("[v")));
        QVERIFY2(log[1].endsWith(QStringLiteral("   FID 3 -> [1, 2]")), qPrintable(log[1]));
        QVERIFY(log.last().endsWith(QStringLiteral("   ... and 3 more")));
    }

    void rangesLogWhenNone()
    {
        DashConfig config;
        config.fidRanges.insert(1, FidRange{0, 1});
        capturedLog().clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureHandler);
        config.parseChannelRanges(writeAimcfg(aimcfg(canale("4", "X"))));
        config.parseChannelRanges(QStringLiteral("/nonexistent.aimcfg"));
        qInstallMessageHandler(previous);
        QVERIFY(config.fidRanges.isEmpty());
        QCOMPARE(capturedLog().size(), 3);
        QVERIFY(capturedLog()[1].endsWith(QStringLiteral("   (no FIDs had real bounds -- Bar widgets keep their template default scale on rebind)")));
        QVERIFY(capturedLog()[2].contains(QStringLiteral(" parseChannelRanges: failed to load /nonexistent.aimcfg (")));
    }

    void triggeredIcons()
    {
        const QByteArray xml = "<root><e c=\"Mgr\">"
            + alarm("Oil", iconCmd("1", "p1") + iconCmd("3", "p3") + iconCmd("2", "p2"))
            + alarm("Water", iconCmd("3", "first") + iconCmd("3", "second") + iconCmd("0", "never") + iconCmd("5", " "))
            + alarm("Fuel", iconCmd("0", "zero") + iconCmd("x", "letters"), "abc", "")
            + alarm("", iconCmd("1", "nameless"))
            + "<e c=\"Wrap\"><e c=\"Deeper\">" + alarm("Nested", iconCmd("2", "deep")) + "</e></e>"
            + "</e></root>";
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("extract"));
        // A decoy sorted before the Icons Manager's own copy.
        QVERIFY(ZipFixture::writeTree(dir, {{QStringLiteral("a/triconsmng.to.xml"), "<root>" + alarm("Decoy", iconCmd("1", "d")) + "</root>"},
                                            {QStringLiteral("cfg/Triggered Icons Manager/triconsmng.to.xml"), xml}}));
        DashConfig config;
        config.triggeredIcons.insert(QStringLiteral("stale"), TriggeredIcon{});
        config.parseTriggeredIconsManager(dir);
        QCOMPARE(config.triggeredIcons.size(), 4);
        QVERIFY(!config.triggeredIcons.contains(QStringLiteral("stale")));
        QCOMPARE(config.triggeredIcons.value(QStringLiteral("Oil")).fid, 12);
        QCOMPARE(config.triggeredIcons.value(QStringLiteral("Oil")).idf, 3);
        QCOMPARE(config.triggeredIcons.value(QStringLiteral("Fuel")).fid, -1);
        QCOMPARE(config.triggeredIcons.value(QStringLiteral("Fuel")).idf, -1);
        QCOMPARE(config.triggeredIconImages.value(QStringLiteral("Oil")), QStringLiteral("p3"));
        QCOMPARE(config.triggeredIconImages.value(QStringLiteral("Water")), QStringLiteral("second"));
        QVERIFY(!config.triggeredIconImages.contains(QStringLiteral("Fuel")));
        QCOMPARE(config.triggeredIconImages.value(QStringLiteral("Nested")), QStringLiteral("deep"));
    }

    void triggeredIconsFirstSortedFile()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("extract"));
        QVERIFY(ZipFixture::writeTree(dir, {{QStringLiteral("b/triconsmng.to.xml"), "<r>" + alarm("B", iconCmd("1", "b")) + "</r>"},
                                            {QStringLiteral("a/triconsmng.to.xml"), "<r>" + alarm("A", iconCmd("1", "a")) + "</r>"}}));
        DashConfig config;
        config.parseTriggeredIconsManager(dir);
        QCOMPARE(config.triggeredIcons.keys(), QStringList({QStringLiteral("A")}));
        config.parseTriggeredIconsManager(TestEnvironment::makeTempDir(QStringLiteral("empty")));
        QVERIFY(config.triggeredIcons.isEmpty());
    }

    void hostileNestingDoesNotOverflow()
    {
        const int depth = 100000;
        QByteArray xml = "<overlay_cli>";
        for (int i = 0; i < depth; ++i)
            xml += "<e c=\"Box\">";
        xml += "<e c=\"Axis\"><p n=\"FID_OK\">LAPTIME_GPS</p><p n=\"FidPrefDaRisorsa\">77,1</p></e>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        xml += "</overlay_cli>";
        DashConfig config;
        auto* device = new DeviceFile;
        QVERIFY(device->doc.load_buffer(xml.constData(), size_t(xml.size())));
        config.devices.push_back(device);
        QCOMPARE(config.laptimeGpsResourceFid(), 77);

        QByteArray icons = "<r>";
        for (int i = 0; i < depth; ++i)
            icons += "<e c=\"W\">";
        icons += alarm("Deep", iconCmd("1", "x"));
        for (int i = 0; i < depth; ++i)
            icons += "</e>";
        icons += "</r>";
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("extract"));
        QVERIFY(ZipFixture::writeTree(dir, {{QStringLiteral("triconsmng.to.xml"), icons}}));
        config.parseTriggeredIconsManager(dir);
        QCOMPARE(config.triggeredIconImages.value(QStringLiteral("Deep")), QStringLiteral("x"));
    }

    void lapTimeFid_data()
    {
        QTest::addColumn<QByteArray>("overlay");
        QTest::addColumn<int>("expected");
        const QByteArray axis0 = "<e c=\"Axis\"><p n=\"FID_OK\">LAPTIME_GPS</p><p n=\"FidPrefDaRisorsa\">0</p></e>";
        const QByteArray axisLetters = "<e c=\"Axis\"><p n=\"FID_OK\">LAPTIME_GPS</p><p n=\"FidPrefDaRisorsa\">abc</p></e>";
        const QByteArray nested = "<e c=\"P\"><e c=\"M\"><e c=\"Axis\"><p n=\"FID_OK\">RPM</p><p n=\"FidPrefDaRisorsa\">5</p></e>"
                                  "<e c=\"Axis\"><p n=\"FID_OK\"> LAPTIME_GPS </p><p n=\"FidPrefDaRisorsa\">33,2</p></e></e></e>";
        QTest::newRow("zero") << axis0 << -1;
        QTest::newRow("letters") << axisLetters << -1;
        QTest::newRow("nested two levels") << axis0 + nested << 33;
        QTest::newRow("case-sensitive") << QByteArray("<e c=\"Axis\"><p n=\"FID_OK\">laptime_gps</p><p n=\"FidPrefDaRisorsa\">4</p></e>") << -1;
    }

    void lapTimeFid()
    {
        QFETCH(QByteArray, overlay);
        QFETCH(int, expected);
        DashConfig config;
        auto* device = new DeviceFile;
        const QByteArray xml = "<overlay_cli>" + overlay + "</overlay_cli>";
        QVERIFY(device->doc.load_buffer(xml.constData(), size_t(xml.size())));
        config.devices.push_back(device);
        QCOMPARE(config.laptimeGpsResourceFid(), expected);
    }

    void lapTimeFromChannelList()
    {
        DashConfig config;
        ChannelInfo lap;
        lap.fid = 7;
        lap.longName = QStringLiteral("LAP_TIME");
        config.channels.push_back(lap);
        auto* device = new DeviceFile;
        const QByteArray xml = "<overlay_cli><e c=\"Axis\"><p n=\"FID_OK\">LAPTIME_GPS</p><p n=\"FidPrefDaRisorsa\">9</p></e></overlay_cli>";
        QVERIFY(device->doc.load_buffer(xml.constData(), size_t(xml.size())));
        config.devices.push_back(device);
        QCOMPARE(config.laptimeGpsResourceFid(), 7);
        config.channels.clear();
        QCOMPARE(config.laptimeGpsResourceFid(), 9);
    }
};

KORV_GUI_TEST_MAIN(ChannelsTest)
#include "tst_channels.moc"
