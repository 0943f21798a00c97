// Theme export from the homebrew store, and the re-save of an exported package.
#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "gallery/ThemeExport.h"
#include "gallery/ThemePackage.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"
#include "templates/PageTemplateLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

namespace {

using FileMap = QMap<QString, QByteArray>;

QByteArray png(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    return pngBytes(image);
}

// Store folders as the theme installer leaves them.
void writeStore(const QMap<QString, QByteArray>& files)
{
    QVERIFY(ZipFixture::writeTree(homebrewTemplatesDir(), files));
}

QJsonObject manifestOf(const QString& zip)
{
    return QJsonDocument::fromJson(ZipFixture::readZip(zip).value("theme-manifest.json")).object();
}

} // namespace

class ThemeExportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion("0.5.8.0"); }
    void init() { QDir(homebrewTemplatesDir()).removeRecursively(); }

    void listsAndCollectsVariants()
    {
        QVERIFY(listHomebrewThemes().isEmpty());
        writeStore({{"mxs_12/zrace/bkg.png", png(8, 4)},
                    {"mxs_12/zrace/AiM_folder.xml",
                     "<?xml version=\"1.0\"?>\n<AiM_resource_folder>\n  <e c=\"Folder\" i=\"0\">\n"
                     "    <p n=\"Sort\">99</p>\n    <p n=\"gettext\"> Race &amp; R&#xF8;st &lt;1&gt; </p>\n"
                     "  </e>\n</AiM_resource_folder>\n"},
                    {"pdm/dash1/zrace/bkg.png", png(8, 4)},
                    {"mxg_12/Zed/bkg.png", png(8, 4)},
                    {"mxg_12/nobkg/prw.png", png(8, 4)},
                    {"unknownfam/zrace/bkg.png", png(8, 4)},
                    {"unknownfam/zonly/bkg.png", png(8, 4)},
                    {"pdm/dash2/zpdm/bkg.png", png(8, 4)}});
        // Two levels only: a theme kept under a PDM family alone is not listed.
        QCOMPARE(listHomebrewThemes(), (QStringList{"Zed", "zonly", "zrace"}));
        const ThemeVariants race = collectThemeDeviceVariants("zrace");
        // The label is the text the file stands for, as Add Page shows it.
        QCOMPARE(race.displayName, QString::fromUtf8("Race & R\u00f8st <1>"));
        QCOMPARE(race.devices, (QStringList{"mxs_12", "pdm/dash1"}));
        const ThemeVariants only = collectThemeDeviceVariants("zonly");
        QCOMPARE(only.displayName, QString("zonly"));
        QVERIFY(only.devices.isEmpty());
    }

    void exportWritesManifestAndAssets()
    {
        const QByteArray mxsPng = png(800, 480);
        writeStore({{"mxs_12/zrace/bkg.png", mxsPng},
                    {"mxs_12/zrace/prw.png", png(80, 48)},
                    {"mxs_12/zrace/bkg.tgz", "stored tgz"},
                    {"mxt/zrace/bkg.png", png(64, 24)},
                    {"mxt/zrace/prw.png", QByteArray()},
                    {"mxg_12/zrace/bkg.png", QByteArray()},
                    {"pdm/dash1/zrace/bkg.png", png(32, 12)}});
        const QString out = TestEnvironment::makeTempDir() + "/new/folder/race.dashtheme";
        QVERIFY(ZipFixture::writeTree(QFileInfo(out).absolutePath(), {{"race.dashtheme", "previous"}}));
        QString error;
        QVERIFY2(exportThemeBundle("zrace", QString(), "Ann", "Fast", out, &error), qPrintable(error));
        QCOMPARE(ZipFixture::entryNames(out),
                 (QStringList{"theme-manifest.json", "mxs_12/bkg.png", "mxs_12/prw.png", "mxs_12/bkg.tgz",
                              "mxt/bkg.png", "mxt/bkg.tgz", "pdm/dash1/bkg.png", "pdm/dash1/bkg.tgz"}));
        const auto entries = ZipFixture::readZip(out);
        QCOMPARE(entries.value("mxs_12/bkg.png"), mxsPng);
        QCOMPARE(entries.value("mxs_12/bkg.tgz"), QByteArray("stored tgz"));
        QCOMPARE(TgzImage::decode(entries.value("mxt/bkg.tgz")).size(), QSize(1280, 480));
        QCOMPARE(TgzImage::decode(entries.value("pdm/dash1/bkg.tgz")).size(), QSize(1280, 480));

        const QJsonObject manifest = manifestOf(out);
        QCOMPARE(manifest.value("id").toString(), QString("zrace"));
        QCOMPARE(manifest.value("name").toString(), QString("zrace"));
        QCOMPARE(manifest.value("author").toString(), QString("Ann"));
        QCOMPARE(manifest.value("description").toString(), QString("Fast"));
        QVERIFY(manifest.value("version").isString());
        QCOMPARE(manifest.value("version").toString(), QString("1"));
        QCOMPARE(manifest.value("generator").toString(), QString("Korvelanto/0.5.8.0"));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                    .match(manifest.value("created_utc").toString()).hasMatch());
        QCOMPARE(manifest.value("devices").toArray(),
                 QJsonArray::fromStringList({"mxg_12", "mxs_12", "mxt", "pdm/dash1"}));
        QVERIFY(!QFileInfo::exists(out + ".tmp"));
    }

    void exportFailures_data()
    {
        QTest::addColumn<FileMap>("store");
        QTest::addColumn<bool>("blockTemp");
        QTest::addColumn<QString>("error");
        QTest::newRow("no devices") << QMap<QString, QByteArray>{{"unknownfam/zrace/bkg.png", png(8, 4)}} << false
                                    << "no device assets found for 'zrace'";
        QTest::newRow("only empty pictures") << QMap<QString, QByteArray>{{"mxt/zrace/bkg.png", QByteArray()}}
                                             << false << "no device assets could be read";
        QTest::newRow("temporary file blocked") << QMap<QString, QByteArray>{{"mxt/zrace/bkg.png", png(8, 4)}}
                                                << true << "could not create @OUT@";
    }

    void exportFailures()
    {
        QFETCH(FileMap, store);
        QFETCH(bool, blockTemp);
        QFETCH(QString, error);
        writeStore(store);
        const QString work = TestEnvironment::makeTempDir();
        const QString out = work + "/race.dashtheme";
        QVERIFY(ZipFixture::writeTree(work, {{"race.dashtheme", "old package bytes"}}));
        if (blockTemp)
            QVERIFY(QDir().mkpath(out + ".tmp"));
        const auto before = ZipFixture::readTree(work);
        QString message;
        QVERIFY(!exportThemeBundle("zrace", "Race", QString(), QString(), out, &message));
        QCOMPARE(message, QString(error).replace("@OUT@", out));
        QCOMPARE(ZipFixture::readTree(work), before);
        QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), blockTemp ? 2 : 1);

        // Without devices nothing is touched, not even a missing folder.
        if (!blockTemp && error.startsWith("no device assets found")) {
            QVERIFY(!exportThemeBundle("zrace", "", "", "", work + "/absent/t.dashtheme"));
            QVERIFY(!QFileInfo::exists(work + "/absent"));
        }
    }

    // A disk that fills up while the pictures go in: the export says so and
    // the previous package stays.
    void diskFullPartWay_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::newRow("in the manifest") << qint64(64);
        QTest::newRow("in the first family") << qint64(8000);
        QTest::newRow("in the second family") << qint64(20000);
    }
    void diskFullPartWay()
    {
        QFETCH(qint64, limit);
        // Noise, so each picture takes room of its own in the package.
        QImage noise(64, 64, QImage::Format_ARGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                noise.setPixel(x, y, qRgb((x * 97 + y * 31) % 251, (x * y * 13) % 241, (x * 7 + y * y) % 239));
        // With its device image in the store, no picture is drawn in the
        // limited child (a fork has no painting threads).
        writeStore({{"mxs_12/zrace/bkg.png", pngBytes(noise)},
                    {"mxs_12/zrace/bkg.tgz", TgzImage::encode(noise)},
                    {"mxg_12/zrace/bkg.png", pngBytes(noise.mirrored())},
                    {"mxg_12/zrace/bkg.tgz", TgzImage::encode(noise.mirrored())}});
        const QString work = TestEnvironment::makeTempDir();
        const QString out = work + "/race.dashtheme";
        QVERIFY(exportThemeBundle("zrace", "Race", "Ann", "Fast", out));
        QVERIFY(QFileInfo(out).size() > 24000);
        QVERIFY(ZipFixture::writeTree(work, {{"race.dashtheme", "old package bytes"}}));
        QCOMPARE(FileSizeLimit::run(limit, [&] { return exportThemeBundle("zrace", "Race", "Ann", "Fast", out); }),
                 FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(ZipFixture::readTree(work), FileMap({{"race.dashtheme", "old package bytes"}}));
    }

    void reopenEditAndResave()
    {
        writeStore({{"mxs_12/zrace/bkg.png", png(16, 8)}, {"mxs_12/zrace/prw.png", png(4, 2)}});
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(exportThemeBundle("zrace", "Race", "Ann", "Fast", work + "/a.dashtheme"));

        ThemePackage package;
        QString error;
        QVERIFY2(openThemePackage(package, work + "/a.dashtheme", &error), qPrintable(error));
        QCOMPARE(package.name, QString("Race"));
        QVERIFY(package.hasAssetsFor("mxs_12"));
        package.author.clear();
        package.license = "CC-BY";
        QVERIFY(ZipFixture::writeTree(package.folderPath(), {{"mxs_12/prw.png", "replaced preview"},
                                                            {"extras/notes/readme.txt", "extra"}}));
        QVERIFY2(writeThemePackage(package, work + "/a.dashtheme", &error), qPrintable(error));

        QCOMPARE(ZipFixture::entryNames(work + "/a.dashtheme").value(0), QString("theme-manifest.json"));
        const auto entries = ZipFixture::readZip(work + "/a.dashtheme");
        QCOMPARE(entries.value("mxs_12/prw.png"), QByteArray("replaced preview"));
        QCOMPARE(entries.value("extras/notes/readme.txt"), QByteArray("extra"));
        QCOMPARE(entries.value("mxs_12/bkg.png"), png(16, 8));
        QCOMPARE(entries.size(), 5);
        const QJsonObject manifest = manifestOf(work + "/a.dashtheme");
        QCOMPARE(manifest.value("generator").toString(), QString("Korvelanto/0.5.8.0"));
        QVERIFY(manifest.value("author").isString());
        QCOMPARE(manifest.value("author").toString(), QString());
        QCOMPARE(manifest.value("license").toString(), QString("CC-BY"));
        QCOMPARE(manifest.value("name").toString(), QString("Race"));
    }
};

KORV_GUI_TEST_MAIN(ThemeExportTest)
#include "tst_themeexport.moc"
