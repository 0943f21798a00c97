#include "templates/MirrorReport.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/PageModel.h"
#include "model/ZipArchive.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSettings>
#include <QtTest>

namespace {

const QString kPathImage = QStringLiteral("    <p n=\"PATH_IMAGE\">bkg.png</p>\n");
const QString kDeclaration = QStringLiteral("    <p n=\"PATH_IMAGE_SFONDO_FW\">bkg.tgz</p>\n");

QString writeTemp(const QByteArray& bytes)
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("pmain")) + QStringLiteral("/pMain.P2.xml");
    PageTemplateLibrary::writeFile(path, bytes);
    return path;
}

QByteArray pngOf(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::cyan);
    return pngBytes(image);
}

QByteArray pMainOf(const QSize& size)
{
    PageModel page;
    page.name = QStringLiteral("Lap");
    page.width = size.width();
    page.height = size.height();
    return PageTemplateLibrary::buildTemplatePMain(&page);
}

TemplateContent contentOf(const QSize& pageSize, const QByteArray& background = QByteArray())
{
    TemplateContent content;
    content.pMainXml = pMainOf(pageSize);
    content.bkgPng = background;
    return content;
}

void setMirroring(bool on)
{
    QSettings().setValue(QStringLiteral("homebrew/mirrorToAim"), on);
}

QString standardSet(const QString& family)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard").arg(family);
}

QString s04(const QString& family)
{
    return standardSet(family) + QStringLiteral("/s04_homebrew");
}

} // namespace

class TemplateSaveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        setMirroring(true);
    }

    void storeFromEmptyBackground()
    {
        Rs3Fixture fx;
        setMirroring(false);
        TemplateContent content = contentOf(QSize(800, 480));
        content.prwPng = pngOf(QSize(150, 90));
        content.items = {{QStringLiteral("md1/md1.M2.xml"), "<m/>"}, {QStringLiteral("md1/mask.png"), "png"}};
        MirrorReport report;
        const QString folder =
            PageTemplateLibrary::saveHomebrewTemplate("mxg_12", "zlap", "Lap & <1>", content, &report, {});
        QCOMPARE(folder, homebrewTemplatesDir() + QStringLiteral("/mxg_12/zlap"));

        const QImage background(folder + QStringLiteral("/bkg.png"));
        QCOMPARE(background.size(), QSize(800, 480));
        QCOMPARE(background.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(background.pixelColor(799, 479).alpha(), 0);
        QCOMPARE(TgzImage::decodeFile(folder + QStringLiteral("/bkg.tgz")).size(), QSize(800, 480));
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/pMain.P2.xml")),
                 QString::fromUtf8(content.pMainXml).replace(kPathImage, kPathImage + kDeclaration).toUtf8());
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/AiM_folder.xml")),
                 PageTemplateLibrary::folderMetaXml("Lap & <1>", 99));
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/../AiM_folder.xml")),
                 PageTemplateLibrary::folderMetaXml("Homebrew", 99));
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/prw.png")), content.prwPng);
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/Items/md1/md1.M2.xml")), QByteArray("<m/>"));
        QCOMPARE(TestFiles::readBytes(folder + QStringLiteral("/Items/md1/mask.png")), QByteArray("png"));
    }

    void deviceBackgroundSize_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("storedUnder");
        QTest::addColumn<QSize>("pageSize");
        QTest::addColumn<QSize>("backgroundSize");
        QTest::addColumn<QSize>("tgzSize");
        QTest::newRow("alias sized by its registry row")
            << "mxs" << "mxs_12" << QSize(1024, 600) << QSize(320, 200) << QSize(800, 480);
        QTest::newRow("no registry row: the page file")
            << "odd_dash" << "odd_dash" << QSize(1024, 600) << QSize(320, 200) << QSize(1024, 600);
        QTest::newRow("neither: the picture") << "odd_dash" << "odd_dash" << QSize() << QSize(320, 200)
                                              << QSize(320, 200);
        QTest::newRow("nothing to size by") << "odd_dash" << "odd_dash" << QSize() << QSize() << QSize();
    }

    void deviceBackgroundSize()
    {
        QFETCH(QString, family);
        QFETCH(QString, storedUnder);
        QFETCH(QSize, pageSize);
        QFETCH(QSize, backgroundSize);
        QFETCH(QSize, tgzSize);
        Rs3Fixture fx;
        TemplateContent content = contentOf(pageSize.isValid() ? pageSize : QSize(0, 0),
                                            backgroundSize.isValid() ? pngOf(backgroundSize) : QByteArray("x"));
        const QString folder = PageTemplateLibrary::saveHomebrewTemplate(family, "zt", "T", content, nullptr, {});
        QCOMPARE(folder, homebrewTemplatesDir() + QLatin1Char('/') + storedUnder + QStringLiteral("/zt"));
        const QByteArray pMain = TestFiles::readBytes(folder + QStringLiteral("/pMain.P2.xml"));
        if (!tgzSize.isValid()) {
            QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/bkg.tgz")));
            QVERIFY(!pMain.contains("PATH_IMAGE_SFONDO_FW"));
            return;
        }
        QCOMPARE(TgzImage::decodeFile(folder + QStringLiteral("/bkg.tgz")).size(), tgzSize);
        QVERIFY(pMain.contains((kPathImage + kDeclaration).toUtf8()));
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("name");
        QTest::newRow("dotdot") << "mxg_12" << "..";
        QTest::newRow("slash") << "mxg_12" << "a/b";
        QTest::newRow("backslash") << "mxg_12" << "a\\b";
        QTest::newRow("drive") << "mxg_12" << "C:";
        QTest::newRow("family climbs out") << "../.." << "zt";
        QTest::newRow("absolute family") << "/tmp" << "zt";
        QTest::newRow("empty name") << "mxg_12" << "";
        QTest::newRow("empty family") << "" << "zt";
        QTest::newRow("box art") << "mxg_12" << "zbox_race";
        QTest::newRow("bar art, other case") << "mxg_12" << "ZBAR_md_01_race";
    }

    void refusedNames()
    {
        QFETCH(QString, family);
        QFETCH(QString, name);
        Rs3Fixture fx;
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standardSet("mxg_12"))));
        QDir().mkpath(homebrewTemplatesDir());
        const auto rs3 = fx.snapshot();
        const auto store = Rs3Fixture::treeSnapshot(TestEnvironment::homeDir());
        MirrorReport report;
        QVERIFY(PageTemplateLibrary::saveHomebrewTemplate(family, name, "T", contentOf(QSize(800, 480)), &report, {})
                    .isEmpty());
        QVERIFY(PageTemplateLibrary::mirrorTemplateToRs3(homebrewTemplatesDir(), fx.root(Rs3Fixture::Stable), family,
                                                         name)
                    .isEmpty());
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(TestEnvironment::homeDir()), store);
        QCOMPARE(report.mirroredCount, 0);
    }

    void mirrorOff()
    {
        Rs3Fixture fx;
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standardSet("mxg_12"))));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standardSet("mxg_12"))));
        setMirroring(false);
        const auto before = fx.snapshot();
        MirrorReport report;
        report.mirrorEnabled = true;
        QVERIFY(!PageTemplateLibrary::saveHomebrewTemplate("mxg_12", "zt", "T", contentOf(QSize(800, 480)), &report, {})
                     .isEmpty());
        QCOMPARE(fx.snapshot(), before);
        QCOMPARE(report.mirrorEnabled, false);
        QCOMPARE(report.candidateCount, 0);
        QCOMPARE(report.mirroredCount, 0);
        QVERIFY(report.skippedFamilies.isEmpty() && report.failedPaths.isEmpty());
    }

    void mirrorCounts_data()
    {
        QTest::addColumn<bool>("sameRoot");
        QTest::addColumn<int>("mirrored");
        QTest::newRow("two installs") << false << 2;
        QTest::newRow("one install named twice") << true << 1;
    }

    void mirrorCounts()
    {
        QFETCH(bool, sameRoot);
        QFETCH(int, mirrored);
        Rs3Fixture fx;
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standardSet("mxs_12"))));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standardSet("mxs_12"))));
        fx.addFolderMeta(Rs3Fixture::Beta, s04("mxs_12"), QStringLiteral("Mine"), 5);
        if (sameRoot)
            QSettings().setValue(QStringLiteral("paths/raceStudio3BetaRoot"), fx.root(Rs3Fixture::Stable));
        MirrorReport report;
        const QString folder =
            PageTemplateLibrary::saveHomebrewTemplate("mxs", "zt", "T", contentOf(QSize(800, 480)), &report, {});
        QVERIFY(!folder.isEmpty());
        QCOMPARE(report.mirrorEnabled, true);
        QCOMPARE(report.candidateCount, 4);
        QCOMPARE(report.mirroredCount, mirrored);
        QCOMPARE(report.skippedFamilies, QStringList({"mxs_12 strada", "mxs strada", "mxs"}));
        QVERIFY(report.failedPaths.isEmpty());
        QCOMPARE(PageTemplateLibrary::homebrewSetDirs("mxs_12").size(), mirrored);
        QCOMPARE(PageTemplateLibrary::rs3HomebrewSetDirs("mxs_12").size(), 2);

        const QString stableCopy = fx.absolutePath(Rs3Fixture::Stable, s04("mxs_12") + QStringLiteral("/zt"));
        QCOMPARE(Rs3Fixture::treeSnapshot(stableCopy), Rs3Fixture::treeSnapshot(folder));
        QCOMPARE(TestFiles::readBytes(
                     fx.absolutePath(Rs3Fixture::Stable, s04("mxs_12") + QStringLiteral("/AiM_folder.xml"))),
                 PageTemplateLibrary::folderMetaXml("Homebrew (Korvelanto)", 99));
        if (!sameRoot) {
            QCOMPARE(TestFiles::readBytes(
                         fx.absolutePath(Rs3Fixture::Beta, s04("mxs_12") + QStringLiteral("/AiM_folder.xml"))),
                     resourceFolderXml("Mine", 5));
        }
    }

    // Saving again replaces each RS3 copy as a whole; a copy that cannot be
    // swapped in leaves the previous one exactly as it was.
    void mirrorReplacesCopies()
    {
        Rs3Fixture fx;
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standardSet("mxt"))));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standardSet("mxt"))));
        QVERIFY(!PageTemplateLibrary::saveHomebrewTemplate("mxt", "zt", "Old", contentOf(QSize(1280, 480)), nullptr, {})
                     .isEmpty());
        const QString stableCopy = fx.absolutePath(Rs3Fixture::Stable, s04("mxt") + QStringLiteral("/zt"));
        const QString betaCopy = fx.absolutePath(Rs3Fixture::Beta, s04("mxt") + QStringLiteral("/zt"));
        QVERIFY(PageTemplateLibrary::writeFile(stableCopy + QStringLiteral("/stale.txt"), "stale"));
        const auto betaBefore = Rs3Fixture::treeSnapshot(betaCopy);

        setArchiveRenameFunction([betaCopy](const QString& from, const QString& to) {
            return from != betaCopy && QFile::rename(from, to);
        });
        MirrorReport report;
        const QString folder =
            PageTemplateLibrary::saveHomebrewTemplate("mxt", "zt", "New", contentOf(QSize(1280, 480)), &report, {});
        setArchiveRenameFunction({});
        QVERIFY(!folder.isEmpty());
        QCOMPARE(report.mirroredCount, 1);
        QCOMPARE(report.failedPaths, QStringList{betaCopy});
        QCOMPARE(Rs3Fixture::treeSnapshot(stableCopy), Rs3Fixture::treeSnapshot(folder));
        QCOMPARE(Rs3Fixture::treeSnapshot(betaCopy), betaBefore);
        QCOMPARE(QDir(fx.absolutePath(Rs3Fixture::Beta, s04("mxt"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"zt"});
    }

    // A folder of the template's name in an RS3 set that is not a template
    // (art, a link to elsewhere), or one reached through a linked set, is
    // left as it is, and named as not written.
    void mirrorLeavesForeignFolders_data()
    {
        QTest::addColumn<int>("link"); // 0: none, 1: the folder, 2: its set
        QTest::newRow("art folder") << 0;
        QTest::newRow("link to a folder") << 1;
        QTest::newRow("set is a link") << 2;
    }
    void mirrorLeavesForeignFolders()
    {
        QFETCH(int, link);
        Rs3Fixture fx;
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standardSet("mxg_12"))));
        const QString copy = fx.absolutePath(Rs3Fixture::Stable, s04("mxg_12") + QStringLiteral("/zt"));
        const QString elsewhere = TestEnvironment::makeTempDir(QStringLiteral("elsewhere"));
        const QString art = link == 0 ? copy : link == 1 ? elsewhere : elsewhere + QStringLiteral("/zt");
        QVERIFY(PageTemplateLibrary::writeFile(art + QStringLiteral("/Items/md1/mask.png"), "art"));
        if (link == 1)
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::link(elsewhere, copy));
        if (link == 2) {
            // A template of that name behind it is someone else's too.
            QVERIFY(PageTemplateLibrary::writeFile(art + QStringLiteral("/pMain.P2.xml"), "<theirs/>"));
            QVERIFY(QFile::link(elsewhere, QFileInfo(copy).path()));
        }
        const auto rs3 = fx.snapshot();
        const auto other = Rs3Fixture::treeSnapshot(elsewhere);
        MirrorReport report;
        const QString folder =
            PageTemplateLibrary::saveHomebrewTemplate("mxg_12", "zt", "T", contentOf(QSize(800, 480)), &report, {});
        QVERIFY(!folder.isEmpty());
        QCOMPARE(report.refused.size(), 1);
        const char* why[] = {" holds no pMain.P2.xml", " is a link", " lies behind "};
        QVERIFY2(report.refused.first().startsWith(copy + why[link]), qPrintable(report.refused.first()));
        QVERIFY(report.failedPaths.isEmpty());
        QCOMPARE(report.mirroredCount, 0);
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(elsewhere), other);
        QVERIFY(PageTemplateLibrary::mirrorTemplateToRs3(folder, fx.root(Rs3Fixture::Stable), "mxg_12", "zt").isEmpty());
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(elsewhere), other);
    }

    void mirrorTemplateToRs3()
    {
        Rs3Fixture fx;
        setMirroring(false);
        const QString folder =
            PageTemplateLibrary::saveHomebrewTemplate("mxg_12", "zt", "T", contentOf(QSize(800, 480)), nullptr, {});
        const QString root = fx.root(Rs3Fixture::Stable) + QStringLiteral("//");
        const QString copy = PageTemplateLibrary::mirrorTemplateToRs3(folder, root, "mxg_12", "zt");
        QCOMPARE(copy, fx.absolutePath(Rs3Fixture::Stable, s04("mxg_12") + QStringLiteral("/zt")));
        QCOMPARE(Rs3Fixture::treeSnapshot(copy), Rs3Fixture::treeSnapshot(folder));
        QCOMPARE(TestFiles::readBytes(copy + QStringLiteral("/../AiM_folder.xml")),
                 PageTemplateLibrary::folderMetaXml("Homebrew", 99));
        // An existing copy stays as it is.
        QVERIFY(PageTemplateLibrary::writeFile(folder + QStringLiteral("/prw.png"), "new"));
        QCOMPARE(PageTemplateLibrary::mirrorTemplateToRs3(folder, root, "mxg_12", "zt"), copy);
        QVERIFY(!QFileInfo::exists(copy + QStringLiteral("/prw.png")));
        QVERIFY(PageTemplateLibrary::mirrorTemplateToRs3(folder + "/absent", root, "mxg_12", "zz").isEmpty());
        QVERIFY(PageTemplateLibrary::mirrorTemplateToRs3(folder, QString(), "mxg_12", "zt").isEmpty());
    }

    void findBaseTemplate()
    {
        Rs3Fixture fx;
        QVERIFY(PageTemplateLibrary::findBaseTemplate("mxt", "s02/p25ext").isEmpty());
        const QString stable = fx.addTemplate(Rs3Fixture::Stable, "mxt", "s02", "p25ext");
        const QString beta = fx.addTemplate(Rs3Fixture::Beta, "mxt", "s02", "p25ext");
        QFile::remove(stable + QStringLiteral("/bkg.png"));
        QCOMPARE(PageTemplateLibrary::findBaseTemplate("mxt", "s02/p25ext"), beta);
        fx.addTemplate(Rs3Fixture::Stable, "mxt", "s02", "p25ext");
        QCOMPARE(PageTemplateLibrary::findBaseTemplate("mxt", "s02/p25ext"), stable);
        QVERIFY(PageTemplateLibrary::findBaseTemplate("mxt", "../../mxt/masks/set/standard/s02/p25ext").isEmpty());
    }

    void copyDirRecursiveKeepsOtherFiles()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("copy"));
        QVERIFY(PageTemplateLibrary::writeFile(dir + "/src/a.txt", "new a"));
        QVERIFY(PageTemplateLibrary::writeFile(dir + "/src/sub/b.txt", "b"));
        QVERIFY(PageTemplateLibrary::writeFile(dir + "/dst/a.txt", "old a"));
        QVERIFY(PageTemplateLibrary::writeFile(dir + "/dst/keep.txt", "keep"));
        QVERIFY(PageTemplateLibrary::copyDirRecursive(dir + "/src", dir + "/dst"));
        // A file the target holds is never written over.
        QCOMPARE(TestFiles::readBytes(dir + "/dst/a.txt"), QByteArray("old a"));
        QCOMPARE(TestFiles::readBytes(dir + "/dst/sub/b.txt"), QByteArray("b"));
        QCOMPARE(TestFiles::readBytes(dir + "/dst/keep.txt"), QByteArray("keep"));
        QVERIFY(!PageTemplateLibrary::copyDirRecursive(dir + "/absent", dir + "/dst"));
    }

    void setPMainSfondoFw_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QByteArray>("after");
        const QByteArray head = "<aimDataBase_Page2>\n  <e c=\"GPageParam\" i=\"GPageParam.1\">\n";
        const QByteArray image = "    <p n=\"PATH_IMAGE\">bkg.png</p>\n";
        const QByteArray name = "    <p n=\"PAGE_NAME\">P</p>\n";
        const QByteArray tail = "  </e>\n</aimDataBase_Page2>\n";
        const QByteArray decl = "    <p n=\"PATH_IMAGE_SFONDO_FW\">bkg.tgz</p>\n";
        const QByteArray mask = "    <e c=\"GMaskParam\" i=\"md.01\">\n    </e>\n";
        QTest::newRow("after PATH_IMAGE") << head + name + image + name + tail << "bkg.tgz" << true
                                          << head + name + image + decl + name + tail;
        QTest::newRow("another value replaces")
            << head + image + "  <p  n=\"PATH_IMAGE_SFONDO_FW\" />\r\n" + name + tail << "bkg.tgz" << true
            << head + image + decl + name + tail;
        QTest::newRow("value with a dollar") << head + image + decl + tail << "a$1\\0.tgz" << true
                                             << head + image + "    <p n=\"PATH_IMAGE_SFONDO_FW\">a$1\\0.tgz</p>\n" + tail;
        QTest::newRow("empty value removes") << head + image + decl + tail << "" << true << head + image + tail;
        QTest::newRow("empty value, nothing to remove") << head + image + tail << "" << true << head + image + tail;
        QTest::newRow("before the first nested element")
            << head + name + mask + tail << "bkg.tgz" << true << head + name + decl + mask + tail;
        QTest::newRow("before the closing tag") << head + name + tail << "bkg.tgz" << true << head + name + decl + tail;
        QTest::newRow("on the page element's own line")
            << QByteArray("<aimDataBase_Page2><e c=\"GPageParam\"></e></aimDataBase_Page2>") << "bkg.tgz" << true
            << QByteArray("<aimDataBase_Page2><e c=\"GPageParam\">") + decl + "</e></aimDataBase_Page2>";
        QTest::newRow("never closes") << head + name << "bkg.tgz" << false << head + name;
        QTest::newRow("no page element") << QByteArray("<aimDataBase_Page2/>\n") << "bkg.tgz" << false
                                         << QByteArray("<aimDataBase_Page2/>\n");
    }

    void setPMainSfondoFw()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(bool, result);
        QFETCH(QByteArray, after);
        const QString path = writeTemp(before);
        QCOMPARE(PageTemplateLibrary::setPMainSfondoFw(path, value), result);
        QCOMPARE(TestFiles::readBytes(path), after);
        QVERIFY(!PageTemplateLibrary::setPMainSfondoFw(path + ".absent", value));
    }

    // Declaring what is already declared rewrites nothing.
    void setPMainSfondoFwUnchanged()
    {
        const QString path = writeTemp(pMainOf(QSize(800, 480)));
        QVERIFY(PageTemplateLibrary::setPMainSfondoFw(path, "bkg.tgz"));
        const QByteArray declared = TestFiles::readBytes(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime old = QDateTime::currentDateTime().addDays(-3);
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(PageTemplateLibrary::setPMainSfondoFw(path, "bkg.tgz"));
        QCOMPARE(TestFiles::readBytes(path), declared);
        QCOMPARE(QFileInfo(path).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
        QCOMPARE(declared.count("PATH_IMAGE_SFONDO_FW"), 1);
    }

    void placeholder()
    {
        const QString set = TestEnvironment::makeTempDir(QStringLiteral("set"));
        const QByteArray withPlaceholder = "<p n=\"PATH_IMAGE_SFONDO_FW\">x_222222.tgz</p>";
        QVERIFY(PageTemplateLibrary::writeFile(set + "/a/pMain.P2.xml", withPlaceholder));
        QVERIFY(PageTemplateLibrary::writeFile(set + "/b/pMain.P2.xml", "<p>bkg.tgz</p>"));
        QVERIFY(PageTemplateLibrary::writeFile(set + "/c/other.xml", withPlaceholder));
        QCOMPARE(PageTemplateLibrary::patchPlaceholdersUnder(set), 1);
        QCOMPARE(TestFiles::readBytes(set + "/a/pMain.P2.xml"),
                 QByteArray("<p n=\"PATH_IMAGE_SFONDO_FW\">xbkg.tgz</p>"));
        QCOMPARE(TestFiles::readBytes(set + "/b/pMain.P2.xml"), QByteArray("<p>bkg.tgz</p>"));
        QCOMPARE(TestFiles::readBytes(set + "/c/other.xml"), withPlaceholder);
        QVERIFY(!PageTemplateLibrary::patchPMainSfondoFwPlaceholder(set + "/a/pMain.P2.xml"));
        QCOMPARE(PageTemplateLibrary::patchPlaceholdersUnder(set + "/absent"), 0);
    }
};

KORV_GUI_TEST_MAIN(TemplateSaveTest)
#include "tst_templatesave.moc"
