#include "artwork/ArtworkExportInfo.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

#include <memory>

namespace {

const char* const kOrigin = "aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/";

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

// The README of a decoded, correctly sized export of "md.01" shared with
// one other element, as the user receives it.
QByteArray expectedReadme(const QString& sourceFolder)
{
    return QByteArray("Korvelanto -- exported element artwork\r\n"
                      "=====================================\r\n"
                      "\r\n"
                      "Element   : md.01\r\n"
                      "Came from : ")
        + sourceFolder.toUtf8()
        + QByteArray(
            "\r\n"
            "\r\n"
            "REQUIRED SIZE: 120 x 60 pixels\r\n"
            "Save mask.png at EXACTLY that size. Korvelanto refuses a different size on\r\n"
            "import rather than rescaling behind your back: art that is not the element's\r\n"
            "declared size is painted at the ART's size by the dash firmware while both\r\n"
            "editors draw the declared rectangle, so it looks right on screen and wrong on the\r\n"
            "dash. (It will offer to fit it for you, and that is a scale -- not a crop.)\r\n"
            "\r\n"
            "WHICH FILE IS AUTHORITATIVE\r\n"
            "---------------------------\r\n"
            "mask.png here was DECODED from mask.tgz -- the file the dash itself paints --\r\n"
            "not copied from the mask.png that sat beside it. Those two drift. Edit\r\n"
            "mask.png; on import Korvelanto re-encodes it to mask.tgz and writes both.\r\n"
            "\r\n"
            "WHAT THE DASH CAN ACTUALLY SHOW\r\n"
            "-------------------------------\r\n"
            "The device format is ARGB1555: FIVE bits per colour channel and ONE bit of\r\n"
            "alpha. So:\r\n"
            "  * 32 levels per channel -- fine gradients will band;\r\n"
            "  * a pixel is either fully opaque or fully transparent. There is no partial\r\n"
            "    alpha, so NO soft edge, NO drop shadow and NO anti-aliasing survives\r\n"
            "    against transparency. Anything under 50% alpha disappears; anything over\r\n"
            "    it goes solid. Feathered logo edges come back as jagged ones.\r\n"
            "  * If you want smooth edges, put them against a SOLID background inside the\r\n"
            "    image instead of against transparency.\r\n"
            "\r\n"
            "THE OTHER FILES\r\n"
            "---------------\r\n"
            "Everything else in this folder is the element's slot definition and its extra\r\n"
            "art (*.M2.xml, needle.tgz, scala_*.png scale frames, bkg*.tgz). They are copied\r\n"
            "back verbatim on import, so leave them alone unless you know what they do.\r\n"
            "Only mask.png is re-encoded; the other .tgz files are copied byte for byte.\r\n"
            "\r\n"
            "SHARED FOLDER\r\n"
            "-------------\r\n"
            "This artwork folder is ALSO used by: Main / md.02\r\n"
            "On import the artwork is replaced IN PLACE, so every element listed above\r\n"
            "changes with it. Korvelanto saves the old artwork first and Undo puts it\r\n"
            "back.\r\n"
            "\r\n"
            "Do not rename mask.png. Do not add an alpha channel you do not want\r\n"
            "hard-clipped. Import with: right-click the element -> Replace artwork from folder.\r\n");
}

} // namespace

class ArtworkExportTest : public QObject {
    Q_OBJECT

    static QString writeConfig()
    {
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("md.01", 10, 20, 120, 60)
                      .p("PATH_REL_AiM_MASK", kOrigin)
                      .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                      .add(Fx::digit("d1", 0, 0, 120, 60)))
            .mask(Fx::mask("md.02", 0, 0, 120, 60).p("PATH_REL_AiM_MASK", kOrigin));
        return cfg.writeTempZip();
    }

    static void install(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kOrigin, QSize(100, 50)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "on.png", "ON"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "Thumbs.db", "junk"));
    }

