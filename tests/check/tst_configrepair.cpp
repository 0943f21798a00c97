#include "check/ConfigCheck.h"
#include "check/ConfigRepair.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

#include <climits>
#include <cstring>

namespace {

const QString kPageFolder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01");

ConfigFixture onePage(const QList<FixtureElement>& masks)
{
    ConfigFixture cfg;
    cfg.device().page(QStringLiteral("Main")).masks = masks;
    return cfg;
}

FixtureElement markedLabel(int width, int xpos, const QString& marker)
{
    FixtureElement e(QStringLiteral("Label"), QStringLiteral("l1"));
    if (xpos != -1)
        e.p("XPOS", xpos);
    e.p("YPOS", 0);
    if (width != -1)
        e.p("WIDTH", width);
    e.p("HEIGHT", 40);
    return e.p("LINES_X_HOT_MOUSE", marker);
}

// The first non-Axis element of the page's mask.
pugi::xml_node element(DashConfig& config, int mask)
{
    return config.pages[0].masks[std::size_t(mask)].node.child("e");
}

void reparseMasks(DashConfig& config)
{
    for (PageModel& page : config.pages) {
        for (MaskElement& mask : page.masks)
            mask = config.parseMask(mask.node);
    }
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ConfigRepairTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noPages()
    {
        DashConfig empty;
        QCOMPARE(ConfigCheck::repairConfig(empty), 0);
    }

    void markers_data()
    {
        QTest::addColumn<int>("maskWidth");
        QTest::addColumn<int>("maskHeight");
        QTest::addColumn<int>("width"); // -1: no WIDTH
        QTest::addColumn<int>("xpos");  // -1: no XPOS
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("repaired");
        QTest::newRow("shift onto the item") << 200 << 80 << 100 << 50 << "60,5,170,5" << "50,5,160,5";
        QTest::newRow("scale both ways") << 300 << 100 << -1 << -1 << "0,0,200,0,200,80,0,80"
                                         << "0,0,300,0,300,100,0,100";
        QTest::newRow("rows already fit") << 300 << 100 << -1 << -1 << "0,0,200,0,200,100,0,100"
                                          << "0,0,300,0,300,100,0,100";
        QTest::newRow("scale from the start") << 300 << 100 << -1 << -1 << "50,0,250,0,250,100,50,100"
                                              << "0,0,300,0,300,100,0,100";
        QTest::newRow("unscaled items keep their text") << 300 << 100 << -1 << -1 << "0, 0 ,200, 100"
                                                        << "0, 0 ,300, 100";
        QTest::newRow("accepted") << 200 << 80 << 100 << 50 << "50,0,150,0" << "50,0,150,0";
        QTest::newRow("three items") << 200 << 80 << 100 << 50 << "20,0,150" << "20,0,150";
        QTest::newRow("zero width") << 200 << 80 << 100 << 50 << "70,0,70,40" << "70,0,70,40";
        QTest::newRow("32-bit extremes") << 200 << 80 << INT_MAX << INT_MIN
                                         << "-2147483648,-2147483648,2147483647,2147483647" << "0,0,200,80";
        QTest::newRow("shift past the 32-bit edge") << 200 << 80 << 100 << INT_MAX << "0,0,100,0"
                                                    << "2147483647,0,2147483647,0";
    }

    void markers()
    {
        QFETCH(int, maskWidth);
        QFETCH(int, maskHeight);
        QFETCH(int, width);
        QFETCH(int, xpos);
        QFETCH(QString, marker);
        QFETCH(QString, repaired);
        Rs3Fixture fx;
        DashConfig config;
        QVERIFY(config.load(
            onePage({Fx::mask("m1", 0, 0, maskWidth, maskHeight).add(markedLabel(width, xpos, marker))}).writeTempZip()));
        const int fixes = ConfigCheck::repairConfig(config);
        QCOMPARE(fixes, repaired == marker ? 0 : 1);
        QCOMPARE(ConfigCheck::paramText(element(config, 0), "LINES_X_HOT_MOUSE"), repaired);
        QCOMPARE(config.devices[0]->dirty, fixes > 0);
        QCOMPARE(ConfigCheck::repairConfig(config), 0);
    }

    void barFill_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("fixes");
        QTest::addColumn<QString>("ends");
        QTest::newRow("full-width bar") << 200 << 2 << "200";
        QTest::newRow("bar disagrees with its box") << 150 << 0 << "150";
    }

    void barFill()
    {
        QFETCH(int, width);
        QFETCH(int, fixes);
        QFETCH(QString, ends);
        Rs3Fixture fx;
        const FixtureElement bar =
            Fx::bargraph("b1", 0, 0, width, 20, QString(), true).p("XEnd1", 150).p("XEnd2", 150);
        DashConfig config;
        QVERIFY(config.load(onePage({Fx::mask("m1", 0, 0, 200, 50).add(bar)}).writeTempZip()));
        QCOMPARE(ConfigCheck::repairConfig(config), fixes);
        QCOMPARE(ConfigCheck::paramText(element(config, 0), "XEnd1"), ends);
        QCOMPARE(ConfigCheck::paramText(element(config, 0), "XEnd2"), ends);
    }

    void backgroundDeclaration_data()
    {
        QTest::addColumn<bool>("emptyParam");
        QTest::newRow("no parameter") << false;
        QTest::newRow("empty parameter") << true;
    }

