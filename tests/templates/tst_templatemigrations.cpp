#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

namespace {

const QStringList kFlags = {"homebrew/stradaBackfillV024Done", "homebrew/tgzBackfillV025Done",
                            "homebrew/xmlFixV026Done", "homebrew/setMetaBackfillV0289Done",
                            "solo2dl/bundledTemplatesV0321Done"};

const QByteArray kOldPMain = "<?xml version=\"1.0\"?>\n<aimDataBase_Page2>\n"
                             "  <e c=\"GPageParam\" i=\"GPageParam.1\">\n"
                             "    <p n=\"PATH_IMAGE\">bkg.png</p>\n"
                             "    <p n=\"PATH_IMAGE_SFONDO_FW\">_222222.tgz</p>\n"
                             "  </e>\n</aimDataBase_Page2>\n";

// A theme folder as an older version left it: placeholder, no bkg.tgz.
void writeOldTheme(const QString& folder, bool withBackground = true)
{
    PageTemplateLibrary::writeFile(folder + "/pMain.P2.xml", kOldPMain);
    if (withBackground) {
        QImage picture(120, 60, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        PageTemplateLibrary::writeFile(folder + "/bkg.png", pngBytes(picture));
    }
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void setFlags(bool on)
{
    QSettings settings;
    for (const QString& flag : kFlags) {
        if (on)
            settings.setValue(flag, true);
        else
            settings.remove(flag);
    }
}

QList<bool> flagsSet()
{
    QSettings settings;
    QList<bool> set;
    for (const QString& flag : kFlags)
        set << settings.value(flag, false).toBool();
    return set;
}

void runAll()
{
    PageTemplateLibrary::runStradaBackfillV024Once();
    PageTemplateLibrary::runTgzBackfillV025Once();
    PageTemplateLibrary::runXmlFixBackfillV026Once();
    PageTemplateLibrary::runSetMetaBackfillV0289Once();
    PageTemplateLibrary::runStartupBundledSolo2DLTemplatesOnce();
}

QString set(const Rs3Fixture& fx, const QString& family)
{
    return fx.overlayRoot(Rs3Fixture::Stable) + '/' + family + "/masks/set/standard/s04_homebrew";
}

QByteArray marker()
{
    return PageTemplateLibrary::folderMetaXml("Homebrew", 99);
}

} // namespace

class TemplateMigrationsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        setFlags(false);
    }

