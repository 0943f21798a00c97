// Theme packages read through the shared extraction core: hostile archives,
// the manifest rules, the device-folder query and the re-save's failures.
#include "gallery/ThemePackage.h"
#include "model/ZipArchive.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using FileMap = QMap<QString, QByteArray>;

// The tree of the folder without the parts the test itself owns.
QMap<QString, QByteArray> treeOutside(const QString& folder, const QString& skipPrefix)
{
    QMap<QString, QByteArray> tree = ZipFixture::readTree(folder);
    for (auto it = tree.begin(); it != tree.end();)
        it = it.key().startsWith(skipPrefix) ? tree.erase(it) : std::next(it);
    return tree;
}

QByteArray manifest(const QByteArray& devices)
{
    return "{\"id\": \"zrace\", \"name\": \"Race\", \"author\": \"Ann\", \"generator\": \"x\", \"devices\": "
        + devices + "}";
}

} // namespace

class PackageArchiveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostileArchivesAreRefused_data()
    {
        QTest::addColumn<QList<ZipFixtureEntry>>("entries");
        QTest::addColumn<QString>("message");
        const QByteArray ok("ok");
        QTest::newRow("parent") << QList<ZipFixtureEntry>{{"a.txt", ok}, {"../x", ok}}
                                << "unsafe zip entry (path traversal): ../x";
        QTest::newRow("absolute") << QList<ZipFixtureEntry>{{"@ABS@/x", ok}}
                                  << "unsafe zip entry (path traversal): @ABS@/x";
        QTest::newRow("drive") << QList<ZipFixtureEntry>{{"C:/x", ok}} << "unsafe zip entry (path traversal): C:/x";
        QTest::newRow("backslash climb") << QList<ZipFixtureEntry>{{"a\\..\\..\\x", ok}}
                                         << "unsafe zip entry (path traversal): a/../../x";
        ZipFixtureEntry link{"link", "../x"};
        link.unixMode = 0120777;
        QTest::newRow("symlink") << QList<ZipFixtureEntry>{link, {"link/y", ok}}
                                 << "unsafe zip entry (symbolic link): link";
        QTest::newRow("long name") << QList<ZipFixtureEntry>{{QByteArray(2000, 'n'), ok}}
                                   << "zip entry name longer than 1023 bytes";
        QTest::newRow("not utf-8") << QList<ZipFixtureEntry>{{"bad\xff\xfe.txt", ok}}
                                   << QString("zip entry name is not valid UTF-8: bad\uFFFD\uFFFD.txt");
    }

    void hostileArchivesAreRefused()
    {
        QFETCH(QList<ZipFixtureEntry>, entries);
        QFETCH(QString, message);
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work, {{"keep.txt", "keep"}}));
        for (ZipFixtureEntry& entry : entries)
            entry.name.replace("@ABS@", work.toUtf8());
        message.replace("@ABS@", work);
        QVERIFY(ZipFixture::writeZip(work + "/zips/hostile.zip", entries));
        const auto before = treeOutside(work, "dest/");
        QString error;
        QVERIFY(!extractZipToDir(work + "/zips/hostile.zip", work + "/dest", &error));
        QCOMPARE(error, message);
        QCOMPARE(treeOutside(work, "dest/"), before);
        QVERIFY(!QFileInfo::exists(work + "/dest/C:"));
    }

    void cappedArchivesAreRefused_data()
    {
        QTest::addColumn<qint64>("entryCap");
        QTest::addColumn<qint64>("totalCap");
        QTest::addColumn<int>("kind");
        QTest::newRow("entry over cap") << qint64(50000) << qint64(1 << 20) << int(ZipFailure::EntryTooLarge);
        QTest::newRow("total over cap") << qint64(1 << 20) << qint64(150000) << int(ZipFailure::ArchiveTooLarge);
        QTest::newRow("within caps") << qint64(1 << 20) << qint64(1 << 20) << int(ZipFailure::None);
    }

    void cappedArchivesAreRefused()
    {
        QFETCH(qint64, entryCap);
        QFETCH(qint64, totalCap);
        QFETCH(int, kind);
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeZip(work + "/bomb.zip", QMap<QString, QByteArray>{
            {"a", QByteArray(90000, '\0')}, {"b", QByteArray(90000, '\0')}}));
        ExtractLimits limits = packageExtractLimits();
        limits.maxEntryBytes = entryCap;
        limits.maxTotalBytes = totalCap;
        ZipFailure failure;
        QCOMPARE(extractZipEntries(work + "/bomb.zip", work + "/dest", limits, &failure), kind == ZipFailure::None);
        QCOMPARE(int(failure.kind), kind);
        QCOMPARE(ZipFixture::readTree(work).keys(), QStringList{"bomb.zip"} + (kind == ZipFailure::None
            ? QStringList{"dest/a", "dest/b"} : kind == ZipFailure::ArchiveTooLarge ? QStringList{"dest/a", "dest/b"}
            : QStringList{}));
    }

    void tooManyEntriesAreRefusedUpFront()
    {
        const QString work = TestEnvironment::makeTempDir();
        QList<ZipFixtureEntry> entries;
        for (int i = 0; i < 20000; ++i)
            entries.append({QByteArray::number(i), QByteArray()});
        QVERIFY(ZipFixture::writeZip(work + "/many.zip", entries));
        QString error;
        QVERIFY(!extractZipToDir(work + "/many.zip", work + "/dest", &error));
        QCOMPARE(error, QString("zip archive has more than 10000 entries"));
        QVERIFY(!QFileInfo::exists(work + "/dest"));
    }

    void readSelectedEntriesIntoMemory()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeZip(work + "/p.zip", QList<ZipFixtureEntry>{
            {"theme-manifest.json", "{}"}, {"mxs_12\\bkg.png", "png"}, {"big.bin", QByteArray(5000, 'x')}}));
        QMap<QString, QByteArray> entries;
        const auto wanted = [](const QString& name) { return name != QLatin1String("big.bin"); };
        QVERIFY(readZipEntries(work + "/p.zip", wanted, packageExtractLimits(), &entries));
        QCOMPARE(entries, (QMap<QString, QByteArray>{{"theme-manifest.json", "{}"}, {"mxs_12/bkg.png", "png"}}));
        QVERIFY(ZipFixture::writeZip(work + "/bad.zip", QList<ZipFixtureEntry>{{"ok", "1"}, {"../x", "2"}}));
        ZipFailure failure;
        QVERIFY(!readZipEntries(work + "/bad.zip", wanted, packageExtractLimits(), &entries, &failure));
        QCOMPARE(failure.text(), QString("unsafe zip entry (path traversal): ../x"));
    }

    void openPackage_data()
    {
        QTest::addColumn<FileMap>("files");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("devices filtered")
            << QMap<QString, QByteArray>{{"theme-manifest.json", manifest("[\"mxs_12\", \"\", 5, \"pdm/dash1\"]")}}
            << QString() << QStringList{"mxs_12", "pdm/dash1"};
        QTest::newRow("devices not an array")
            << QMap<QString, QByteArray>{{"theme-manifest.json", manifest("\"mxs_12\"")}} << QString() << QStringList{};
        QTest::newRow("array")
            << QMap<QString, QByteArray>{{"theme-manifest.json", "[1, 2]"}}
            << "theme-manifest.json is not valid JSON: no error occurred" << QStringList{};
        QTest::newRow("broken json")
            << QMap<QString, QByteArray>{{"theme-manifest.json", "{\"id\": "}}
            << "theme-manifest.json is not valid JSON: unterminated object" << QStringList{};
        QTest::newRow("empty id")
            << QMap<QString, QByteArray>{{"theme-manifest.json",
                                          "{\"id\": \"\", \"name\": \"n\", \"devices\": [\"mxt\"]}"}}
            << "theme-manifest.json is missing 'id'" << QStringList{"mxt"};
        QTest::newRow("manifest in sub-folder")
            << QMap<QString, QByteArray>{{"sub/theme-manifest.json", manifest("[]")}}
            << "theme-manifest.json missing" << QStringList{};
        QTest::newRow("empty zip") << QMap<QString, QByteArray>{} << "theme-manifest.json missing" << QStringList{};
    }

    void openPackage()
    {
        QFETCH(FileMap, files);
        QFETCH(QString, error);
        QFETCH(QStringList, devices);
        const QString zip = TestEnvironment::makeTempDir() + "/t.dashtheme";
        QVERIFY(ZipFixture::writeZip(zip, files));
        ThemePackage package;
        QString message;
        QCOMPARE(openThemePackage(package, zip, &message), error.isEmpty());
        QCOMPARE(message, error);
        QCOMPARE(package.devices, devices);
        if (error.isEmpty()) {
            QCOMPARE(package.id, QString("zrace"));
            QCOMPARE(package.author, QString("Ann"));
            QCOMPARE(package.manifest.value("generator").toString(), QString("x"));
        }
    }

    void openMissingFile()
    {
        ThemePackage package;
        QString error;
        QVERIFY(!openThemePackage(package, "/nonexistent/t.dashtheme", &error));
        QCOMPARE(error, QString("file not found: /nonexistent/t.dashtheme"));
        QVERIFY(!writeThemePackage(package, TestEnvironment::makeTempDir() + "/o.dashtheme", &error));
        QCOMPARE(error, QString("bundle not open"));
    }

    void hasAssetsFor_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("expected");
        QTest::newRow("listed with files") << "pdm/dash1" << true;
        QTest::newRow("listed, only empty folders") << "mxs_12" << false;
        QTest::newRow("files but not listed") << "mxt" << false;
        QTest::newRow("listed, no folder") << "mxg_12" << false;
        QTest::newRow("climbs out") << "../outside" << false;
    }

    void hasAssetsFor()
    {
        QFETCH(QString, device);
        QFETCH(bool, expected);
        const QString zip = TestEnvironment::makeTempDir() + "/t.dashtheme";
        QVERIFY(ZipFixture::writeZip(zip, QList<ZipFixtureEntry>{
            {"theme-manifest.json", manifest("[\"pdm/dash1\", \"mxs_12\", \"mxg_12\", \"../outside\"]")},
            {"pdm/dash1/bkg.png", "png"}, {"mxs_12/empty/", ""}, {"mxt/bkg.png", "png"}}));
        ThemePackage package;
        QVERIFY(!package.hasAssetsFor("pdm/dash1"));
        QVERIFY(openThemePackage(package, zip));
        // A folder beside the package's own that a hostile device name
        // would reach.
        const QString outside = QDir::cleanPath(package.folderPath() + "/../outside");
        QVERIFY(ZipFixture::writeTree(outside, {{"x.png", "x"}}));
        const bool result = package.hasAssetsFor(device);
        QDir(outside).removeRecursively();
        QCOMPARE(result, expected);
    }

    void resaveFailures()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeZip(work + "/t.dashtheme", QMap<QString, QByteArray>{
            {"theme-manifest.json", manifest("[\"mxt\"]")}, {"mxt/bkg.png", "png"}}));
        ThemePackage package;
        QVERIFY(openThemePackage(package, work + "/t.dashtheme"));
        QVERIFY(ZipFixture::writeTree(work, {{"out.dashtheme", "old bytes"}}));

        // A file that cannot be read fails the save rather than packing an
        // empty picture; the old package stays.
        QVERIFY(QFile::link(work + "/gone.png", package.folderPath() + "/mxt/prw.png"));
        QString error;
        QVERIFY(!writeThemePackage(package, work + "/out.dashtheme", &error));
        QCOMPARE(error, QString("failed to append mxt/prw.png"));
        QCOMPARE(ZipFixture::readTree(work).value("out.dashtheme"), QByteArray("old bytes"));
        QVERIFY(!QFileInfo::exists(work + "/out.dashtheme.tmp"));
        QFile::remove(package.folderPath() + "/mxt/prw.png");

        QVERIFY(QDir().mkpath(work + "/out.dashtheme.tmp"));
        QVERIFY(!writeThemePackage(package, work + "/out.dashtheme", &error));
        QCOMPARE(error, QString("could not create %1").arg(work + "/out.dashtheme"));
        QCOMPARE(ZipFixture::readTree(work).value("out.dashtheme"), QByteArray("old bytes"));
        QVERIFY(QDir(work + "/out.dashtheme.tmp").removeRecursively());

        // A disk that fills up part-way: reported, and the old package stays.
        QCOMPARE(FileSizeLimit::run(64, [&] { return writeThemePackage(package, work + "/out.dashtheme"); }),
                 FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(ZipFixture::readTree(work).value("out.dashtheme"), QByteArray("old bytes"));
        QVERIFY(!QFileInfo::exists(work + "/out.dashtheme.tmp"));
    }
};

KORV_GUI_TEST_MAIN(PackageArchiveTest)
#include "tst_packagearchive.moc"
