#include "model/DashConfig.h"
#include "model/ExtractFolders.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ConfigFixture)

namespace {

FixturePage& simplePage(FixtureDevice& d, const QString& name)
{
    return d.page(name).mask(Fx::mask(name + QStringLiteral("_m"), 1, 2, 30, 40)
                                 .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                 .add(Fx::digit("d1", 0, 0, 30, 40, "a1")));
}

ConfigFixture oneDevice()
{
    ConfigFixture cfg;
    simplePage(cfg.device(), "Main");
    simplePage(cfg.device(), "Second");
    return cfg;
}

ConfigFixture pdm(int dashNumber, int dimX, const QString& family = QStringLiteral("pdm"))
{
    ConfigFixture cfg;
    cfg.deviceType = QStringLiteral("PDM32");
    FixtureDevice& d = cfg.device();
    d.family = family;
    d.dashNumber = dashNumber;
    d.dimX = dimX;
    simplePage(d, "P");
    return cfg;
}

QString joinPages(const DashConfig& c)
{
    QStringList out;
    for (const PageModel& p : c.pages)
        out << QStringLiteral("%1@%2:%3x%4").arg(p.name).arg(p.deviceFileIndex).arg(p.width).arg(p.height);
    return out.join(QLatin1Char(' '));
}

QString joinDevices(const DashConfig& c)
{
    QStringList out;
    for (const DeviceFile* d : c.devices)
        out << QDir(c.extractDir).relativeFilePath(d->filePath) + QLatin1Char('=') + d->overlayFolder;
    return out.join(QLatin1Char(' '));
}

} // namespace

class LoadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void openFixture_data()
    {
        QTest::addColumn<ConfigFixture>("fixture");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("devices");
        QTest::addColumn<QString>("note");

        QTest::newRow("one device file") << oneDevice() << "a.zconf2"
                                         << "Main@0:800x480 Second@0:800x480"
                                         << "dash/overlay.ov3.xml=" << "";
        QTest::newRow("zconfig") << oneDevice() << "a.zconfig" << "Main@0:800x480 Second@0:800x480"
                                 << "dash/overlay.ov3.xml=" << "";
        {
            // Dash 2 sorts after dash 1 although its folder sorts first.
            ConfigFixture cfg;
            cfg.device().folder = "a";
            cfg.device().dashNumber = 2;
            simplePage(cfg.device(), "A1");
            simplePage(cfg.device(), "A2");
            FixtureDevice& b = cfg.addDevice("b");
            b.dashNumber = 1;
            b.dimX = 1280;
            simplePage(b, "B1");
            QTest::newRow("two device files by dash number")
                << cfg << "a.zconf2" << "B1@0:1280x480 A1@1:800x480 A2@1:800x480"
                << "b/overlay.ov3.xml= a/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg;
            cfg.device().folder = "a";
            cfg.device().dashNumber = 1;
            FixtureDevice& b = cfg.addDevice("b");
            b.dashNumber = 2;
            simplePage(b, "B1");
            QTest::newRow("file with pages first") << cfg << "a.zconf2" << "B1@0:800x480"
                                                   << "b/overlay.ov3.xml= a/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg = oneDevice();
            FixtureDevice& e = cfg.addDevice("expansions/lcu");
            simplePage(e, "Expansion");
            QTest::newRow("expansions ignored") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                                << "dash/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.device().dimX = 1280;
            cfg.device().dimY = 400;
            cfg.device().pages[1].width = 640;
            QTest::newRow("page size from device file")
                << cfg << "a.zconf2" << "Main@0:1280x400 Second@0:640x400" << "dash/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.device().dimX = 0;
            QTest::newRow("no device width keeps 800") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                                       << "dash/overlay.ov3.xml=" << "";
        }
        QTest::newRow("pdm by dash number") << pdm(2, 1280) << "a.zconf2" << "P@0:1280x480"
                                            << "dash/overlay.ov3.xml=pdm/dash2" << "";
        QTest::newRow("pdm by width") << pdm(-1, 1280) << "a.zconf2" << "P@0:1280x480"
                                      << "dash/overlay.ov3.xml=pdm/dash1" << "";
        QTest::newRow("pdm unknown width") << pdm(-1, 640) << "a.zconf2" << "P@0:640x480"
                                           << "dash/overlay.ov3.xml=" << "";
        QTest::newRow("pdm08 dash folder in page path")
            << pdm(-1, 640, "pdm08/dash2") << "a.zconf2" << "P@0:640x480" << "dash/overlay.ov3.xml=pdm08/dash2"
            << "";
        {
            ConfigFixture cfg = oneDevice();
            cfg.deviceType = "mXg 1.2";
            QTest::newRow("type in any letter case") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                                     << "dash/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.deviceType = "T";
            cfg.device().family = "";
            QTest::newRow("unknown type") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                          << "dash/overlay.ov3.xml=" << "T";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.deviceType = "T";
            cfg.device().family = "t";
            QTest::newRow("unknown type with firmware path")
                << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480" << "dash/overlay.ov3.xml="
                << "T (firmware path: t)";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.deviceType = QString();
            cfg.device().family = "f";
            QTest::newRow("no type, unknown folder")
                << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480" << "dash/overlay.ov3.xml="
                << "(unknown) (firmware path: f)";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.deviceType = QString();
            QTest::newRow("no type, known folder") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                                   << "dash/overlay.ov3.xml=" << "";
        }
        {
            // The description outside "devices" wins; the one inside names
            // a type that would make a note.
            ConfigFixture cfg = oneDevice();
            cfg.aimcfgPath = "cfg/main.aimcfg";
            ConfigFixture other = cfg;
            other.deviceType = "Bogus";
            cfg.file("cfg/devices/a.aimcfg", other.aimcfgXml());
            QTest::newRow("aimcfg outside devices") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                                    << "dash/overlay.ov3.xml=" << "";
        }
        {
            ConfigFixture cfg = oneDevice();
            cfg.aimcfgPath.clear();
            QTest::newRow("no aimcfg") << cfg << "a.zconf2" << "Main@0:800x480 Second@0:800x480"
                                       << "dash/overlay.ov3.xml=" << "";
        }
    }

    void openFixture()
    {
        QFETCH(ConfigFixture, fixture);
        QFETCH(QString, fileName);
        const QString path = fixture.writeTempZip(fileName);
        QVERIFY(!path.isEmpty());

        DashConfig config;
        QString error;
        QVERIFY2(config.load(path, &error), qPrintable(error));
        QFETCH(QString, pages);
        QFETCH(QString, devices);
        QFETCH(QString, note);
        QCOMPARE(joinPages(config), pages);
        QCOMPARE(joinDevices(config), devices);
        QCOMPARE(config.deviceNote, note);
        QCOMPARE(config.zconf2Path, path);
        QVERIFY(QFileInfo(config.extractDir).isDir());
        if (!fixture.aimcfgPath.isEmpty())
            QVERIFY(config.aimcfgPath.endsWith(fixture.aimcfgPath));
        else
            QVERIFY(config.aimcfgPath.isEmpty());
        for (int i = 0; i < config.pageCount(); ++i) {
            QCOMPARE(config.pages[size_t(i)].index, i);
            QCOMPARE(config.pageParamNode(i).attribute("c").value(), "GPageParam");
            QCOMPARE(QString::fromUtf8(paramValue(config.pageParamNode(i), "PAGE_NAME")), config.pages[size_t(i)].name);
            QCOMPARE(config.pages[size_t(i)].masks.size(), size_t(1));
            QCOMPARE(config.pages[size_t(i)].masks[0].id, config.pages[size_t(i)].name + "_m");
        }
    }

    void pageDeviceFolder()
    {
        // A page whose file names no folder still finds its dash in the path.
        ConfigFixture cfg;
        cfg.device().family = "pdm";
        cfg.device().dimX = 640;
        cfg.device().page("Own").pagePath = "aim/resources/overlay/pdm/masks/set/standard/s02/p01/";
        cfg.device().page("Dash").pagePath = "aim/resources/overlay/pdm08/dash2/masks/x/";
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.devices[0]->overlayFolder, QString());
        QCOMPARE(config.pages[0].deviceFolder, QString());
        QCOMPARE(config.pages[0].relPagePath, QStringLiteral("aim/resources/overlay/pdm/masks/set/standard/s02/p01/"));
        QCOMPARE(config.pages[1].deviceFolder, QStringLiteral("pdm08/dash2"));
    }

    void failedOpenKeepsPrevious_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("errorWord");
        QTest::newRow("missing file") << "missing" << "exist";
        QTest::newRow("not an archive") << "garbage" << "extract";
        QTest::newRow("no device file") << "nodevice" << "overlay.ov3.xml";
        QTest::newRow("only under expansions") << "expansions" << "overlay.ov3.xml";
        QTest::newRow("malformed xml") << "malformed" << "overlay.ov3.xml";
        QTest::newRow("no GConfParam") << "nogconf" << "overlay.ov3.xml";
        QTest::newRow("hostile nesting") << "nesting" << "nested";
        QTest::newRow("damaged entry") << "damaged" << "extract";
    }

    void failedOpenKeepsPrevious()
    {
        QFETCH(QString, kind);
        QFETCH(QString, errorWord);

        ConfigFixture good = oneDevice();
        good.device().page("Bars").mask(
            Fx::mask("bar", 5, 6, 100, 20)
                .add(Fx::axis("ax", "Water Temp", "WT", "C"))
                .add(Fx::bargraph("b", 0, 0, 100, 20, "ax", true).p("COL", "0xFFFF0000")));
        const QString goodPath = good.writeTempZip("good.zconf2");
        DashConfig config;
        QVERIFY(config.load(goodPath));
        const QByteArray before = ConfigSnapshot::of(config);
        const QString extractDir = config.extractDir;

        const QString dir = TestEnvironment::makeTempDir("bad");
        QString badPath = dir + "/bad.zconf2";
        ConfigFixture bad = oneDevice();
        QMap<QString, QByteArray> files = bad.files();
        if (kind == "missing") {
            badPath = dir + "/does-not-exist.zconf2";
        } else if (kind == "garbage") {
            QFile f(badPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a zip archive");
        } else if (kind == "damaged") {
            QList<ZipFixtureEntry> entries;
            for (auto it = files.cbegin(); it != files.cend(); ++it)
                entries << ZipFixtureEntry{it.key().toUtf8(), it.value(),
                                           it.key().endsWith("ov3.xml") ? ZipFixtureEntry::WrongCrc
                                                                        : ZipFixtureEntry::Intact};
            QVERIFY(ZipFixture::writeZip(badPath, entries));
        } else {
            if (kind == "nodevice") {
                files.remove("dash/overlay.ov3.xml");
            } else if (kind == "expansions") {
                files.insert("expansions/dash/overlay.ov3.xml", files.take("dash/overlay.ov3.xml"));
            } else if (kind == "malformed") {
                QByteArray& xml = files["dash/overlay.ov3.xml"];
                xml.chop(xml.size() / 3);
            } else if (kind == "nogconf") {
                files["dash/overlay.ov3.xml"].replace("GConfParam", "GConfParamX");
            } else if (kind == "nesting") {
                const int depth = 100000;
                QByteArray deep;
                deep.reserve(depth * 12);
                for (int i = 0; i < depth; ++i)
                    deep += "<e c=\"X\">";
                for (int i = 0; i < depth; ++i)
                    deep += "</e>";
                files["dash/overlay.ov3.xml"].replace("<e c=\"Digit\"", deep + "<e c=\"Digit\"");
            }
            QVERIFY(ZipFixture::writeZip(badPath, files));
        }

        config.homebrewRepairCount = 3;
        config.barRepairCount = 4;
        QString error;
        QVERIFY(!config.load(badPath, &error));
        QVERIFY2(error.contains(errorWord, Qt::CaseInsensitive), qPrintable(error));
        QCOMPARE(ConfigSnapshot::of(config), before);
        QCOMPARE(config.homebrewRepairCount, 0);
        QCOMPARE(config.barRepairCount, 0);
        QVERIFY(QFileInfo(extractDir + "/dash/overlay.ov3.xml").isFile());

        // Still usable: edit a mask, write its file and pack the folder.
        PageModel* page = config.page(2);
        QVERIFY(page);
        MaskElement& bar = page->masks[0];
        setParam(bar.node, "XPOS", "77");
        bar = config.parseMask(bar.node);
        QCOMPARE(bar.x, 77);
        QCOMPARE(bar.widgets.size(), size_t(1));
        QVERIFY(bar.widgets[0].isTrapezio);
        config.markPageDirty(2);
        QVERIFY(config.devices[0]->dirty);
        QVERIFY(config.devices[0]->doc.save_file(QFile::encodeName(config.devices[0]->filePath).constData(), "  "));
        const QString saved = TestEnvironment::makeTempDir("saved") + "/saved.zconf2";
        QVERIFY(config.writeZconf2(config.extractDir, saved));

        DashConfig reopened;
        QVERIFY(reopened.load(saved));
        QCOMPARE(reopened.pageCount(), 3);
        QCOMPARE(reopened.pages[2].masks[0].x, 77);
        QCOMPARE(reopened.pages[2].masks[0].widgets[0].channel, QStringLiteral("Water Temp"));
    }

    void nextOpenReplacesPrevious()
    {
        DashConfig config;
        QVERIFY(config.load(oneDevice().writeTempZip()));
        const QString firstDir = config.extractDir;
        ConfigFixture second;
        simplePage(second.device(), "Only");
        QVERIFY(config.load(second.writeTempZip()));
        QCOMPARE(config.pageCount(), 1);
        QVERIFY(config.extractDir != firstDir);
        QVERIFY(!QFileInfo::exists(firstDir));
    }

    void withoutAimcfgForgetsPreviousDevice()
    {
        DashConfig config;
        QVERIFY(config.load(oneDevice().writeTempZip()));
        // What the channel reader leaves after a configuration with a
        // description.
        ChannelInfo rpm;
        rpm.fid = 5;
        rpm.longName = "RPM";
        config.channels.push_back(rpm);
        config.typeCode = 13;
        config.deviceName = "MXG 1.2";
        config.displayWidth = 1280;
        config.displayHeight = 400;
        config.loadedConfigName = config.newConfigName = "Old";
        config.renamePending = true;
        config.fidRanges.insert(5, FidRange{0, 9000});
        config.triggeredIconImages.insert("Oil", "oil.png");

        // A failed open keeps them with the configuration they describe.
        QVERIFY(!config.load(TestEnvironment::makeTempDir() + "/missing.zconf2"));
        QCOMPARE(config.channels.size(), size_t(1));
        QCOMPARE(config.typeCode, 13);

        ConfigFixture bare = oneDevice();
        bare.aimcfgPath.clear();
        QVERIFY(config.load(bare.writeTempZip()));
        QVERIFY(config.channels.empty());
        QCOMPARE(config.typeCode, -1);
        QVERIFY(config.deviceName.isEmpty());
        QCOMPARE(config.displayWidth, 800);
        QCOMPARE(config.displayHeight, 480);
        QVERIFY(config.loadedConfigName.isEmpty());
        QVERIFY(config.newConfigName.isEmpty());
        QVERIFY(!config.renamePending);
        QVERIFY(config.fidRanges.isEmpty());
        QVERIFY(config.triggeredIconImages.isEmpty());
    }

    void findAimcfgIsStable()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(dir, {{"z/devices/b.aimcfg", "x"},
                                            {"a/devices/c.aimcfg", "x"},
                                            {"m/devices/a.aimcfg", "x"}}));
        DashConfig config;
        QCOMPARE(config.findAimcfg(dir), dir + "/a/devices/c.aimcfg");
        QVERIFY(ZipFixture::writeTree(dir, {{"y/x.aimcfg", "x"}, {"b/z.aimcfg", "x"}}));
        QCOMPARE(config.findAimcfg(dir), dir + "/b/z.aimcfg");
        QCOMPARE(config.findAimcfg(TestEnvironment::makeTempDir()), QString());
    }

    // An editor killed with a configuration open leaves its folder; the next
    // start clears it, and never what a running editor holds, a folder
    // without its lock, a link, or a name not ours.
    void abandonedExtractFoldersAreCleared()
    {
        const QString tmp = TestEnvironment::makeTempDir(QStringLiteral("tmp"));
        const QByteArray previous = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp));
        const auto restore = qScopeGuard([&] { qputenv("TMPDIR", previous); });
        const QString zip = oneDevice().writeTempZip();
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("outside"));
        QVERIFY(ZipFixture::writeTree(outside, {{"keep.txt", "mine"}}));

        // Killed while open, with a link to the user's folder inside.
        const QString killed = folderOfChild(zip, outside, nullptr);
        // Running: it holds its folder until it ends.
        int holding = -1;
        const QString running = folderOfChild(zip, QString(), &holding);
        QVERIFY(!killed.isEmpty() && !running.isEmpty());
        auto own = std::make_unique<DashConfig>();
        QVERIFY(own->load(zip));
        QVERIFY(QDir().mkpath(tmp + "/Korvelanto-nolock"));
        QVERIFY(QDir().mkpath(tmp + "/Korvelanto-Nolock"));
        QVERIFY(QFile::link(outside, tmp + "/Korvelanto-linked"));
        QVERIFY(QFile::copy(killed + ".lock", tmp + "/Korvelanto-linked.lock"));
        QVERIFY(QDir().mkpath(tmp + "/Other-abcdef"));
        QVERIFY(QFile::copy(killed + ".lock", tmp + "/Other-abcdef.lock"));
        QVERIFY(QFile::copy(killed + ".lock", tmp + "/Korvelanto-orphan.lock"));

        QCOMPARE(ExtractFolders::clearAbandoned(), 1);
        const QStringList left = QDir(tmp).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QStringList expected{QFileInfo(running).fileName(), QFileInfo(running).fileName() + ".lock",
                             QFileInfo(own->extractDir).fileName(), QFileInfo(own->extractDir).fileName() + ".lock",
                             "Korvelanto-Nolock", "Korvelanto-linked", "Korvelanto-linked.lock", "Korvelanto-nolock",
                             "Other-abcdef", "Other-abcdef.lock"};
        expected.sort();
        QCOMPARE(left, expected);
        QCOMPARE(TestFiles::readBytes(outside + "/keep.txt"), QByteArray("mine"));
        QCOMPARE(own->pageCount(), 2);

        ::kill(holding, SIGKILL);
        ::waitpid(holding, nullptr, 0);
        QCOMPARE(ExtractFolders::clearAbandoned(), 1);
        QVERIFY(!QFileInfo::exists(running) && !QFileInfo::exists(running + ".lock"));
        const QString ownDir = own->extractDir;
        QVERIFY(QFileInfo::exists(ownDir));
        own.reset();
        QVERIFY(!QFileInfo::exists(ownDir) && !QFileInfo::exists(ownDir + ".lock"));
    }

private:
    // A child process opens zip, then, with a link to `link` put into its
    // folder (when given), is killed, or (with `pid`) waits to be. Its
    // folder.
    static QString folderOfChild(const QString& zip, const QString& link, int* pid)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return {};
        const pid_t child = ::fork();
        if (child == 0) {
            DashConfig config;
            if (!config.load(zip) || (!link.isEmpty() && !QFile::link(link, config.extractDir + "/user")))
                ::_exit(1);
            const QByteArray dir = QFile::encodeName(config.extractDir) + '\n';
            if (::write(ready[1], dir.constData(), size_t(dir.size())) != dir.size())
                ::_exit(1);
            if (pid)
                ::pause();
            ::raise(SIGKILL);
        }
        ::close(ready[1]);
        QByteArray dir;
        char c = 0;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            dir += c;
        ::close(ready[0]);
        if (pid)
            *pid = child;
        else
            ::waitpid(child, nullptr, 0);
        return QFile::decodeName(dir);
    }
};

KORV_GUI_TEST_MAIN(LoadTest)
#include "tst_load.moc"
