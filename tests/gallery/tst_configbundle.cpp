// Config install bundles: export from a configuration with homebrew art,
// installation into RS3 installs, and the refusals of both.
#include "gallery/ConfigBundleExport.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/RaceStudio3Check.h"
#include "gallery/TemplateReferenceRename.h"
#include "gallery/ThemeInstaller.h"
#include "model/DashConfig.h"
#include "model/FolderCopy.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"
#include "support/ConfigFixture.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"
#include "templates/TemplateReferenceCount.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

using FileMap = QMap<QString, QByteArray>;

const QString kTrack = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/Track/";
const QString kItem = kTrack + "Items/md1/";
const QString kStock = "aim/resources/overlay/mxg_12/masks/set/standard/s01/stockitem/";
const QString kGone = "aim/resources/overlay/mxg_12/masks/gone/x.png";
const QString kArt = "RS3_homebrew_folder/";

// A homebrew page template of four files, one of them a dangling link that
// cannot be read, and a stock item present in the program's own tree too.
void writeSourceArt(const Rs3Fixture& rs3)
{
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kTrack + "pMain.P2.xml", "<page/>"));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "md1.M2.xml", "<item/>"));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", "track art"));
    QVERIFY(QFile::link(rs3.absolutePath(Rs3Fixture::Stable, kTrack + "gone-target.png"),
                        rs3.absolutePath(Rs3Fixture::Stable, kTrack + "broken.png")));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kStock + "mask.png", "stock art"));
    QVERIFY(rs3.writeFile(Rs3Fixture::Local, kStock + "mask.png", "stock art"));
}

FixtureElement artMask(const QString& id, const QString& folder, const QString& image)
{
    FixtureElement mask = Fx::mask(id, 0, 0, 100, 40);
    if (!folder.isEmpty())
        mask.p("PATH_REL_AiM_MASK", folder);
    return mask.p("PATH_IMAGE", image).add(Fx::label(id + "l", "L", 0, 0, 100, 40));
}

// "Club Race.zconf2" with a sidecar in a folder of its own.
QString writeConfig(const QList<FixtureElement>& masks)
{
    ConfigFixture fixture;
    FixturePage& page = fixture.device().page("Main");
    for (const FixtureElement& mask : masks)
        page.mask(mask);
    const QString folder = TestEnvironment::makeTempDir("cfg");
    const QString path = folder + "/Club Race.zconf2";
    if (!fixture.writeZip(path) || !ZipFixture::writeTree(folder, {{"Club Race.barcolor.json", "{\"bars\":1}"}}))
        return QString();
    return path;
}

QList<FixtureElement> bundleMasks()
{
    return {artMask("m1", kItem, "mask.png"), artMask("m2", kStock, "mask.png"), artMask("m3", QString(), kGone)};
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setBetaRoot(const QString& root)
{
    QSettings("Tindrel AS", "Korvelanto").setValue("paths/raceStudio3BetaRoot", root);
}

QString homebrewFolder(const QString& name)
{
    return "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/" + name + "/";
}

// A template folder as one home has it: its page file the same in every
// home, its background and mask art this home's own.
void writeTemplate(const Rs3Fixture& rs3, const QString& name, const QByteArray& home)
{
    const QString folder = homebrewFolder(name);
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "pMain.P2.xml", "<page/>"));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "bkg.png", home + " background"));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "Items/md1/mask.png", home + " art"));
}

// The device text of a saved configuration whose mask shows the template's art.
QByteArray deviceUsing(const QString& name)
{
    return ("<e c=\"GMaskParam\"><p n=\"PATH_REL_AiM_MASK\">" + homebrewFolder(name).toHtmlEscaped()
            + "Items/md1/</p><p n=\"PATH_IMAGE\">mask.png</p></e>")
        .toUtf8();
}

QByteArray boxRecordOf(const QString& folder)
{
    const QJsonObject box{{"styleId", "panel_dark"}, {"originalPathRel", folder + "Items/md1/"}};
    return QJsonDocument(QJsonObject{{"version", 1}, {"masks", QJsonObject{{"m1", box}}}}).toJson();
}

// The references of every device file in a configuration archive.
int referencesIn(const QString& zconf2, const QString& name)
{
    int count = 0;
    for (const QByteArray& bytes : ZipFixture::readZip(zconf2))
        count += TemplateReferenceCount::inDeviceBytes(bytes, name);
    return count;
}

// The user who answers Replace when the bundle's art would change theirs.
ArtInUseCheck replacing()
{
    return {{}, [](const QList<ArtFolderInUse>&) { return ArtInUseAnswer::Replace; }};
}

// A bundle whose configuration shows the first item of each template folder
// named, with the art given (path below the folder, bytes) in each.
QString bundleOf(const QStringList& names, const FileMap& art)
{
    QList<FixtureElement> masks;
    FileMap files;
    for (const QString& name : names) {
        masks << artMask(name.left(8), homebrewFolder(name) + "Items/md1/", "mask.png");
        for (auto it = art.cbegin(); it != art.cend(); ++it)
            files.insert(kArt + homebrewFolder(name) + it.key(), it.value());
    }
    const QString config = writeConfig(masks);
    if (config.isEmpty())
        return {};
    files.insert("Club Race.zconf2", fileBytes(config));
    const QString zip = TestEnvironment::makeTempDir("bundle") + "/named.zip";
    return ZipFixture::writeZip(zip, files) ? zip : QString();
}

// The files below a folder, by relative path (its folders left out).
FileMap filesIn(const QString& folder)
{
    FileMap files = Rs3Fixture::treeSnapshot(folder);
    files.removeIf([](const auto& entry) { return entry.value() == "<dir>"; });
    return files;
}

// The user who keeps their art, noting the names offered.
ArtInUseCheck keeping(QStringList* offered = nullptr)
{
    return {{}, [offered](const QList<ArtFolderInUse>& folders) {
                for (const ArtFolderInUse& folder : folders) {
                    if (offered)
                        offered->append(folder.ownName);
                }
                return ArtInUseAnswer::KeepMine;
            }};
}

} // namespace

class ConfigBundleTest : public QObject {
    Q_OBJECT

    QString m_bundle; // exported once, installed by several tests

    // Exported on a computer of its own whose template `name` holds art of
    // its own, with the record of a box made from that art.
    static QString bundleFromFirstHome(const QString& name)
    {
        Rs3Fixture first;
        writeTemplate(first, name, "first");
        DashConfig config;
        if (!config.load(writeConfig({artMask("m1", homebrewFolder(name) + "Items/md1/", "mask.png")}))
            || !TestFiles::writeBytes(QFileInfo(config.zconf2Path).absolutePath() + "/Club Race.boxstyles.json",
                                      boxRecordOf(homebrewFolder(name))))
            return {};
        const QString zip = TestEnvironment::makeTempDir("bundle") + "/first.zip";
        return exportConfigInstallBundle(config, zip) ? zip : QString();
    }

