#include "artwork/ArtworkApplyResult.h"
#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkTarget.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

const char* const kItem = "aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/";
const char* const kBoxItem = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_config/Items/box_md_01/";
const char* const kLocalItem = "aim/resources/overlay/mxg_12/masks/set/standard/s09/local/Items/l/";
const char* const kGoneItem = "aim/resources/overlay/mxg_12/masks/set/standard/s09/gone/";

using Files = QMap<QString, QByteArray>;

Files filesOf(const QString& folder)
{
    Files files;
    for (const QFileInfo& fi : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile f(fi.absoluteFilePath());
        f.open(QIODevice::ReadOnly);
        files.insert(fi.fileName(), f.readAll());
    }
    return files;
}

// A source folder as a user leaves it after editing an export.
QString sourceFolder(const QSize& size, const QColor& colour = Qt::green)
{
    const QString dir = TestEnvironment::makeTempDir("source");
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    image.save(dir + "/mask.png", "PNG");
    QFile(dir + "/README.txt").open(QIODevice::WriteOnly);
    QFile thumbs(dir + "/Thumbs.db");
    thumbs.open(QIODevice::WriteOnly);
    thumbs.write("junk");
    QFile extra(dir + "/m2on0.png");
    extra.open(QIODevice::WriteOnly);
    extra.write("ON");
    return dir;
}

int backupCount()
{
    return QDir(appDataDir() + "/artwork_backups").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

} // namespace

class ArtworkReplaceTest : public QObject {
    Q_OBJECT

