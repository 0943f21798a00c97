// Install bundles meet a symbolic link or a special file in an install or
// beside a configuration: nothing is written through it or read from it,
// and it is named.
#include "artwork/SavedConfigLedger.h"
#include "gallery/ConfigBundleExport.h"
#include "gallery/ConfigBundleInstall.h"
#include "model/DashConfig.h"
#include "model/FileEntries.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const QString kStandard = "aim/resources/overlay/mxg_12/masks/set/standard/";
const QString kTrack = kStandard + QStringLiteral("s04_homebrew/Trąck & <Ünö>/");
const QString kItem = kTrack + "Items/md1/";
const QString kArt = "RS3_homebrew_folder/";

// "Club Race.zconf2" whose one mask shows the template's item.
QString writeConfig()
{
    ConfigFixture fixture;
    FixtureElement mask = Fx::mask("m1", 0, 0, 100, 40);
    mask.p("PATH_REL_AiM_MASK", kItem).p("PATH_IMAGE", "mask.png").add(Fx::label("m1l", "L", 0, 0, 100, 40));
    fixture.device().page("Main").mask(mask);
    const QString path = TestEnvironment::makeTempDir("cfg") + "/Club Race.zconf2";
    return fixture.writeZip(path) ? path : QString();
}

// A bundle carrying one homebrew template of two files, and the
// configuration that shows it.
QString writeBundle()
{
    const QString zip = TestEnvironment::makeTempDir("bundle") + "/club.zip";
    const QString config = writeConfig();
    const bool written = !config.isEmpty() && ZipFixture::writeZip(zip, QMap<QString, QByteArray>{
                                                       {"Club Race.zconf2", TestFiles::readBytes(config)},
                                                       {kArt + kTrack + "pMain.P2.xml", "<page/>"},
                                                       {kArt + kItem + "mask.png", "track art"},
                                                   });
    return written ? zip : QString();
}

} // namespace

class BundleLinksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One install's homebrew set is a link to the user's own folder: that
    // install is left as it is and named, and only the install written
    // counts. The art's name in the template folder is a link or a pipe:
    // what the folder holds cannot be compared, so it counts as other art,
    // and without a question the user's is kept and the bundle's goes to a
    // folder of its own in both installs.
    void installLeavesWhatALinkHolds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("linked homebrew set") << "set";
        QTest::newRow("linked picture") << "file";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("pipe") << "pipe";
    }
    void installLeavesWhatALinkHolds()
    {
        QFETCH(QString, kind);
        const QString zip = writeBundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        const QString users = TestEnvironment::makeTempDir("users");
        QVERIFY(TestFiles::writeBytes(users + "/photo.png", "the user's photo"));
        const QString set = rs3.absolutePath(Rs3Fixture::Stable, kStandard + "s04_homebrew");
        const QString picture = rs3.absolutePath(Rs3Fixture::Stable, kItem + "mask.png");
        QString named = picture;
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "set") {
            QVERIFY(QDir().mkpath(QFileInfo(set).path()));
            QVERIFY(QFile::link(users, set));
            named = set;
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(picture).path()));
            if (kind == "file")
                QVERIFY(QFile::link(users + "/photo.png", picture));
            else if (kind == "dangling")
                QVERIFY(QFile::link(users + "/new.png", picture));
            else
                QVERIFY((pipe = std::make_unique<FifoGuard>(picture))->made());
        }
        const auto usersBefore = Rs3Fixture::treeSnapshot(users);

        ConfigBundleInstallResult result;
        QString error;
        if (kind == "set") { // every file of the set is left
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^installConfigInstallBundle: "));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^installConfigInstallBundle: "));
        }
        const QString placed = TestEnvironment::makeTempDir("placed");
        QVERIFY2(installConfigInstallBundle(zip, placed, &result, &error), qPrintable(error));
        if (pipe)
            QVERIFY(!pipe->released());

        QCOMPARE(Rs3Fixture::treeSnapshot(users), usersBefore);
        const QFileInfo left(named);
        QVERIFY(kind == "pipe" ? !left.isFile() : left.isSymLink());
        const QString beta = rs3.root(Rs3Fixture::Beta);
        if (kind == "set") {
            QCOMPARE(TestFiles::readBytes(beta + "/" + kItem + "mask.png"), QByteArray("track art"));
            QVERIFY(!result.left.isEmpty());
            for (const QString& line : result.left)
                QVERIFY2(line.contains(named), qPrintable(line));
            // The linked set held all the stable install would have received.
            QCOMPARE(result.installRoots, QStringList{rs3.overlayRoot(Rs3Fixture::Beta)});
            QCOMPARE(result.artFileCount, 2);
            return;
        }
        QCOMPARE(result.left, QStringList());
        const QString own = kStandard + QStringLiteral("s04_homebrew/Trąck & <Ünö>_2/Items/md1/mask.png");
        QCOMPARE(result.ownFolders,
                 QStringList{QStringLiteral("\"Trąck & <Ünö>\" installed as \"Trąck & <Ünö>_2\"")});
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(TestFiles::readBytes(rs3.absolutePath(which, own)), QByteArray("track art"));
        QVERIFY(!QFileInfo::exists(beta + "/" + kItem + "mask.png"));
        QCOMPARE(result.installRoots,
                 (QStringList{rs3.overlayRoot(Rs3Fixture::Stable), rs3.overlayRoot(Rs3Fixture::Beta)}));
        QCOMPARE(result.artFileCount, 4);
    }

    // The template folder itself, or a folder of it, is a link to the
    // user's own art kept elsewhere: the install cannot compare it, so it
    // asks, naming the link. Whether the user keeps theirs or chose to
    // replace, nothing is written through the link: the user's folder and
    // the link stay as they are, and the placed configuration, listed for
    // the users search, shows the bundle's art from a folder of its own.
    void linkedTemplateFolderIsAskedAndKept_data()
    {
        QTest::addColumn<QString>("linkedPart");
        QTest::addColumn<int>("answer");
        QTest::newRow("folder, keep") << "" << int(ArtInUseAnswer::KeepMine);
        QTest::newRow("folder, replace") << "" << int(ArtInUseAnswer::Replace);
        QTest::newRow("its items, replace") << "Items" << int(ArtInUseAnswer::Replace);
    }
    void linkedTemplateFolderIsAskedAndKept()
    {
        QFETCH(QString, linkedPart);
        QFETCH(int, answer);
        const QString zip = writeBundle();
        QVERIFY(!zip.isEmpty());
        Rs3Fixture rs3;
        const QString mine = TestEnvironment::makeTempDir("mine");
        QVERIFY(ZipFixture::writeTree(mine, {{"pMain.P2.xml", "<page/>"}, {"Items/md1/mask.png", "my art"}}));
        const QString linked = rs3.absolutePath(Rs3Fixture::Stable, kTrack + linkedPart);
        QVERIFY(QDir().mkpath(QFileInfo(QDir::cleanPath(linked)).path()));
        QVERIFY(QFile::link(QDir::cleanPath(mine + '/' + linkedPart), QDir::cleanPath(linked)));
        const auto before = Rs3Fixture::treeSnapshot(mine);

        QList<ArtFolderInUse> asked;
        const ArtInUseCheck check{{}, [&asked, answer](const QList<ArtFolderInUse>& folders) {
                                      asked << folders;
                                      return ArtInUseAnswer(answer);
                                  }};
        ConfigBundleInstallResult result;
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, TestEnvironment::makeTempDir("placed"), &result, &error, {}, check),
                 qPrintable(error));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].folderName, QStringLiteral("Trąck & <Ünö>"));
        QCOMPARE(asked[0].ownName, QStringLiteral("Trąck & <Ünö>_2"));
        QCOMPARE(asked[0].keptThroughLink, QDir::cleanPath(linked));
        QVERIFY(QFileInfo(QDir::cleanPath(linked)).isSymLink());
        QCOMPARE(Rs3Fixture::treeSnapshot(mine), before);
        QCOMPARE(result.left, QStringList());
        QStringList listed;
        QVERIFY(SavedConfigLedger::read(listed));
        QVERIFY(listed.contains(result.configPath));

        DashConfig placed;
        QVERIFY2(placed.load(result.configPath, &error), qPrintable(error));
        const QString shown = findParamText(placed.page(0)->masks.at(0).node, "PATH_REL_AiM_MASK");
        QCOMPARE(shown, kStandard + QStringLiteral("s04_homebrew/Trąck & <Ünö>_2/Items/md1/"));
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(TestFiles::readBytes(rs3.absolutePath(which, shown + "mask.png")), QByteArray("track art"));
    }

    // A file an art folder links to (a private note, a folder elsewhere)
    // stays out of the bundle and is named; the folder's own files travel.
    void exportLeavesOutWhatALinkHolds()
    {
        Rs3Fixture rs3;
        const QString users = TestEnvironment::makeTempDir("users");
        QVERIFY(TestFiles::writeBytes(users + "/private.txt", "my private notes"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kTrack + "pMain.P2.xml", "<page/>"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", "track art"));
        const QString note = rs3.absolutePath(Rs3Fixture::Stable, kItem + "notes.txt");
        const QString away = rs3.absolutePath(Rs3Fixture::Stable, kTrack + "away");
        QVERIFY(QFile::link(users + "/private.txt", note));
        QVERIFY(QFile::link(users, away));
        FifoGuard pipe(rs3.absolutePath(Rs3Fixture::Stable, kTrack + "pipe.png"));
        QVERIFY(pipe.made());
        // A picture of the mask's own folder linked to a pipe: the mask's
        // pictures are gathered without waiting on it.
        const QString pipes = TestEnvironment::makeTempDir("pipes");
        const auto gone = qScopeGuard([pipes] { QDir(pipes).removeRecursively(); });
        FifoGuard linkedPipe(pipes + "/p");
        const QString glow = rs3.absolutePath(Rs3Fixture::Stable, kItem + "glow.png");
        QVERIFY(linkedPipe.made() && QFile::link(pipes + "/p", glow));
        DashConfig config;
        QString error;
        QVERIFY2(config.load(writeConfig(), &error), qPrintable(error));

        const QString zip = TestEnvironment::makeTempDir("out") + "/club.zip";
        QStringList missing;
        int artCount = -1;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^exportConfigInstallBundle: left out .*away"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^exportConfigInstallBundle: left out .*notes"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^exportConfigInstallBundle: left out .*pipe"));
        // The references are gathered twice: for the art, and for what is missing.
        for (int i = 0; i < 2; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^maskImageItems: left out .*glow.png is a symbolic"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^exportConfigInstallBundle: left out .*glow"));
        QVERIFY2(exportConfigInstallBundle(config, zip, &error, &missing, &artCount), qPrintable(error));
        QVERIFY(!pipe.released() && !linkedPipe.released());
        QCOMPARE(artCount, 2);
        const QMap<QString, QByteArray> entries = ZipFixture::readZip(zip);
        QCOMPARE(entries.value(kArt + kItem + "mask.png"), QByteArray("track art"));
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            QVERIFY2(!it.value().contains("private"), qPrintable(it.key()));
        QCOMPARE(missing.filter(note + " is a symbolic link").size(), 1);
        QCOMPARE(missing.filter(away + " is a symbolic link").size(), 1);
        QCOMPARE(missing.filter(glow + " is a symbolic link").size(), 1);
        QCOMPARE(missing.filter(" is not a regular file").size(), 1);
    }

    // The configuration's name or a store's beside it is a link or a pipe:
    // it is named, never read or written, and the install takes back its art.
    void refusesALinkBesideTheConfig_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("install, linked config") << false << "link" << "Club Race.zconf2";
        QTest::newRow("install, linked store") << false << "link" << "Club Race.barcolor.json";
        QTest::newRow("install, config a pipe") << false << "pipe" << "Club Race.zconf2";
        QTest::newRow("export, linked store") << true << "link" << "Club Race.boxstyles.json";
        QTest::newRow("export, store a pipe") << true << "pipe" << "Club Race.boxstyles.json";
    }
    void refusesALinkBesideTheConfig()
    {
        QFETCH(bool, exporting);
        QFETCH(QString, kind);
        QFETCH(QString, name);
        Rs3Fixture rs3;
        const QString users = TestEnvironment::makeTempDir("users");
        const QByteArray mine = R"({"secret": 1})"; // a store as it would read
        QVERIFY(TestFiles::writeBytes(users + "/mine", mine));
        if (exporting)
            QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", "track art"));
        const QString configPath = exporting ? writeConfig() : QString();
        const QString folder = exporting ? QFileInfo(configPath).path() : TestEnvironment::makeTempDir("placed");
        const QString there = folder + "/" + name;
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "pipe")
            QVERIFY((pipe = std::make_unique<FifoGuard>(there))->made());
        else
            QVERIFY(QFile::link(users + "/mine", there));

        QString error;
        const QString zip = exporting ? TestEnvironment::makeTempDir("out") + "/club.zip" : writeBundle();
        QVERIFY(!zip.isEmpty());
        if (exporting) {
            DashConfig config;
            QVERIFY2(config.load(configPath, &error), qPrintable(error));
            QVERIFY(!exportConfigInstallBundle(config, zip, &error));
            QVERIFY(!QFileInfo::exists(zip));
        } else {
            QVERIFY(!installConfigInstallBundle(zip, folder, nullptr, &error));
            for (const Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
                QVERIFY(!QFileInfo::exists(rs3.absolutePath(root, kItem + "mask.png")));
        }
        QVERIFY2(error.contains(there), qPrintable(error));
        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(TestFiles::readBytes(users + "/mine"), mine);
        QCOMPARE(QDir(users).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"mine"});
    }

    // The export's working file beside the chosen name is a link (to the
    // user's notes) or a pipe: it is named and left as it is, nothing is
    // written through it and no bundle is reported; a plain one left by an
    // earlier run is written over.
    void workingFileInTheWay_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named"); // empty: the export succeeds
        QTest::newRow("link to the user's notes") << "link" << "is a symbolic link";
        QTest::newRow("pipe") << "pipe" << "is not a regular file";
        QTest::newRow("plain file left over") << "plain" << "";
    }
    void workingFileInTheWay()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        Rs3Fixture rs3;
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kItem + "mask.png", "track art"));
        const QString out = TestEnvironment::makeTempDir("out");
        const QString zip = out + "/bundle.zip";
        const QString working = zip + ".tmp";
        const QByteArray notes = "the user's notes";
        QVERIFY(TestFiles::writeBytes(out + "/notes.txt", notes));
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "link")
            QVERIFY(QFile::link(out + "/notes.txt", working));
        else if (kind == "pipe")
            QVERIFY((pipe = std::make_unique<FifoGuard>(working))->made());
        else
            QVERIFY(TestFiles::writeBytes(working, "half a zip"));
        DashConfig config;
        QString error;
        QVERIFY2(config.load(writeConfig(), &error), qPrintable(error));

        QCOMPARE(exportConfigInstallBundle(config, zip, &error), named.isEmpty());
        QCOMPARE(TestFiles::readBytes(out + "/notes.txt"), notes);
        if (named.isEmpty()) {
            QCOMPARE(FileEntries::kindOf(zip), FileEntries::Kind::Regular);
            QCOMPARE(ZipFixture::readZip(zip).value(kArt + kItem + "mask.png"), QByteArray("track art"));
            QVERIFY(!QFileInfo::exists(working));
        } else {
            QVERIFY2(error.contains(working + ": " + QString(named).replace("is ", "it is ")), qPrintable(error));
            QCOMPARE(FileEntries::kindOf(zip), FileEntries::Kind::Missing);
            QCOMPARE(FileEntries::kindOf(working),
                     kind == "link" ? FileEntries::Kind::Link : FileEntries::Kind::Other);
        }
        if (pipe)
            QVERIFY(!pipe->released());
    }
};

KORV_GUI_TEST_MAIN(BundleLinksTest)
#include "tst_bundlelinks.moc"
