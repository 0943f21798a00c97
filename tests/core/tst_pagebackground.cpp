#include "artwork/PageBackground.h"
#include "artwork/TgzImage.h"
#include "editing/SetPageBackgroundCommand.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

namespace {

QString writePicture(const QSize& size, const QColor& colour = QColor(10, 120, 200))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    const QString path = TestEnvironment::makeTempDir("picture") + "/picture.png";
    image.save(path, "PNG");
    return path;
}

} // namespace

class PageBackgroundTest : public QObject {
    Q_OBJECT

    // "My Car (2024)!": a full-size page, a Solo 2 DL sized page and a page
    // without size, all in the mxg_12 tree.
    static QString writeConfig(const QString& name = QStringLiteral("My Car (2024)!"))
    {
        ConfigFixture cfg;
        cfg.configName = name;
        FixtureDevice& device = cfg.device();
        device.page("Main").imagePath = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p1/bkg.png";
        FixturePage& small = device.page("Small");
        small.width = 238;
        small.height = 99;
        FixturePage& none = device.page("None");
        none.width = 0;
        none.height = 0;
        device.page("Lost").pagePath = QString("");
        return cfg.writeTempZip();
    }

private Q_SLOTS:
    void slugs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("slug");
        QTest::newRow("punctuation runs") << "My Car (2024)!" << 0 << "My_Car_2024_p0";
        QTest::newRow("only punctuation") << "!!! ???" << 2 << "config_p2";
        QTest::newRow("leading underscores stay") << "__a b" << 1 << "__a_b_p1";
        QTest::newRow("empty") << "" << 0 << "config_p0";
    }

    void slugs()
    {
        QFETCH(QString, name);
        QFETCH(int, page);
        QFETCH(QString, slug);
        QCOMPARE(slugFromName(name, page), slug);
    }

    void writesIntoTheStableInstallAndUndoes()
    {
        Rs3Fixture fx;
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const QString folder = "aim/resources/overlay/mxg_12/korvelanto_backgrounds/My_Car_2024_p0";
        QCOMPARE(c.pageBackgroundFolder(0), folder);
        QCOMPARE(c.pageBackgroundFolder(1), QString(folder).replace("_p0", "_p1"));
        const QStringList before = c.pageImagePaths(0);
        const auto betaBefore = ZipFixture::readTree(fx.root(Rs3Fixture::Beta));

        QString error = "stale";
        QUndoStack stack;
        auto* command = new SetPageBackgroundCommand(&c, 0, writePicture(QSize(1600, 480)), &error);
        stack.push(command);
        QCOMPARE(stack.count(), 1);
        QCOMPARE(command->text(), QStringLiteral("Set page background"));
        QVERIFY(error.isEmpty());

        const QString abs = fx.absolutePath(Rs3Fixture::Stable, folder);
        QCOMPARE(QImage(abs + "/bkg.png").size(), QSize(800, 480)); // squeezed, not cropped
        QCOMPARE(TgzImage::decodeFile(abs + "/bkg.tgz").size(), QSize(800, 480));
        QCOMPARE(QImage(abs + "/prw.png").size(), QSize(200, 120));
        QCOMPARE(QDir(abs).entryList(QDir::Files | QDir::Hidden), QStringList({"bkg.png", "bkg.tgz", "prw.png"}));
        QCOMPARE(ZipFixture::readTree(fx.root(Rs3Fixture::Beta)), betaBefore); // stable install only
        const QStringList after{folder + "/bkg.png", folder + "/prw.png", folder + "/bkg.tgz"};
        QCOMPARE(c.pageImagePaths(0), after);
        QVERIFY(c.devices[0]->dirty);

        stack.undo();
        QCOMPARE(c.pageImagePaths(0), before);
        stack.redo();
        QCOMPARE(c.pageImagePaths(0), after);
    }

    void previewSizes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QSize>("full");
        QTest::addColumn<QSize>("preview");
        QTest::newRow("Solo 2 DL page") << 1 << QSize(238, 99) << QSize(59, 24);
        QTest::newRow("page without size") << 2 << QSize(800, 480) << QSize(200, 120);
    }

    void previewSizes()
    {
        QFETCH(int, page);
        QFETCH(QSize, full);
        QFETCH(QSize, preview);
        Rs3Fixture fx;
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QString error;
        QVERIFY2(c.setPageBackground(page, writePicture(full), nullptr, &error), qPrintable(error));
        const QString abs = fx.absolutePath(Rs3Fixture::Stable, c.pageBackgroundFolder(page));
        QCOMPARE(QImage(abs + "/bkg.png").size(), full);
        QCOMPARE(QImage(abs + "/prw.png").size(), preview);
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("deviceFolder");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QString>("message");
        QTest::newRow("no device folder in the stable install")
            << false << 0 << true << "has no folder for the device mxg_12";
        QTest::newRow("no such page") << true << 9 << true << "no such page";
        QTest::newRow("no page path") << true << 3 << true
                                      << "this page carries no PATH_REL_AiM_PAGE, so there is no device tree to put "
                                         "a background in";
        QTest::newRow("not a picture") << true << 0 << false << "as an image";
        QTest::newRow("page larger than any device picture")
            << true << -1 << true << "the page is 60000 x 40000, which is too large for a device background";
    }

    // A refusal changes neither the page nor the disk, and leaves no undo
    // step; the message reaches the creator.
    void refusals()
    {
        QFETCH(bool, deviceFolder);
        QFETCH(int, page);
        QFETCH(bool, picture);
        QFETCH(QString, message);
        Rs3Fixture fx;
        // Only the beta install has the device: the background still may not
        // go anywhere but the stable one.
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        if (deviceFolder)
            fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        if (page < 0) { // a page whose size came from a hostile file
            page = 0;
            c.pages[0].width = 60000;
            c.pages[0].height = 40000;
        }
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const QString base = QFileInfo(fx.root(Rs3Fixture::Stable)).absolutePath();
        const auto before = ZipFixture::readTree(base);
        QString image = writePicture(QSize(800, 480));
        if (!picture) {
            QFile::remove(image);
            QFile f(image);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a png");
        }

        QString error;
        QUndoStack stack;
        stack.push(new SetPageBackgroundCommand(&c, page, image, &error));
        QCOMPARE(stack.count(), 0);
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ZipFixture::readTree(base), before);
    }

    void linksOnTheWay_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("message");
        // Only the link goes: the background is set beside it.
        QTest::newRow("staging folder") << ".My_Car_2024_p0.staging" << QString();
        // Taken as used: the background gets the next name.
        QTest::newRow("background folder") << "My_Car_2024_p0" << QString();
        QTest::newRow("folder of all backgrounds") << "" << "korvelanto_backgrounds is a symbolic link";
    }

    // A link someone put into the install leads to their own files: nothing
    // is written, removed or renamed through it, and a refusal names it.
    void linksOnTheWay()
    {
        QFETCH(QString, link);
        QFETCH(QString, message);
        Rs3Fixture fx;
        const QString backgrounds = fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12") + "/korvelanto_backgrounds";
        const QString user = TestEnvironment::makeTempDir("user");
        QVERIFY(ZipFixture::writeTree(user, {{"photo.jpg", "the user's photo"}, {"notes/a.txt", "kept"}}));
        QVERIFY(QDir().mkpath(backgrounds));
        const QString at = link.isEmpty() ? backgrounds : backgrounds + "/" + link;
        if (link.isEmpty())
            QVERIFY(QDir(backgrounds).removeRecursively());
        QVERIFY(QFile::link(user, at));
        DashConfig c;
        QVERIFY(c.load(writeConfig()));

        QString error;
        QUndoStack stack;
        stack.push(new SetPageBackgroundCommand(&c, 0, writePicture(QSize(800, 480)), &error));
        QCOMPARE(ZipFixture::readTree(user), (QMap<QString, QByteArray>{{"photo.jpg", "the user's photo"},
                                                                         {"notes/a.txt", "kept"}}));
        QCOMPARE(stack.count(), message.isEmpty() ? 1 : 0);
        QVERIFY2(message.isEmpty() ? error.isEmpty() : error.contains(message), qPrintable(error));
        if (message.isEmpty())
            QVERIFY(QFileInfo(fx.absolutePath(Rs3Fixture::Stable, c.pageImagePaths(0).value(0))).isFile());
    }

    void renameGivesANewFolder()
    {
        Rs3Fixture fx;
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.setConfigName("Track Day"));
        QCOMPARE(c.pageBackgroundFolder(0), QStringLiteral("aim/resources/overlay/mxg_12/korvelanto_backgrounds/Track_Day_p0"));
    }

    void hostilePagePathIsRefused()
    {
        Rs3Fixture fx;
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        ConfigFixture cfg;
        cfg.device().page("Main").pagePath = "aim/resources/overlay/../../../evil/masks/p1/";
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        QCOMPARE(c.pageBackgroundFolder(0), QString());
        QString error;
        QVERIFY(!c.setPageBackground(0, writePicture(QSize(800, 480)), nullptr, &error));
        QVERIFY2(error.contains("does not lie inside a RaceStudio 3 installation"), qPrintable(error));
    }
};

KORV_GUI_TEST_MAIN(PageBackgroundTest)
#include "tst_pagebackground.moc"
