#include "check/ConfigCheck.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

#include <climits>

namespace {

const QString kPageFolder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01");
const QString kOtherSetItem = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/p03/Items/md1/");

// One page in the s02/p01 template set of mxg_12, holding the given masks.
ConfigFixture onePage(const QList<FixtureElement>& masks, int pageWidth = -1)
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.width = pageWidth;
    page.masks = masks;
    return cfg;
}

ConfigFindings check(const ConfigFixture& cfg)
{
    DashConfig config;
    if (!config.load(cfg.writeTempZip()))
        return {ConfigFinding{}}; // a sentinel no rule produces
    return ConfigCheck::checkConfig(config);
}

ConfigFindings withCode(const ConfigFindings& all, const QString& code)
{
    ConfigFindings out;
    for (const ConfigFinding& f : all) {
        if (f.code == code)
            out << f;
    }
    return out;
}

// An item file of the page's own template set declaring elements of `classes`.
void addPageItem(const Rs3Fixture& fx, const QStringList& classes)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n<e c=\"GMaskParam\" i=\"md1\">\n";
    for (const QString& cls : classes)
        xml += "<e c=\"" + cls.toUtf8() + "\" i=\"1\"><p n=\"WIDTH\">10</p></e>\n";
    xml += "</e>\n</aimDataBase_Mask2>\n";
    QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + "/Items/md1/md1.M2.xml", xml));
}

FixtureElement markedLabel(int width, int xpos, const QString& marker)
{
    FixtureElement e(QStringLiteral("Label"), QStringLiteral("l1"));
    if (xpos >= 0)
        e.p("XPOS", xpos);
    e.p("YPOS", 0);
    if (width >= 0)
        e.p("WIDTH", width);
    e.p("HEIGHT", 40);
    return e.p("LINES_X_HOT_MOUSE", marker);
}

} // namespace

class ConfigCheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noPagesNoFindings()
    {
        DashConfig empty;
        QVERIFY(ConfigCheck::checkConfig(empty).isEmpty());
    }

    void markers_data()
    {
        QTest::addColumn<int>("maskWidth");
        QTest::addColumn<int>("width"); // -1: no WIDTH
        QTest::addColumn<int>("xpos");  // -1: no XPOS
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("severity"); // -1: no finding
        QTest::addColumn<QString>("message");
        QTest::newRow("on its item") << 200 << 100 << 50 << "50,0,150,0" << -1 << "";
        QTest::newRow("20 px out") << 200 << 100 << 50 << "70,0,170,0" << 1
                                   << "Label's marker starts at 70 but the item it marks sits at 50 — 20 px out.";
        QTest::newRow("30 px too wide") << 200 << 100 << 50 << "20,0,150,0" << 0
                                        << "Label's marker is 130 px wide but the item it marks is 100 px — 30 px too wide.";
        QTest::newRow("middle third") << 300 << 100 << -1 << "100,0,200,0" << -1 << "";
        QTest::newRow("no third") << 300 << 100 << -1 << "10,0,110,0" << 1
                                  << "Label's marker spans 10..110 but the box is 300 wide.";
        QTest::newRow("single x") << 200 << 100 << 50 << "170,0" << -1 << "";
        QTest::newRow("no WIDTH") << 200 << -1 << 50 << "20,0,150,0" << -1 << "";
        QTest::newRow("32-bit extremes") << 200 << INT_MAX << INT_MIN << "-2147483648,-2147483648,2147483647,2147483647"
                                         << 0 << "Label's marker is 4294967295 px wide but the item it marks is "
                                                 "2147483647 px — 2147483648 px too wide.";
    }

    void markers()
    {
        QFETCH(int, maskWidth);
        QFETCH(int, width);
        QFETCH(int, xpos);
        QFETCH(QString, marker);
        QFETCH(int, severity);
        QFETCH(QString, message);
        Rs3Fixture fx;
        FixtureElement label = markedLabel(width, xpos, marker);
        if (xpos == INT_MIN)
            label.set("XPOS", QString::number(INT_MIN));
        const ConfigFindings found =
            withCode(check(onePage({Fx::mask("m1", 0, 0, maskWidth, 80).add(label)})), "marker-mismatch");
        if (severity < 0) {
            QCOMPARE(found.size(), 0);
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].severity, severity);
        if (!message.isEmpty())
            QCOMPARE(found[0].message, message);
        QCOMPARE(found[0].elementId, QStringLiteral("m1"));
        QVERIFY(found[0].repairable);
    }

    void pageBackground_data()
    {
        QTest::addColumn<QString>("declared"); // null: no parameter
        QTest::addColumn<bool>("tgzPresent");
        QTest::addColumn<bool>("withMask");
        QTest::addColumn<int>("severity"); // -1: no finding
        QTest::addColumn<bool>("folderGone");
        QTest::newRow("firmware colour") << "_222222.tgz" << false << true << -1 << false;
        QTest::newRow("name with a folder") << "x/bkg.tgz" << false << true << -1 << false;
        QTest::newRow("declared and missing") << "bkg.tgz" << false << true << 0 << false;
        QTest::newRow("declared and present") << "bkg.tgz" << true << true << -1 << false;
        QTest::newRow("undeclared") << QString() << true << true << 1 << false;
        QTest::newRow("nothing at all") << QString() << false << true << -1 << false;
        QTest::newRow("no masks") << "bkg.tgz" << false << false << -1 << false;
        // A deleted template takes the background with its folder.
        QTest::newRow("template folder gone") << "bkg.tgz" << false << true << 0 << true;
        QTest::newRow("template folder gone, undeclared") << QString() << false << true << 0 << true;
        QTest::newRow("template folder gone, colour fill") << "_222222.tgz" << false << true << -1 << true;
    }

    void pageBackground()
    {
        QFETCH(QString, declared);
        QFETCH(bool, tgzPresent);
        QFETCH(bool, withMask);
        QFETCH(int, severity);
        QFETCH(bool, folderGone);
        Rs3Fixture fx;
        if (!folderGone)
            QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + (tgzPresent ? "/bkg.tgz" : "/bkg.png"), "x"));
        ConfigFixture cfg = onePage(withMask ? QList<FixtureElement>{Fx::mask("m1", 0, 0, 100, 50)}
                                             : QList<FixtureElement>{});
        if (!declared.isNull())
            cfg.device().pages[0].param("PATH_IMAGE_SFONDO_FW", declared);
        const ConfigFindings found = withCode(check(cfg), "page-background");
        if (severity < 0) {
            QCOMPARE(found.size(), 0);
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].severity, severity);
        QCOMPARE(found[0].repairable, severity == 1);
        QVERIFY(found[0].elementId.isEmpty());
        QCOMPARE(ConfigCheck::countRepairable(found), severity == 1 ? 1 : 0);
        if (severity == 0 && folderGone)
            QCOMPARE(found[0].message,
                     QStringLiteral("The page's template folder is not on this machine (%1/).").arg(kPageFolder));
        else if (severity == 0)
            QCOMPARE(found[0].message,
                     QStringLiteral("The page declares a background (bkg.tgz) that is not in its template folder."));
    }

    // Sets are named by their whole folder, and the consequence of a kind
    // that is no bar names what it is.
    void crossSet_data()
    {
        QTest::addColumn<QString>("maskPath");
        QTest::addColumn<QStringList>("classes");
        QTest::addColumn<int>("severity"); // -1: no finding
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("consequence");
        QTest::newRow("bar") << kOtherSetItem << QStringList{"Bargraph", "Digit"} << 0
                             << "Borrows a Bargraph, Digit from another page set (s01/p03). This page's own set "
                                "(s02/p01) has no item of that kind."
                             << "RaceStudio 3 imports this and then crashes on startup, every launch, until the "
                                "configuration folder is deleted by hand. Reproduced three times.";
        QTest::newRow("digit") << kOtherSetItem << QStringList{"Digit", "Label"} << 1
                               << "Borrows a Digit from another page set (s01/p03). This page's own set (s02/p01) has "
                                  "no item of that kind."
                               << "A bar borrowed like this crashes RaceStudio 3. This is a value, not a bar, and one "
                                  "config like it loads fine — so worth checking, not a verdict.";
        QTest::newRow("gauge") << kOtherSetItem << QStringList{"Analog"} << 1
                               << "Borrows an Analog from another page set (s01/p03). This page's own set (s02/p01) "
                                  "has no item of that kind."
                               << "A bar borrowed like this crashes RaceStudio 3. This is a needle gauge, not a bar, "
                                  "and one config like it loads fine — so worth checking, not a verdict.";
        QTest::newRow("gauge and icon") << kOtherSetItem << QStringList{"Ring", "AiM_Icona"} << 1
                                        << "Borrows an AiM_Icona, Ring from another page set (s01/p03). This page's "
                                           "own set (s02/p01) has no item of that kind."
                                        << "A bar borrowed like this crashes RaceStudio 3. This is an icon and a ring "
                                           "gauge, not a bar, and one config like it loads fine — so worth checking, "
                                           "not a verdict.";
        QTest::newRow("case only") << "aim/resources/overlay/mxg_12/masks/set/standard/S02/P01/Items/md1/"
                                   << QStringList{"Bargraph"} << -1 << "" << "";
        // The set folder of the same name on another device or display
        // ("pdm/dash1" for a "pdm/dash2" page) is another page set, named
        // with its display.
        QTest::newRow("same set of another family")
            << "aim/resources/overlay/pdm/dash1/masks/set/standard/s02/p01/Items/md1/" << QStringList{"Bargraph"} << 0
            << "Borrows a Bargraph from another page set (pdm/dash1/s02/p01). This page's own set (mxg_12/s02/p01) "
               "has no item of that kind."
            << "";
        QTest::newRow("same family, other letter case")
            << "aim/resources/overlay/MXG_12/masks/set/standard/s02/p01/Items/md1/" << QStringList{"Bargraph"} << -1
            << "" << "";
        QTest::newRow("structural classes") << kOtherSetItem
                                            << QStringList{"Axis", "ScaleFSV", "StepScale", "BBLOCKS", "UDM",
                                                           "GMaskParam", "Label"}
                                            << -1 << "" << "";
    }

    void crossSet()
    {
        QFETCH(QString, maskPath);
        QFETCH(QStringList, classes);
        QFETCH(int, severity);
        QFETCH(QString, message);
        QFETCH(QString, consequence);
        Rs3Fixture fx; // a folder of its own: the item index is cached per folder
        addPageItem(fx, {"Label"});
        FixtureElement mask = Fx::mask("m1", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", maskPath);
        for (const QString& cls : classes)
            mask.add(FixtureElement(cls, "1"));
        const ConfigFindings found = withCode(check(onePage({mask})), "cross-set");
        if (severity < 0) {
            QCOMPARE(found.size(), 0);
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].severity, severity);
        if (!message.isEmpty())
            QCOMPARE(found[0].message, message);
        if (!consequence.isEmpty())
            QCOMPARE(found[0].consequence, consequence);
    }

    // Item files come from the install unchecked; one nested far deeper than
    // any real item is still indexed.
    void deeplyNestedItemFile()
    {
        Rs3Fixture fx;
        const int depth = 200000;
        QByteArray xml;
        for (int i = 0; i < depth; ++i)
            xml += "<e c=\"Group\">";
        xml += "<e c=\"Bargraph\"/>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + "/Items/md1/md1.M2.xml", "<r>" + xml + "</r>"));
        const QSet<QString> index = ConfigCheck::overlayItemIndex(fx.absolutePath(Rs3Fixture::Stable, kPageFolder));
        QCOMPARE(index, QSet<QString>({"Group", "Bargraph"}));
    }

    // An item of the install's page folder that is a pipe, or a link to a
    // file or a folder of the user's: the check neither waits on the pipe
    // nor reads what the link leads to, and the log names each.
    void itemIndexLeavesHazardsAlone()
    {
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + "/Items/md1/md1.M2.xml",
                             "<r><e c=\"GMaskParam\"><e c=\"Bargraph\"/></e></r>"));
        const QString users = TestEnvironment::makeTempDir("users");
        QVERIFY(QDir().mkpath(users + "/theirs"));
        QFile notes(users + "/theirs/notes.M2.xml");
        QVERIFY(notes.open(QIODevice::WriteOnly));
        QVERIFY(notes.write("<r><e c=\"UsersOwn\"/></r>") > 0);
        notes.close();
        const QString items = fx.absolutePath(Rs3Fixture::Stable, kPageFolder + "/Items");
        QVERIFY(QDir().mkpath(items + "/md2") && QDir().mkpath(items + "/md3"));
        QVERIFY(QFile::link(notes.fileName(), items + "/md2/md2.M2.xml"));
        QVERIFY(QFile::link(users + "/theirs", items + "/md4"));
        FifoGuard pipe(items + "/md3/md3.M2.xml");
        QVERIFY(pipe.made());
        QTest::ignoreMessage(QtWarningMsg, "Config check: item file not read: " + items.toUtf8()
                                               + "/md2/md2.M2.xml is a symbolic link");
        QTest::ignoreMessage(QtWarningMsg, "Config check: item file not read: " + items.toUtf8()
                                               + "/md3/md3.M2.xml is not a regular file");
        QTest::ignoreMessage(QtWarningMsg,
                             "Config check: item folder not read: " + items.toUtf8() + "/md4 is a symbolic link");
        const QSet<QString> index = ConfigCheck::overlayItemIndex(fx.absolutePath(Rs3Fixture::Stable, kPageFolder));
        QVERIFY(!pipe.released());
        QCOMPARE(index, QSet<QString>({"Bargraph"}));
    }

    void inventedSlot_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<bool>("reported");
        QTest::newRow("AUTO12") << "AUTO12" << true;
        QTest::newRow("slot_auto") << "slot_auto" << false;
    }

    void inventedSlot()
    {
        QFETCH(QString, slot);
        QFETCH(bool, reported);
        Rs3Fixture fx;
        const ConfigFindings found =
            withCode(check(onePage({Fx::mask("m1", 0, 0, 100, 50).p("PATH_MASK_FW", slot)})), "invented-slot");
        QCOMPARE(found.size(), reported ? 1 : 0);
        if (reported)
            QCOMPARE(found[0].message, QStringLiteral("Uses a Korvelanto-created firmware slot (%1) rather than one "
                                                      "from the page's own set.")
                                           .arg(slot));
    }

    void offPage_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("pageWidth"); // -1: the device's 800
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("fills the page") << 0 << -1 << "";
        QTest::newRow("one pixel over") << 1 << -1 << "Sits at (1,0) 800x480, outside the 800x480 page.";
        QTest::newRow("page without size") << 1 << 0 << "";
        QTest::newRow("32-bit edge") << INT_MAX << -1 << "Sits at (2147483647,0) 800x480, outside the 800x480 page.";
    }

    void offPage()
    {
        QFETCH(int, x);
        QFETCH(int, pageWidth);
        QFETCH(QString, message);
        Rs3Fixture fx;
        const ConfigFindings found = withCode(check(onePage({Fx::mask("m1", x, 0, 800, 480)}, pageWidth)), "off-page");
        QCOMPARE(found.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(found[0].message, message);
    }

    void barFillAndWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("expected"); // code:severity:repairable, in order
        QTest::newRow("bar narrower than its box") << 150 << QStringList{"bar-sweep:0:0", "bar-width:1:1"};
        QTest::newRow("bar as wide as its box") << 200 << QStringList{"bar-sweep:0:1"};
    }

    void barFillAndWidth()
    {
        QFETCH(int, width);
        QFETCH(QStringList, expected);
        Rs3Fixture fx;
        const FixtureElement bar = Fx::bargraph("b1", 0, 0, width, 20, QString(), true).p("XEnd1", 100);
        QStringList got;
        for (const ConfigFinding& f : check(onePage({Fx::mask("m1", 0, 0, 200, 50).add(bar)}))) {
            if (f.code.startsWith("bar-"))
                got << QStringLiteral("%1:%2:%3").arg(f.code).arg(f.severity).arg(int(f.repairable));
        }
        QCOMPARE(got, expected);
    }

    // Art that is not there names the folders looked in, and where the
    // install's folders are set; without an install, where one was looked for.
    void missingArtNamesWhereItLooked_data()
    {
        QTest::addColumn<bool>("install");
        QTest::newRow("not in the installs") << true;
        QTest::newRow("no install") << false;
    }
    void missingArtNamesWhereItLooked()
    {
        QFETCH(bool, install);
        Rs3Fixture fx;
        const QString rel = kPageFolder + "/Items/gone/";
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        if (!install) {
            settings.setValue("paths/raceStudio3Root", "/nowhere/RaceStudio3");
            settings.setValue("paths/raceStudio3BetaRoot", "/nowhere/beta");
        }
        const ConfigFindings found =
            withCode(check(onePage({Fx::mask("m1", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", rel)})), "missing-art");
        QCOMPARE(found.size(), 1);
        const QString looked = install
            ? QStringLiteral("Looked for it in %1 or %2. If RaceStudio 3 keeps it elsewhere, set its folders in Tools > "
                             "Preferences.")
                  .arg(QDir::toNativeSeparators(fx.absolutePath(Rs3Fixture::Stable, kPageFolder + "/Items/gone")),
                       QDir::toNativeSeparators(fx.absolutePath(Rs3Fixture::Beta, kPageFolder + "/Items/gone")))
            : QStringLiteral("No RaceStudio 3 install was found at %1 or %2. Install RaceStudio 3 there, or set its "
                             "folders in Tools > Preferences.")
                  .arg(QDir::toNativeSeparators("/nowhere/RaceStudio3"), QDir::toNativeSeparators("/nowhere/beta"));
        QCOMPARE(found[0].message, QStringLiteral("Artwork folder is not on this machine (%1). %2").arg(rel, looked));
    }

    // A widget naming pictures by bare name in an element with no art
    // folder: nothing can find them. The element's own mask picture, or a
    // widget naming none, is no such finding.
    void picturesWithoutArtFolder_data()
    {
        QTest::addColumn<QString>("onBar");  // the bar's PATH_IMG_ON, "" for none
        QTest::addColumn<QString>("onMask"); // the mask's PATH_IMAGE, "" for none
        QTest::addColumn<QString>("named");  // what the finding names, "" for no finding
        QTest::newRow("bar names a picture") << "m4on0.tgz" << "" << "m4on0.tgz";
        QTest::newRow("mask names its own only") << "" << "mask.png" << "";
        QTest::newRow("a path into the tree") << "aim/resources/overlay/x/m.tgz" << "" << "";
    }
    void picturesWithoutArtFolder()
    {
        QFETCH(QString, onBar);
        QFETCH(QString, onMask);
        QFETCH(QString, named);
        Rs3Fixture fx;
        FixtureElement bar = Fx::bargraph("b1", 0, 0, 100, 20);
        if (!onBar.isEmpty())
            bar.p("PATH_IMG_ON", onBar);
        FixtureElement mask = Fx::mask("m1", 0, 0, 100, 50).add(bar);
        if (!onMask.isEmpty())
            mask.p("PATH_IMAGE", onMask);
        const ConfigFindings found = withCode(check(onePage({mask})), "missing-art");
        QCOMPARE(found.size(), named.isEmpty() ? 0 : 1);
        if (!named.isEmpty())
            QCOMPARE(found[0].message,
                     QStringLiteral("Names artwork but has no art folder to hold it: %1.").arg(named));
    }

    // Template and artwork paths from the file never reach outside the
    // installs, even when something is there to be found.
    void pathsLeavingTheInstall()
    {
        Rs3Fixture fx;
        const QString outside = QDir::cleanPath(fx.root(Rs3Fixture::Stable) + "/../x");
        QVERIFY(QDir().mkpath(outside + "/Items/md1"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, "../x/bkg.tgz", "x"));
        ConfigFixture cfg = onePage({Fx::mask("m1", 0, 0, 100, 50).p("PATH_REL_AiM_MASK", "aim/../../x")});
        cfg.device().pages[0].pagePath = "aim/../../x";
        const ConfigFindings all = check(cfg);
        QCOMPARE(all.size(), 2);
        // The page's folder is not taken from outside either: it is missing.
        QCOMPARE(withCode(all, "page-background").value(0).message,
                 QStringLiteral("The page's template folder is not on this machine (aim/../../x)."));
        const ConfigFindings found = withCode(all, "missing-art");
        QCOMPARE(found.size(), 1);
        QVERIFY2(found[0].message.startsWith(QStringLiteral("Artwork folder is not on this machine (aim/../../x). "
                                                            "Looked for it in ")),
                 qPrintable(found[0].message));
        QVERIFY(ConfigCheck::findInRoots(ConfigCheck::existingRs3Roots(), "aim/../../x").isEmpty());
        QVERIFY(ConfigCheck::findInRoots(ConfigCheck::existingRs3Roots(), outside).isEmpty());
    }
};

KORV_GUI_TEST_MAIN(ConfigCheckTest)
#include "tst_configcheck.moc"