    void backgroundDeclaration()
    {
        QFETCH(bool, emptyParam);
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + "/bkg.tgz", "x"));
        ConfigFixture cfg = onePage({Fx::mask("m1", 0, 0, 100, 50)});
        if (emptyParam)
            cfg.device().pages[0].param("PATH_IMAGE_SFONDO_FW", "");
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(ConfigCheck::repairConfig(config), 1);
        const pugi::xml_node pageNode = config.pages[0].masks[0].node.parent();
        int declarations = 0;
        for (pugi::xml_node p : pageNode.children("p"))
            declarations += std::strcmp(p.attribute("n").value(), "PATH_IMAGE_SFONDO_FW") == 0;
        QCOMPARE(declarations, 1);
        QCOMPARE(ConfigCheck::paramText(pageNode, "PATH_IMAGE_SFONDO_FW"), QStringLiteral("bkg.tgz"));
        if (!emptyParam) // placed with the page's parameters, just before its first mask
            QCOMPARE(config.pages[0].masks[0].node.previous_sibling().attribute("n").value(),
                     "PATH_IMAGE_SFONDO_FW");
        QVERIFY(config.devices[0]->dirty);
        QCOMPARE(ConfigCheck::repairConfig(config), 0);
    }

    // Everything repairable at once; afterwards the check finds nothing left
    // to repair, a second repair changes nothing and the values survive a
    // save and reopen.
    void repairedValuesHoldThroughSave()
    {
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kPageFolder + "/bkg.tgz", "x"));
        const ConfigFixture cfg = onePage(
            {Fx::mask("m1", 0, 0, 200, 80).add(markedLabel(100, 50, "60,5,170,5")),
             Fx::mask("m2", 0, 100, 300, 100).add(markedLabel(-1, -1, "50,0,250,0,250,100,50,100")),
             Fx::mask("m3", 0, 300, 200, 50)
                 .add(Fx::bargraph("b1", 0, 0, 200, 20, QString(), true).p("XEnd1", 150).p("XEnd2", 150))});
        const QString path = cfg.writeTempZip("Club.zconf2");
        DashConfig config;
        QVERIFY(config.load(path));
        QCOMPARE(ConfigCheck::countRepairable(ConfigCheck::checkConfig(config)), 3);
        QCOMPARE(ConfigCheck::repairConfig(config), 5);
        reparseMasks(config);
        QCOMPARE(ConfigCheck::countRepairable(ConfigCheck::checkConfig(config)), 0);
        QCOMPARE(ConfigCheck::repairConfig(config), 0);

        QVERIFY(config.save(path));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(ConfigCheck::paramText(element(reopened, 0), "LINES_X_HOT_MOUSE"), QStringLiteral("50,5,160,5"));
        QCOMPARE(ConfigCheck::paramText(element(reopened, 1), "LINES_X_HOT_MOUSE"),
                 QStringLiteral("0,0,300,0,300,100,0,100"));
        QCOMPARE(ConfigCheck::paramText(element(reopened, 2), "XEnd1"), QStringLiteral("200"));
        QCOMPARE(ConfigCheck::paramText(element(reopened, 2), "XEnd2"), QStringLiteral("200"));
        QCOMPARE(ConfigCheck::paramText(reopened.pages[0].masks[0].node.parent(), "PATH_IMAGE_SFONDO_FW"),
                 QStringLiteral("bkg.tgz"));
        QVERIFY(ConfigCheck::checkConfig(reopened).isEmpty());
        QCOMPARE(ConfigCheck::repairConfig(reopened), 0);
    }

    void pathsLeavingTheInstall()
    {
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, "../x/bkg.tgz", "x"));
        ConfigFixture cfg = onePage({Fx::mask("m1", 0, 0, 100, 50)});
        cfg.device().pages[0].pagePath = "aim/../../x";
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(ConfigCheck::repairConfig(config), 0);
        QVERIFY(ConfigCheck::paramText(config.pages[0].masks[0].node.parent(), "PATH_IMAGE_SFONDO_FW").isEmpty());
    }

    void backupPath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("backup");
        QTest::newRow("configuration") << "Club.zconf2" << "Club.pre-repair.zconf2";
        QTest::newRow("dotted name") << "a.b.zconf2" << "a.b.pre-repair.zconf2";
        QTest::newRow("no dot") << "Club" << "Club.pre-repair";
    }

    void backupPath()
    {
        QFETCH(QString, name);
        QFETCH(QString, backup);
        const QString dir = TestEnvironment::makeTempDir("backup");
        QCOMPARE(ConfigCheck::preRepairBackupPath(dir + "/" + name), dir + "/" + backup);
        QDir::setCurrent(dir); // a relative name is taken from the current folder
        QCOMPARE(ConfigCheck::preRepairBackupPath(name), QDir(dir).absolutePath() + "/" + backup);
    }

    void backupPathOfNothing()
    {
        QVERIFY(ConfigCheck::preRepairBackupPath(QString()).isEmpty());
        QVERIFY(ConfigCheck::makePreRepairBackup(QString()).isEmpty());
    }

    void backupIsMadeOnce()
    {
        const QString dir = TestEnvironment::makeTempDir("backup");
        const QString path = dir + "/Club.zconf2";
        QVERIFY(ConfigCheck::makePreRepairBackup(path).isEmpty()); // nothing to back up yet
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("original") == 8);
        f.close();
        QCOMPARE(ConfigCheck::makePreRepairBackup(path), QStringLiteral("Club.pre-repair.zconf2"));
        QCOMPARE(readFile(dir + "/Club.pre-repair.zconf2"), QByteArray("original"));

        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write("repaired") == 8);
        f.close();
        QVERIFY(ConfigCheck::makePreRepairBackup(path).isEmpty());
        QCOMPARE(readFile(dir + "/Club.pre-repair.zconf2"), QByteArray("original"));
    }
};

KORV_GUI_TEST_MAIN(ConfigRepairTest)
#include "tst_configrepair.moc"