    void oldStoreBroughtUpToDate()
    {
        Rs3Fixture fx;
        const QString store = homebrewTemplatesDir();
        writeOldTheme(store + "/mxg_12/zold");
        writeOldTheme(store + "/mxg_12/zkept");
        writeOldTheme(store + "/solo2dl/zsolo");
        writeOldTheme(store + "/mxs_12/znobkg", false);
        QVERIFY(QDir().mkpath(store + "/mxp"));
        for (const QString& family : QStringList{"mxg", "mxg_12 strada", "mxg_12", "solo2dl"})
            fx.addTemplate(Rs3Fixture::Stable, family, "s02", "p01");
        QVERIFY(PageTemplateLibrary::writeFile(set(fx, "mxg") + "/zkept/pMain.P2.xml", "<rs3 copy/>"));
        writeOldTheme(set(fx, "mxt") + "/zmine");
        QVERIFY(QDir().mkpath(set(fx, "pdm/dash1")));
        const QString bundled = fx.overlayRoot(Rs3Fixture::Local) + "/solo2dl/masks/set/standard/s02_krastovelin";
        QVERIFY(PageTemplateLibrary::writeFile(bundled + "/p01/pMain.P2.xml", "<solo/>"));
        QVERIFY(PageTemplateLibrary::writeFile(bundled + "/AiM_folder.xml", "<set/>"));

        // The copy already in the "mxg" set is neither replaced nor counted.
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Backfill populated 2 themes into " + set(fx, "mxg_12 strada")));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Backfill populated 1 themes into " + set(fx, "mxg")));
        QTest::ignoreMessage(QtDebugMsg, "Strada backfill v0.2.4 complete, themes written: 3");
        runAll();
        QCOMPARE(flagsSet(), QList<bool>({true, true, true, true, true}));

        QCOMPARE(entries(set(fx, "mxg_12 strada")), QStringList({"AiM_folder.xml", "zkept", "zold"}));
        QCOMPARE(entries(set(fx, "mxg")), QStringList({"AiM_folder.xml", "zkept", "zold"}));
        QVERIFY(!QFileInfo::exists(set(fx, "mxg_12")));
        QCOMPARE(TestFiles::readBytes(set(fx, "mxg") + "/zkept/pMain.P2.xml"), QByteArray("<rs3 copy/>"));

        // Store and RS3 themes get bkg.tgz at their device's size and lose
        // the placeholder.
        const QByteArray patched = QByteArray(kOldPMain).replace("_222222.tgz", "bkg.tgz");
        for (const QString& theme : {store + "/mxg_12/zold", set(fx, "mxg") + "/zold"}) {
            QCOMPARE(TgzImage::decodeFile(theme + "/bkg.tgz").size(), QSize(800, 480));
            QCOMPARE(TestFiles::readBytes(theme + "/pMain.P2.xml"), patched);
        }
        QCOMPARE(TgzImage::decodeFile(store + "/solo2dl/zsolo/bkg.tgz").size(), QSize(238, 99));
        QCOMPARE(TgzImage::decodeFile(set(fx, "mxt") + "/zmine/bkg.tgz").size(), QSize(1280, 480));
        QCOMPARE(entries(store + "/mxs_12/znobkg"), QStringList({"pMain.P2.xml"}));

        QCOMPARE(TestFiles::readBytes(store + "/mxg_12/AiM_folder.xml"), marker());
        QCOMPARE(TestFiles::readBytes(store + "/solo2dl/AiM_folder.xml"), marker());
        QVERIFY(!QFileInfo::exists(store + "/mxp/AiM_folder.xml"));
        QCOMPARE(TestFiles::readBytes(set(fx, "mxt") + "/AiM_folder.xml"), marker());
        QCOMPARE(TestFiles::readBytes(set(fx, "pdm/dash1") + "/AiM_folder.xml"), marker());

        const QString installed = fx.overlayRoot(Rs3Fixture::Stable) + "/solo2dl/masks/set/standard/s02_krastovelin";
        QCOMPARE(Rs3Fixture::treeSnapshot(installed), Rs3Fixture::treeSnapshot(bundled));

        // Again, then again with every flag cleared: each step only fills in
        // what is missing, so neither run changes a file.
        const auto rs3 = fx.snapshot();
        const auto stored = Rs3Fixture::treeSnapshot(store);
        runAll();
        setFlags(false);
        runAll();
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(store), stored);
        QCOMPARE(flagsSet(), QList<bool>({true, true, true, true, true}));
    }

    // A homebrew set, a standard folder or a label in an install that is a
    // symbolic link may lead to the user's own folder: no step writes or
    // reads through it, each says what it left, and the install beside it
    // is brought up to date as ever.
    void linkedFoldersAreLeft()
    {
        Rs3Fixture fx;
        const QString users = TestEnvironment::makeTempDir(QStringLiteral("users ü & <x>"));
        writeOldTheme(users + "/zmine");
        writeOldTheme(homebrewTemplatesDir() + "/mxg_12/zold");
        const QString beta = fx.overlayRoot(Rs3Fixture::Beta) + "/mxs_12/masks/set/standard/s04_homebrew";
        writeOldTheme(beta + "/zmine");
        const QString linkedSet = set(fx, "mxs_12");
        const QString linkedStandard = fx.overlayRoot(Rs3Fixture::Stable) + "/mxg/masks/set/standard";
        QVERIFY(QDir().mkpath(QFileInfo(linkedSet).path()) && QDir().mkpath(QFileInfo(linkedStandard).path()));
        QVERIFY(QFile::link(users, linkedSet));
        QVERIFY(QFile::link(users, linkedStandard));
        QVERIFY(QDir().mkpath(set(fx, "mxt")));
        QVERIFY(QFile::link(users + "/label.xml", set(fx, "mxt") + "/AiM_folder.xml"));
        const auto before = Rs3Fixture::treeSnapshot(users);

        const QString left = QStringLiteral(" as it is: (.*) is a symbolic link$");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Backfill: left " + QRegularExpression::escape(linkedStandard) + left));
        for (int step = 0; step < 2; ++step) // the bkg.tgz and the placeholder steps
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Backfill: left " + QRegularExpression::escape(linkedSet) + left));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Set-meta backfill v0.2.8.9: left "
                                                            + QRegularExpression::escape(linkedSet + "/AiM_folder.xml") + left));
        runAll();

        QCOMPARE(Rs3Fixture::treeSnapshot(users), before);
        QVERIFY(!QFileInfo::exists(users + "/label.xml"));
        QCOMPARE(TestFiles::readBytes(beta + "/AiM_folder.xml"), marker());
        QCOMPARE(TgzImage::decodeFile(beta + "/zmine/bkg.tgz").size(), QSize(800, 480));
        QVERIFY(TestFiles::readBytes(beta + "/zmine/pMain.P2.xml").contains("bkg.tgz"));
    }

    void withoutBundledSetStepFiveWaits()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "solo2dl", "s01", "p04", QSize(238, 99));
        const QRegularExpression skipping(QStringLiteral("bundled set not found at .* -- skipping \\(dev build\\)$"));
        for (int start = 0; start < 2; ++start) {
            QTest::ignoreMessage(QtDebugMsg, skipping);
            runAll();
            QCOMPARE(flagsSet(), QList<bool>({true, true, true, true, false}));
        }
        QCOMPARE(entries(fx.overlayRoot(Rs3Fixture::Stable) + "/solo2dl/masks/set/standard"), QStringList({"s01"}));
    }

    void equalRootsWriteEachFolderOnce()
    {
        Rs3Fixture fx;
        QSettings().setValue("paths/raceStudio3BetaRoot", fx.root(Rs3Fixture::Stable));
        writeOldTheme(homebrewTemplatesDir() + "/mxg_12/zold");
        fx.addTemplate(Rs3Fixture::Stable, "mxg", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Stable, "solo2dl", "s01", "p04", QSize(238, 99));
        QVERIFY(PageTemplateLibrary::writeFile(
            fx.overlayRoot(Rs3Fixture::Local) + "/solo2dl/masks/set/standard/s02_krastovelin/p01/pMain.P2.xml",
            "<solo/>"));
        runAll();
        QCOMPARE(entries(set(fx, "mxg")), QStringList({"AiM_folder.xml", "zold"}));
        QCOMPARE(entries(set(fx, "mxg") + "/zold"), QStringList({"bkg.png", "bkg.tgz", "pMain.P2.xml"}));
        QCOMPARE(entries(fx.overlayRoot(Rs3Fixture::Stable) + "/solo2dl/masks/set/standard"),
                 QStringList({"s01", "s02_krastovelin"}));
        QCOMPARE(entries(fx.overlayRoot(Rs3Fixture::Stable) + "/solo2dl/masks/set/standard/s02_krastovelin"),
                 QStringList({"p01"}));
    }
};

KORV_GUI_TEST_MAIN(TemplateMigrationsTest)
#include "tst_templatemigrations.moc"
