#include "model/InstallRoots.h"
#include "panels/ElementCatalog.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QtTest>
#include <algorithm>
#include <memory>

namespace {

QByteArray m2Xml(const QStringList& classes, const QString& width = QStringLiteral("200"),
                 const QString& height = QStringLiteral("100"))
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n  <e c=\"GMaskParam\" i=\"m\">\n";
    xml += "    <p n=\"WIDTH\">" + width.toUtf8() + "</p>\n    <p n=\"HEIGHT\">" + height.toUtf8() + "</p>\n";
    for (const QString& c : classes)
        xml += "    <e c=\"" + c.toUtf8() + "\" i=\"01\">\n    </e>\n";
    return xml + "  </e>\n</aimDataBase_Mask2>\n";
}

// "aim/resources/overlay/<device>/set/<set>/<page>/Items/<item>/"
QString itemRel(const QString& device, const QString& set, const QString& page, const QString& item)
{
    return QStringLiteral("aim/resources/overlay/%1/set/%2/%3/Items/%4/").arg(device, set, page, item);
}

QString keyOf(const ElementCatalogEntry& e)
{
    return QStringList{e.device, e.set, e.page, e.item}.join(QLatin1Char('/'));
}

// The walk order within a root is the file system's; compare by key.
QList<ElementCatalogEntry> sortedByKey(QList<ElementCatalogEntry> list)
{
    std::sort(list.begin(), list.end(),
              [](const ElementCatalogEntry& a, const ElementCatalogEntry& b) { return keyOf(a) < keyOf(b); });
    return list;
}

