#include "templates/PageTemplateLibrary.h"
#include "templates/ThemeAssets.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DeviceRegistry.h"
#include "model/InstallRoots.h"
#include "model/ZipArchive.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QtTest>

namespace {

const QString kSlug = QStringLiteral("zneon");
const QString kPlaceholder = QStringLiteral("    <p n=\"PATH_IMAGE_SFONDO_FW\">_222222.tgz</p>\n");

QByteArray pngOf(const QColor& colour, const QSize& size = QSize(160, 96))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return pngBytes(image);
}

ThemeAssets assetsFor(const QStringList& families, const QColor& colour)
{
    ThemeAssets assets;
    for (const QString& family : families)
        assets.backgrounds.insert(family, pngOf(colour));
    return assets;
}

QStringList allFamilies()
{
    QStringList families;
    for (const DeviceRow& row : DeviceRegistry::devices())
        families << row.family;
    return families;
}

QString storeFolder(const QString& family)
{
    return homebrewTemplatesDir() + QLatin1Char('/') + family + QLatin1Char('/') + kSlug;
}

QString setFolder(const Rs3Fixture& fx, Rs3Fixture::Root which, const QString& family)
{
    return fx.overlayRoot(which) + QLatin1Char('/') + family + QStringLiteral("/masks/set/standard/s04_homebrew");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TemplateThemesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QDir(homebrewTemplatesDir()).removeRecursively(); }

    void installsIntoStoreAndEverySet()
    {
        Rs3Fixture fx;
        // mxg_12 in both installs (the stable base wins), mxt only in beta.
        const QString mxg = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Beta, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Beta, "mxt", "s02", "p25ext", QSize(1280, 480));
        fx.addTemplate(Rs3Fixture::Stable, "pdm/dash1", "s02", "p25ext", QSize(1280, 480));
        fx.addTemplate(Rs3Fixture::Stable, "solo2dl", "s01", "p04", QSize(238, 99));
        const QString pMain = mxg + QStringLiteral("/pMain.P2.xml");
        const QString basePMain = QString::fromUtf8(TestFiles::readBytes(pMain));
        QVERIFY(PageTemplateLibrary::writeFile(
            pMain, QString(basePMain).replace("  </e>", kPlaceholder + "  </e>").toUtf8()));
        QVERIFY(PageTemplateLibrary::writeFile(mxg + QStringLiteral("/prw.png"), "base preview"));
        // A page template saved under the same slug is replaced as well.
        QVERIFY(PageTemplateLibrary::writeFile(storeFolder("mxs_12") + QStringLiteral("/pMain.P2.xml"), "<p/>"));

        ThemeAssets assets = assetsFor({"mxg_12", "mxt", "pdm/dash1", "solo2dl", "mxp"}, Qt::magenta);
        assets.previews.insert("mxt", pngOf(Qt::yellow, QSize(196, 117)));
        QStringList skipped{"earlier"};
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assets, &skipped), 4);
        QCOMPARE(skipped, QStringList({"earlier", "mxs_12", "mxp", "mxsl", "pdm/dash2", "pdm08/dash1",
                                       "pdm08/dash2", "fsw"}));

        const QString store = storeFolder("mxg_12");
        QCOMPARE(entries(store), QStringList({"AiM_folder.xml", "bkg.png", "bkg.tgz", "pMain.P2.xml", "prw.png"}));
        QCOMPARE(TestFiles::readBytes(store + "/bkg.png"), assets.backgrounds["mxg_12"]);
        QCOMPARE(TestFiles::readBytes(store + "/prw.png"), QByteArray("base preview"));
        QCOMPARE(TestFiles::readBytes(store + "/AiM_folder.xml"), PageTemplateLibrary::folderMetaXml("Neon", 99));
        QCOMPARE(TestFiles::readBytes(store + "/pMain.P2.xml"),
                 QString(basePMain)
                     .replace("  </e>", QString(kPlaceholder).replace("_222222.tgz", "bkg.tgz") + "  </e>")
                     .toUtf8());
        QCOMPARE(TgzImage::decodeFile(store + "/bkg.tgz").size(), QSize(800, 480));
        for (Rs3Fixture::Root which : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString set = setFolder(fx, which, "mxg_12");
            QCOMPARE(entries(set), QStringList({"AiM_folder.xml", kSlug}));
            QCOMPARE(TestFiles::readBytes(set + "/AiM_folder.xml"), PageTemplateLibrary::folderMetaXml("Homebrew", 99));
            QCOMPARE(Rs3Fixture::treeSnapshot(set + '/' + kSlug), Rs3Fixture::treeSnapshot(store));
        }

        QVERIFY(!QFileInfo::exists(fx.overlayRoot(Rs3Fixture::Stable) + "/mxt"));
        QCOMPARE(TestFiles::readBytes(setFolder(fx, Rs3Fixture::Beta, "mxt") + '/' + kSlug + "/prw.png"),
                 assets.previews["mxt"]);
        QVERIFY(QFileInfo::exists(homebrewTemplatesDir() + "/pdm/dash1/" + kSlug + "/pMain.P2.xml"));
        QCOMPARE(TgzImage::decodeFile(storeFolder("solo2dl") + "/bkg.tgz").size(), QSize(238, 99));
        QVERIFY(!QFileInfo::exists(homebrewTemplatesDir() + "/mxp"));

        QCOMPARE(PageTemplateLibrary::existingThemeFolders(kSlug),
                 QStringList({storeFolder("mxg_12"), storeFolder("mxs_12"), storeFolder("mxt"),
                              storeFolder("pdm/dash1"), storeFolder("solo2dl"),
                              setFolder(fx, Rs3Fixture::Stable, "mxg_12") + '/' + kSlug,
                              setFolder(fx, Rs3Fixture::Beta, "mxg_12") + '/' + kSlug,
                              setFolder(fx, Rs3Fixture::Beta, "mxt") + '/' + kSlug,
                              setFolder(fx, Rs3Fixture::Stable, "pdm/dash1") + '/' + kSlug,
                              setFolder(fx, Rs3Fixture::Stable, "solo2dl") + '/' + kSlug}));
    }

    void withoutRs3NothingIsWritten()
    {
        Rs3Fixture fx;
        const auto before = Rs3Fixture::treeSnapshot(TestEnvironment::homeDir());
        QStringList skipped;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assetsFor(allFamilies(), Qt::red), &skipped),
                 0);
        QCOMPARE(skipped, allFamilies());
        QVERIFY(!QFileInfo::exists(homebrewTemplatesDir()));
        QCOMPARE(Rs3Fixture::treeSnapshot(TestEnvironment::homeDir()), before);
    }

    // A page template of the theme's name, in the store and in an RS3 set,
    // is copied into a dated backup folder before the theme replaces it; the
    // same theme installed again keeps nothing more.
    void replacedTemplateIsKeptAside()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString store = storeFolder("mxg_12");
        const QString rs3 = setFolder(fx, Rs3Fixture::Stable, "mxg_12") + '/' + kSlug;
        QVERIFY(PageTemplateLibrary::writeFile(store + "/pMain.P2.xml", "<my page/>"));
        QVERIFY(PageTemplateLibrary::writeFile(store + "/Items/md1/mask.png", "my art"));
        QVERIFY(PageTemplateLibrary::writeFile(rs3 + "/pMain.P2.xml", "<rs3 page/>"));
        const ThemeAssets assets = assetsFor({"mxg_12"}, Qt::red);
        QString kept;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assets, nullptr, &kept), 1);
        QVERIFY(kept.startsWith(appDataDir() + "/artwork_backups/"));
        QCOMPARE(TestFiles::readBytes(kept + "/1/pMain.P2.xml"), QByteArray("<my page/>"));
        QCOMPARE(TestFiles::readBytes(kept + "/1/Items/md1/mask.png"), QByteArray("my art"));
        QCOMPARE(TestFiles::readBytes(kept + "/2/pMain.P2.xml"), QByteArray("<rs3 page/>"));
        QCOMPARE(TestFiles::readBytes(kept + "/kept.txt"), ("1\t" + store + "\n2\t" + rs3 + "\n").toUtf8());
        QCOMPARE(TestFiles::readBytes(store + "/bkg.png"), assets.backgrounds["mxg_12"]);

        QString again;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assets, nullptr, &again), 1);
        QCOMPARE(again, QString());
    }

    // A folder of the slug's name in an RS3 set that holds no template is
    // art saved files may use: the theme goes into the store and leaves it.
    void foreignFolderInAnInstallIsLeftAlone()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString rs3 = setFolder(fx, Rs3Fixture::Stable, "mxg_12") + '/' + kSlug;
        QVERIFY(PageTemplateLibrary::writeFile(rs3 + "/Items/md1/mask.png", "their art"));
        const auto before = Rs3Fixture::treeSnapshot(rs3);
        QString kept;
        QStringList leftAlone;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assetsFor({"mxg_12"}, Qt::red), nullptr, &kept,
                                                           &leftAlone),
                 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(rs3), before);
        QCOMPARE(leftAlone, QStringList{rs3 + " holds no pMain.P2.xml: it is not a template folder, and what it holds "
                                              "may be art that saved configurations use."});
        QVERIFY(QFileInfo::exists(storeFolder("mxg_12") + "/pMain.P2.xml"));
        QCOMPARE(kept, QString());
    }

    // A set folder that is a link leads to someone else's folder: a
    // template of the theme's name there is neither replaced nor kept aside.
    void linkedSetInAnInstallIsLeftAlone()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString shared = TestEnvironment::makeTempDir(QStringLiteral("shared"));
        QVERIFY(PageTemplateLibrary::writeFile(shared + '/' + kSlug + "/pMain.P2.xml", "<theirs/>"));
        const QString set = setFolder(fx, Rs3Fixture::Stable, "mxg_12");
        QVERIFY(!QFileInfo::exists(set) || QDir(set).removeRecursively());
        QVERIFY(QFile::link(shared, set));
        const auto before = Rs3Fixture::treeSnapshot(shared);
        QString kept;
        QStringList leftAlone;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Neon", assetsFor({"mxg_12"}, Qt::red), nullptr, &kept,
                                                           &leftAlone),
                 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(shared), before);
        QVERIFY(QFileInfo(set).isSymLink());
        QCOMPARE(leftAlone, QStringList{set + '/' + kSlug + " lies behind " + set + ", which is a link."});
        QCOMPARE(kept, QString());
    }

    void reinstallLeavesOnlyTheSecondTheme()
    {
        Rs3Fixture fx;
        const QString base = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        QVERIFY(PageTemplateLibrary::writeFile(base + "/Items/md1/md1.M2.xml", "<m/>"));
        ThemeAssets first = assetsFor({"mxg_12"}, Qt::red);
        first.previews.insert("mxg_12", pngOf(Qt::green));
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "First", first, nullptr), 1);
        QVERIFY(QFileInfo::exists(storeFolder("mxg_12") + "/Items/md1/md1.M2.xml"));

        QVERIFY(QDir(base + "/Items").removeRecursively());
        const ThemeAssets second = assetsFor({"mxg_12"}, Qt::blue);
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Second", second, nullptr), 1);
        for (const QString& folder : {storeFolder("mxg_12"), setFolder(fx, Rs3Fixture::Stable, "mxg_12") + '/' + kSlug}) {
            QCOMPARE(entries(folder), QStringList({"AiM_folder.xml", "bkg.png", "bkg.tgz", "pMain.P2.xml"}));
            QCOMPARE(TestFiles::readBytes(folder + "/bkg.png"), second.backgrounds["mxg_12"]);
            QCOMPARE(TestFiles::readBytes(folder + "/AiM_folder.xml"),
                     PageTemplateLibrary::folderMetaXml("Second", 99));
        }
        QCOMPARE(entries(homebrewTemplatesDir() + "/mxg_12"), QStringList({kSlug}));
    }

    void unsafeSlugTouchesNothing_data()
    {
        QTest::addColumn<QString>("slug");
        QTest::newRow("parent") << "..";
        QTest::newRow("climbs out") << "../../x";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("slash") << "a/b";
        QTest::newRow("drive") << "C:x";
        // The names of the editor's own art in the installs.
        QTest::newRow("box art") << "zbox_demo";
        QTest::newRow("bar art, other case") << "ZBar_md_01_race";
    }

    void unsafeSlugTouchesNothing()
    {
        QFETCH(QString, slug);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Beta, "mxg_12", "s02", "p01");
        QVERIFY(PageTemplateLibrary::writeFile(storeFolder("mxg_12") + "/pMain.P2.xml", "<keep/>"));
        const auto before = Rs3Fixture::treeSnapshot(TestEnvironment::homeDir());
        QStringList skipped;
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(slug, "Bad", assetsFor(allFamilies(), Qt::red), &skipped),
                 0);
        QCOMPARE(skipped, QStringList());
        QCOMPARE(PageTemplateLibrary::existingThemeFolders(slug), QStringList());
        QCOMPARE(Rs3Fixture::treeSnapshot(TestEnvironment::homeDir()), before);
    }

    void failedTargetKeepsTheOlderTheme_data()
    {
        QTest::addColumn<QString>("folderInBase");
        QTest::addColumn<bool>("failBetaSwap");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<bool>>("replaced"); // store, stable set, beta set
        QTest::newRow("bkg.png cannot be written") << "bkg.png" << false << 0 << QList<bool>{false, false, false};
        QTest::newRow("AiM_folder.xml cannot be written")
            << "AiM_folder.xml" << false << 0 << QList<bool>{false, false, false};
        QTest::newRow("beta copy cannot be swapped in") << "" << true << 1 << QList<bool>{true, true, false};
    }

    void failedTargetKeepsTheOlderTheme()
    {
        QFETCH(QString, folderInBase);
        QFETCH(bool, failBetaSwap);
        QFETCH(int, count);
        QFETCH(QList<bool>, replaced);
        Rs3Fixture fx;
        const QString base = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Beta, "mxg_12", "s02", "p01");
        const ThemeAssets older = assetsFor({"mxg_12"}, Qt::red);
        QCOMPARE(PageTemplateLibrary::installHomebrewTheme(kSlug, "Older", older, nullptr), 1);
        const QStringList targets = {storeFolder("mxg_12"), setFolder(fx, Rs3Fixture::Stable, "mxg_12") + '/' + kSlug,
                                     setFolder(fx, Rs3Fixture::Beta, "mxg_12") + '/' + kSlug};
        const auto olderTree = Rs3Fixture::treeSnapshot(targets[0]);

        if (!folderInBase.isEmpty()) {
            QFile::remove(base + '/' + folderInBase);
            QVERIFY(QDir().mkpath(base + '/' + folderInBase));
        }
        const QString betaRoot = fx.root(Rs3Fixture::Beta);
        if (failBetaSwap) {
            setArchiveRenameFunction([betaRoot](const QString& from, const QString& to) {
                return !to.startsWith(betaRoot) && QFile::rename(from, to);
            });
        }
        const ThemeAssets newer = assetsFor({"mxg_12"}, Qt::blue);
        const int written = PageTemplateLibrary::installHomebrewTheme(kSlug, "Newer", newer, nullptr);
        setArchiveRenameFunction({});
        QCOMPARE(written, count);
        for (int i = 0; i < targets.size(); ++i) {
            const QByteArray expected = replaced[i] ? newer.backgrounds["mxg_12"] : older.backgrounds["mxg_12"];
            QCOMPARE(TestFiles::readBytes(targets[i] + "/bkg.png"), expected);
            if (!replaced[i])
                QCOMPARE(Rs3Fixture::treeSnapshot(targets[i]), olderTree);
            QCOMPARE(entries(QFileInfo(targets[i]).path()).filter(kSlug), QStringList({kSlug}));
        }
    }
};

KORV_GUI_TEST_MAIN(TemplateThemesTest)
#include "tst_templatethemes.moc"
