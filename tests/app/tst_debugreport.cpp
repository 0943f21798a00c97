#include "reports/DebugReport.h"
#include "model/DashConfig.h"

#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QtTest>

namespace {

QJsonObject parseObject(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    return doc.isObject() ? doc.object() : QJsonObject();
}

} // namespace

class DebugReportTest : public QObject {
    Q_OBJECT

private:
    QString m_tmp;

    QList<ZipFixtureEntry> unpack(const QByteArray& zip) const
    {
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("unpack")) + "/report.zip";
        return TestFiles::writeBytes(path, zip) ? ZipFixture::readZipEntries(path) : QList<ZipFixtureEntry>();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_tmp = TestEnvironment::makeTempDir(QStringLiteral("tmp"));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    // The archive holds the configuration and the e-mail: no copy may stay
    // behind in the temporary folder.
    void cleanup()
    {
        QCOMPARE(QDir(m_tmp).entryList({"korvelanto_debugreport_*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void entriesInTableOrder_data()
    {
        QTest::addColumn<qint64>("fileSize"); // < 0: no file at the path
        QTest::addColumn<bool>("withPath");
        QTest::addColumn<bool>("attach");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("configEntry"); // empty: none
        QTest::addColumn<QString>("configText");  // null: the file's bytes
        QTest::addColumn<QString>("userMessage");
        const QString noMessage = QStringLiteral("email: \n\nmessage:\n\n");
        QTest::newRow("nothing open, attach set")
            << qint64(-1) << false << true << "" << "" << "" << QString() << noMessage;
        QTest::newRow("at the cap") << qint64(10485760) << true << true << "" << "" << "config/big.zconf2"
                                    << QString() << noMessage;
        QTest::newRow("one byte over")
            << qint64(10485761) << true << true << "" << "" << "config/TOO_LARGE.txt"
            << "big.zconf2 is 10485761 bytes, over the 10485760 byte attachment cap" << noMessage;
        QTest::newRow("gone since opened") << qint64(-1) << true << true << "" << "" << "config/NOT_FOUND.txt"
                                           << "PATH" << noMessage;
        QTest::newRow("not attached") << qint64(100) << true << false << "rider@example.org"
                                      << "Bars are \u00e6\u00f8\u00e5\nwrong " << "" << QString()
                                      << "email: rider@example.org\n\nmessage:\nBars are \u00e6\u00f8\u00e5\nwrong \n";
    }

    void entriesInTableOrder()
    {
        QFETCH(qint64, fileSize);
        QFETCH(bool, withPath);
        QFETCH(bool, attach);
        QFETCH(QString, email);
        QFETCH(QString, message);
        QFETCH(QString, configEntry);
        QFETCH(QString, configText);
        QFETCH(QString, userMessage);
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("cfg")) + "/big.zconf2";
        QByteArray bytes;
        if (fileSize >= 0) {
            bytes = QByteArray(fileSize, 'k');
            bytes[0] = 'P';
            QVERIFY(TestFiles::writeBytes(path, bytes));
        }
        debugreport::ReportInputs inputs;
        inputs.configPath = withPath ? path : QString();
        inputs.attachConfig = attach;
        inputs.email = email;
        inputs.message = message;

        const QList<ZipFixtureEntry> entries = unpack(debugreport::buildReportZip(inputs));
        QStringList names;
        for (const ZipFixtureEntry& e : entries)
            names << QString::fromUtf8(e.name);
        QStringList expected{"metadata.json",         "settings.json",       "paths.json",
                             "appdata_templates.txt", "rs3_s04_homebrew.txt", "current_config.json",
                             "app_log.txt"};
        if (!configEntry.isEmpty())
            expected << configEntry;
        expected << "user_message.txt";
        QCOMPARE(names, expected);

        QCOMPARE(parseObject(entries.at(5).data), QJsonObject({{"open", false}}));
        QCOMPARE(entries.at(6).data, QByteArray("(log file not found)\n"));
        QCOMPARE(QString::fromUtf8(entries.last().data), userMessage);
        const QJsonObject meta = parseObject(entries.at(0).data);
        QCOMPARE(meta.value("app").toString(), QStringLiteral("Korvelanto"));
        QCOMPARE(meta.value("user_email").toString(), email);
        QCOMPARE(meta.value("has_message").toBool(), !message.isEmpty());
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                    .match(meta.value("timestamp_utc").toString())
                    .hasMatch());
        if (!configEntry.isEmpty()) {
            const QByteArray attached = entries.at(7).data;
            if (configText.isNull())
                QVERIFY(attached == bytes);
            else
                QCOMPARE(QString::fromUtf8(attached), configText == "PATH" ? path : configText);
        }
    }

    // Ring masks have no column of their own in the summary.
    void openConfigSummary()
    {
        ConfigFixture fixture;
        fixture.device().page("Main")
            .mask(Fx::mask("an", 0, 0, 10, 10).add(FixtureElement("Analog", "a")))
            .mask(Fx::mask("ri", 0, 0, 10, 10).add(FixtureElement("Ring", "r")))
            .mask(Fx::mask("di", 0, 0, 10, 10).add(Fx::digit("d", 0, 0, 10, 10)))
            .mask(Fx::mask("ba", 0, 0, 10, 10).add(Fx::bargraph("b", 0, 0, 10, 10, QString(), true)))
            .mask(Fx::mask("ic", 0, 0, 10, 10).add(Fx::icon("i", 0, 0, 10, 10)))
            .mask(Fx::mask("la", 0, 0, 10, 10).add(Fx::label("l", "x", 0, 0, 10, 10)))
            .mask(Fx::mask("em", 0, 0, 10, 10));
        fixture.device().page("Second");
        const QString path = fixture.writeTempZip(QStringLiteral("car.zconf2"));
        DashConfig config;
        QVERIFY(config.load(path));
        debugreport::ReportInputs inputs;
        inputs.config = &config;
        inputs.configPath = path;
        const QJsonObject summary = parseObject(debugreport::currentConfigJson(inputs).toUtf8());
        QCOMPARE(summary.value("open").toBool(), true);
        QCOMPARE(summary.value("file_name").toString(), QStringLiteral("car.zconf2"));
        QCOMPARE(summary.value("device_type").toString(), QStringLiteral("MXG 1.2"));
        QCOMPARE(summary.value("device_code").toInt(), 13);
        QCOMPARE(summary.value("page_count").toInt(), 2);
        const QJsonArray pages = summary.value("pages").toArray();
        QCOMPARE(pages.size(), 2);
        const QJsonObject first = pages.at(0).toObject();
        QCOMPARE(first.value("name").toString(), QStringLiteral("Main"));
        QCOMPARE(first.value("element_count").toInt(), 7);
        QCOMPARE(first.value("type_counts").toObject(),
                 QJsonObject({{"analog", 1}, {"digit", 1}, {"bar", 1}, {"icon", 1}, {"label", 1}, {"unknown", 2}}));
        QCOMPARE(pages.at(1).toObject().value("index").toInt(), 1);
    }

    void logTail_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QByteArray>("tail");
        // 3 MiB of 17-byte lines: only what lies in the last 2 MiB is read,
        // starting in the middle of a line.
        QByteArray big;
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big += QByteArray::number(i).rightJustified(11, '0') + " line\n";
        QTest::newRow("3 MiB, every piece") << big << 1000000 << big.mid(big.size() - 2097152) + '\n';
        QByteArray last4999;
        for (const QByteArray& line : big.split('\n').mid(big.count('\n') - 4999, 4999))
            last4999 += line + '\n';
        QTest::newRow("3 MiB, last 5000 pieces") << big << 5000 << last4999 + '\n';
        QTest::newRow("no final line feed") << QByteArray("a\nb") << 5000 << QByteArray("a\nb\n");
        QTest::newRow("missing") << QByteArray() << 5000 << QByteArray("(log file not found)\n");
    }

    void logTail()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, lineCount);
        QFETCH(QByteArray, tail);
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("log")) + "/korvelanto.log";
        if (!log.isEmpty())
            QVERIFY(TestFiles::writeBytes(path, log));
        const QByteArray got = debugreport::readLogTail(path, lineCount);
        QCOMPARE(got.size(), tail.size());
        QVERIFY(got == tail);
    }

    void settingsKeepTheirForm()
    {
        QSettings settings;
        settings.setValue("updates/checkOnStartup", false);
        settings.setValue("export/lastAuthor", QStringLiteral("true"));
        settings.sync();
        const QJsonObject json = parseObject(debugreport::settingsJson().toUtf8());
        QVERIFY(json.contains("updates/checkOnStartup"));
        QCOMPARE(json.value("export/lastAuthor"), QJsonValue(QStringLiteral("true")));
        settings.clear();
    }

    void homebrewFoldersListed()
    {
        Rs3Fixture rs3;
        const QString hb = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, hb + "b_box.tgz", "123"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, hb + "a_box.png", ""));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, hb + "p01/mask.png", "12345"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, hb + "p01/Items/deep/not listed.png", "1"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, hb + "AiM_folder.xml", ""));

        const QString stable = rs3.overlayRoot(Rs3Fixture::Stable);
        const QString beta = rs3.overlayRoot(Rs3Fixture::Beta);
        const QString suffix = QStringLiteral("/masks/set/standard/s04_homebrew");
        QString expected;
        for (const char* family : {"mxg_12", "mxs_12", "mxp", "mxsl", "mxt", "pdm/dash1", "pdm", "pdm/dash2",
                                   "pdm08/dash1", "pdm08", "pdm08/dash2", "solo2dl", "fsw"}) {
            for (const QString& root : {stable, beta}) {
                const QString folder = root + '/' + family + suffix;
                expected += "=== " + folder + " ===\n";
                if (QLatin1String(family) != QLatin1String("mxg_12")) {
                    expected += "  (not present)\n\n";
                } else if (root == stable) {
                    expected += "  a_box.png  0 bytes\n"
                                "  b_box.tgz  3 bytes\n"
                                "  AiM_folder.xml MISSING -- RS3 will not show a Homebrew tab for this device\n"
                                "  p01/\n"
                                "    Items/\n"
                                "    mask.png  5 bytes\n\n";
                } else {
                    expected += "  AiM_folder.xml  0 bytes\n"
                                "  AiM_folder.xml is EMPTY (0 bytes) -- "
                                "RS3 will not show a Homebrew tab for this device\n\n";
                }
            }
        }
        QCOMPARE(debugreport::homebrewListing(), expected);
    }

    void templateStoreListing()
    {
        const QString root = TestEnvironment::makeTempDir(QStringLiteral("store"));
        QVERIFY(ZipFixture::writeTree(root, {{"mxs_12/p01/pMain.P2.xml", "<x/>"},
                                             {"mxs_12/p01/Items/i/deeper.png", "1"}}));
        QString out;
        debugreport::listFolder(root, out, 3);
        QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        lines.sort(); // the walk delivers entries in the file system's order
        QCOMPARE(lines, QStringList({"\t\tmxs_12/p01/Items/", "\t\tmxs_12/p01/pMain.P2.xml  4 bytes",
                                     "\tmxs_12/p01/", "mxs_12/"}));
        out.clear();
        debugreport::listFolder(root + "/absent", out, 3);
        QCOMPARE(out, "(missing: " + root + "/absent)\n");
    }

    void unwritableTemporaryFolder()
    {
        const QString blocker = m_tmp + "/not-a-folder";
        QVERIFY(TestFiles::writeBytes(blocker, "x"));
        qputenv("TMPDIR", QFile::encodeName(blocker));
        const QByteArray zip = debugreport::buildReportZip({});
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        QVERIFY(zip.isEmpty());
        QFile::remove(blocker);
    }
};

KORV_GUI_TEST_MAIN(DebugReportTest)
#include "tst_debugreport.moc"
