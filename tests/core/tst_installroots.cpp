#include "model/DashConfig.h"
#include "model/DeviceTables.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "support/BmpFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

#include <climits>

namespace {

const QString kPrefix = QStringLiteral("aim/resources/overlay/");

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

QString writeTempFile(const QByteArray& content)
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("bmp")) + QStringLiteral("/f.bmp");
    writeFile(path, content);
    return path;
}

} // namespace

class InstallRootsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathGuard_data()
    {
        QTest::addColumn<QString>("rel");
        QTest::addColumn<QString>("normal"); // empty: refused
        QTest::newRow("plain") << "aim/resources/overlay/mxg_12/x.png" << "aim/resources/overlay/mxg_12/x.png";
        QTest::newRow("folder with trailing slash") << "aim/resources/overlay/mxg_12/Items/"
                                                    << "aim/resources/overlay/mxg_12/Items/";
        QTest::newRow("dotdot") << "aim/../../etc/x" << "";
        QTest::newRow("dotdot at end") << "aim/resources/.." << "";
        QTest::newRow("dot") << "aim/./x" << "aim/x";
        QTest::newRow("leading dot") << "./aim/x" << "aim/x";
        QTest::newRow("empty component") << "mxg_12//bg/bkg.bmp" << "mxg_12/bg/bkg.bmp";
        QTest::newRow("two trailing slashes") << "aim/x//" << "aim/x/";
        QTest::newRow("nothing but dots") << "./." << "";
        QTest::newRow("absolute") << "/etc/passwd" << "";
        QTest::newRow("drive") << "C:/Windows/x" << "";
        QTest::newRow("drive inside") << "aim/C:/x" << "";
        QTest::newRow("backslash") << "aim\\..\\x" << "";
        QTest::newRow("backslash without dots") << "aim\\x" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("dots in a name are fine") << "aim/a..b/x.y" << "aim/a..b/x.y";
    }

    void pathGuard()
    {
        QFETCH(QString, rel);
        QFETCH(QString, normal);
        QCOMPARE(PathGuard::isSafeRelativePath(rel), !normal.isEmpty());
        QCOMPARE(PathGuard::normalized(rel), normal);
        const QString joined = PathGuard::join(QStringLiteral("/r/root"), rel);
        if (normal.isEmpty()) {
            QCOMPARE(joined, QString());
        } else {
            // Exactly where the plain form leads.
            QCOMPARE(joined, QDir::cleanPath(QStringLiteral("/r/root/") + normal));
            QVERIFY(PathGuard::isInside(QStringLiteral("/r/root"), joined));
        }
    }

    // Empty and "." components resolve as the plain path does; the hostile
    // forms stay refused (hostilePathsResolveToNothing).
    void redundantComponentsResolve_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty component") << kPrefix + QStringLiteral("mxg_12//bg/bkg.bmp");
        QTest::newRow("dot component") << kPrefix + QStringLiteral("mxg_12/./bg/bkg.bmp");
        QTest::newRow("both") << kPrefix + QStringLiteral("./mxg_12//bg/./bkg.bmp");
    }

    void redundantComponentsResolve()
    {
        QFETCH(QString, path);
        Rs3Fixture fx;
        const QString rel = kPrefix + QStringLiteral("mxg_12/bg/bkg.bmp");
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, rel, "bmp"));
        const QString file = fx.absolutePath(Rs3Fixture::Beta, rel);
        QCOMPARE(DashConfig::resolveRs3Path(path), file);
        QCOMPARE(resolveAssetPath(path), file);
        QCOMPARE(DashConfig::resolveOverlayDir(path.left(path.lastIndexOf('/') + 1)), QFileInfo(file).absolutePath());
    }

    void safeName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("blank inside") << "neon nights" << true;
        QTest::newRow("slug") << "zmy_page_2" << true;
        QTest::newRow("100 characters") << QString(100, QLatin1Char('a')) << true;
        QTest::newRow("101 characters") << QString(101, QLatin1Char('a')) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dotdot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("drive") << "C:" << false;
        QTest::newRow("trailing dot") << "x." << false;
        QTest::newRow("leading blank") << " x" << false;
        QTest::newRow("trailing blank") << "x " << false;
        QTest::newRow("wildcard") << "a*b" << false;
        QTest::newRow("pipe") << "a|b" << false;
        QTest::newRow("control character") << QStringLiteral("a\tb") << false;
    }

    void safeName()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(PathGuard::isSafeName(name), safe);
    }

    // The family a page path names may have several levels; one that could
    // name a folder outside the install names none.
    void familyOfPagePath_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("safe");
        QTest::newRow("one level") << "mxg_12" << true;
        QTest::newRow("display folder") << "pdm/dash2" << true;
        QTest::newRow("blank inside") << "mxs_12 strada" << true;
        QTest::newRow("dotdot") << "pdm/../../x" << false;
        QTest::newRow("dotdot alone") << ".." << false;
        QTest::newRow("dot") << "pdm/./dash2" << false;
        QTest::newRow("empty segment") << "pdm//dash2" << false;
        QTest::newRow("trailing slash") << "pdm/" << false;
        QTest::newRow("absolute") << "/etc" << false;
        QTest::newRow("backslash") << "pdm\\dash2" << false;
        QTest::newRow("drive") << "C:/x" << false;
    }

    void familyOfPagePath()
    {
        QFETCH(QString, family);
        QFETCH(bool, safe);
        QCOMPARE(PathGuard::isSafeFamily(family), safe);
        const QString path = "aim/resources/overlay/" + family + "/masks/set/standard/s02/p01/";
        QCOMPARE(deviceFolderFromPath(path), safe ? family : QString());
        QCOMPARE(refusedFamilyFromPath(path), safe ? QString() : family);
    }

    // Outside a pass a changed setting applies at once; inside one the
    // roots stay as the pass found them, until the outermost pass ends.
    void rootsOfAPass()
    {
        Rs3Fixture fx;
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        const QString stable = fx.root(Rs3Fixture::Stable);
        const QString elsewhere = TestEnvironment::makeTempDir(QStringLiteral("elsewhere"));
        {
            const InstallRootsPass pass;
            settings.setValue("paths/raceStudio3Root", elsewhere + "/");
            settings.sync();
            {
                const InstallRootsPass nested;
                QCOMPARE(raceStudio3Root(), stable);
            }
            QCOMPARE(raceStudio3Root(), stable);
            QCOMPARE(rs3OverlayRoots().first(), fx.overlayRoot(Rs3Fixture::Stable));
        }
        QCOMPARE(raceStudio3Root(), elsewhere);
    }

    void isInsideIsNotAPrefixMatch()
    {
        QVERIFY(!PathGuard::isInside(QStringLiteral("/a/root"), QStringLiteral("/a/rootkit/x")));
        QVERIFY(PathGuard::isInside(QStringLiteral("/a/root/"), QStringLiteral("/a/root/x")));
        QVERIFY(!PathGuard::isInside(QStringLiteral("/a/root"), QStringLiteral("/a/root/../x")));
    }

    void rootsAreNormalised()
    {
        Rs3Fixture fx;
        QSettings s(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        s.setValue(QStringLiteral("paths/raceStudio3Root"), QStringLiteral("D:\\AIM\\RS3\\\\"));
        s.sync();
        QCOMPARE(configuredRaceStudio3Root(), QStringLiteral("D:/AIM/RS3"));
        s.remove(QStringLiteral("paths/raceStudio3Root"));
        s.sync();
        QCOMPARE(configuredRaceStudio3Root(), defaultRaceStudio3Root());
        QCOMPARE(raceStudio3BetaRoot(), fx.root(Rs3Fixture::Beta));
    }

    // Where there are no drive letters the default installs are the Windows
    // folders inside the Wine prefix: $WINEPREFIX, else ~/.wine. A setting
    // that is relative or names a missing folder is no install at all, and
    // neither it nor the folder the program was started in gets anything.
    void defaultRootsFollowTheWinePrefix_data()
    {
        QTest::addColumn<bool>("viaEnvironment");
        QTest::newRow("WINEPREFIX") << true;
        QTest::newRow("~/.wine") << false;
    }
    void defaultRootsFollowTheWinePrefix()
    {
        QFETCH(bool, viaEnvironment);
        const QByteArray savedPrefix = qgetenv("WINEPREFIX");
        const QString prefix = viaEnvironment ? TestEnvironment::makeTempDir(QStringLiteral("wine")) + "/"
                                              : QDir::homePath() + "/.wine";
        if (viaEnvironment)
            qputenv("WINEPREFIX", QFile::encodeName(prefix));
        else
            qunsetenv("WINEPREFIX");
        const QString base = QDir::cleanPath(prefix) + "/drive_c/AIM_SPORT/";
        QCOMPARE(defaultRaceStudio3Root(), base + "RaceStudio3");
        QCOMPARE(defaultRaceStudio3BetaRoot(), base + "RaceStudio3_beta");
        QCOMPARE(configuredRaceStudio3Root(), base + "RaceStudio3");
        // Not there yet: no install.
        QCOMPARE(raceStudio3Root(), QString());
        QVERIFY(rs3OverlayRoots().isEmpty());
        QVERIFY(QDir().mkpath(base + "RaceStudio3/aim/resources/overlay"));
        QCOMPARE(raceStudio3Root(), base + "RaceStudio3");
        QCOMPARE(raceStudio3BetaRoot(), QString());
        QCOMPARE(rs3OverlayRoots(), QStringList{base + "RaceStudio3/aim/resources/overlay"});
        QDir(base).removeRecursively();
        qputenv("WINEPREFIX", savedPrefix);
    }

    void unusableRootsAreNoInstall_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("drive letter") << "C:/AIM_SPORT/RaceStudio3";
        QTest::newRow("relative") << "rs3";
        QTest::newRow("missing") << "/korvelanto-no-such-folder/RaceStudio3";
    }
    void unusableRootsAreNoInstall()
    {
        QFETCH(QString, setting);
        Rs3Fixture fx;
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("cwd"));
        QVERIFY(QDir().mkpath(work + "/rs3/aim/resources/overlay/mxg_12"));
        QVERIFY(writeFile(work + "/rs3/aim/resources/overlay/mxg_12/a.png", "x"));
        const QString saved = QDir::currentPath();
        QDir::setCurrent(work);
        QSettings s(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        s.setValue(QStringLiteral("paths/raceStudio3Root"), setting);
        s.sync();
        QCOMPARE(configuredRaceStudio3Root(), setting);
        QCOMPARE(raceStudio3Root(), QString());
        QCOMPARE(rs3OverlayRoots(), QStringList{fx.overlayRoot(Rs3Fixture::Beta)});
        // A relative setting would find this file through the start folder.
        QCOMPARE(resolveAssetPath(kPrefix + "mxg_12/a.png"), QString());
        QDir::setCurrent(saved);
    }

    void overlayRootLists()
    {
        Rs3Fixture fx;
        QCOMPARE(allOverlayRoots(),
                 QStringList({fx.overlayRoot(Rs3Fixture::Stable), fx.overlayRoot(Rs3Fixture::Beta),
                              fx.overlayRoot(Rs3Fixture::Local)}));
        // Equal RS3 roots stay duplicated; a local root equal to one is not added.
        QSettings s(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        s.setValue(QStringLiteral("paths/raceStudio3BetaRoot"), fx.root(Rs3Fixture::Stable));
        s.sync();
        setLocalOverlayRootOverride(fx.overlayRoot(Rs3Fixture::Stable));
        QCOMPARE(allOverlayRoots(),
                 QStringList({fx.overlayRoot(Rs3Fixture::Stable), fx.overlayRoot(Rs3Fixture::Stable)}));
    }

    void precedence_data()
    {
        QTest::addColumn<bool>("inStable");
        QTest::addColumn<bool>("inBeta");
        QTest::addColumn<bool>("inLocal");
        QTest::addColumn<int>("expected"); // Rs3Fixture::Root, -1 for none
        QTest::newRow("stable wins over beta") << true << true << true << int(Rs3Fixture::Stable);
        QTest::newRow("beta wins over local") << false << true << true << int(Rs3Fixture::Beta);
        QTest::newRow("local last") << false << false << true << int(Rs3Fixture::Local);
        QTest::newRow("nowhere") << false << false << false << -1;
    }

    void precedence()
    {
        QFETCH(bool, inStable);
        QFETCH(bool, inBeta);
        QFETCH(bool, inLocal);
        QFETCH(int, expected);
        Rs3Fixture fx;
        const QString rest = QStringLiteral("mxg_12/masks/set/standard/s01/bkg.png");
        const QString rel = kPrefix + rest;
        if (inStable)
            QVERIFY(fx.writeFile(Rs3Fixture::Stable, rel, "s"));
        if (inBeta)
            QVERIFY(fx.writeFile(Rs3Fixture::Beta, rel, "b"));
        if (inLocal)
            QVERIFY(writeFile(fx.overlayRoot(Rs3Fixture::Local) + QLatin1Char('/') + rest, "l"));
        const QString expectedPath = expected < 0 ? QString()
            : expected == Rs3Fixture::Local ? fx.overlayRoot(Rs3Fixture::Local) + QLatin1Char('/') + rest
                                            : fx.absolutePath(Rs3Fixture::Root(expected), rel);
        QCOMPARE(DashConfig::resolveRs3Path(QLatin1Char('/') + rel), expectedPath);
        // The overlay folder look-up follows the same order.
        const QString folder = DashConfig::resolveOverlayDir(kPrefix + QStringLiteral("mxg_12/masks/set/standard/s01/"));
        QCOMPARE(folder, expectedPath.isEmpty() ? QString() : QFileInfo(expectedPath).absolutePath());
        // The plain asset resolver never tries the local tree.
        const QString asset = resolveAssetPath(rel);
        QCOMPARE(asset, expected == Rs3Fixture::Local ? QString() : expectedPath);
    }

    void hostilePathsResolveToNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("aim/../../etc/x") << "aim/../../etc/x";
        QTest::newRow("deep under the prefix") << "aim/resources/overlay/../../../../etc/x";
        QTest::newRow("backslashes") << "aim\\..\\..\\etc\\x";
        QTest::newRow("leading slash then dotdot") << "/aim/../../etc/x";
    }

    void hostilePathsResolveToNothing()
    {
        QFETCH(QString, path);
        Rs3Fixture fx;
        // The file the hostile path aims at really exists next to the installs.
        const QString target = QFileInfo(fx.root(Rs3Fixture::Stable)).absolutePath() + QStringLiteral("/etc/x");
        QVERIFY(writeFile(target, "secret"));
        QVERIFY(QFileInfo::exists(QDir::cleanPath(fx.root(Rs3Fixture::Stable) + QStringLiteral("/aim/../../etc/x"))));
        QCOMPARE(DashConfig::resolveRs3Path(path), QString());
        QCOMPARE(resolveAssetPath(path), QString());
        QCOMPARE(DashConfig::resolveOverlayDir(QStringLiteral("aim/resources/overlay/../../../../etc")), QString());

        DashConfig config;
        config.triggeredIconImages.insert(QStringLiteral("alarm"), path);
        QCOMPARE(config.resolveResourcePath(QStringLiteral("alarm")), QString());
    }

    void absoluteAssetPathsStayInsideRoots()
    {
        Rs3Fixture fx;
        const QString inside = fx.absolutePath(Rs3Fixture::Stable, kPrefix + QStringLiteral("mxg_12/Icon/a_on.bmp"));
        QVERIFY(writeFile(inside, "x"));
        QCOMPARE(resolveAssetPath(inside), inside);
        const QString outside = TestEnvironment::makeTempDir() + QStringLiteral("/a.png");
        QVERIFY(writeFile(outside, "x"));
        QCOMPARE(resolveAssetPath(outside), QString());
        QCOMPARE(resolveAssetPath(fx.root(Rs3Fixture::Stable) + QStringLiteral("/missing.png")), QString());
    }

    void resourcePathFromTriggeredIcon()
    {
        Rs3Fixture fx;
        const QString rest = QStringLiteral("mxg_12/Icon/oil_on.bmp");
        QVERIFY(writeFile(fx.overlayRoot(Rs3Fixture::Local) + QLatin1Char('/') + rest, "l"));
        DashConfig config;
        // RS3 stores its own absolute install path; only the part after the prefix counts.
        config.triggeredIconImages.insert(QStringLiteral("Oil"),
                                          QStringLiteral("C:\\AIM_SPORT\\RaceStudio3\\aim\\resources\\overlay\\") + QString(rest).replace('/', '\\'));
        QCOMPARE(config.resolveResourcePath(QStringLiteral("Oil")), fx.overlayRoot(Rs3Fixture::Local) + QLatin1Char('/') + rest);
        QCOMPARE(config.resolveResourcePath(QStringLiteral("none")), QString());
    }

    void iconFileForIconMask()
    {
        Rs3Fixture fx;
        const QString rel = kPrefix + QStringLiteral("mxg_12/Icon/oil_on.bmp");
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, rel, "b"));
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<e c=\"GMaskParam\"><e c=\"AiM_Icona\"><p n=\"OVERLAY2_ICONA_FEATUREKEY\"> Oil </p></e></e>"));
        DashConfig config;
        PageModel pg;
        MaskElement icon;
        icon.node = doc.first_child();
        pg.masks.push_back(icon);
        pg.masks.push_back(MaskElement()); // no XML node
        config.pages.push_back(std::move(pg));
        config.triggeredIconImages.insert(QStringLiteral("Oil"), rel);
        QCOMPARE(config.iconFeatureKey(0, 0), QStringLiteral("Oil"));
        QCOMPARE(config.iconFileForMask(0, 0), fx.absolutePath(Rs3Fixture::Beta, rel));
        QCOMPARE(config.iconFileForMask(0, 1), QString());
        QCOMPARE(config.iconFileForMask(1, 0), QString());
        QCOMPARE(config.iconFileForMask(0, -1), QString());
    }

    void itemsParent_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Items") << "a/b/Items/c" << "a/b/";
        QTest::newRow("no items") << "a/b" << "a/b/";
        QTest::newRow("lower case decides") << "a/items/b/Items/c" << "a/";
        QTest::newRow("backslashes") << "a\\b\\items\\c\\" << "a/b/";
    }

    void itemsParent()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(itemsParentFolder(path), expected);
    }

    void locateItemMaskPngPrefersOwnItems()
    {
        Rs3Fixture fx;
        const QString element = kPrefix + QStringLiteral("mxg_12/masks/set/standard/s01/p1");
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, element + QStringLiteral("/Items/md2/mask.png"), "tiny"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, element + QStringLiteral("/Items/md1/mask.png"), "much larger file"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPrefix + QStringLiteral("mxg_12/masks/set/standard/s02/q/Items/z/mask.png"), "1"));
        QCOMPARE(locateItemMaskPng(element), element + QStringLiteral("/Items/md1/"));
        // Without own items, the smallest of the device family.
        const QString other = kPrefix + QStringLiteral("mxg_12/masks/set/standard/s03/none/");
        QCOMPARE(locateItemMaskPng(other), kPrefix + QStringLiteral("mxg_12/masks/set/standard/s02/q/Items/z/"));
        QCOMPARE(locateItemMaskPng(kPrefix + QStringLiteral("../masks/x")), QString());
        QCOMPARE(locateItemMaskPng(QString()), QString());
    }

    void findItemForClassReadsDescriptors()
    {
        Rs3Fixture fx;
        const QString page = kPrefix + QStringLiteral("mxg_12/masks/set/standard/s01/p1/");
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, page + QStringLiteral("Items/a/a.M2.xml"),
                             "<aimDataBase_Mask2><e c=\"GMaskParam\"><e c=\"Label\"/></e></aimDataBase_Mask2>"));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, page + QStringLiteral("Items/b/b.M2.xml"),
                             "<aimDataBase_Mask2><e c=\"GMaskParam\"><e c=\"Digit\"/></e></aimDataBase_Mask2>"));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, page + QStringLiteral("Items/0bad/x.M2.xml"), "<broken"));
        QCOMPARE(findItemForClass(page, QStringLiteral("Digit")), page + QStringLiteral("Items/b/"));
        QCOMPARE(findItemForClass(page, QStringLiteral("Label")), page + QStringLiteral("Items/a/"));
        QCOMPARE(findItemForClass(page, QStringLiteral("Ring")), QString());
        QCOMPARE(findItemForClass(QStringLiteral("aim/../../x"), QStringLiteral("Digit")), QString());
    }

    void scaleNode()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<r><e c=\"Bargraph\" i=\"d\"><e c=\"ScaleFSV\" i=\"1\"/><e c=\"UDM\"><e c=\"ScaleFSV\" i=\"2\"/></e></e>"
                                "<e c=\"Bargraph\" i=\"u\"><e c=\"UDM\"/><e c=\"UDM\"><e c=\"ScaleFSV\" i=\"3\"/></e></e>"
                                "<e c=\"Bargraph\" i=\"n\"/></r>"));
        pugi::xml_node r = doc.child("r");
        QCOMPARE(QString(findScaleFsvNode(r.find_child_by_attribute("e", "i", "d")).attribute("i").value()), QStringLiteral("1"));
        QCOMPARE(QString(findScaleFsvNode(r.find_child_by_attribute("e", "i", "u")).attribute("i").value()), QStringLiteral("3"));
        QVERIFY(!findScaleFsvNode(r.find_child_by_attribute("e", "i", "n")));
    }

    void deviceFolders()
    {
        DashConfig config;
        for (const char* path : {"aim/resources/overlay/pdm/dash1/masks/x", "aim/resources/overlay/MXG_12/masks/a",
                                 "aim/resources/overlay/mxg_12/masks/b", "nothing here"}) {
            PageModel pg;
            pg.relPagePath = QString::fromLatin1(path);
            config.pages.push_back(std::move(pg));
        }
        QCOMPARE(config.deviceOverlayFolders(), QStringList({QStringLiteral("pdm/dash1"), QStringLiteral("MXG_12")}));
    }

    void bmpPixels_data()
    {
        QTest::addColumn<bool>("topDown");
        QTest::newRow("bottom-up") << false;
        QTest::newRow("top-down") << true;
    }

    void bmpPixels()
    {
        QFETCH(bool, topDown);
        BmpFixture::Options o;
        o.topDown = topDown;
        // Three pixels wide: rows are padded to four bytes.
        const QVector<quint16> px = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
        const QImage img = readImageFile(writeTempFile(BmpFixture::rgb565(3, 2, px, o)));
        QCOMPARE(img.size(), QSize(3, 2));
        QCOMPARE(img.format(), QImage::Format_RGB888);
        QCOMPARE(img.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(img.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(img.pixel(2, 0), qRgb(0, 0, 255));
        QCOMPARE(img.pixel(0, 1), qRgb(255, 255, 255));
        QCOMPARE(img.pixel(1, 1), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(2, 1), qRgb(132, 130, 132));
    }

    void bmpRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QVector<quint16> px(16, 0xFFFF);
        auto with = [&](auto change) {
            BmpFixture::Options o;
            change(o);
            return BmpFixture::rgb565(4, 4, px, o);
        };
        QTest::newRow("RGB555 masks") << with([](BmpFixture::Options& o) { o.masks[0] = 0x7C00; o.masks[1] = 0x03E0; });
        QTest::newRow("24-bit") << with([](BmpFixture::Options& o) { o.bitsPerPixel = 24; });
        QTest::newRow("not bit fields") << with([](BmpFixture::Options& o) { o.compression = 0; });
        QTest::newRow("truncated pixels") << with([](BmpFixture::Options& o) { o.dropTrailingBytes = 1; });
        QTest::newRow("height claims more") << with([](BmpFixture::Options& o) { o.headerHeight = 5; });
        QTest::newRow("huge width") << with([](BmpFixture::Options& o) { o.headerWidth = INT_MAX; });
        QTest::newRow("huge height") << with([](BmpFixture::Options& o) { o.headerHeight = INT_MAX; });
        QTest::newRow("height INT_MIN") << with([](BmpFixture::Options& o) { o.headerHeight = INT_MIN; });
        QByteArray zeroHeight = BmpFixture::rgb565(4, 4, px);
        zeroHeight.replace(22, 4, QByteArray(4, '\0'));
        QTest::newRow("zero height") << zeroHeight;
        QTest::newRow("negative width") << with([](BmpFixture::Options& o) { o.headerWidth = -4; });
        QTest::newRow("offset past the end") << with([](BmpFixture::Options& o) { o.pixelOffset = 0xFFFFFFF0LL; });
        QTest::newRow("offset near the end") << with([](BmpFixture::Options& o) { o.pixelOffset = 80; });
        QTest::newRow("short file") << QByteArray("BM").leftJustified(69, '\0');
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n").leftJustified(100, '\0');
    }

    void bmpRefused()
    {
        QFETCH(QByteArray, file);
        QVERIFY(readImageFile(writeTempFile(file)).isNull());
    }

    void bmpMissingFile()
    {
        QVERIFY(readImageFile(QStringLiteral("/nonexistent/x.bmp")).isNull());
    }
};

KORV_GUI_TEST_MAIN(InstallRootsTest)
#include "tst_installroots.moc"