    QString bundle()
    {
        if (!m_bundle.isEmpty())
            return m_bundle;
        Rs3Fixture rs3;
        writeSourceArt(rs3);
        DashConfig config;
        QString error;
        if (!config.load(writeConfig(bundleMasks()), &error))
            return QString();
        const QString zip = TestEnvironment::makeTempDir("bundle") + "/club.zip";
        if (exportConfigInstallBundle(config, zip, &error))
            m_bundle = zip;
        return m_bundle;
    }

private Q_SLOTS:
    void templateFolderOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        const QString set = "aim/resources/overlay/mxs/masks/set/standard/";
        QTest::newRow("homebrew set") << set + "s04_homebrew/Track/md1/mask.tgz" << set + "s04_homebrew/Track/";
        QTest::newRow("stock item") << set + "s01/p04/Items/x.png" << set + "s01/p04/";
        QTest::newRow("homebrew below a set") << set + "s02/s04_homebrew/Tpl/a.png" << set + "s02/s04_homebrew/Tpl/";
        QTest::newRow("homebrew below a set, no template") << set + "s02/s04_homebrew" << QString();
        QTest::newRow("too short") << set + "s01" << QString();
        QTest::newRow("no set") << "aim/resources/overlay/mxs/masks/gone/x.png" << QString();
        QTest::newRow("two parts") << "aim/x" << QString();
        QTest::newRow("backslashes and case")
            << " aim\\resources\\overlay\\mxt\\MASKS\\Set\\Standard\\s04_homebrew\\X\\y.png "
            << "aim/resources/overlay/mxt/MASKS/Set/Standard/s04_homebrew/X/";
        QTest::newRow("empty parts") << "aim//resources/overlay/m/masks/set/standard/a/b/c/"
                                     << "aim/resources/overlay/m/masks/set/standard/a/b/";
    }

    void templateFolderOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(::templateFolderOf(path), folder);
    }

    void exportBundlesHomebrewArt()
    {
        Rs3Fixture rs3;
        writeSourceArt(rs3);
        DashConfig config;
        QString error;
        QVERIFY2(config.load(writeConfig(bundleMasks()), &error), qPrintable(error));
        QCOMPARE(collectConfigAssetReferences(config),
                 (QStringList{kGone, kStock + "mask.png", kItem + "mask.png", kItem + "md1.M2.xml"}));

        const QString zip = TestEnvironment::makeTempDir() + "/out/club.zip";
        QVERIFY(ZipFixture::writeTree(QFileInfo(zip).absolutePath(), {{"club.zip", "previous bundle"}}));
        QStringList missing;
        int artCount = -1;
        // Progress is told from the start, then entry by entry up to all six.
        QList<QPair<int, int>> told;
        QVERIFY2(exportConfigInstallBundle(config, zip, &error, &missing, &artCount,
                                           [&told](int done, int total) { told.append({done, total}); }),
                 qPrintable(error));
        QCOMPARE(told.first(), qMakePair(0, 0));
        QCOMPARE(told.mid(told.size() - 2), (QList<QPair<int, int>>{{5, 6}, {6, 6}}));
        QCOMPARE(artCount, 3);
        // The dangling link is named as what kept it out.
        const QString link = rs3.absolutePath(Rs3Fixture::Stable, kTrack + "broken.png");
        QCOMPARE(missing, (QStringList{kGone, kTrack + "broken.png (not bundled: " + link + " is a symbolic link)",
                                       kTrack + " (staged 3 of 4 files)"}));
        QCOMPARE(ZipFixture::entryNames(zip),
                 (QStringList{"Club Race.barcolor.json", "Club Race.zconf2", "README_FIRST.txt",
                              kArt + kItem + "mask.png", kArt + kItem + "md1.M2.xml",
                              kArt + kTrack + "pMain.P2.xml"}));
        const FileMap entries = ZipFixture::readZip(zip);
        QCOMPARE(entries.value("Club Race.zconf2"), fileBytes(config.zconf2Path));
        QCOMPARE(entries.value(kArt + kItem + "mask.png"), QByteArray("track art"));
        QCOMPARE(entries.value("README_FIRST.txt"),
                 QByteArray("Club Race \xE2\x80\x94 Korvelanto install bundle\r\n"
                            "\r\n"
                            "This bundle contains the config plus every dashboard art file it\r\n"
                            "references (base masks, bar frames, page backgrounds).\r\n"
                            "\r\n"
                            "TO INSTALL:\r\n"
                            "  1. Close RaceStudio3.\r\n"
                            "  2. If you installed an older version of this config's art,\r\n"
                            "     delete its matching folder(s) under\r\n"
                            "     RaceStudio3\\aim\\resources\\overlay\\ first.\r\n"
                            "  3. Copy the 'aim' folder from RS3_homebrew_folder\\ into your\r\n"
                            "     RaceStudio3 install root (the folder that already contains\r\n"
                            "     'aim'). When Windows asks, choose \"Replace the files in the\r\n"
                            "     destination\".\r\n"
                            "  4. Start RaceStudio3, then import / open Club Race.zconf2.\r\n"
                            "\r\n"
                            "The config now opens with all art present \xE2\x80\x94 no \"internal error\r\n"
                            "while loading an image\".\r\n"));
        QVERIFY(!QFileInfo::exists(zip + ".tmp"));
    }

    void hostileReferenceIsNeverRead()
    {
        Rs3Fixture rs3;
        // Where "aim/../../../secret" would land from the stable install.
        const QString secret = QDir::cleanPath(rs3.root(Rs3Fixture::Stable) + "/aim/../../../secret");
        QVERIFY(ZipFixture::writeTree(QFileInfo(secret).absolutePath(), {{"secret", "TOP SECRET"}}));
        DashConfig config;
        QVERIFY(config.load(writeConfig({artMask("m1", QString(), "aim/../../../secret"),
                                         artMask("m2", "aim/../../../", "secret")})));
        const QString zip = TestEnvironment::makeTempDir() + "/b.zip";
        QStringList missing;
        int artCount = -1;
        QVERIFY(exportConfigInstallBundle(config, zip, nullptr, &missing, &artCount));
        QDir(QFileInfo(secret).absolutePath()).remove("secret");
        QCOMPARE(missing, QStringList{"aim/../../../secret"});
        QCOMPARE(artCount, 0);
        QCOMPARE(ZipFixture::entryNames(zip),
                 (QStringList{"Club Race.barcolor.json", "Club Race.zconf2", "README_FIRST.txt"}));
        QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/secret"));
    }

    // Each refusal names the file and, for a file that cannot be read or
    // written, which it was and the system's reason; an older bundle at the
    // target stays.
    void exportFailures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("error"); // @: the work folder, #: the config's; a trailing ": " is a prefix
        QTest::newRow("never saved") << "unsaved" << "no saved config on disk to export (save the config first)";
        QTest::newRow("temporary zip in the way")
            << "zip blocked" << "could not create @/b.zip: cannot write @/b.zip.tmp: Is a directory";
        QTest::newRow("sidecar cannot be read")
            << "sidecar blocked" << "could not stage Club Race.barcolor.json: cannot read #/Club Race.barcolor.json: ";
    }
    void exportFailures()
    {
        QFETCH(QString, setup);
        QFETCH(QString, error);
        Rs3Fixture rs3;
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work, {{"b.zip", "old bundle"}}));
        DashConfig config;
        if (setup != "unsaved")
            QVERIFY(config.load(writeConfig({})));
        const QString configFolder = QFileInfo(config.zconf2Path).absolutePath();
        if (setup == "zip blocked")
            QVERIFY(QDir().mkpath(work + "/b.zip.tmp"));
        if (setup == "sidecar blocked") {
            QVERIFY(QFile::remove(configFolder + "/Club Race.barcolor.json"));
            QVERIFY(QDir().mkpath(configFolder + "/Club Race.barcolor.json"));
        }
        QString said;
        QVERIFY(!exportConfigInstallBundle(config, work + "/b.zip", &said));
        error.replace('@', work).replace('#', configFolder);
        QVERIFY2(error.endsWith(": ") ? said.startsWith(error) && said.size() > error.size() : said == error,
                 qPrintable(said));
        QCOMPARE(fileBytes(work + "/b.zip"), QByteArray("old bundle"));
    }

    // A sidecar that cannot be staged (a disk that takes no file of its
    // size) fails the export naming it; no bundle is written without it.
    void exportFailsWithoutASidecar()
    {
        Rs3Fixture rs3;
        writeSourceArt(rs3);
        const QString path = writeConfig(bundleMasks());
        QVERIFY(!path.isEmpty());
        const QString sidecar = QFileInfo(path).absolutePath() + "/Club Race.barcolor.json";
        QVERIFY(ZipFixture::writeTree(QFileInfo(path).absolutePath(),
                                      {{"Club Race.barcolor.json", QByteArray(200000, ' ') + "{}"}}));
        DashConfig config;
        QVERIFY(config.load(path));
        const QString zip = TestEnvironment::makeTempDir("bundle") + "/club.zip";
        QString error;
        const auto outcome = FileSizeLimit::run(
            100000, [&](QString* e) { return exportConfigInstallBundle(config, zip, e); }, &error);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QVERIFY2(error.startsWith("could not stage Club Race.barcolor.json: ") && error.endsWith("File too large"),
                 qPrintable(error));
        QVERIFY(!QFileInfo::exists(zip));
    }

    // A disk that fills while the zip is written: the message carries the
    // system's reason, and no bundle is left behind.
    void exportSaysWhyTheZipFailed()
    {
        Rs3Fixture rs3;
        writeSourceArt(rs3);
        QByteArray noise(70000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(QRandomGenerator::global()->generate());
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", noise));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kTrack + "pMain.P2.xml", noise));
        DashConfig config;
        QVERIFY(config.load(writeConfig(bundleMasks())));
        const QString zip = TestEnvironment::makeTempDir("bundle") + "/club.zip";
        QString error;
        const auto outcome = FileSizeLimit::run(
            100000, [&](QString* e) { return exportConfigInstallBundle(config, zip, e); }, &error);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(error, QString("failed while writing the bundle zip: File too large"));
        QVERIFY(!QFileInfo::exists(zip));
        QVERIFY(!QFileInfo::exists(zip + ".tmp"));
    }

    void installFillsRoots_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("count");
        QTest::newRow("stable and beta") << "both" << 6;
        QTest::newRow("same root twice") << "same" << 3;
        QTest::newRow("only beta") << "beta" << 3;
    }

    void installFillsRoots()
    {
        QFETCH(QString, layout);
        QFETCH(int, count);
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        QStringList roots{rs3.overlayRoot(Rs3Fixture::Stable), rs3.overlayRoot(Rs3Fixture::Beta)};
        if (layout == "same") {
            setBetaRoot(rs3.root(Rs3Fixture::Stable));
            roots.removeLast();
        } else if (layout == "beta") {
            QVERIFY(QDir(rs3.root(Rs3Fixture::Stable)).removeRecursively());
            roots.removeFirst();
        }
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, kItem + "mask.png", "old art"));
        const QString folder = TestEnvironment::makeTempDir("placed") + "/new/configs";
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.zconf2", "old config"}}));

        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, folder, &result, &error, {}, replacing()), qPrintable(error));
        QCOMPARE(result.artFileCount, count);
        QCOMPARE(result.installRoots, roots);
        QCOMPARE(result.installedFolders, QStringList{kTrack});
        QCOMPARE(result.configPath, folder + "/Club Race.zconf2");
        const FileMap entries = ZipFixture::readZip(zip);
        QCOMPARE(fileBytes(result.configPath), entries.value("Club Race.zconf2"));
        QCOMPARE(fileBytes(folder + "/Club Race.barcolor.json"), QByteArray("{\"bars\":1}"));
        for (const QString& root : roots) {
            const QString install = ::installRootOf(root);
            QCOMPARE(fileBytes(install + "/" + kItem + "mask.png"), QByteArray("track art"));
            QCOMPARE(fileBytes(install + "/" + kTrack + "pMain.P2.xml"), QByteArray("<page/>"));
        }
    }

    // The user's edited configuration of the bundle's name, its sidecars and
    // the RS3 art the bundle changes (the user chose Replace) are kept
    // before they are replaced; the
    // same bundle installed again keeps nothing more.
    void installKeepsWhatItReplaces()
    {
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, kItem + "mask.png", "old art"));
        const QString folder = TestEnvironment::makeTempDir("placed");
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.zconf2", "edited config"},
                                               {"Club Race.barcolor.json", "edited bars"},
                                               {"Club Race.multibox.json", "my boxes"}}));
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, folder, &result, &error, {}, replacing()), qPrintable(error));
        QCOMPARE(result.keptConfigPath, folder + "/Club Race.bak.zconf2");
        QCOMPARE(fileBytes(folder + "/Club Race.bak.zconf2"), QByteArray("edited config"));
        QCOMPARE(fileBytes(folder + "/Club Race.bak.barcolor.json"), QByteArray("edited bars"));
        QCOMPARE(fileBytes(folder + "/Club Race.bak.multibox.json"), QByteArray("my boxes"));
        QCOMPARE(fileBytes(result.configPath), ZipFixture::readZip(zip).value("Club Race.zconf2"));
        // None of the replaced configuration's records stays beside the new one.
        QCOMPARE(fileBytes(folder + "/Club Race.barcolor.json"), QByteArray("{\"bars\":1}"));
        QVERIFY(!QFileInfo::exists(folder + "/Club Race.multibox.json"));
        QVERIFY(!result.keptArtFolder.isEmpty());
        QCOMPARE(fileBytes(result.keptArtFolder + "/2/" + kItem + "mask.png"), QByteArray("old art"));
        QCOMPARE(result.kept(), (QStringList{folder + "/Club Race.bak.zconf2", folder + "/Club Race.bak.multibox.json",
                                             folder + "/Club Race.bak.barcolor.json", result.keptArtFolder}));

        const FileMap placed = ZipFixture::readTree(folder);
        ConfigBundleInstallResult again;
        QVERIFY2(installConfigInstallBundle(zip, folder, &again, &error), qPrintable(error));
        QCOMPARE(again.kept(), QStringList());
        // Nothing was written: nothing counts as installed.
        QCOMPARE(again.artFileCount, 0);
        QCOMPARE(again.unchangedArtCount, result.artFileCount);
        QCOMPARE(ZipFixture::readTree(folder), placed);
    }

    // The caller is asked with the placed path before anything is written;
    // a "no" leaves the folder and the installs as they were.
    void installAsksBeforeWriting()
    {
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        const QString folder = TestEnvironment::makeTempDir("placed");
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.zconf2", "open config"}}));
        const FileMap placed = ZipFixture::readTree(folder);
        const FileMap installs = ZipFixture::readTree(rs3.root(Rs3Fixture::Stable));
        QString error;
        QList<ConfigTarget> asked;
        QVERIFY(!installConfigInstallBundle(zip, folder, nullptr, &error, [&asked](const ConfigTarget& target) {
            asked << target;
            return false;
        }));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].placedPath, folder + "/Club Race.zconf2");
        QVERIFY(!asked[0].unchanged);
        // The configuration there and the store the bundle adds.
        QCOMPARE(asked[0].touched, (QStringList{folder + "/Club Race.zconf2", folder + "/Club Race.barcolor.json"}));
        QCOMPARE(error, QString("the install was cancelled; nothing was changed"));
        QCOMPARE(ZipFixture::readTree(folder), placed);
        QCOMPARE(ZipFixture::readTree(rs3.root(Rs3Fixture::Stable)), installs);
    }

    // Records of the bundle's name with no configuration beside them would
    // be read as the new configuration's: they are kept aside and removed.
    void installRemovesLeftOverSidecars()
    {
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        const QString folder = TestEnvironment::makeTempDir("placed");
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.iconpreview.json", "left over"}}));
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, folder, &result, &error), qPrintable(error));
        QCOMPARE(result.keptConfigPath, folder + "/Club Race.bak.iconpreview.json");
        QCOMPARE(ZipFixture::readTree(folder),
                 (FileMap{{"Club Race.zconf2", ZipFixture::readZip(zip).value("Club Race.zconf2")},
                          {"Club Race.barcolor.json", "{\"bars\":1}"},
                          {"Club Race.bak.iconpreview.json", "left over"}}));
    }

    // A disk that fills up during the install (here already while the
    // bundle is unpacked): the install says so and why, and the
    // configuration that was there is whole.
    void installOnAFullDiskKeepsTheConfig()
    {
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        const QString folder = TestEnvironment::makeTempDir("placed");
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.zconf2", "previous"}}));
        QString error;
        QCOMPARE(FileSizeLimit::run(
                     64, [&](QString* e) { return installConfigInstallBundle(zip, folder, nullptr, e); }, &error),
                 FileSizeLimit::Outcome::ReportedFailure);
        // It names the file it was writing and the system's reason.
        QVERIFY2(error.startsWith("could not read the bundle zip: write failed: ") && error.endsWith(": File too large"),
                 qPrintable(error));
        QCOMPARE(fileBytes(folder + "/Club Race.zconf2"), QByteArray("previous"));
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(name.startsWith("Club Race."), qPrintable(name));
    }

    void installTakesFirstConfigByName()
    {
        Rs3Fixture rs3;
        const QString zip = TestEnvironment::makeTempDir() + "/two.zip";
        QVERIFY(ZipFixture::writeZip(zip, FileMap{{"b.zconf2", "B"}, {"a.ZCONF2", "A"}, {"a.multibox.json", "M"},
                                                  {kArt + kItem + "mask.png", "art"}}));
        const QString folder = TestEnvironment::makeTempDir();
        ConfigBundleInstallResult result;
        QVERIFY(installConfigInstallBundle(zip, folder, &result));
        QCOMPARE(result.configPath, folder + "/a.zconf2");
        QCOMPARE(ZipFixture::readTree(folder), (FileMap{{"a.zconf2", "A"}, {"a.multibox.json", "M"}}));
    }

    void installRefusals_data()
    {
        QTest::addColumn<FileMap>("files");
        QTest::addColumn<bool>("noRs3");
        QTest::addColumn<QString>("error");
        const FileMap good{{"c.zconf2", "C"}, {kArt + kItem + "mask.png", "art"}};
        QTest::newRow("no art tree") << FileMap{{"c.zconf2", "C"}, {"aim/x.png", "x"}} << false
                                     << "this zip is not a Korvelanto install bundle (no "
                                        "RS3_homebrew_folder/aim/resources/overlay art tree inside)";
        QTest::newRow("no config") << FileMap{{kArt + kItem + "mask.png", "art"}, {"sub/c.zconf2", "C"}} << false
                                   << "bundle has no .zconf2 at its root";
        QTest::newRow("no RS3") << good << true
                                << "no RaceStudio3 install found to install into at @NOWHERE@ (set its folders in "
                                   "Tools > Preferences)";
        QTest::newRow("empty art tree") << FileMap{{"c.zconf2", "C"}, {kArt + kTrack + "empty/", ""}} << false
                                        << "the bundle's art tree is empty";
        QTest::newRow("parent") << FileMap{{"../evil", "x"}} << false
                                << "could not read the bundle zip: unsafe zip entry (path traversal): ../evil";
        QTest::newRow("absolute") << FileMap{{"@WORK@/abs", "x"}} << false
                                  << "could not read the bundle zip: unsafe zip entry (path traversal): @WORK@/abs";
        QTest::newRow("drive") << FileMap{{"C:/x", "x"}} << false
                               << "could not read the bundle zip: unsafe zip entry (path traversal): C:/x";
    }

    void installRefusals()
    {
        QFETCH(FileMap, files);
        QFETCH(bool, noRs3);
        QFETCH(QString, error);
        Rs3Fixture rs3;
        if (noRs3) {
            QVERIFY(QDir(rs3.root(Rs3Fixture::Stable)).removeRecursively());
            QVERIFY(QDir(rs3.root(Rs3Fixture::Beta)).removeRecursively());
        }
        const QString work = TestEnvironment::makeTempDir();
        FileMap entries;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            entries.insert(QString(it.key()).replace("@WORK@", work), it.value());
        QVERIFY(ZipFixture::writeZip(work + "/zips/b.zip", entries));
        const FileMap before = ZipFixture::readTree(work);
        const FileMap installsBefore = ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/.."));
        ConfigBundleInstallResult result;
        result.artFileCount = -7;
        QString message;
        QVERIFY(!installConfigInstallBundle(work + "/zips/b.zip", work + "/placed", &result, &message));
        error.replace("@NOWHERE@", QDir::toNativeSeparators(rs3.root(Rs3Fixture::Stable)) + " or "
                                       + QDir::toNativeSeparators(rs3.root(Rs3Fixture::Beta)));
        QCOMPARE(message, error.replace("@WORK@", work));
        QCOMPARE(result.artFileCount, -7);
        QCOMPARE(ZipFixture::readTree(work), before);
        QVERIFY(!QFileInfo::exists(work + "/placed"));
        QCOMPARE(ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/..")), installsBefore);

        QVERIFY(!installConfigInstallBundle(work + "/missing.zip", work, nullptr, &message));
        QCOMPARE(message, "bundle zip not found: " + work + "/missing.zip");
    }

    void safeExtractionOfTheFolderItself()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeZip(work + "/dot.zip", QList<ZipFixtureEntry>{{"./", ""}}));
        QString error;
        QVERIFY(extractZipSafely(work + "/dot.zip", work + "/target", &error));
        QVERIFY(QFileInfo(work + "/target").isDir());
        QVERIFY(QDir(work + "/target").isEmpty());
        QVERIFY(!extractZipSafely(work + "/none.zip", work + "/target", &error));
        QCOMPARE(error, "could not open zip: " + work + "/none.zip");
    }

    void failedCopyKeepsOldArt()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work, {{"old/art.png", "old art"}, {"unreadable/x", "x"}}));
        QVERIFY(!copyFileCreatingDirs(work + "/unreadable", work + "/old/art.png"));
        QCOMPARE(fileBytes(work + "/old/art.png"), QByteArray("old art"));
        QVERIFY(copyFileCreatingDirs(work + "/unreadable/x", work + "/new/deep/art.png"));
        QCOMPARE(fileBytes(work + "/new/deep/art.png"), QByteArray("x"));

        // An install whose copy into the beta tree fails stops there, names
        // the file and why, and takes back what the stable tree received:
        // both installs are as they were, byte for byte.
        const QString zip = bundle();
        Rs3Fixture rs3;
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kTrack + "pMain.P2.xml", "older page"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, kTrack + "pMain.P2.xml", "older beta page"));
        QVERIFY(QDir().mkpath(rs3.absolutePath(Rs3Fixture::Beta, kItem + "mask.png/blocker")));
        const FileMap installs = ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/.."));
        QString error;
        QVERIFY(!installConfigInstallBundle(zip, work + "/placed", nullptr, &error, {}, replacing()));
        QCOMPARE(ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/..")), installs);
        const QString start = QString("failed to install %1 into %2: cannot write %3: it is not a regular file")
                                  .arg(kItem + "mask.png", rs3.root(Rs3Fixture::Beta),
                                       rs3.absolutePath(Rs3Fixture::Beta, kItem + "mask.png"));
        QVERIFY2(error.startsWith(start) && error.endsWith("; every file it had replaced was put back"),
                 qPrintable(error));
        QVERIFY(!QFileInfo::exists(rs3.absolutePath(Rs3Fixture::Stable, kItem + "mask.png")));
        QCOMPARE(fileBytes(rs3.absolutePath(Rs3Fixture::Stable, kTrack + "pMain.P2.xml")), QByteArray("older page"));
        QVERIFY(!QFileInfo::exists(work + "/placed"));
    }

    // A step of placing the configuration fails after others are done (a
    // store that cannot be read, a rename refused): every file is back as it
    // was, and so is the art. Only when a file cannot be put back does its
    // copy stay, and the error and the result name every copy.
    void failedPlacementPutsEverythingBack_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("error"); // @: the folder
        QTest::addColumn<bool>("putBack");
        QTest::newRow("store cannot be read")
            << "unreadable" << "could not keep a copy of @/Club Race.multibox.json: cannot read @/Club Race.multibox.json: "
            << true;
        QTest::newRow("a store cannot take its name")
            << "rename" << "could not replace @/Club Race.barcolor.json: the new file cannot be renamed to its name"
            << true;
        QTest::newRow("and the configuration cannot be put back")
            << "rename twice" << "could not replace @/Club Race.barcolor.json: the new file cannot be renamed to its name"
            << false;
    }
    void failedPlacementPutsEverythingBack()
    {
        QFETCH(QString, failure);
        QFETCH(QString, error);
        QFETCH(bool, putBack);
        const QString zip = bundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        // Art of other bytes is replaced and comes back; art of the same
        // bytes stays.
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, kItem + "mask.png", "old art"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", "track art"));
        const QString folder = TestEnvironment::makeTempDir("placed");
        QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.zconf2", "edited config"},
                                               {"Club Race.barcolor.json", "edited bars"}}));
        if (failure == "unreadable")
            QVERIFY(QDir().mkpath(folder + "/Club Race.multibox.json"));
        else
            QVERIFY(ZipFixture::writeTree(folder, {{"Club Race.multibox.json", "my boxes"}}));
        const FileMap before = ZipFixture::readTree(folder);
        const FileMap installs = ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/.."));
        setArchiveRenameFunction([&](const QString& from, const QString& to) {
            // The staged store may not take its name; in the last row the
            // replaced configuration may not come back either.
            const bool refused =
                (failure != "unreadable" && to == folder + "/Club Race.barcolor.json" && from.contains(".incoming-"))
                || (failure == "rename twice" && to == folder + "/Club Race.zconf2" && from.contains(".replaced-"));
            return !refused && QFile::rename(from, to);
        });
        ConfigBundleInstallResult result;
        QString said;
        const bool installed = installConfigInstallBundle(zip, folder, &result, &said, {}, replacing());
        setArchiveRenameFunction({});
        QVERIFY(!installed);
        error.replace('@', folder);
        QVERIFY2(said.startsWith(error), qPrintable(said));
        QCOMPARE(ZipFixture::readTree(::installRootOf(rs3.root(Rs3Fixture::Stable) + "/..")), installs);
        if (putBack) {
            QVERIFY2(said.endsWith("; every file it had replaced was put back"), qPrintable(said));
            QCOMPARE(ZipFixture::readTree(folder), before);
            QCOMPARE(result.kept(), QStringList());
            return;
        }
        const QStringList copies{folder + "/Club Race.bak.zconf2", folder + "/Club Race.bak.multibox.json",
                                 folder + "/Club Race.bak.barcolor.json"};
        QVERIFY2(said.endsWith("; not every file it had replaced could be put back, their copies are kept in:\n"
                               + QDir::toNativeSeparators(copies.join('\n'))),
                 qPrintable(said));
        QCOMPARE(result.keptFiles, copies);
        QCOMPARE(result.configPath, folder + "/Club Race.zconf2");
        QCOMPARE(fileBytes(copies[0]), QByteArray("edited config"));
        QCOMPARE(fileBytes(folder + "/Club Race.barcolor.json"), QByteArray("edited bars"));
        QCOMPARE(fileBytes(folder + "/Club Race.multibox.json"), QByteArray("my boxes"));
    }

    // The disk fills part way through the install, after the user chose to
    // replace their art: every old file is back byte for byte (taken back
    // by its second name in the backup, which needs no room), and what the
    // install added, folders too, is gone.
    void fullDiskAfterReplacePutsEveryOldFileBack()
    {
        const QByteArray big(4096, 'o');
        FileMap mine{{"pMain.P2.xml", "<my page/>"}};
        FileMap theirs{{"pMain.P2.xml", "<page/>"}, {"Items/md00/added/mask.png", "new"}};
        for (int i = 1; i <= 20; ++i) {
            const QString art = QString("Items/md%1/mask.png").arg(i, 2, 10, QLatin1Char('0'));
            mine.insert(art, big + QByteArray::number(i));
            // The first half of the bundle's art fits the disk, the rest not.
            theirs.insert(art, i <= 10 ? QByteArray::number(i) : QByteArray(4096, 'n'));
        }
        const QString zip = bundleOf({"Track"}, theirs);
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            for (auto it = mine.cbegin(); it != mine.cend(); ++it)
                QVERIFY(rs3.writeFile(which, homebrewFolder("Track") + it.key(), it.value()));
        }
        const FileMap before = rs3.snapshot();
        const QString folder = TestEnvironment::makeTempDir("placed");
        const ArtInUseCheck replaceOnASmallDisk{{}, [](const QList<ArtFolderInUse>&) {
                                                    FileSizeLimit::setSoftLimit(1024);
                                                    return ArtInUseAnswer::Replace;
                                                }};
        QString error;
        const auto install = [&](QString* e) {
            return installConfigInstallBundle(zip, folder, nullptr, e, {}, replaceOnASmallDisk);
        };
        QCOMPARE(FileSizeLimit::run(qint64(1) << 30, install, &error), FileSizeLimit::Outcome::ReportedFailure);
        QVERIFY2(error.contains("File too large") && error.endsWith("; every file it had replaced was put back"),
                 qPrintable(error));
        QCOMPARE(rs3.snapshot(), before);
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QVERIFY(!QFileInfo::exists(rs3.absolutePath(which, homebrewFolder("Track") + "Items/md00")));
        QVERIFY(!QFileInfo::exists(folder + "/Club Race.zconf2"));
    }

    // Two folder names that share their first 230 bytes are both shortened
    // to the same text for "_2": the second takes "_3", each keeps its own
    // art, and the placed configuration points at each once.
    void ownNamesAreUniqueWithinAnInstall()
    {
        const QString shared(115, QChar(0x00E9)); // 230 bytes in UTF-8
        const QStringList names{shared + QString(20, 'a'), shared + QString(20, 'b')};
        const QString zip = bundleOf(names, {{"Items/md1/mask.png", "bundle art"}});
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        for (const QString& name : names)
            writeTemplate(rs3, name, "mine");
        QStringList offered;
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, TestEnvironment::makeTempDir("placed"), &result, &error, {},
                                            keeping(&offered)),
                 qPrintable(error));
        QCOMPARE(offered.size(), 2);
        QVERIFY2(offered[0] != offered[1], qPrintable(offered.join('\n')));
        for (const QString& own : offered) {
            QVERIFY(shared.startsWith(own.chopped(2)));
            QCOMPARE(referencesIn(result.configPath, own), 1);
            QCOMPARE(fileBytes(rs3.absolutePath(Rs3Fixture::Stable, homebrewFolder(own) + "Items/md1/mask.png")),
                     QByteArray("bundle art"));
        }
        for (const QString& name : names)
            QCOMPARE(fileBytes(rs3.absolutePath(Rs3Fixture::Stable, homebrewFolder(name) + "Items/md1/mask.png")),
                     QByteArray("mine art"));
    }

    // An install killed half way through filling the folder of its own
    // leaves it; the next install knows it by its note and fills it again
    // under the same name, unless something it did not write is there.
    void unfinishedFolderOfItsOwnIsFilledAgain_data()
    {
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<QString>("own");
        QTest::newRow("as the install left it") << false << "Track_2";
        QTest::newRow("with a file of the user's") << true << "Track_3";
    }
    void unfinishedFolderOfItsOwnIsFilledAgain()
    {
        QFETCH(bool, userFile);
        QFETCH(QString, own);
        FileMap art;
        for (int i = 1; i <= 6; ++i)
            art.insert(QString("Items/md%1/mask.png").arg(i), "bundle art " + QByteArray::number(i));
        const QString zip = bundleOf({"Track"}, art);
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        writeTemplate(rs3, "Track", "mine");
        const QString folder = TestEnvironment::makeTempDir("placed");
        const QString left = rs3.absolutePath(Rs3Fixture::Stable, homebrewFolder("Track_2"));
        // Killed once three of the art files are written.
        FileSizeLimit::run(qint64(1) << 30, [&] {
            return installConfigInstallBundle(zip, folder, nullptr, nullptr, {}, keeping(), [&](int, int) {
                if (filesIn(left).size() >= 3)
                    ::_exit(9);
            });
        });
        const int written = filesIn(left).size();
        QVERIFY2(written > 0 && written < art.size(), qPrintable(QString::number(written)));
        if (userFile)
            QVERIFY(TestFiles::writeBytes(left + "notes.txt", "the user's notes"));

        QStringList offered;
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, folder, &result, &error, {}, keeping(&offered)), qPrintable(error));
        QCOMPARE(offered, QStringList{own});
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(filesIn(rs3.absolutePath(which, homebrewFolder(own))), art);
        QCOMPARE(fileBytes(left + "notes.txt"), QByteArray(userFile ? "the user's notes" : ""));
        // Whole and in use now, the folder is no install's to take back.
        QStringList again;
        QVERIFY2(installConfigInstallBundle(bundleOf({"Track"}, {{"Items/md1/mask.png", "other"}}), folder, &result,
                                            &error, {}, keeping(&again)),
                 qPrintable(error));
        QVERIFY2(again.value(0) != own, qPrintable(again.join(',')));
    }

    // Two homes with a template of one name: a bundle from the first,
    // installed on the second while a saved configuration there uses its
    // template, asks first (the gallery's bundles too), naming the
    // configuration and the files. Kept: every file of the user's folder is
    // as it was, and the bundle's art lies under a name of its own that the
    // placed configuration points at. Replaced: the user's files are in the
    // dated backup. Cancel: nothing at all is written.
    void installAsksBeforeReplacingArtInUse_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("answer"); // keep, replace, cancel, unasked
        QTest::addColumn<bool>("gallery");   // through the gallery's installer
        for (const QString& name : {QString("Track One"), QString("R&D \"Öl\" 'x'"), QString("鈴鹿 トラック")}) {
            for (const QString& answer : {"keep", "replace", "cancel"})
                QTest::addRow("%s, %s", qPrintable(name), qPrintable(answer)) << name << answer << false;
        }
        QTest::newRow("nobody to ask") << "Track One" << "unasked" << false;
        QTest::newRow("gallery, cancel") << "Track One" << "cancel" << true;
        QTest::newRow("gallery, nobody to ask") << "Track One" << "unasked" << true;
    }
    void installAsksBeforeReplacingArtInUse()
    {
        QFETCH(QString, name);
        QFETCH(QString, answer);
        QFETCH(bool, gallery);
        QString error;
        const QString zip = bundleFromFirstHome(name);
        QVERIFY(!zip.isEmpty());
        Rs3Fixture second;
        writeTemplate(second, name, "second");
        second.addUserConfig(Rs3Fixture::Stable, "cfg_001", "My Race", {deviceUsing(name)});
        const QString mine = second.absolutePath(Rs3Fixture::Stable, homebrewFolder(name));
        const FileMap before = Rs3Fixture::treeSnapshot(mine);
        const FileMap installs = second.snapshot();
        const QString folder =
            gallery ? gallery::ThemeInstaller::defaultConfigFolder() : TestEnvironment::makeTempDir("placed");
        QDir(folder).removeRecursively();

        QList<ArtFolderInUse> asked;
        ArtInUseCheck check;
        if (answer != "unasked")
            check.ask = [&](const QList<ArtFolderInUse>& folders) {
                asked << folders;
                return answer == "keep" ? ArtInUseAnswer::KeepMine
                    : answer == "replace" ? ArtInUseAnswer::Replace : ArtInUseAnswer::Cancel;
            };
        ConfigBundleInstallResult result;
        bool installed = false;
        if (gallery) {
            gallery::ThemeInstaller installer;
            installer.setArtInUseQuestion(check.ask);
            QSignalSpy cancelled(&installer, &gallery::ThemeInstaller::cancelled);
            QSignalSpy done(&installer, &gallery::ThemeInstaller::configInstalled);
            installed = installer.installBundleBytes(TestFiles::readBytes(zip));
            QCOMPARE(cancelled.size(), int(!installed));
            if (installed) {
                result.configPath = done[0][2].toString();
                result.ownFolders = done[0][4].toStringList();
            }
        } else {
            installed = installConfigInstallBundle(zip, folder, &result, &error, {}, check);
        }
        QVERIFY2(installed == (answer != "cancel"), qPrintable(error));
        if (answer != "unasked") {
            QCOMPARE(asked.size(), 1);
            QCOMPARE(asked[0].folderName, name);
            const QString users = asked[0].users.lines().join('\n');
            QVERIFY2(users.contains("My Race"), qPrintable(users));
            QCOMPARE(asked[0].changed, (QStringList{mine + "Items/md1/mask.png", mine + "bkg.png"}));
        }
        if (answer == "cancel") {
            QVERIFY(gallery || error == "the install was cancelled; nothing was changed");
            QCOMPARE(second.snapshot(), installs);
            QCOMPARE(ZipFixture::readTree(folder), FileMap());
            return;
        }
        if (answer == "replace") {
            QCOMPARE(fileBytes(mine + "Items/md1/mask.png"), QByteArray("first art"));
            QCOMPARE(fileBytes(result.keptArtFolder + "/1/" + homebrewFolder(name) + "Items/md1/mask.png"),
                     QByteArray("second art"));
            QCOMPARE(referencesIn(result.configPath, name), 1);
            return;
        }
        QCOMPARE(Rs3Fixture::treeSnapshot(mine), before);
        const QString own = name + "_2";
        QCOMPARE(result.ownFolders, QStringList{QString("\"%1\" installed as \"%2\"").arg(name, own)});
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(fileBytes(second.absolutePath(which, homebrewFolder(own) + "Items/md1/mask.png")),
                     QByteArray("first art"));
        QCOMPARE(referencesIn(result.configPath, name), 0);
        QCOMPARE(referencesIn(result.configPath, own), 1);
        QCOMPARE(QJsonDocument::fromJson(fileBytes(folder + "/Club Race.boxstyles.json")),
                 QJsonDocument::fromJson(boxRecordOf(homebrewFolder(own))));
        // The placed configuration opens, its mask showing the art it brought.
        DashConfig placed;
        QVERIFY2(placed.load(result.configPath, &error), qPrintable(error));
        QCOMPARE(findParamText(placed.page(0)->masks.at(0).node, "PATH_REL_AiM_MASK"),
                 homebrewFolder(own) + "Items/md1/");
        // The same bundle again takes the folder it filled before.
        ConfigBundleInstallResult again;
        QVERIFY2(installConfigInstallBundle(zip, folder, &again, &error, {}, check), qPrintable(error));
        QCOMPARE(again.ownFolders, result.ownFolders);
        QVERIFY(!QFileInfo::exists(second.absolutePath(Rs3Fixture::Stable, homebrewFolder(name + "_3"))));
        QCOMPARE(Rs3Fixture::treeSnapshot(mine), before);
    }

    // RaceStudio 3's own art (outside the homebrew set) in a bundle is only
    // added where an install lacks it: a file of other bytes there stays,
    // and the result names it; nobody is asked, for there is nothing to
    // keep apart.
    void stockArtIsOnlyAdded_data()
    {
        QTest::addColumn<QByteArray>("stable"); // what the stable install holds; empty: nothing
        QTest::addColumn<QByteArray>("beta");
        QTest::newRow("other bytes in one install, none in the other") << QByteArray("RS3's bar") << QByteArray();
        QTest::newRow("the same bytes in both") << QByteArray("bundle bar") << QByteArray("bundle bar");
        QTest::newRow("other bytes in both") << QByteArray("RS3's bar") << QByteArray("RS3's beta bar");
    }
    void stockArtIsOnlyAdded()
    {
        QFETCH(QByteArray, stable);
        QFETCH(QByteArray, beta);
        const QString bar = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/b_hbar/mask.png";
        Rs3Fixture rs3;
        const QList<QPair<Rs3Fixture::Root, QByteArray>> installs{{Rs3Fixture::Stable, stable},
                                                                 {Rs3Fixture::Beta, beta}};
        for (const auto& [which, bytes] : installs) {
            if (!bytes.isEmpty())
                QVERIFY(rs3.writeFile(which, bar, bytes));
        }
        const QString zip = TestEnvironment::makeTempDir("stock") + "/stock.zip";
        QVERIFY(ZipFixture::writeZip(zip, FileMap{{"c.zconf2", "C"}, {kArt + bar, "bundle bar"}}));
        bool asked = false;
        const ArtInUseCheck check{{}, [&asked](const QList<ArtFolderInUse>&) {
                                      asked = true;
                                      return ArtInUseAnswer::Replace;
                                  }};
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, TestEnvironment::makeTempDir("placed"), &result, &error, {}, check),
                 qPrintable(error));
        QVERIFY(!asked);
        int left = 0;
        for (const auto& [which, bytes] : installs) {
            const QString path = rs3.absolutePath(which, bar);
            QCOMPARE(fileBytes(path), bytes.isEmpty() ? QByteArray("bundle bar") : bytes);
            if (!bytes.isEmpty() && bytes != "bundle bar") {
                QVERIFY2(result.left.value(left++).endsWith(path + " is RaceStudio 3's own art, which a bundle never "
                                                                   "replaces"),
                         qPrintable(result.left.join('\n')));
            }
        }
        QCOMPARE(result.left.size(), left);
        QVERIFY(result.keptArtFolder.isEmpty());
    }

    // A folder name so long that "_2" would not fit a file name: the bundle's
    // art takes a shortened name of its own that does, offered before the
    // user chooses, and the install succeeds with the user's folder whole.
    void ownNameOfALongFolderFits()
    {
        const QString name = QString(240, QChar(0x00E9)).left(127); // 254 bytes in UTF-8
        QCOMPARE(name.toUtf8().size(), 254);
        const QString zip = bundleFromFirstHome(name);
        QVERIFY(!zip.isEmpty());
        Rs3Fixture second;
        writeTemplate(second, name, "second");
        const QString mine = second.absolutePath(Rs3Fixture::Stable, homebrewFolder(name));
        const FileMap before = Rs3Fixture::treeSnapshot(mine);
        QString offered;
        const ArtInUseCheck check{{}, [&offered](const QList<ArtFolderInUse>& folders) {
                                      offered = folders.value(0).ownName;
                                      return ArtInUseAnswer::KeepMine;
                                  }};
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, TestEnvironment::makeTempDir("placed"), &result, &error, {}, check),
                 qPrintable(error));
        QVERIFY2(offered.endsWith("_2") && name.startsWith(offered.chopped(2)), qPrintable(offered));
        QCOMPARE(FolderCopy::whyNameDoesNotFit(offered), QString());
        QCOMPARE(Rs3Fixture::treeSnapshot(mine), before);
        QCOMPARE(fileBytes(second.absolutePath(Rs3Fixture::Stable, homebrewFolder(offered) + "Items/md1/mask.png")),
                 QByteArray("first art"));
        QCOMPARE(referencesIn(result.configPath, offered), 1);
    }

    // A reference is renamed as the users count reads it: any letter case,
    // either separator, the name whole, characters stored escaped.
    void referenceRename_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("renamed");
        const QString p = "<p n=\"PATH_REL_AiM_MASK\">%1</p>";
        QTest::newRow("slashes") << p.arg("aim/x/s04_homebrew/R&amp;D/md1/")
                                 << p.arg("aim/x/s04_homebrew/R&amp;D_2/md1/");
        QTest::newRow("backslashes and case")
            << p.arg("aim\\x\\S04_HOMEBREW\\r&amp;d\\md1") << p.arg("aim\\x\\S04_HOMEBREW\\R&amp;D_2\\md1");
        QTest::newRow("a longer name stays") << p.arg("s04_homebrew/R&amp;D2/a") << p.arg("s04_homebrew/R&amp;D2/a");
        QTest::newRow("no separator after") << p.arg("s04_homebrew/R&amp;D") << p.arg("s04_homebrew/R&amp;D_2");
        QTest::newRow("in an attribute") << "<e src=\"s04_homebrew/R&amp;D/x\"/>"
                                         << "<e src=\"s04_homebrew/R&amp;D_2/x\" />";
    }
    void referenceRename()
    {
        QFETCH(QString, xml);
        QFETCH(QString, renamed);
        pugi::xml_document doc;
        QVERIFY(doc.load_string(xml.toUtf8().constData()));
        const int before = TemplateReferenceCount::inNode(doc, "R&D");
        QCOMPARE(TemplateReferenceRename::inNode(doc, "R&D", "R&D_2"), before);
        QCOMPARE(TemplateReferenceCount::inNode(doc, "R&D"), 0);
        QCOMPARE(QString::fromUtf8(xmlDocumentBytes(doc, "", 0)).trimmed().section('\n', -1), renamed);
    }

    // Several folders kept at once are renamed in one rewrite of the
    // archive and of each store; a longer name of one of them stays.
    void archiveRenamesEveryFolderAtOnce()
    {
        const QString folder = TestEnvironment::makeTempDir("renamed");
        const QString zconf2 = folder + "/Club Race.zconf2";
        const QByteArray device = "<e>" + deviceUsing("One") + deviceUsing("Two") + deviceUsing("One2") + "</e>";
        QVERIFY(ZipFixture::writeZip(zconf2, FileMap{{"dash/overlay.ov3.xml", device}}));
        QVERIFY(TestFiles::writeBytes(folder + "/Club Race.boxstyles.json", boxRecordOf(homebrewFolder("Two"))));
        const TemplateReferenceRename::Renames renames{{"One", "One_2"}, {"Two", "Two_2"}};
        QString error;
        QVERIFY2(TemplateReferenceRename::inArchive(zconf2, renames, &error), qPrintable(error));
        QVERIFY2(TemplateReferenceRename::inStores(zconf2, renames, &error), qPrintable(error));
        for (const char* name : {"One", "Two"})
            QCOMPARE(referencesIn(zconf2, name), 0);
        for (const char* name : {"One_2", "Two_2", "One2"})
            QCOMPARE(referencesIn(zconf2, name), 1);
        QCOMPARE(QJsonDocument::fromJson(fileBytes(folder + "/Club Race.boxstyles.json")),
                 QJsonDocument::fromJson(boxRecordOf(homebrewFolder("Two_2"))));
    }

    void installRootOf_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("install");
        QTest::newRow("overlay") << "C:/RS3/aim/resources/overlay" << "C:/RS3";
        QTest::newRow("case") << "C:/RS3/AIM/Resources/Overlay" << "C:/RS3";
        QTest::newRow("slashes") << "/opt/rs3///" << "/opt/rs3";
    }

    void installRootOf()
    {
        QFETCH(QString, root);
        QFETCH(QString, install);
        QCOMPARE(::installRootOf(root), install);
    }

    void raceStudioRunningProbe()
    {
        setRaceStudio3RunningProbe([] { return true; });
        QVERIFY(isRaceStudio3Running());
        setRaceStudio3RunningProbe([] { return false; });
        QVERIFY(!isRaceStudio3Running());
        setRaceStudio3RunningProbe({});
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!isRaceStudio3Running());
        QVERIFY(timer.elapsed() < 4500);
    }
};

KORV_GUI_TEST_MAIN(ConfigBundleTest)
#include "tst_configbundle.moc"