    // Page 0 (unnamed): the element to replace (no device image, a border
    // colour) and "RPM" on the same art. Page 1 "Race": the same art again at
    // index 4, an element on generated box art, one on art only beside the
    // program, one on art not installed, one without a folder, one with a
    // path climbing out of the install, one without a size.
    static QString writeConfig()
    {
        ConfigFixture cfg;
        FixtureDevice& device = cfg.device();
        device.page("")
            .mask(Fx::mask("md.01", 10, 20, 120, 60)
                      .p("PATH_REL_AiM_MASK", kItem)
                      .p("PATH_IMAGE", "mask.png")
                      .p("M_BCOL", "0xffff0000"))
            .mask(Fx::mask("RPM", 0, 0, 120, 60).p("PATH_REL_AiM_MASK", kItem).p("PATH_IMAGE_SFONDO_FW", "mask.tgz"));
        device.page("Race")
            .mask(Fx::mask("box", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", kBoxItem))
            .mask(Fx::mask("local", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", kLocalItem))
            .mask(Fx::mask("gone", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", kGoneItem))
            .mask(Fx::mask("nofolder", 0, 0, 100, 50))
            .mask(Fx::mask("", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", kItem))
            .mask(Fx::mask("hostile", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", "aim/resources/overlay/../../../x/"))
            .mask(Fx::mask("nosize", 0, 0, 100, 50).without("WIDTH").p("PATH_REL_AiM_MASK", kItem))
            .mask(Fx::mask("huge", 0, 0, 60000, 40000).p("PATH_REL_AiM_MASK", kGoneItem));
        return cfg.writeTempZip();
    }

    static void install(const Rs3Fixture& fx)
    {
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kItem, QSize(120, 60), Qt::red));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kItem) + "README.txt", "old notes"));
        QVERIFY(fx.addArtItem(Rs3Fixture::Beta, kItem, QSize(120, 60), Qt::blue));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, QString(kItem) + "mask.tgz", "old device image"));
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kBoxItem, QSize(100, 50)));
        QVERIFY(fx.addArtItem(Rs3Fixture::Local, kLocalItem, QSize(100, 50)));
    }

private Q_SLOTS:
    void replaceWritesEveryInstallAndRestoreGivesTheOriginalBack()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, kItem);
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, kItem);
        const Files stableBefore = filesOf(stable);
        const Files betaBefore = filesOf(beta);

        const ArtworkParams params = config.captureArtworkParams(0, 0);
        QVERIFY(params.relPathPresent && params.imagePresent && params.borderColourPresent);
        QVERIFY(!params.sfondoPresent && !params.fitSrcPresent);
        QCOMPARE(params.relPath, QString(kItem));
        QCOMPARE(params.borderColour, QStringLiteral("0xffff0000"));

        const QString source = sourceFolder(QSize(120, 60));
        ArtworkApplyResult result;
        QString error;
        QVERIFY2(config.applyArtwork(0, 0, source, false, &result, &error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(result.filesPerFolder, 3);
        QCOMPARE(result.relPath, QString(kItem));
        QCOMPARE(result.backups.size(), 2);

        for (const QString& folder : {stable, beta}) {
            QCOMPARE(QImage(folder + "mask.png").pixelColor(5, 5), QColor(Qt::green));
            const QImage device = TgzImage::decodeFile(folder + "mask.tgz");
            QCOMPARE(device.size(), QSize(120, 60));
            QCOMPARE(device.pixelColor(5, 5), QColor(Qt::green));
            QCOMPARE(filesOf(folder).value("m2on0.png"), QByteArray("ON"));
            QVERIFY(!QFileInfo::exists(folder + "Thumbs.db"));
        }
        QCOMPARE(filesOf(stable).value("README.txt"), QByteArray("old notes"));
        // Every old file was saved, the old README too.
        QCOMPARE(QFileInfo(result.backups[0].backupDir).fileName(), QStringLiteral("root0_a"));
        QCOMPARE(QFileInfo(result.backups[1].backupDir).fileName(), QStringLiteral("root1_a"));
        QCOMPARE(filesOf(result.backups[0].backupDir), stableBefore);
        QCOMPARE(filesOf(result.backups[1].backupDir), betaBefore);
        QCOMPARE(result.backups[0].createdNames, QStringList({"mask.tgz", "m2on0.png"}));
        QCOMPARE(result.backups[1].createdNames, QStringList({"m2on0.png"}));

        // The element now has a device image and no border colour.
        const pugi::xml_node node = config.pages[0].masks[0].node;
        QCOMPARE(paramValue(node, "PATH_IMAGE_SFONDO_FW"), QByteArray("mask.tgz"));
        QVERIFY(!node.find_child_by_attribute("p", "n", "M_BCOL"));
        QVERIFY(config.devices[0]->dirty);

        QVERIFY(restoreArtworkBackup(result.backups, &error));
        QCOMPARE(filesOf(stable), stableBefore);
        QCOMPARE(filesOf(beta), betaBefore);
    }

    void failureInTheSecondInstallRollsTheFirstBack()
    {
        Rs3Fixture fx;
        install(fx);
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, kItem);
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, kItem);
        QVERIFY(QFile::remove(beta + "mask.png"));
        QVERIFY(QDir().mkpath(beta + "mask.png"));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QByteArray xml = ConfigSnapshot::documents(config);
        const Files stableBefore = filesOf(stable);
        const Files betaBefore = filesOf(beta);

        QString error;
        QVERIFY(!config.applyArtwork(0, 0, sourceFolder(QSize(120, 60)), false, nullptr, &error));
        QVERIFY2(error.contains(beta + "mask.png"), qPrintable(error));
        QVERIFY(error.endsWith("\n\nNothing was changed. If RaceStudio 3 is open, close it -- it holds mask.png open "
                               "and the write then fails."));
        QCOMPARE(filesOf(stable), stableBefore);
        QCOMPARE(filesOf(beta), betaBefore);
        QCOMPARE(ConfigSnapshot::documents(config), xml);
        QVERIFY(!config.devices[0]->dirty);
    }

    void linkInAStockItem_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<QString>("name");
        QTest::newRow("first install's picture") << int(Rs3Fixture::Stable) << "mask.png";
        QTest::newRow("second install's picture") << int(Rs3Fixture::Beta) << "mask.png";
        QTest::newRow("an extra file") << int(Rs3Fixture::Beta) << "m2on0.png";
    }

    // A file of AiM's art linked to a user's own photo: the photo is never
    // written, the refusal names the link, and every install is as it was.
    void linkInAStockItem()
    {
        QFETCH(int, root);
        QFETCH(QString, name);
        Rs3Fixture fx;
        install(fx);
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, kItem);
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, kItem);
        const QString photo = TestEnvironment::makeTempDir("photos") + "/holiday.png";
        QVERIFY(ZipFixture::writeTree(QFileInfo(photo).path(), {{"holiday.png", "the user's photo"}}));
        const QString link = fx.absolutePath(Rs3Fixture::Root(root), kItem) + name;
        QFile::remove(link);
        QVERIFY(QFile::link(photo, link));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QByteArray xml = ConfigSnapshot::documents(config);
        const Files stableBefore = filesOf(stable);
        const Files betaBefore = filesOf(beta);

        QString error;
        QVERIFY(!config.applyArtwork(0, 0, sourceFolder(QSize(120, 60)), false, nullptr, &error));
        QVERIFY2(error.contains(link + " is a symbolic link"), qPrintable(error));
        QCOMPARE(ZipFixture::readTree(QFileInfo(photo).path()), (Files{{"holiday.png", "the user's photo"}}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(filesOf(stable), stableBefore);
        QCOMPARE(filesOf(beta), betaBefore);
        QCOMPARE(ConfigSnapshot::documents(config), xml);
    }

    void refusals_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QSize>("art"); // 0 x 0: no mask.png; -1 x -1: a mask.png that is no picture
        QTest::addColumn<bool>("allowScale");
        QTest::addColumn<QString>("error"); // "%S": the source folder, "%L": the item beside the program

        const QString mismatch = "mask.png is 200 x 100 but this element is declared 120 x 60.\n\nThe dash paints "
                                 "the art at the ART's size while both editors draw the declared rectangle, so a mismatch "
                                 "looks right on screen and wrong on the dash. Re-export it at 120 x 60, or let "
                                 "Korvelanto scale it.";
        QTest::newRow("size mismatch") << 0 << 0 << QSize(200, 100) << false << mismatch;
        QTest::newRow("size mismatch, scaled") << 0 << 0 << QSize(200, 100) << true << QString();
        QTest::newRow("only junk and extra files")
            << 0 << 0 << QSize(0, 0) << true
            << "no mask.png in\n%S\n\nThe folder must contain a file called exactly mask.png -- that is the one the "
               "dash paints.";
        QTest::newRow("not a picture") << 0 << 0 << QSize(-1, -1) << true << "%S/mask.png is not a readable PNG";
        QTest::newRow("no declared size")
            << 1 << 6 << QSize(100, 50) << true
            << "this element has no declared size (WIDTH/HEIGHT), so there is nothing to check the artwork against";
        QTest::newRow("declared larger than any device art")
            << 1 << 7 << QSize(100, 50) << true
            << "this element is declared 60000 x 40000, which is too large for device artwork";
        QTest::newRow("generated box art")
            << 1 << 0 << QSize(100, 50) << false
            << "This box's artwork is drawn by Korvelanto from its box style (or scaled from AiM's art), and is "
               "redrawn whenever the box is resized or its artwork is refreshed. Your image would be replaced "
               "without warning.\n\nSet the box style to \"Clean (no box)\" first; that puts AiM's own artwork "
               "back, and that one you can replace.";
        QTest::newRow("only beside the program")
            << 1 << 1 << QSize(100, 50) << false
            << "the artwork folder is only readable, not writable, on this machine:\n%L";
        QTest::newRow("not installed") << 1 << 2 << QSize(100, 50) << false
                                       << "the artwork folder is not on this machine:\n" + QString(kGoneItem)
                + "\n\nLooked for it in %G. If RaceStudio 3 keeps it elsewhere, set its folders in Tools > Preferences.";
        QTest::newRow("no folder") << 1 << 3 << QSize(100, 50) << false
                                   << "this element has no artwork folder (no PATH_REL_AiM_MASK)";
        QTest::newRow("climbs out of the install")
            << 1 << 5 << QSize(100, 50) << false
            << "the artwork folder is not a plain folder inside a RaceStudio 3 install:\n"
               "aim/resources/overlay/../../../x/";
        QTest::newRow("no such element") << 0 << 9 << QSize(100, 50) << false << "no such element";
    }

    void refusals()
    {
        QFETCH(int, page);
        QFETCH(int, mask);
        QFETCH(QSize, art);
        QFETCH(bool, allowScale);
        QFETCH(QString, error);
        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, kItem);
        const Files before = filesOf(stable);
        const QByteArray xml = ConfigSnapshot::documents(config);
        const int backups = backupCount();

        const QString source = sourceFolder(art.isEmpty() ? QSize(1, 1) : art);
        if (art.isEmpty()) {
            QFile png(source + "/mask.png");
            QVERIFY(png.open(QIODevice::WriteOnly | QIODevice::Truncate));
            png.write("not a picture");
            png.close();
            if (art == QSize(0, 0))
                QVERIFY(png.remove());
        }
        error.replace("%S", source);
        error.replace("%L", QDir::cleanPath(fx.absolutePath(Rs3Fixture::Local, kLocalItem)));
        const auto gone = [&fx](Rs3Fixture::Root root) {
            QString path = fx.absolutePath(root, kGoneItem);
            while (path.endsWith('/'))
                path.chop(1);
            return QDir::toNativeSeparators(path);
        };
        error.replace("%G", gone(Rs3Fixture::Stable) + " or " + gone(Rs3Fixture::Beta));

        ArtworkApplyResult result;
        QString text = "stale";
        const bool ok = config.applyArtwork(page, mask, source, allowScale, &result, &text);
        QCOMPARE(text, error);
        QCOMPARE(ok, error.isEmpty());
        if (ok) {
            // Scaled to the declared size, not cropped.
            QVERIFY(result.sizeMismatch);
            QCOMPARE(result.artSize, QSize(200, 100));
            QCOMPARE(TgzImage::decodeFile(stable + "mask.tgz").size(), QSize(120, 60));
            QCOMPARE(QImage(stable + "mask.png").size(), QSize(120, 60));
            return;
        }
        QCOMPARE(filesOf(stable), before);
        QCOMPARE(ConfigSnapshot::documents(config), xml);
        QCOMPARE(backupCount(), backups);
    }

    void backupsOfQuickReplacementsNeverShareAFolder()
    {
        QStringList roots;
        for (int i = 0; i < 5; ++i) {
            const QString root = createArtworkBackupRoot();
            QVERIFY(QFileInfo(root).isDir());
            // Dated to the millisecond, so quick replacements sort in order.
            QVERIFY2(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}(_\\d+)?$").match(QFileInfo(root).fileName()).hasMatch(),
                     qPrintable(root));
            QVERIFY(!roots.contains(root));
            roots << root;
        }

        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const Files original = filesOf(fx.absolutePath(Rs3Fixture::Stable, kItem));
        ArtworkApplyResult first;
        ArtworkApplyResult second;
        QVERIFY(config.applyArtwork(0, 0, sourceFolder(QSize(120, 60), Qt::green), false, &first));
        QVERIFY(config.applyArtwork(0, 0, sourceFolder(QSize(120, 60), Qt::yellow), false, &second));
        QVERIFY(first.backups[0].backupDir != second.backups[0].backupDir);
        QCOMPARE(filesOf(first.backups[0].backupDir), original);
    }

    void elementWithDeviceImageKeepsItsXml()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QByteArray xml = ConfigSnapshot::documents(config);
        QVERIFY(config.applyArtwork(0, 1, sourceFolder(QSize(120, 60)), false));
        QCOMPARE(ConfigSnapshot::documents(config), xml);
        QVERIFY(!config.devices[0]->dirty);

        // The installed folder itself is no source for its own replacement.
        const QString installed = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, kItem));
        const Files before = filesOf(installed);
        QString error;
        QVERIFY(!config.applyArtwork(0, 1, installed, false, nullptr, &error));
        QCOMPARE(error, "the chosen folder is the installed artwork itself:\n" + installed
                            + "\n\nExport the artwork to another folder, edit it there and replace from that folder.");
        QCOMPARE(filesOf(installed), before);
    }

    void linkedInstallIsWrittenOnce()
    {
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kItem, QSize(120, 60)));
        QVERIFY(QFile::link(fx.overlayRoot(Rs3Fixture::Stable) + "/mxg_12",
                            fx.overlayRoot(Rs3Fixture::Beta) + "/mxg_12"));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        ArtworkTarget target;
        QVERIFY(config.resolveReplaceableArtwork(0, 0, &target));
        QCOMPARE(target.targetFolders, QStringList({QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, kItem))}));
        QVERIFY(target.stockArt);
        QVERIFY(target.noDeviceImage);
        QCOMPARE(target.sharedWith, QStringList({"Page 1 / RPM", "Race / element 4", "Race / nosize"}));
    }

    // A link pointing nowhere where a coloured bar's replacement would make
    // its own folder (so the name looks free) is the user's: named, left,
    // and nothing is made where it leads.
    void linkInPlaceOfTheOwnFolderIsLeft()
    {
        const QString bar = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_x/Items/b1/";
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("mb.01", 0, 0, 120, 60).p("PATH_REL_AiM_MASK", bar));
        const QString zip = cfg.writeTempZip();
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, bar, QSize(120, 60)));
        const QString source = sourceFolder(QSize(120, 60));
        QString own; // the folder a first replacement makes, then a link
        for (bool first : {true, false}) {
            DashConfig config;
            QVERIFY(config.load(zip));
            ArtworkApplyResult result;
            QString error;
            QCOMPARE(config.applyArtwork(0, 0, source, false, &result, &error), first);
            if (!first) {
                QVERIFY2(error.endsWith(own + " is a symbolic link"), qPrintable(error));
                break;
            }
            own = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, result.relPath.section("/Items/", 0, 0)));
            QVERIFY(QDir(own).removeRecursively() && QFile::link(own + ".gone", own));
        }
        QVERIFY(QFileInfo(own).isSymLink());
        QVERIFY(!QFileInfo::exists(own + ".gone"));
    }

    void restoreReportsAMissingBackup()
    {
        const QString folder = TestEnvironment::makeTempDir("folder");
        const QString gone = folder + "/no-such-backup";
        QString error;
        QVERIFY(restoreArtworkBackup({}, &error));
        QVERIFY(error.isEmpty());
        QVERIFY(!restoreArtworkBackup({ArtworkBackup{folder, gone, {}, {}}}, &error));
        QCOMPARE(error, "the saved copy is gone: " + gone);
    }
};

KORV_GUI_TEST_MAIN(ArtworkReplaceTest)
#include "tst_artworkreplace.moc"