bool writeCatalogFile(const QByteArray& bytes)
{
    QDir().mkpath(appDataDir());
    QFile f(ElementCatalog::catalogPath());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

class ElementCatalogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;

    bool item(Rs3Fixture::Root root, const QString& rel, const QStringList& classes, const QStringList& art = {},
              const QString& width = QStringLiteral("200"))
    {
        const QString name = rel.section(QLatin1Char('/'), -2, -2);
        if (!m_rs3->writeFile(root, rel + name + QStringLiteral(".M2.xml"), m2Xml(classes, width)))
            return false;
        for (const QString& a : art) {
            if (!m_rs3->writeFile(root, rel + a, QByteArray("art")))
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void init()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        ElementCatalog::resetForTesting();
        QFile::remove(ElementCatalog::catalogPath());
    }

    void cleanup() { m_rs3.reset(); }

    void rebuildOverThreeRoots()
    {
        using R = Rs3Fixture;
        const QString ring = itemRel("mxs_12", "s01", "Race", "rpm_ring");
        const QString bar = itemRel("mxs_12", "s01", "Race", "trap");
        QVERIFY(item(R::Stable, ring, {"Digit", "Ring", "Label"}));
        QVERIFY(item(R::Stable, bar, {"BargraphTrapezio", "Axis"},
                     {"mask.png", "scala_vel_kmh_ON_300.png", "scala_rpm_ON_8.png", "scala_rpm_on_8.png",
                      "scala_rpm_ON_8.tgz", "Extra.TGA", "notes.txt"}));
        QVERIFY(item(R::Stable, itemRel("mxs_12", "s01", "Race", "plainbar"), {"Bargraph"}));
        QVERIFY(item(R::Stable, QStringLiteral("aim/resources/overlay/mxs_12/Items/noset/"), {"Digit"}));
        // The same element in the beta install, wider: the stable one is kept.
        QVERIFY(item(R::Beta, ring, {"Digit", "Ring"}, {}, QStringLiteral("999")));
        QVERIFY(item(R::Beta, itemRel("mxg_12", "s02", "Laps", "lap"), {"Digit"}));
        QVERIFY(item(R::Local, itemRel("pdm", "s03", "Main", "icon"), {"AiM_Icona", "Digit"}));

        QList<QPair<int, int>> progress;
        const int count = ElementCatalog::rebuild([&progress](int n, int roots) { progress << qMakePair(n, roots); });
        QCOMPARE(count, 4);
        QCOMPARE(progress, (QList<QPair<int, int>>{{2, 1}, {3, 2}, {4, 3}}));
        QVERIFY(ElementCatalog::isLoaded());
        QVERIFY(ElementCatalog::scannedAt().isValid());

        ElementCatalogEntry ringEntry;
        ringEntry.device = "mxs_12";
        ringEntry.set = "s01";
        ringEntry.page = "Race";
        ringEntry.item = "rpm_ring";
        ringEntry.kind = "gauge-ring";
        ringEntry.classes = QStringList{"Digit", "GMaskParam", "Label", "Ring"};
        ringEntry.size = QSize(200, 100);
        ringEntry.relPath = ring;
        ringEntry.absFolder = m_rs3->absolutePath(R::Stable, ring.chopped(1));
        ringEntry.stable = true;

        ElementCatalogEntry barEntry = ringEntry;
        barEntry.item = "trap";
        barEntry.kind = "bar";
        barEntry.classes = QStringList{"Axis", "BargraphTrapezio", "GMaskParam"};
        barEntry.relPath = bar;
        barEntry.absFolder = m_rs3->absolutePath(R::Stable, bar.chopped(1));
        barEntry.art = QStringList{"Extra.TGA", "mask.png", "scala_rpm_ON_8.png", "scala_rpm_ON_8.tgz",
                                   "scala_rpm_on_8.png", "scala_vel_kmh_ON_300.png"};
        barEntry.scales = {{"rpm", 8000, "scala_rpm_ON_8.png"}, {"kmh", 300, "scala_vel_kmh_ON_300.png"}};

        ElementCatalogEntry lapEntry = ringEntry;
        lapEntry.device = "mxg_12";
        lapEntry.set = "s02";
        lapEntry.page = "Laps";
        lapEntry.item = "lap";
        lapEntry.kind = "digit";
        lapEntry.classes = QStringList{"Digit", "GMaskParam"};
        lapEntry.relPath = itemRel("mxg_12", "s02", "Laps", "lap");
        lapEntry.absFolder = m_rs3->absolutePath(R::Beta, lapEntry.relPath.chopped(1));
        lapEntry.stable = false;

        ElementCatalogEntry iconEntry = lapEntry;
        iconEntry.device = "pdm";
        iconEntry.set = "s03";
        iconEntry.page = "Main";
        iconEntry.item = "icon";
        iconEntry.kind = "icon";
        iconEntry.classes = QStringList{"AiM_Icona", "Digit", "GMaskParam"};
        iconEntry.relPath = itemRel("pdm", "s03", "Main", "icon");
        iconEntry.absFolder = m_rs3->absolutePath(R::Local, iconEntry.relPath.chopped(1));

        const QList<ElementCatalogEntry> expected{lapEntry, ringEntry, barEntry, iconEntry};
        const QList<ElementCatalogEntry> got = sortedByKey(ElementCatalog::entries());
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(got[i] == sortedByKey(expected)[i], qPrintable(keyOf(got[i])));
        // The local and beta entries follow the stable ones: roots in order.
        QCOMPARE(ElementCatalog::entries().last().device, QStringLiteral("pdm"));

        QCOMPARE(ElementCatalog::devices(), (QStringList{"mxg_12", "mxs_12", "pdm"}));
        QVERIFY(ElementCatalog::isDeviceStable("mxs_12"));
        QVERIFY(!ElementCatalog::isDeviceStable("mxg_12"));
        QVERIFY(!ElementCatalog::isDeviceStable("pdm"));
        QVERIFY(!ElementCatalog::isDeviceStable("MXS_12"));
        QCOMPARE(ElementCatalog::entriesInSet("mxs_12", "Race").size(), 2);
        QVERIFY(ElementCatalog::entriesInSet("mxs_12", "race").isEmpty());
        QVERIFY(m_rs3->root(R::Beta).startsWith(m_rs3->root(R::Stable))); // the "_beta" sibling case

        // The file: compact, version 1, the scan time without a zone.
        QFile file(ElementCatalog::catalogPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(!bytes.contains('\n'));
        const QJsonObject top = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(QStringList(top.keys()), (QStringList{"items", "scanned", "version"}));
        QCOMPARE(top.value("version").toVariant(), QVariant(1));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$")
                    .match(top.value("scanned").toString())
                    .hasMatch());
        const QJsonArray items = top.value("items").toArray();
        QCOMPARE(items.size(), 4);
        for (const QJsonValue& v : items) {
            QCOMPARE(v.toObject().keys(), (QStringList{"absFolder", "art", "classes", "device", "display", "h", "item",
                                                       "kind", "page", "relPath", "scales", "set", "stable", "w"}));
        }
        const QJsonObject firstScale =
            std::find_if(items.begin(), items.end(), [](const QJsonValue& v) {
                return v.toObject().value("item").toString() == QLatin1String("trap");
            })->toObject().value("scales").toArray().first().toObject();
        QCOMPARE(firstScale, (QJsonObject{{"unit", "rpm"}, {"full", 8000}, {"frame", "scala_rpm_ON_8.png"}}));

        const QList<ElementCatalogEntry> before = ElementCatalog::entries();
        const QDateTime scanned = ElementCatalog::scannedAt();
        ElementCatalog::resetForTesting();
        QVERIFY(ElementCatalog::load());
        QVERIFY(ElementCatalog::entries() == before);
        QCOMPARE(ElementCatalog::scannedAt(), scanned);
    }

    // The two displays of a PDM ship sets, pages and items of the same names
    // at their own sizes: each is catalogued under its display, also from an
    // index written before displays were told apart (no "display" key).
    void displaysKeptApart_data()
    {
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("rebuilt") << false;
        QTest::newRow("older index file") << true;
    }
    void displaysKeptApart()
    {
        QFETCH(bool, oldFile);
        const QString rel = QStringLiteral("aim/resources/overlay/pdm/%1/masks/set/standard/s02/p01/Items/md1/");
        QVERIFY(item(Rs3Fixture::Stable, rel.arg("dash1"), {"Digit"}, {}, QStringLiteral("400")));
        QVERIFY(item(Rs3Fixture::Beta, rel.arg("dash2"), {"Digit"}, {}, QStringLiteral("250")));
        QCOMPARE(ElementCatalog::rebuild(), 2);
        if (oldFile) {
            QFile file(ElementCatalog::catalogPath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
            file.close();
            QJsonArray items;
            for (const QJsonValue& v : top.value("items").toArray()) {
                QJsonObject o = v.toObject();
                o.remove("display");
                items.append(o);
            }
            top.insert("items", items);
            QVERIFY(writeCatalogFile(QJsonDocument(top).toJson()));
            ElementCatalog::resetForTesting();
            QVERIFY(ElementCatalog::load());
        }
        QCOMPARE(ElementCatalog::devices(), (QStringList{"pdm/dash1", "pdm/dash2"}));
        QVERIFY(ElementCatalog::isDeviceStable("pdm/dash1"));
        QVERIFY(!ElementCatalog::isDeviceStable("pdm/dash2")); // only the beta install has it
        QStringList seen;
        for (const ElementCatalogEntry& e : ElementCatalog::entries())
            seen << e.device + ' ' + e.display + ' ' + QString::number(e.size.width());
        seen.sort();
        QCOMPARE(seen, (QStringList{"pdm dash1 400", "pdm dash2 250"}));
        QCOMPARE(ElementCatalog::entriesInSet("pdm", "p01").size(), 2);
    }

    void rebuildWithoutRoots()
    {
        QVERIFY(QDir(m_rs3->root(Rs3Fixture::Stable)).removeRecursively());
        QVERIFY(QDir(m_rs3->root(Rs3Fixture::Beta)).removeRecursively());
        QVERIFY(QDir(m_rs3->root(Rs3Fixture::Local)).removeRecursively());
        QList<int> roots;
        QCOMPARE(ElementCatalog::rebuild([&roots](int, int done) { roots << done; }), 0);
        // Installs that are gone are no roots; the program's own tree still is.
        QCOMPARE(roots, (QList<int>{1}));
        QFile file(ElementCatalog::catalogPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("items"), QJsonValue(QJsonArray()));
    }

    void rebuildFromItsOwnProgressStartsNothing()
    {
        QVERIFY(item(Rs3Fixture::Stable, itemRel("mxs_12", "s01", "Race", "d1"), {"Digit"}));
        QList<int> nested;
        const int count = ElementCatalog::rebuild([&nested](int, int) {
            QVERIFY(ElementCatalog::isRebuilding());
            nested << ElementCatalog::rebuild();
        });
        QCOMPARE(count, 1);
        QCOMPARE(nested, (QList<int>{-1, -1, -1}));
        QVERIFY(!ElementCatalog::isRebuilding());
        QCOMPARE(ElementCatalog::entries().size(), 1);
        QCOMPARE(ElementCatalog::rebuild(), 1); // the guard is released
    }

    void failedSaveKeepsTheScan()
    {
        QVERIFY(item(Rs3Fixture::Stable, itemRel("mxs_12", "s01", "Race", "d"), {"Digit"}));
        QVERIFY(QDir().mkpath(ElementCatalog::catalogPath())); // a folder where the file goes
        QCOMPARE(ElementCatalog::rebuild(), 1);
        QVERIFY(ElementCatalog::isLoaded());
        QVERIFY(!ElementCatalog::save());
        QVERIFY(QDir().rmdir(ElementCatalog::catalogPath()));
    }

    void loadRefusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("version 2") << QByteArray(R"({"version":2,"scanned":"","items":[{"device":"x"}]})");
        QTest::newRow("version as text") << QByteArray(R"({"version":"1","items":[{"device":"x"}]})");
        QTest::newRow("no version") << QByteArray(R"({"scanned":"","items":[{"device":"x"}]})");
        QTest::newRow("not an object") << QByteArray(R"([{"version":1,"items":[{"device":"x"}]}])");
        QTest::newRow("not JSON") << QByteArray("{\"version\":1,\"items\":[");
        QTest::newRow("empty") << QByteArray();
    }

    void loadRefusals()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeCatalogFile(R"({"version":1,"scanned":"2026-03-01T10:20:30","items":[{"device":"kept"}]})"));
        QVERIFY(ElementCatalog::load());
        QVERIFY(writeCatalogFile(bytes));
        QVERIFY(!ElementCatalog::load());
        QCOMPARE(ElementCatalog::devices(), QStringList{"kept"});
        QCOMPARE(ElementCatalog::scannedAt(), QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30)));
        QVERIFY(ElementCatalog::isLoaded());
    }

    // An index a link or a pipe stands in for is not read, and nothing
    // waits: the catalog loaded stays.
    void loadReadsOnlyItsOwnFile()
    {
        QVERIFY(writeCatalogFile(R"({"version":1,"scanned":"","items":[{"device":"kept"}]})"));
        QVERIFY(ElementCatalog::load());
        const QString path = ElementCatalog::catalogPath();
        const QString elsewhere = TestEnvironment::makeTempDir("users") + "/catalog.json";
        QVERIFY(TestFiles::writeBytes(elsewhere, QByteArray(R"({"version":1,"items":[{"device":"other"}]})")));
        QVERIFY(QFile::remove(path) && QFile::link(elsewhere, path));
        QVERIFY(!ElementCatalog::load());
        QVERIFY(QFile::remove(path));
        FifoGuard pipe(path);
        QVERIFY(pipe.made());
        QVERIFY(!ElementCatalog::load());
        QVERIFY(!pipe.released());
        QCOMPARE(ElementCatalog::devices(), QStringList{"kept"});
    }

    // The index is written only as a plain file of the data folder: a link
    // in its place is neither written through nor followed, a pipe is not
    // waited on, and the refusal names it. The data folder itself is taken
    // as it is.
    void saveWritesOnlyItsOwnFile_data()
    {
        QTest::addColumn<QString>("hazard");
        QTest::newRow("link to a user's file") << "link";
        QTest::newRow("pipe") << "pipe";
    }

    void saveWritesOnlyItsOwnFile()
    {
        QFETCH(QString, hazard);
        QVERIFY(item(Rs3Fixture::Stable, itemRel("mxs_12", "s01", "Race", "d"), {"Digit"}));
        QVERIFY(QDir().mkpath(appDataDir()));
        const QString path = ElementCatalog::catalogPath();
        const QString users = TestEnvironment::makeTempDir("users") + "/notes.txt";
        QVERIFY(TestFiles::writeBytes(users, "the user's notes"));
        std::unique_ptr<FifoGuard> pipe;
        if (hazard == "pipe") {
            pipe = std::make_unique<FifoGuard>(path);
            QVERIFY(pipe->made());
        } else {
            QVERIFY(QFile::link(users, path));
        }
        QString error;
        QCOMPARE(ElementCatalog::rebuild(ElementCatalog::Progress(), &error), 1);
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY2(error.contains(hazard == "pipe" ? "not a regular file" : "symbolic link"), qPrintable(error));
        QCOMPARE(TestFiles::readBytes(users), QByteArray("the user's notes"));
        QCOMPARE(QFileInfo(path).isSymLink(), hazard == "link");
        if (pipe)
            QVERIFY(!pipe->released());
        QVERIFY(QFile::remove(path));
    }

    void refusedFirstLoadLeavesTheCatalogUnloaded()
    {
        QVERIFY(!ElementCatalog::load()); // no file
        QVERIFY(writeCatalogFile(R"({"version":2,"items":[]})"));
        QVERIFY(!ElementCatalog::load());
        QVERIFY(!ElementCatalog::isLoaded());
        QVERIFY(ElementCatalog::entries().isEmpty());
    }

    void loadDefaults()
    {
        QVERIFY(writeCatalogFile(R"({"version":1,"scanned":"","items":[
            {"device":"a","kind":7,"scales":[{"unit":"rpm"}]},
            {"device":"b","w":30,"h":20,"stable":false}]})"));
        QVERIFY(ElementCatalog::load());
        QVERIFY(!ElementCatalog::scannedAt().isValid());
        const QList<ElementCatalogEntry>& list = ElementCatalog::entries();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].size, QSize(0, 0));
        QVERIFY(list[0].stable);
        QCOMPARE(list[0].kind, QString());
        QCOMPARE(list[0].scales.value(0), (CatalogScaleFrame{"rpm", 0, QString()}));
        QCOMPARE(list[1].size, QSize(30, 20));
        QVERIFY(!list[1].stable);
        QVERIFY(ElementCatalog::isDeviceStable("a"));
        QVERIFY(!ElementCatalog::isDeviceStable("b"));
        QVERIFY(!ElementCatalog::isDeviceStable("c"));
    }

    void parseScaleFrame_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("full");
        QTest::newRow("rpm in thousands") << "scala_rpm_ON_8.png" << true << "rpm" << 8000;
        QTest::newRow("km/h") << "scala_vel_kmh_ON_300.png" << true << "kmh" << 300;
        QTest::newRow("mph") << "scala_vel_mph_ON_200.png" << true << "mph" << 200;
        QTest::newRow("other unit") << "scala_oil_press_ON_10.png" << true << "oil_press" << 10;
        QTest::newRow("lower-case on") << "scala_rpm_on_8.png" << false << "" << 0;
        QTest::newRow("tgz") << "scala_rpm_ON_8.tgz" << false << "" << 0;
        QTest::newRow("capital PNG") << "scala_rpm_ON_8.PNG" << false << "" << 0;
        QTest::newRow("no number") << "scala_rpm_ON_.png" << false << "" << 0;
        QTest::newRow("digits in unit") << "scala_rpm2_ON_8.png" << false << "" << 0;
        // Hostile numbers: none may overflow, none becomes a frame of 0.
        QTest::newRow("rpm beyond int") << "scala_rpm_ON_3000000.png" << false << "" << 0;
        QTest::newRow("largest rpm") << "scala_rpm_ON_2147483.png" << true << "rpm" << 2147483000;
        QTest::newRow("kmh at int max") << "scala_vel_kmh_ON_2147483647.png" << true << "kmh" << 2147483647;
        QTest::newRow("kmh beyond int") << "scala_vel_kmh_ON_2147483648.png" << false << "" << 0;
        QTest::newRow("beyond 64 bits") << "scala_rpm_ON_99999999999999999999999.png" << false << "" << 0;
        QTest::newRow("leading zeros") << "scala_rpm_ON_0008.png" << true << "rpm" << 8000;
        QTest::newRow("other script's digits") << QString::fromUtf8("scala_rpm_ON_\u0668.png") << false << "" << 0;
    }

    void parseScaleFrame()
    {
        QFETCH(QString, name);
        QFETCH(bool, recognised);
        QFETCH(QString, unit);
        QFETCH(int, full);
        CatalogScaleFrame frame;
        QCOMPARE(ElementCatalog::parseScaleFrame(name, frame), recognised);
        if (recognised)
            QCOMPARE(frame, (CatalogScaleFrame{unit, full, name}));
    }

    void paramValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "<p n=\"WIDTH\">200</p>" << "WIDTH" << "200";
        QTest::newRow("trimmed") << "<p n=\"WIDTH\">  200 \n</p>" << "WIDTH" << "200";
        QTest::newRow("blank before >") << "<p n=\"WIDTH\"  >120</p>" << "WIDTH" << "120";
        QTest::newRow("further attribute") << "<p n=\"WIDTH\" t=\"i\">120</p>" << "WIDTH" << "";
        QTest::newRow("first match") << "<p n=\"HEIGHT\">1</p><p n=\"HEIGHT\">2</p>" << "HEIGHT" << "1";
        QTest::newRow("case matters") << "<p n=\"width\">5</p>" << "WIDTH" << "";
        QTest::newRow("empty element") << "<p n=\"WIDTH\" />" << "WIDTH" << "";
        QTest::newRow("longer name not taken") << "<p n=\"WIDTH_MAX\">9</p>" << "WIDTH" << "";
    }

    void paramValue()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QCOMPARE(ElementCatalog::paramValue(text, name), value);
        QCOMPARE(ElementCatalog::paramValue(text, name), value); // from the cached pattern
    }

    // A page file in another encoding is read in it: marked by its byte
    // order mark, shown by its first '<', or declared. One that Qt cannot
    // decode, a link (to a device, to a file elsewhere) and a pipe are
    // left out and named, and never read.
    void pageFilesInTheWay_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("UTF-16 LE with a mark") << "utf-16le bom" << QString();
        QTest::newRow("UTF-16 BE with a mark") << "utf-16be bom" << QString();
        QTest::newRow("UTF-16 LE unmarked") << "utf-16le" << QString();
        QTest::newRow("declared windows-1252") << "windows-1252" << QString();
        QTest::newRow("declared unknown") << "x-korv-unknown" << "it is written in the encoding x-korv-unknown";
        QTest::newRow("link to /dev/zero") << "zero" << "it is a symbolic link";
        QTest::newRow("link elsewhere") << "elsewhere" << "it is a symbolic link";
        QTest::newRow("pipe") << "pipe" << "it is not a regular file";
    }
    void pageFilesInTheWay()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString rel = itemRel("mxs_12", "s01", QStringLiteral("Rénn & <1>"), "md1");
        QVERIFY(item(Rs3Fixture::Stable, rel, {"Digit"}));
        const QString path = m_rs3->absolutePath(Rs3Fixture::Stable, rel + "md1.M2.xml");
        const QByteArray plain = m2Xml({"Digit"}, "240");
        const QString text = QString::fromUtf8(plain).replace("?>", QStringLiteral(" encoding=\"%1\"?><!-- Tür -->")
                                                                       .arg(kind.section(' ', 0, 0)));
        std::unique_ptr<FifoGuard> pipe;
        QVERIFY(QFile::remove(path));
        if (kind.startsWith("utf-16")) {
            const bool le = kind.contains("le");
            QStringEncoder encoder(le ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE,
                                   kind.endsWith("bom") ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
            QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, rel + "md1.M2.xml", encoder(text)));
        } else if (kind == "windows-1252" || kind.startsWith("x-")) {
            QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, rel + "md1.M2.xml", text.toLatin1()));
        } else if (kind == "pipe") {
            QVERIFY((pipe = std::make_unique<FifoGuard>(path))->made());
        } else {
            const QString elsewhere = TestEnvironment::makeTempDir("users") + "/md1.M2.xml";
            QVERIFY(TestFiles::writeBytes(elsewhere, plain));
            QVERIFY(QFile::link(kind == "zero" ? "/dev/zero" : elsewhere, path));
        }
        if (!why.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^ElementCatalog::scanPageFile: left out "
                                                                  + QRegularExpression::escape(path + " - " + why)));
        ElementCatalogEntry e;
        QCOMPARE(ElementCatalog::scanPageFile(path, e), why.isEmpty());
        if (why.isEmpty()) {
            QCOMPARE(e.kind, QStringLiteral("digit"));
            QCOMPARE(e.size, QSize(240, 100));
        }
        if (pipe)
            QVERIFY(!pipe->released());
    }

    // A page's Items folder, or one item's folder, kept on another disk
    // through a link is indexed as Add Page and Insert Element read it; a
    // link that leads back up is followed no further than twice.
    void linkedItemFolders_data()
    {
        QTest::addColumn<QString>("linked"); // below the page folder
        QTest::addColumn<QString>("to");     // "away": moved to another disk; else the link's target
        QTest::addColumn<QStringList>("items");
        const QStringList all{"md1", "md2", "md3"};
        QTest::newRow("plain folders") << "" << "" << all;
        QTest::newRow("Items linked") << "Items" << "away" << all;
        QTest::newRow("one item's folder linked") << "Items/md2" << "away" << all;
        QTest::newRow("Items linked back to the page") << "Items" << ".." << QStringList();
    }
    void linkedItemFolders()
    {
        QFETCH(QString, linked);
        QFETCH(QString, to);
        QFETCH(QStringList, items);
        const QString page = m_rs3->absolutePath(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/set/s02/p01");
        for (const QString& name : {"md1", "md2", "md3"})
            QVERIFY(item(Rs3Fixture::Stable, itemRel("mxg_12", "s02", "p01", name), {"Digit"}));
        if (to == "away") {
            const QString away = TestEnvironment::makeTempDir("other-disk") + "/kept";
            QVERIFY(QDir().rename(page + "/" + linked, away));
            QVERIFY(QFile::link(away, page + "/" + linked));
        } else if (!to.isEmpty()) {
            QVERIFY(QDir(page + "/" + linked).removeRecursively());
            QVERIFY(QFile::link(to, page + "/" + linked));
        }
        ElementCatalog::rebuild();
        QStringList found;
        for (const ElementCatalogEntry& e : ElementCatalog::entries())
            found << e.item;
        found.sort();
        QCOMPARE(found, items);
    }

    void sizeNotANumber()
    {
        const QString rel = itemRel("mxs_12", "s01", "Race", "odd");
        QVERIFY(item(Rs3Fixture::Stable, rel, {"Digit"}, {}, QStringLiteral("12px")));
        ElementCatalogEntry e;
        QVERIFY(ElementCatalog::scanPageFile(m_rs3->absolutePath(Rs3Fixture::Stable, rel + "odd.M2.xml"), e));
        QCOMPARE(e.size, QSize(0, 100));
        QVERIFY(!ElementCatalog::scanPageFile(m_rs3->absolutePath(Rs3Fixture::Stable, rel + "missing.M2.xml"), e));
    }
};

KORV_GUI_TEST_MAIN(ElementCatalogTest)
#include "tst_elementcatalog.moc"