private Q_SLOTS:
    void styledBoxExportsWhatTheDashPaints()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "accent_bottom", 0xFF00FF00u, false, 0, QString(), 0));
        // The item the style was drawn into, named after its picture.
        const QByteArray boxItem = paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK");
        QVERIFY(boxItem.contains("/zbox_config/Items/box_dash_p1_md_01_"));
        setParam(config.pages[0].masks[1].node, "PATH_REL_AiM_MASK", boxItem);
        const QString item = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, QString::fromUtf8(boxItem)));
        // The editor picture beside the device image is stale: the export
        // must show what the dash paints.
        QImage stale(120, 60, QImage::Format_ARGB32);
        stale.fill(Qt::magenta);
        QVERIFY(stale.save(item + "/mask.png"));
        // A read-only file already in the target is overwritten.
        const QString target = TestEnvironment::makeTempDir("export") + "/new/folder";
        QVERIFY(QDir().mkpath(target));
        QFile old(target + "/on.png");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("OLD");
        old.close();
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner));

        ArtworkExportInfo info;
        QString error;
        QVERIFY2(config.exportElementArtwork(0, 0, target, &info, &error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(info.relFolder, QString::fromUtf8(boxItem));
        QCOMPARE(info.sourceFolder, item);
        QCOMPARE(info.declaredSize, QSize(120, 60));
        QCOMPARE(info.artSize, QSize(120, 60));
        QVERIFY(info.decodedFromTgz);
        QVERIFY(!info.noDeviceArt);
        QCOMPARE(info.writtenFiles, QStringList({"mask.png", "a.M2.xml", "mask.tgz", "on.png", "README.txt"}));
        QCOMPARE(info.sharedWith, QStringList({"Main / md.02"}));

        const QImage png(target + "/mask.png");
        QCOMPARE(png.size(), QSize(120, 60));
        QCOMPARE(png.convertToFormat(QImage::Format_ARGB32), TgzImage::decodeFile(item + "/mask.tgz"));
        QCOMPARE(filesOf(target).value("on.png"), QByteArray("ON"));
        QVERIFY(!QFileInfo::exists(target + "/Thumbs.db"));
        QCOMPARE(filesOf(target).value("README.txt"), expectedReadme(item));
    }

    void exportIntoTheArtworkFolderIsRefused_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("same path") << "";
        QTest::newRow("trailing slash") << "/";
        QTest::newRow("through a link") << "link";
    }

    void exportIntoTheArtworkFolderIsRefused()
    {
        QFETCH(QString, suffix);
        Rs3Fixture fx;
        install(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QString folder = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, kOrigin));
        const Files before = filesOf(folder);
        QString target = folder + suffix;
        if (suffix == "link") {
            target = TestEnvironment::makeTempDir("link") + "/art";
            QVERIFY(QFile::link(folder, target));
        }
        ArtworkExportInfo info;
        QString error;
        QVERIFY(!config.exportElementArtwork(0, 0, target, &info, &error));
        QCOMPARE(error, "cannot export into the artwork's own folder:\n" + target + "\n\nChoose another folder.");
        QCOMPARE(filesOf(folder), before);
        QVERIFY(info.writtenFiles.isEmpty());
    }

    void unreadableDeviceImageExportsTheEditorPicture()
    {
        Rs3Fixture fx;
        install(fx);
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "mask.tgz", "not a device image"));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QString target = TestEnvironment::makeTempDir("export");
        ArtworkExportInfo info;
        QVERIFY(config.exportElementArtwork(0, 0, target, &info));
        QVERIFY(!info.decodedFromTgz);
        QVERIFY(!info.noDeviceArt);
        QCOMPARE(info.artSize, QSize(100, 50));
        QCOMPARE(QImage(target + "/mask.png").pixelColor(3, 3), QColor(Qt::red));
        const QByteArray readme = filesOf(target).value("README.txt");
        QVERIFY(readme.contains("NOTE: the art you just exported is 100 x 50, which does NOT match the declared\r\n"
                                "120 x 60. That mismatch is already on this element.\r\n\r\n"));
        QVERIFY(readme.contains("---------------------------\r\n"
                                "mask.tgz could not be read, so mask.png here is the editor art copied as-is.\r\n"));
    }

    // A link or a pipe at a file of the stock item: the export ends naming
    // it, waits on nothing, and copies nothing the link leads to.
    void hostileFileInTheItemIsNamed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("pipe");
        QTest::newRow("linked extra art") << "on.png" << false;
        QTest::newRow("piped extra art") << "on.png" << true;
        QTest::newRow("linked editor picture") << "mask.png" << false;
        QTest::newRow("piped editor picture") << "mask.png" << true;
    }

    void hostileFileInTheItemIsNamed()
    {
        QFETCH(QString, name);
        QFETCH(bool, pipe);
        Rs3Fixture fx;
        install(fx);
        // The device image does not decode, so the editor picture is read.
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "mask.tgz", "not a device image"));
        const QString folder = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, kOrigin));
        const QString hostile = folder + '/' + name;
        QVERIFY(QFile::remove(hostile));
        const QString secret = TestEnvironment::makeTempDir("private") + "/secret.png";
        QImage red(100, 50, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(secret));
        std::unique_ptr<FifoGuard> guard;
        if (pipe) {
            guard = std::make_unique<FifoGuard>(hostile);
            QVERIFY(guard->made());
        } else {
            QVERIFY(QFile::link(secret, hostile));
        }
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        const QString target = TestEnvironment::makeTempDir("export");
        ArtworkExportInfo info;
        QString error;
        QVERIFY(!config.exportElementArtwork(0, 0, target, &info, &error));
        QVERIFY2(error.contains(hostile), qPrintable(error));
        QVERIFY2(error.contains(pipe ? "is not a regular file" : "is a symbolic link"), qPrintable(error));
        if (name != "mask.png")
            QVERIFY(!QFileInfo::exists(target + '/' + name));
        else
            QVERIFY(!QFileInfo::exists(target + "/mask.png"));
        if (guard)
            QVERIFY(!guard->released());
    }
};

KORV_GUI_TEST_MAIN(ArtworkExportTest)
#include "tst_artworkexport.moc"
