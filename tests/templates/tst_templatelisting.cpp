#include "artwork/SavedConfigLedger.h"
#include "templates/PageTemplate.h"
#include "templates/PageTemplateGroup.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"
#include "templates/TemplateReference.h"
#include "templates/TemplateReferenceCount.h"
#include "templates/SavedConfigsSearch.h"
#include "templates/TemplateUsers.h"

#include "model/FileEntries.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QStringEncoder>
#include <QtTest>

#include <memory>

namespace {

QString standard(const QString& family)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard").arg(family);
}

// A store template saved the way the window saves one, without mirroring.
QString saveToStore(const QString& family, const QString& name, const QString& label)
{
    QSettings().setValue(QStringLiteral("homebrew/mirrorToAim"), false);
    PageModel page;
    page.name = label;
    TemplateContent content;
    content.pMainXml = PageTemplateLibrary::buildTemplatePMain(&page);
    const QString folder = PageTemplateLibrary::saveHomebrewTemplate(family, name, label, content, nullptr, {});
    QSettings().remove(QStringLiteral("homebrew/mirrorToAim"));
    return folder;
}

PageTemplate homebrewTemplate(const QString& name)
{
    PageTemplate t;
    t.folderName = name;
    t.folderPath = homebrewTemplatesDir() + QStringLiteral("/mxs_12/") + name;
    t.homebrew = true;
    return t;
}

QString copyIn(const Rs3Fixture& fx, Rs3Fixture::Root root, const QString& family, const QString& name)
{
    return fx.absolutePath(root, standard(family) + QStringLiteral("/s04_homebrew/") + name);
}

} // namespace

class TemplateListingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
    }

    void rs3Sets()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s01", "p01");
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p02");
        const QString p01 = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString p09 = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p09");
        fx.addFolderMeta(Rs3Fixture::Stable, standard("mxg_12") + "/s02/p09", "Ninth", 5);
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "icon");
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s03", "p01");
        fx.addFolderMeta(Rs3Fixture::Stable, standard("mxg_12") + "/s03", "Race", 10);
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s04_homebrew", "zmine");
        fx.writeFile(Rs3Fixture::Stable, standard("mxg_12") + "/s05/p01/bkg.png", "x");
        QFile::remove(p01 + "/bkg.png");
        fx.writeFile(Rs3Fixture::Stable, standard("mxg_12") + "/s02/p01/prw.png", "x");

        const std::vector<PageTemplateGroup> groups = PageTemplateLibrary::listRs3Templates("mxg_12");
        QCOMPARE(int(groups.size()), 2);
        QCOMPARE(groups[0].setFolder, QStringLiteral("s03"));
        QCOMPARE(groups[0].setLabel, QStringLiteral("Race"));
        QCOMPARE(groups[0].sort, 10);
        QCOMPARE(groups[1].setFolder, QStringLiteral("s02"));
        QCOMPARE(groups[1].setLabel, QStringLiteral("s02"));
        QCOMPARE(groups[1].sort, 99);
        QVERIFY(!groups[1].homebrew);
        QStringList names;
        for (const PageTemplate& t : groups[1].templates)
            names << t.folderName;
        QCOMPARE(names, QStringList({"p09", "p01", "p02"}));
        const PageTemplate& ninth = groups[1].templates[0];
        QCOMPARE(ninth.folderPath, p09);
        QCOMPARE(ninth.pMainPath, p09 + "/pMain.P2.xml");
        QCOMPARE(ninth.bkgPath, p09 + "/bkg.png");
        QCOMPARE(ninth.prwPath, QString());
        QCOMPARE(ninth.displayName, QStringLiteral("Ninth"));
        QCOMPARE(ninth.sort, 5);
        QVERIFY(!ninth.homebrew);
        const PageTemplate& first = groups[1].templates[1];
        QCOMPARE(first.displayName, QStringLiteral("p01"));
        QCOMPARE(first.bkgPath, QString());
        QCOMPARE(first.prwPath, p01 + "/prw.png");
        QVERIFY(PageTemplateLibrary::listRs3Templates("mxt").empty());
        QVERIFY(PageTemplateLibrary::listRs3Templates("").empty());
        QVERIFY(PageTemplateLibrary::listRs3Templates("../mxg_12").empty());
    }

    // A family only the beta install has is listed from there.
    void rs3SetsFromBeta()
    {
        Rs3Fixture fx;
        const QString beta = fx.addTemplate(Rs3Fixture::Beta, "mxt", "s02", "p25ext", QSize(1280, 480));
        const std::vector<PageTemplateGroup> groups = PageTemplateLibrary::listRs3Templates("mxt");
        QCOMPARE(int(groups.size()), 1);
        QCOMPARE(groups[0].templates[0].folderPath, beta);
    }

    void homebrewWithoutStore()
    {
        Rs3Fixture fx;
        const auto before = fx.snapshot();
        const PageTemplateGroup group = PageTemplateLibrary::listHomebrewTemplates("mxs_12", "mxs");
        QCOMPARE(group.setFolder, QStringLiteral("homebrew"));
        QCOMPARE(group.setLabel, QStringLiteral("Homebrew"));
        QCOMPARE(group.sort, 1000);
        QVERIFY(group.homebrew);
        QVERIFY(group.templates.empty());
        QCOMPARE(fx.snapshot(), before);
    }

    // Listing copies every store template into the stable install (family and
    // RS3 family) and offers the RS3 copy; an existing copy is kept as it is.
    void homebrewListingCopiesIntoRs3()
    {
        Rs3Fixture fx;
        const QString b = saveToStore("mxs_12", "b", "alpha");
        saveToStore("mxs_12", "a", "Beta");
        QDir().mkpath(homebrewTemplatesDir() + "/mxs_12/no_page");

        PageTemplateGroup group = PageTemplateLibrary::listHomebrewTemplates("mxs_12", QString());
        QCOMPARE(int(group.templates.size()), 2);
        QCOMPARE(group.templates[0].displayName, QStringLiteral("alpha"));
        QCOMPARE(group.templates[0].folderName, QStringLiteral("b"));
        QCOMPARE(group.templates[1].displayName, QStringLiteral("Beta"));
        QCOMPARE(group.templates[0].folderPath, copyIn(fx, Rs3Fixture::Stable, "mxs_12", "b"));
        QVERIFY(group.templates[0].homebrew);
        QCOMPARE(Rs3Fixture::treeSnapshot(group.templates[0].folderPath), Rs3Fixture::treeSnapshot(b));
        QVERIFY(QDir(fx.overlayRoot(Rs3Fixture::Beta)).isEmpty());
        QVERIFY(!QFileInfo::exists(copyIn(fx, Rs3Fixture::Stable, "mxs_12", "no_page")));

        saveToStore("mxs_12", "b", "alpha 2");
        group = PageTemplateLibrary::listHomebrewTemplates("mxs_12", "MXS");
        QCOMPARE(group.templates[0].folderPath, copyIn(fx, Rs3Fixture::Stable, "MXS", "b"));
        QCOMPARE(group.templates[0].displayName, QStringLiteral("alpha 2"));
        group = PageTemplateLibrary::listHomebrewTemplates("mxs_12", "mxs_12");
        QCOMPARE(group.templates[0].folderPath, copyIn(fx, Rs3Fixture::Stable, "mxs_12", "b"));
        QCOMPARE(group.templates[0].displayName, QStringLiteral("alpha"));
    }

    void references()
    {
        Rs3Fixture fx;
        const QString one = fx.addUserConfig(Rs3Fixture::Stable, "cfg_one", "Track.day",
                                             {"a S04_HOMEBREW/MyTpl/x s04_homebrew/mytpl/y", "s04_homebrew/mytpl2/ z"});
        fx.addUserConfig(Rs3Fixture::Stable, "cfg_none", "None", {"s04_homebrew/mytpl2/"});
        fx.addUserConfig(Rs3Fixture::Stable, "other", "Other", {"s04_homebrew/mytpl/"});
        const QString two = fx.addUserConfig(Rs3Fixture::Beta, "cfg_two", QString(), {"", "s04_homebrew/mytpl/"});
        QList<TemplateReference> refs = PageTemplateLibrary::configsReferencingTemplate(homebrewTemplate(" mytpl "));
        QCOMPARE(refs.size(), 2);
        QCOMPARE(refs[0].cfgFolderName, QStringLiteral("cfg_one"));
        QCOMPARE(refs[0].configName, QStringLiteral("Track.day"));
        QCOMPARE(refs[0].cfgFolderPath, one);
        QCOMPARE(refs[0].referenceCount, 2);
        QCOMPARE(refs[1].cfgFolderName, QStringLiteral("cfg_two"));
        QCOMPARE(refs[1].configName, QStringLiteral("cfg_two"));
        QCOMPARE(refs[1].cfgFolderPath, two);
        QCOMPARE(refs[1].referenceCount, 1);
        PageTemplate stock = homebrewTemplate("mytpl");
        stock.homebrew = false;
        QVERIFY(PageTemplateLibrary::configsReferencingTemplate(stock).isEmpty());
        QVERIFY(PageTemplateLibrary::configsReferencingTemplate(homebrewTemplate("  ")).isEmpty());
    }

    // Device files name a template beyond ASCII in the encoding they
    // declare, in any letter case, or by character references.
    void referencesBeyondAscii_data()
    {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("count");
        const QByteArray head = "<?xml version=\"1.0\"?>\n<overlay_cli><p n=\"PATH\">";
        const QByteArray tail = "</p></overlay_cli>\n";
        QTest::newRow("UTF-8") << head + "s04_homebrew/zn\xc3\xbcrburg\xc3\xb8st/bkg.png" + tail << 1;
        QTest::newRow("UTF-8, other case") << head + "S04_HOMEBREW/ZN\xc3\x9cRBURG\xc3\x98ST/" + tail << 1;
        QTest::newRow("backslashes") << head + "s04_homebrew\\zn\xc3\xbcrburg\xc3\xb8st\\bkg.png" + tail << 1;
        QTest::newRow("character references") << head + "s04_homebrew/zn&#xFC;rburg&#248;st/" + tail << 1;
        QTest::newRow("declared Latin-1")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                          "<overlay_cli><p>s04_homebrew/zn\xfcrburg\xf8st/</p></overlay_cli>\n")
            << 1;
        QTest::newRow("another template") << head + "s04_homebrew/zn\xc3\xbcrburg/" + tail << 0;
        QTest::newRow("not XML") << QByteArray("s04_homebrew/zn\xc3\xbcrburg\xc3\xb8st/ twice: "
                                               "s04_homebrew/zn\xc3\xbcrburg\xc3\xb8st/")
                                 << 2;
    }
    void referencesBeyondAscii()
    {
        QFETCH(QByteArray, device);
        QFETCH(int, count);
        Rs3Fixture fx;
        fx.addUserConfig(Rs3Fixture::Stable, "cfg_one", "Nürburg", {device});
        const QList<TemplateReference> refs =
            PageTemplateLibrary::configsReferencingTemplate(homebrewTemplate(QStringLiteral("znürburgøst")));
        QCOMPARE(refs.size(), count > 0 ? 1 : 0);
        if (count > 0) {
            QCOMPARE(refs[0].referenceCount, count);
            QCOMPARE(refs[0].configName, QStringLiteral("Nürburg"));
        }
    }

    // The name as the file stores it: escaped where it holds "&" or a
    // quote, in the encoding the file declares or, without a declaration,
    // UTF-8 or else Latin-1; the count reads it as a parser would.
    void referencesAsStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("count");
        const QByteArray head = "<?xml version=\"1.0\"?>\n<overlay_cli><p n=\"PATH\">";
        const QByteArray tail = "</p></overlay_cli>\n";
        QTest::newRow("& escaped") << "R&D" << head + "s04_homebrew/R&amp;D/bkg.png" + tail << 1;
        QTest::newRow("& by number, in an attribute")
            << "R&D" << QByteArray("<overlay_cli><p v=\"S04_HOMEBREW\\r&#38;d\\x\"/></overlay_cli>") << 1;
        QTest::newRow("& of another name") << "R&D" << head + "s04_homebrew/R&amp;D2/" + tail << 0;
        QTest::newRow("apostrophe escaped")
            << "O'Neil" << QByteArray("<overlay_cli><p v='s04_homebrew/O&apos;Neil/'/></overlay_cli>") << 1;
        const QByteArray cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<overlay_cli><p>";
        QTest::newRow("declared windows-1252")
            << QStringLiteral("zn\u00fcrburg\u00f8st") << cp1252 + "s04_homebrew/zn\xfcrburg\xf8st/" + tail << 1;
        QTest::newRow("declared windows-1252, euro")
            << QStringLiteral("z\u20acuro") << cp1252 + "s04_homebrew/z\x80uro/" + tail << 1;
        QTest::newRow("Latin-1 without a declaration")
            << QStringLiteral("zn\u00fcrburg\u00f8st")
            << QByteArray("<overlay_cli><p>s04_homebrew/zn\xfcrburg\xf8st/x</p></overlay_cli>") << 1;
        QStringEncoder sjis("Shift_JIS");
        QTest::newRow("declared Shift_JIS")
            << QStringLiteral("z\u9234\u9e7f")
            << QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<overlay_cli><p>")
                   + QByteArray(sjis(QStringLiteral("s04_homebrew/z\u9234\u9e7f/"))) + tail
            << 1;
        QTest::newRow("UTF-8 byte order mark over a declaration")
            << QStringLiteral("zn\u00fcrburg\u00f8st")
            << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1252\"?><p>s04_homebrew/"
                          "zn\xc3\xbcrburg\xc3\xb8st/</p>")
            << 1;
        QTest::newRow("single bytes declared UTF-16")
            << "R&D" << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><p>s04_homebrew/R&amp;D/</p>") << 1;
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16 with a byte order mark")
            << "R&D"
            << QByteArray(utf16(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><p>s04_homebrew/r&amp;d/"
                                               "</p><p>S04_homebrew\\R&amp;D\\</p>")))
            << 2;
        // What a parser finds, however the file writes it; and a name only as
        // a whole path part.
        const QByteArray p = "<overlay_cli><p n=\"PATH\">";
        // Its bytes hold '<' (in 鹿) and '\\' (in 本), which are no markup.
        QStringEncoder jis("ISO-2022-JP");
        const QByteArray jisHead = "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>\n" + p;
        const auto inJis = [&](const QString& text) { return jisHead + QByteArray(jis(text + QString::fromLatin1(tail))); };
        QTest::newRow("declared ISO-2022-JP") << QStringLiteral("z\u672c\u9e7f")
                                              << inJis(QStringLiteral("s04_homebrew/z\u672c\u9e7f/")) << 1;
        QTest::newRow("declared ISO-2022-JP, no slash after the name")
            << QStringLiteral("z\u672c\u9e7f") << inJis(QStringLiteral("s04_homebrew/z\u672c\u9e7f")) << 1;
        QTest::newRow("declared ISO-2022-JP, a longer name")
            << QStringLiteral("z\u672c") << inJis(QStringLiteral("s04_homebrew/z\u672c\u9e7f/")) << 0;
        QTest::newRow("declared ISO-2022-JP, a yen in JIS-Roman is no separator")
            << "zname" << jisHead + "s04_homebrew\x1b(J\\zname\x1b(B/" + tail << 0;
        QTest::newRow("declared ISO-2022-JP, a backslash in ASCII is")
            << "zname" << jisHead + "s04_homebrew\x1b(J\x1b(B\\zname/" + tail << 1;
        QTest::newRow("letter reference in the set name") << "mytpl" << p + "s04_home&#98;rew/mytpl/x" + tail << 1;
        QTest::newRow("set name all references")
            << "mytpl" << p + "&#115;&#x30;&#52;&#95;HOMEBREW&#47;mytpl&#x2F;" + tail << 1;
        QTest::newRow("zero-padded numbers")
            << "mytpl" << p + "s04_homebrew/my&#0000000000116;pl&#x00000000002f;" + tail << 1;
        QTest::newRow("no slash after the name") << "mytpl" << p + "s04_homebrew/mytpl" + tail << 1;
        QTest::newRow("no slash, blanks before the end") << "mytpl" << p + "s04_homebrew/MyTpl  \n" + tail << 1;
        QTest::newRow("no slash, in an attribute")
            << "mytpl" << QByteArray("<overlay_cli><p v=\"s04_homebrew\\mytpl\"/></overlay_cli>") << 1;
        QTest::newRow("a longer name") << "mytpl" << p + "s04_homebrew/mytpl2" + tail << 0;
        QTest::newRow("the name, a blank and more") << "mytpl" << p + "s04_homebrew/mytpl x" + tail << 0;
        QTest::newRow("unclosed reference") << "mytpl" << p + "s04_homebrew/my&#116pl/" + tail << 0;
        QTest::newRow("near misses, then one") << "mytpl"
                                               << p + "s04_homebrew/s04_homebrew/myt s04_homebre/mytpl/ "
                                                      "s04_homebrew/mytpl/" + tail
                                               << 1;
    }

    void referencesAsStored()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, device);
        QFETCH(int, count);
        QCOMPARE(TemplateReferenceCount::inDeviceBytes(device, name), count);
        Rs3Fixture fx;
        fx.addUserConfig(Rs3Fixture::Stable, "cfg_one", "One", {device});
        const QList<TemplateReference> refs = PageTemplateLibrary::configsReferencingTemplate(homebrewTemplate(name));
        QCOMPARE(refs.value(0).referenceCount, count);
        // The parsed text, as the window holds it, counts the same.
        pugi::xml_document doc;
        if (doc.load_buffer(device.constData(), size_t(device.size())) && !name.startsWith(u'z'))
            QCOMPARE(TemplateReferenceCount::inNode(doc, name), count);
    }

    // A link or a special file put by hand inside a configuration: never
    // followed or read (no hang, no endless read), never counted, and named
    // in what the questions say was not searched. The configurations folder
    // and a configuration kept through a link are searched as themselves,
    // within bounds however much lies there.
    void countFollowsNoLink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named"); // relative to the stable root
        QTest::newRow("device file linked to /dev/zero") << "zero" << "user/cfgs/cfg_one/dash2/dev/overlay.ov3.xml";
        QTest::newRow("device file a pipe") << "pipe" << "user/cfgs/cfg_one/dash2/dev/overlay.ov3.xml";
        QTest::newRow("device file linked to a pipe") << "pipe link" << "user/cfgs/cfg_one/dash2/dev/overlay.ov3.xml";
        QTest::newRow("dash folder linked") << "dash" << "user/cfgs/cfg_one/dash2";
        QTest::newRow("configuration linked to /") << "root" << "user/cfgs/cfg_root";
        QTest::newRow("configurations folder linked") << "cfgs" << "user/cfgs";
        QTest::newRow("user folder linked") << "user" << "user";
    }
    void countFollowsNoLink()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        Rs3Fixture fx;
        const QString users = TestEnvironment::makeTempDir("users");
        const QByteArray ref = "<p>s04_homebrew/mytpl/bkg.tgz</p>";
        QVERIFY(QDir().mkpath(users + "/cfg_mine"));
        QVERIFY(TestFiles::writeBytes(users + "/cfg_mine/overlay.ov3.xml", ref));
        QVERIFY(TestFiles::writeBytes(users + "/overlay.ov3.xml", ref));
        fx.addUserConfig(Rs3Fixture::Beta, "cfg_beta", "Beta", {ref});
        const QString stable = fx.root(Rs3Fixture::Stable);
        const QString there = stable + "/" + named;
        // Nothing later may meet the pipe.
        const QString pipes = TestEnvironment::makeTempDir("pipes");
        const auto gone = qScopeGuard([pipes] { QDir(pipes).removeRecursively(); });
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "cfgs") {
            QVERIFY(QDir().mkpath(stable + "/user"));
            QVERIFY(QFile::link(users, stable + "/user/cfgs"));
        } else if (kind == "user") {
            const QString kept = TestEnvironment::makeTempDir("kept");
            QVERIFY(QFile::link(users, kept + "/cfgs") && QFile::link(kept, there));
        } else {
            fx.addUserConfig(Rs3Fixture::Stable, "cfg_one", "One", {ref});
            QVERIFY(QDir().mkpath(QFileInfo(there).path()));
            if (kind == "zero")
                QVERIFY(QFile::link("/dev/zero", there));
            else if (kind == "pipe")
                QVERIFY((pipe = std::make_unique<FifoGuard>(there))->made());
            else if (kind == "pipe link")
                QVERIFY((pipe = std::make_unique<FifoGuard>(pipes + "/pipe"))->made() && QFile::link(pipes + "/pipe", there));
            else
                QVERIFY(QFile::link(kind == "root" ? QStringLiteral("/") : users, there));
        }
        const auto usersBefore = Rs3Fixture::treeSnapshot(users);

        if (kind != "cfgs" && kind != "user")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^configsReferencingTemplate: not searched: "));
        QStringList notSearched;
        const QList<TemplateReference> refs =
            PageTemplateLibrary::configsReferencingTemplate(homebrewTemplate("mytpl"), &notSearched);
        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(Rs3Fixture::treeSnapshot(users), usersBefore);
        if (kind == "cfgs" || kind == "user") {
            QCOMPARE(notSearched, QStringList());
            QCOMPARE(refs.size(), 2);
            QCOMPARE(refs.value(0).cfgFolderPath, stable + "/user/cfgs/cfg_mine");
            return;
        }
        if (kind == "root") {
            // The top of the disk holds the configurations folder itself: no
            // configuration is that, and nothing of it is walked.
            QCOMPARE(notSearched, QStringList{there + " leads to /, which holds the configurations folder itself: "
                                                      "not searched"});
            QCOMPARE(refs.size(), 2);
            return;
        }
        const QString why = kind == "pipe" ? " is not a regular file" : " is a symbolic link";
        QCOMPARE(notSearched, QStringList{there + why});
        QCOMPARE(refs.size(), 2);
        for (const TemplateReference& r : refs)
            QCOMPARE(r.referenceCount, 1);

        // The question that follows a count that found nothing names it.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^configsReferencingTemplate: not searched: "));
        const QString question = TemplateUsers::ofFolderName("zfree", nullptr, {}).notSearched();
        QVERIFY2(question.contains("\n" + there + why), qPrintable(question));
    }

    // The configurations this editor saved are searched wherever they lie;
    // one saved again without the template, or gone, uses nothing. What
    // cannot be read (the file, or the list of them) makes the answer
    // incomplete, which counts as in use.
    void savedConfigurationsAreSearched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("complete");
        QTest::newRow("saved using it") << "uses" << 1 << true;
        QTest::newRow("saved again without it") << "resaved" << 0 << true;
        QTest::newRow("gone since") << "gone" << 0 << true;
        QTest::newRow("no archive any more") << "garbled" << 0 << false;
        QTest::newRow("the list not a plain file") << "list" << 0 << false;
        QTest::newRow("its folder away") << "away" << 0 << false;
        QTest::newRow("the list's first line damaged, then a save") << "damaged" << 1 << true;
    }
    void savedConfigurationsAreSearched()
    {
        QFETCH(QString, kind);
        QFETCH(int, found);
        QFETCH(bool, complete);
        Rs3Fixture fx;
        const QString list = SavedConfigLedger::path();
        const auto cleanUp = qScopeGuard([list] {
            QDir(list).removeRecursively();
            for (const QString& aside : QDir(appDataDir()).entryList({"saved-configs.tsv.*-*"}))
                QDir(appDataDir() + '/' + aside).removeRecursively() || QFile::remove(appDataDir() + '/' + aside);
        });
        const QString file = TestEnvironment::makeTempDir("mine") + "/Race.zconf2";
        QVERIFY(ZipFixture::writeZip(file, QMap<QString, QByteArray>{
                                               {"dash1/dev/overlay.ov3.xml", "<p>s04_homebrew/mytpl/bkg.tgz</p>"}}));
        QVERIFY(SavedConfigLedger::note(file, true));
        if (kind == "resaved")
            QVERIFY(SavedConfigLedger::note(file, false));
        else if (kind == "gone")
            QVERIFY(QFile::remove(file));
        else if (kind == "garbled")
            QVERIFY(TestFiles::writeBytes(file, "not an archive"));
        else if (kind == "list")
            QVERIFY(QFile::remove(list) && QDir().mkpath(list));
        else if (kind == "away")
            QVERIFY(QDir().rename(QFileInfo(file).path(), QFileInfo(file).path() + ".away"));
        else if (kind == "damaged")
            QVERIFY(TestFiles::writeBytes(list, TestFiles::readBytes(list).replace(0, 5, "\xff\x01")));
        // Another file saved: the list keeps what it held.
        if (kind == "damaged")
            QVERIFY(SavedConfigLedger::note(TestEnvironment::makeTempDir("other") + "/Other.zconf2", false));
        const QRegularExpression notRead("^TemplateUsers: not read: ");
        if (!complete)
            QTest::ignoreMessage(QtWarningMsg, notRead);
        const TemplateUsers users = TemplateUsers::ofFolderName("mytpl", nullptr, {});
        QCOMPARE(users.savedFiles.size(), found);
        if (found)
            QCOMPARE(users.savedFiles[0].cfgFolderPath, file);
        QCOMPARE(users.complete(), complete);
        QCOMPARE(users.inUse(), found > 0 || !complete);
        QVERIFY2(complete || users.unread().contains(QDir::toNativeSeparators(kind == "list" ? list : file)),
                 qPrintable(users.unread()));

        if (kind == "away")
            QVERIFY(QDir().rename(QFileInfo(file).path() + ".away", QFileInfo(file).path()));
    }

    // A listed file on a share that does not answer holds the search up a
    // bounded time, then counts as not read; the files after it are read.
    void aSavedFileThatDoesNotAnswerIsNotRead()
    {
        Rs3Fixture fx;
        const QString folder = TestEnvironment::makeTempDir("slow");
        const QByteArray uses = "<p>s04_homebrew/mytpl/bkg.tgz</p>";
        for (const char* name : {"/Slow.zconf2", "/Race.zconf2"}) {
            QVERIFY(ZipFixture::writeZip(folder + name, QMap<QString, QByteArray>{{"dash1/dev/overlay.ov3.xml", uses}}));
            QVERIFY(SavedConfigLedger::note(folder + name, true));
        }
        SavedConfigsSearch::setAnswerBoundForTesting(100, [](const QString& file) {
            if (file.endsWith("Slow.zconf2"))
                QThread::msleep(400);
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^TemplateUsers: not read: .*did not answer"));
        const TemplateUsers users = TemplateUsers::ofFolderName("mytpl", nullptr, {});
        QThread::msleep(500);
        SavedConfigsSearch::setAnswerBoundForTesting(3000, {});
        QCOMPARE(users.savedFiles.size(), 1);
        QCOMPARE(users.savedFiles[0].cfgFolderPath, folder + "/Race.zconf2");
        QVERIFY2(users.unread().contains(QDir::toNativeSeparators(folder + "/Slow.zconf2")), qPrintable(users.unread()));
    }

    // Every name a gesture asks about is counted in one read of the
    // configurations, as each would be alone.
    void severalNamesCountedTogether()
    {
        Rs3Fixture fx;
        const QByteArray a = "<p>s04_homebrew/zpaste_a/x.png</p><p>S04_HOMEBREW\\zpaste_a/</p>";
        const QByteArray b = "<p>s04_homebrew/zpaste_&#98;/x.png</p>";
        fx.addUserConfig(Rs3Fixture::Stable, "cfg_one", "One", {a});
        fx.addUserConfig(Rs3Fixture::Beta, "cfg_two", "Two", {a + b});
        const QStringList names{"zpaste_a", " zpaste_b", "zpaste_c", ""};
        QList<QPair<int, int>> told;
        const QHash<QString, TemplateUsers> all =
            TemplateUsers::ofFolderNames(names, nullptr, {}, [&](int done, int total) { told.append({done, total}); });
        QCOMPARE(all.size(), names.size());
        for (const QString& name : names) {
            const TemplateUsers alone = TemplateUsers::ofFolderName(name, nullptr, {});
            QCOMPARE(all[name].lines(), alone.lines());
        }
        QCOMPARE(all["zpaste_a"].lines(), QStringList({"    One  (2 reference(s))", "    Two  (2 reference(s))"}));
        QCOMPARE(told.constLast(), qMakePair(2, 2));

    }

    void deleting()
    {
        Rs3Fixture fx;
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standard("mxs")));
        const QString store = saveToStore("mxs_12", "mytpl", "Mine");
        QVERIFY(!PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Stable), "mxs_12", "mytpl")
                     .isEmpty());
        QVERIFY(!PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Beta), "mxs", "mytpl").isEmpty());
        fx.addUserConfig(Rs3Fixture::Stable, "cfg_a", "A", {"s04_homebrew/mytpl/p"});
        fx.addUserConfig(Rs3Fixture::Beta, "cfg_b", "B", {"s04_homebrew/mytpl/p"});
        const auto rs3 = fx.snapshot();
        const auto stored = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());

        const QRegularExpression refused(QStringLiteral("^Refusing to delete homebrew template mytpl - still "
                                                        "referenced by config cfg_[ab] \\( 1 references \\)$"));
        QTest::ignoreMessage(QtWarningMsg, refused);
        QTest::ignoreMessage(QtWarningMsg, refused);
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", homebrewTemplate("mytpl"), {}, false));
        PageTemplate stock = homebrewTemplate("mytpl");
        stock.homebrew = false;
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", stock, {}, true));
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", homebrewTemplate(" "), {}, true));
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewTemplatesDir()), stored);

        QVERIFY(PageTemplateLibrary::deleteHomebrewTemplate("mxs", homebrewTemplate("mytpl"), {}, true));
        QVERIFY(!QFileInfo::exists(store));
        QVERIFY(!QFileInfo::exists(copyIn(fx, Rs3Fixture::Stable, "mxs_12", "mytpl")));
        QVERIFY(!QFileInfo::exists(copyIn(fx, Rs3Fixture::Beta, "mxs", "mytpl")));
        QVERIFY(QFileInfo::exists(copyIn(fx, Rs3Fixture::Stable, "mxs_12", "AiM_folder.xml")));
    }

    // A template under the name of the editor's own art (an older save, a
    // hand-made folder) is never removed: saved configurations in folders no
    // search reaches may point at the art in that folder of the install.
    void deletingKeepsEditorArt_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("box art") << "zbox_race";
        QTest::newRow("bar art, other case") << "ZBar_md_01_race";
        QTest::newRow("chrome art") << "zchrome_race_0123456789_1";
    }

    void deletingKeepsEditorArt()
    {
        QFETCH(QString, name);
        Rs3Fixture fx;
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        // Saving under such a name is refused now; an older build's save
        // left one in the store.
        const QString saved = saveToStore("mxs_12", "race", "Race");
        const QString store = QFileInfo(saved).path() + QLatin1Char('/') + name;
        QVERIFY(QDir().rename(saved, store));
        // The mirror makes no such copy; an older build did.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mirrorTemplateToRs3: refusing to copy .*" + name
                                                              + "\" is a folder name of the editor's own art"));
        QVERIFY(PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Stable), "mxs_12", name).isEmpty());
        QVERIFY(!QFileInfo::exists(copyIn(fx, Rs3Fixture::Stable, "mxs_12", name)));
        QVERIFY(PageTemplateLibrary::copyDirRecursive(store, copyIn(fx, Rs3Fixture::Stable, "mxs_12", name)));
        QVERIFY(PageTemplateLibrary::writeFile(copyIn(fx, Rs3Fixture::Stable, "mxs_12", name) + "/Items/box/mask.png",
                                               "art"));
        const auto rs3 = fx.snapshot();
        const auto stored = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Refusing to delete homebrew template " + name));
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", homebrewTemplate(name), {}, true));
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewTemplatesDir()), stored);
    }

    // A set folder that is a link leads to someone else's folder: a
    // template copy of that name there stays, and so does the link.
    void deletingLeavesCopiesBehindALink()
    {
        Rs3Fixture fx;
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        const QString store = saveToStore("mxs_12", "mytpl", "Mine");
        const QString shared = TestEnvironment::makeTempDir(QStringLiteral("shared"));
        QVERIFY(PageTemplateLibrary::copyDirRecursive(store, shared + "/mytpl"));
        const QString set = QFileInfo(copyIn(fx, Rs3Fixture::Stable, "mxs_12", "mytpl")).path();
        QVERIFY(QDir(set).removeRecursively());
        QVERIFY(QFile::link(shared, set));
        const auto before = Rs3Fixture::treeSnapshot(shared);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^deleteHomebrewTemplate: leaving .* is a symbolic link$"));
        QVERIFY(PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", homebrewTemplate("mytpl"), {}, true));
        QVERIFY(!QFileInfo::exists(store));
        QVERIFY(QFileInfo(set).isSymLink());
        QCOMPARE(Rs3Fixture::treeSnapshot(shared), before);
    }

    // The store folder is already gone: the RS3 copies still go.
    void deletingWithoutStoreFolder()
    {
        Rs3Fixture fx;
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        const QString store = saveToStore("mxs_12", "gone", "Gone");
        QVERIFY(!PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Stable), "mxs_12", "gone")
                     .isEmpty());
        QVERIFY(QDir(store).removeRecursively());
        QVERIFY(PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", homebrewTemplate("gone"), {}, false));
        QVERIFY(!QFileInfo::exists(copyIn(fx, Rs3Fixture::Stable, "mxs_12", "gone")));
    }

    void deletingHostileNames_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("name");
        QTest::newRow("dotdot") << "mxs_12" << "..";
        QTest::newRow("climbing name") << "mxs_12" << "../x";
        QTest::newRow("nested name") << "mxs_12" << "a/b";
        QTest::newRow("climbing family") << "../.." << "mytpl";
    }

    void deletingHostileNames()
    {
        QFETCH(QString, family);
        QFETCH(QString, name);
        Rs3Fixture fx;
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standard("mxs_12")));
        const QString store = saveToStore("mxs_12", "mytpl", "Mine");
        fx.addFolderMeta(Rs3Fixture::Stable, standard("mxs_12") + "/s04_homebrew/x", "x");
        fx.addFolderMeta(Rs3Fixture::Stable, standard("mxs_12") + "/s04_homebrew/a/b", "b");
        fx.addFolderMeta(Rs3Fixture::Stable, standard("mxs_12") + "/x", "x");
        PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Beta), "mxs_12", "mytpl");
        // Decoys where the hostile names lead, in the store and beside it.
        QVERIFY(PageTemplateLibrary::writeFile(homebrewTemplatesDir() + "/x/keep", "x"));
        QVERIFY(PageTemplateLibrary::writeFile(homebrewTemplatesDir() + "/mxs_12/a/b/keep", "x"));
        QVERIFY(PageTemplateLibrary::writeFile(homebrewTemplatesDir() + "/../../mytpl/keep", "x"));
        const auto rs3 = fx.snapshot();
        const auto home = Rs3Fixture::treeSnapshot(TestEnvironment::homeDir());
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate(family, homebrewTemplate(name), {}, true));
        QCOMPARE(fx.snapshot(), rs3);
        QCOMPARE(Rs3Fixture::treeSnapshot(TestEnvironment::homeDir()), home);
    }

    void relocation()
    {
        Rs3Fixture fx;
        const QString source = fx.addTemplate(Rs3Fixture::Stable, "mxs_12", "s02", "p01");
        const QString target = fx.absolutePath(Rs3Fixture::Stable, standard("mxs") + "/s02/p01");
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(source, "mxs_12", "MXS_12"), source);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, "aim/resources/overlay/MXS_12/masks")));

        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(source, "mxs_12", "mxs"), target);
        QCOMPARE(Rs3Fixture::treeSnapshot(target), Rs3Fixture::treeSnapshot(source));
        QVERIFY(PageTemplateLibrary::writeFile(source + "/pMain.P2.xml", "changed"));
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(source + "/", "mxs_12", "mxs"), target);
        QVERIFY(TestFiles::readBytes(target + "/pMain.P2.xml") != "changed");

        QString windows = source + "\\";
        windows.replace('/', '\\');
        const QString mxg = fx.absolutePath(Rs3Fixture::Stable, standard("mxg_12") + "/s02/p01");
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(windows, "MXS_12", "mxg_12"), mxg);
        QVERIFY(QFileInfo::exists(mxg + "/pMain.P2.xml"));

        const QString store = saveToStore("mxs_12", "zt", "T");
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(store, "mxs_12", "mxs"), store);
        const QString empty = fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12") + "/s02/p02");
        QDir().mkpath(empty);
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(empty, "mxs_12", "mxs"), empty);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, standard("mxs") + "/s02/p02")));

        // A folder of that name in the other family that holds no template.
        const QString art = fx.absolutePath(Rs3Fixture::Stable, standard("mxp") + "/s02/p01");
        QVERIFY(PageTemplateLibrary::writeFile(art + "/Items/md1/mask.png", "art"));
        const auto withArt = fx.snapshot();
        QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(source, "mxs_12", "mxp"), source);
        QCOMPARE(fx.snapshot(), withArt);

        const auto before = fx.snapshot();
        for (const QString& family : {QStringLiteral("../../x"), QStringLiteral(".."), QStringLiteral("../..")})
            QCOMPARE(PageTemplateLibrary::relocateTemplateIntoSaveOverlay(source, "mxs_12", family), source);
        QCOMPARE(fx.snapshot(), before);
    }

    void relativeToRs3Root()
    {
        Rs3Fixture fx;
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, standard("mxs") + "/s02/p01");
        QCOMPARE(PageTemplateLibrary::relativeToRs3Root(stable), standard("mxs") + "/s02/p01/");
        QString windows = stable + "\\";
        windows.replace('/', '\\');
        QCOMPARE(PageTemplateLibrary::relativeToRs3Root(windows), standard("mxs") + "/s02/p01/");
        QCOMPARE(PageTemplateLibrary::relativeToRs3Root(fx.absolutePath(Rs3Fixture::Beta, standard("mxs"))), QString());
        QSettings().setValue(QStringLiteral("paths/raceStudio3Root"), QString());
        QCOMPARE(PageTemplateLibrary::relativeToRs3Root(stable), QString());
    }
};

KORV_GUI_TEST_MAIN(TemplateListingTest)
#include "tst_templatelisting.moc"
