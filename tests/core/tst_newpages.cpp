#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/FileSizeLimit.h"
#include "support/TemplateFixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {

const QString kRel = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/tpl/");

QStringList maskIds(const PageModel& page)
{
    QStringList ids;
    for (const MaskElement& m : page.masks)
        ids << m.id;
    return ids;
}

QString param(pugi::xml_node node, const char* name)
{
    return QString::fromUtf8(paramValue(node, name));
}

// A template with `count` masks, each a Label of its own item file.
TemplateFixture labelTemplate(int count)
{
    TemplateFixture tpl;
    for (int i = 1; i <= count; ++i) {
        tpl.mask(FixtureElement("GMaskParam").p("ORDINE", i),
                 Fx::mask(QStringLiteral("m%1").arg(i), 10 * i, 20, 100, 40)
                     .add(Fx::label("l1", QStringLiteral("L%1").arg(i), 0, 0, 100, 40)));
    }
    return tpl;
}

QString writeTemplate(const TemplateFixture& tpl)
{
    const QString folder = TestEnvironment::makeTempDir("tpl") + "/tpl";
    return tpl.writeTo(folder) ? folder : QString();
}

bool open(DashConfig& config, const ConfigFixture& cfg)
{
    const QString path = cfg.writeTempZip();
    return !path.isEmpty() && config.load(path);
}

ConfigFixture threePages()
{
    ConfigFixture cfg;
    cfg.device().page("A").param("PATH_IMAGE", "a.png").param("PATH_PAGE_FW", "m00i/");
    cfg.device().page("B");
    cfg.device().page("C");
    return cfg;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class NewPagesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newPageIds_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("newId");
        QTest::addColumn<QString>("ordine");
        QTest::newRow("ids 1 2 7") << QStringList{"1", "2", "7"} << "8" << "4";
        QTest::newRow("ids that are no numbers") << QStringList{"p1", "x", "p3"} << "1" << "4";
        QTest::newRow("no pages") << QStringList{} << "1" << "1";
    }

    void newPageIds()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, newId);
        QFETCH(QString, ordine);
        ConfigFixture cfg;
        for (const QString& id : ids)
            cfg.device().page(id);
        DashConfig config;
        QVERIFY(open(config, cfg));
        int k = 0;
        for (pugi::xml_node e = config.gconfNode(0).child("e"); e; e = e.next_sibling("e"))
            e.attribute("i").set_value(ids[k++].toUtf8().constData());

        const int index = config.newPage("New");
        QCOMPARE(index, ids.size());
        const pugi::xml_node node = config.pageParamNode(index);
        QCOMPARE(QString::fromUtf8(node.attribute("i").value()), newId);
        QCOMPARE(param(node, "ORDINE"), ordine);
        QCOMPARE(config.page(index)->name, QStringLiteral("New"));
        QCOMPARE(config.devices[0]->pageCount, ids.size() + 1);
        QVERIFY(config.devices[0]->dirty);
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
    }

    // The whole element as written: parameter order and the first page's
    // art paths (present ones only) are what RS3 reads.
    void newPageElement()
    {
        DashConfig config;
        QVERIFY(open(config, threePages()));
        const int index = config.newPage(QString());
        QCOMPARE(index, 3);
        QCOMPARE(ConfigSnapshot::xml(config.pageParamNode(index)),
                 QByteArray("<e c=\"GPageParam\" i=\"1\">\n"
                            "  <p n=\"BKGCOL\">0</p>\n"
                            "  <p n=\"BTNXPG\">0</p>\n"
                            "  <p n=\"HEIGHT\">480</p>\n"
                            "  <p n=\"NOMEEXT_FILE_RESOURCE\" />\n"
                            "  <p n=\"ORDINE\">4</p>\n"
                            "  <p n=\"PAGE_IDX\" />\n"
                            "  <p n=\"PAGE_NAME\" />\n"
                            "  <p n=\"PATH_IMAGE\">a.png</p>\n"
                            "  <p n=\"PATH_PAGE_FW\">m00i/</p>\n"
                            "  <p n=\"SET_IMAGE_xDISABLE\">0</p>\n"
                            "  <p n=\"USA_MASK_COL_E_THICKNESS\">1</p>\n"
                            "  <p n=\"VERSION\">1.1</p>\n"
                            "  <p n=\"WIDTH\">800</p>\n"
                            "  <p n=\"PATH_REL_AiM_PAGE\">aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/</p>\n"
                            "</e>\n"));
        const PageModel& page = *config.page(index);
        QCOMPARE(page.relPagePath, QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/"));
        QCOMPARE(page.deviceFolder, config.devices[0]->overlayFolder);
        QVERIFY(page.masks.empty());
    }

    void insertedMasks_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("relFolder");
        QTest::addColumn<QString>("lastId");
        QTest::addColumn<QString>("pathImage");
        QTest::addColumn<QString>("firstMaskFolder");
        QTest::newRow("three masks") << 3 << kRel << "md.02" << kRel + "bkg.png" << kRel + "Items/md1/";
        QTest::newRow("eleven masks") << 11 << kRel << "md.10" << kRel + "bkg.png" << kRel + "Items/md1/";
        QTest::newRow("empty relFolder") << 2 << QString() << "md.01" << "bkg.png" << "Items/md1/";
    }

    void insertedMasks()
    {
        QFETCH(int, count);
        QFETCH(QString, relFolder);
        QFETCH(QString, lastId);
        QFETCH(QString, pathImage);
        QFETCH(QString, firstMaskFolder);
        const QString folder = writeTemplate(labelTemplate(count));
        DashConfig config;
        QVERIFY(open(config, threePages()));

        const int position = config.insertPage(folder, "Tpl", relFolder);
        QCOMPARE(position, 3);
        const PageModel& page = *config.page(position);
        QCOMPARE(page.masks.size(), size_t(count));
        QCOMPARE(maskIds(page).first(), QStringLiteral("md.00"));
        QCOMPARE(maskIds(page).last(), lastId);
        QCOMPARE(page.masks.back().widgets.size(), size_t(1));
        QCOMPARE(page.relPagePath, relFolder);
        const pugi::xml_node node = config.pageParamNode(position);
        QCOMPARE(param(node, "PATH_IMAGE"), pathImage);
        QCOMPARE(param(node, "PATH_REL_AiM_PAGE"), relFolder);
        QCOMPARE(param(node.child("e"), "PATH_REL_AiM_MASK"), firstMaskFolder);
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
    }

    // The whole element as written: defaults, then the template's page
    // parameters (a WIDTH among them), then per mask the defaults, the
    // template's mask parameters and the item's parameters and elements.
    void insertedElement()
    {
        TemplateFixture tpl;
        tpl.background = true;
        tpl.pageParam("PAGE_NAME", "Template name").pageParam("WIDTH", "640").pageParam("BKGCOL", "7");
        tpl.pageParam("PATH_IMAGE", "other.png").pageParam("EXTRA", "x");
        tpl.mask(FixtureElement("GMaskParam").p("XPOS", 12).p("ORDINE", 3),
                 FixtureElement("GMaskParam", "m01")
                     .p("XPOS", 99)
                     .p("WIDTH", 200)
                     .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                     .add(Fx::digit("d1", 0, 0, 200, 60, "a1"))
                     .raw("    stray text\n"));
        const QString folder = writeTemplate(tpl);
        DashConfig config;
        QVERIFY(open(config, threePages()));

        const int position = config.insertPage(folder, "Mine", kRel);
        QCOMPARE(position, 3);
        const pugi::xml_node node = config.pageParamNode(position);
        QCOMPARE(ConfigSnapshot::xml(node),
                 QByteArray("<e c=\"GPageParam\" i=\"1\">\n"
                            "  <p n=\"BKGCOL\">7</p>\n"
                            "  <p n=\"BTNXPG\">0</p>\n"
                            "  <p n=\"HEIGHT\">480</p>\n"
                            "  <p n=\"NOMEEXT_FILE_RESOURCE\">pMain.P2.xml</p>\n"
                            "  <p n=\"ORDINE\">4</p>\n"
                            "  <p n=\"PAGE_IDX\" />\n"
                            "  <p n=\"PAGE_NAME\">Mine</p>\n"
                            "  <p n=\"PATH_IMAGE\">" + kRel.toUtf8() + "bkg.png</p>\n"
                            "  <p n=\"PATH_IMAGE_PRW\">" + kRel.toUtf8() + "prw.png</p>\n"
                            "  <p n=\"PATH_REL_AiM_PAGE\">" + kRel.toUtf8() + "</p>\n"
                            "  <p n=\"PATH_IMAGE_SFONDO_FW\">bkg.tgz</p>\n"
                            "  <p n=\"PATH_PAGE_FW\">m03i/</p>\n"
                            "  <p n=\"SET_IMAGE_xDISABLE\">0</p>\n"
                            "  <p n=\"USA_MASK_COL_E_THICKNESS\">1</p>\n"
                            "  <p n=\"VERSION\">1.1</p>\n"
                            "  <p n=\"WIDTH\">640</p>\n"
                            "  <p n=\"EXTRA\">x</p>\n"
                            "  <e c=\"GMaskParam\" i=\"md.00\">\n"
                            "    <p n=\"BLENDING_TIME\">3000</p>\n"
                            "    <p n=\"FATTORE_REDIM\">1000</p>\n"
                            "    <p n=\"HOLD_PROPORZIONI\">0</p>\n"
                            "    <p n=\"IsUDMdaMostrare\">0</p>\n"
                            "    <p n=\"PATH_IMAGE\">mask.png</p>\n"
                            "    <p n=\"PATH_MASK_FW\">m00a/</p>\n"
                            "    <p n=\"RESIZABLE\">0</p>\n"
                            "    <p n=\"SET_IMAGE_xDISABLE\">0</p>\n"
                            "    <p n=\"USA_CONTROLLI_RIPOSIZIONABILI\">0</p>\n"
                            "    <p n=\"USA_MASK_COL_E_THICKNESS\">1</p>\n"
                            "    <p n=\"USA_PREPATHXMASK\">1</p>\n"
                            "    <p n=\"VERSION\">1.1</p>\n"
                            "    <p n=\"PATH_REL_AiM_MASK\">" + kRel.toUtf8() + "Items/md1/</p>\n"
                            "    <p n=\"XPOS\">12</p>\n"
                            "    <p n=\"ORDINE\">3</p>\n"
                            "    <p n=\"WIDTH\">200</p>\n"
                            "    <e c=\"Axis\" i=\"a1\">\n"
                            "      <p n=\"lnm\">RPM</p>\n"
                            "      <p n=\"shn\">RPM</p>\n"
                            "      <p n=\"UDM\">rpm</p>\n"
                            "    </e>\n"
                            "    <e c=\"Digit\" i=\"d1\">\n"
                            "      <p n=\"XPOS\">0</p>\n"
                            "      <p n=\"YPOS\">0</p>\n"
                            "      <p n=\"WIDTH\">200</p>\n"
                            "      <p n=\"HEIGHT\">60</p>\n"
                            "      <p n=\"AXIS_REF\">a1</p>\n"
                            "    </e>\n"
                            "    <p n=\"YPOS\">0</p>\n"
                            "  </e>\n"
                            "</e>\n"));
        // The record keeps the size computed for the device file.
        const PageModel& page = *config.page(position);
        QCOMPARE(page.width, 800);
        QCOMPARE(page.height, 480);
        QCOMPARE(page.name, QStringLiteral("Mine"));
        QCOMPARE(page.backgroundPath, folder + "/bkg.png");
        QCOMPARE(page.background.size(), QSize(16, 8));
        QCOMPARE(page.masks.front().kind, int(MaskDigit));
        QCOMPARE(page.masks.front().x, 12);
    }

    // Pages of the first device file: "A", "B" (or none); of the second: "C"
    // (or none). Both files are PDM dashes.
    void pdmTargets_data()
    {
        QTest::addColumn<bool>("firstHasPages");
        QTest::addColumn<bool>("secondHasPages");
        QTest::addColumn<QString>("relFolder");
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("deviceFolder");
        const QString dash1 = "aim/resources/overlay/pdm/dash1/masks/set/standard/s01/p01/";
        const QString dash2 = "aim/resources/overlay/pdm08/dash2/masks/set/standard/s01/p01/";
        QTest::newRow("pdm08/dash2 after the pages of dash 1") << true << false << dash2 << 1 << 2 << "pdm08/dash2";
        QTest::newRow("dash 1 after its own pages") << true << true << dash1 << 0 << 2 << "pdm/dash1";
        QTest::newRow("empty dash 1 before the pages of dash 2") << false << true << dash1 << 0 << 0 << "pdm/dash1";
        QTest::newRow("dash 2 after its own pages") << true << true << dash2 << 1 << 3 << "pdm08/dash2";
    }

    void pdmTargets()
    {
        QFETCH(bool, firstHasPages);
        QFETCH(bool, secondHasPages);
        QFETCH(QString, relFolder);
        QFETCH(int, device);
        QFETCH(int, position);
        QFETCH(QString, deviceFolder);
        ConfigFixture cfg;
        cfg.deviceType = "PDM32";
        FixtureDevice& d1 = cfg.device(0);
        d1.folder = "dash1";
        d1.family = "pdm";
        d1.dashNumber = 1;
        d1.dimX = 1280;
        d1.page("A");
        d1.page("B");
        FixtureDevice& d2 = cfg.device(1);
        d2.family = "pdm";
        d2.dashNumber = 2;
        if (secondHasPages)
            d2.page("C");
        const QString folder = writeTemplate(labelTemplate(1));
        DashConfig config;
        QVERIFY(open(config, cfg));
        if (!firstHasPages) {
            QVERIFY(config.removePage(0));
            QVERIFY(config.removePage(0));
        }

        QCOMPARE(config.insertPage(folder, "T", relFolder), position);
        const PageModel& page = *config.page(position);
        QCOMPARE(page.name, QStringLiteral("T"));
        QCOMPARE(page.deviceFileIndex, device);
        QCOMPARE(page.deviceFolder, deviceFolder);
        QCOMPARE(param(config.pageParamNode(position), "PAGE_NAME"), QStringLiteral("T"));
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
    }

    void refusedTemplates_data()
    {
        QTest::addColumn<QString>("pMain"); // null: no file
        QTest::addColumn<bool>("folderGiven");
        QTest::newRow("no folder") << QString() << false;
        QTest::newRow("no pMain.P2.xml") << QString() << true;
        QTest::newRow("not XML") << "<aimDataBase_Page2><e c=\"GPageParam\">" << true;
        QTest::newRow("other root") << "<aimDataBase_Mask2><e c=\"GPageParam\"/></aimDataBase_Mask2>" << true;
        QTest::newRow("first element not a page") << "<aimDataBase_Page2><e c=\"GMaskParam\"/><e c=\"GPageParam\"/>"
                                                     "</aimDataBase_Page2>"
                                                  << true;
        QString deep;
        for (int i = 0; i < 400; ++i)
            deep += "<e c=\"x\">";
        for (int i = 0; i < 400; ++i)
            deep += "</e>";
        QTest::newRow("nested too deep") << "<aimDataBase_Page2><e c=\"GPageParam\">" + deep + "</e></aimDataBase_Page2>"
                                         << true;
    }

    void refusedTemplates()
    {
        QFETCH(QString, pMain);
        QFETCH(bool, folderGiven);
        const QString folder = TestEnvironment::makeTempDir("tpl");
        if (!pMain.isNull())
            writeFile(folder + "/pMain.P2.xml", pMain.toUtf8());
        DashConfig config;
        QVERIFY(open(config, threePages()));
        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.insertPage(folderGiven ? folder : QString(), "T", kRel), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void nothingOpen()
    {
        DashConfig config;
        QCOMPARE(config.newPage("X"), -1);
        QCOMPARE(config.insertPage(writeTemplate(labelTemplate(1)), "T", kRel), -1);
    }

    // Item files are read only inside the template folder; a mask whose
    // item is refused or missing keeps the parameters it got from the page.
    // A mask names the art folder and picture of its item only when the
    // template holds that picture: an item without art (a text box saved
    // into a template) or outside the folder leaves the mask without any.
    void itemFiles_data()
    {
        QTest::addColumn<QString>("itemPath");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<int>("widgets");
        QTest::addColumn<QString>("maskFolder");
        QTest::addColumn<QString>("xpos"); // the item's own XPOS is 10
        QTest::newRow("template library form") << "./Items/md1/md1.M2.xml" << true << 1 << "Items/md1/" << "10";
        QTest::newRow("plain relative") << "Items/md1/md1.M2.xml" << true << 1 << "Items/md1/" << "10";
        QTest::newRow("item without art") << "./Items/md1/md1.M2.xml" << false << 1 << "" << "10";
        QTest::newRow("outside the folder") << "../outside/md1.M2.xml" << true << 0 << "" << "0";
        QTest::newRow("dot-dot back inside") << "Items/../Items/md1/md1.M2.xml" << true << 0 << "Items/md1/" << "0";
        QTest::newRow("missing item file") << "Items/none/none.M2.xml" << true << 0 << "" << "0";
    }

    void itemFiles()
    {
        QFETCH(QString, itemPath);
        QFETCH(bool, picture);
        QFETCH(int, widgets);
        QFETCH(QString, maskFolder);
        QFETCH(QString, xpos);
        TemplateFixture tpl = labelTemplate(1);
        tpl.masks[0].picture = picture;
        const QString folder = writeTemplate(tpl); // the item at Items/md1/md1.M2.xml
        tpl.masks[0].itemPath = itemPath;
        if (!itemPath.contains("none"))
            QVERIFY(tpl.writeTo(folder));
        else
            writeFile(folder + "/pMain.P2.xml", tpl.pMainXml());
        DashConfig config;
        QVERIFY(open(config, threePages()));

        const int position = config.insertPage(folder, "T", QString());
        QCOMPARE(position, 3);
        const MaskElement& mask = config.page(position)->masks.at(0);
        QCOMPARE(int(mask.widgets.size()), widgets);
        QCOMPARE(param(mask.node, "PATH_REL_AiM_MASK"), maskFolder);
        QCOMPARE(param(mask.node, "PATH_IMAGE"), maskFolder.isEmpty() ? QString() : QStringLiteral("mask.png"));
        QCOMPARE(param(mask.node, "XPOS"), xpos);
        QCOMPARE(param(mask.node, "ORDINE"), QStringLiteral("1"));
    }

    // A stock page whose Items folder, or one item's folder, the user keeps
    // on another disk through a link: the page's elements hold the widgets
    // of their items as with plain folders. A link at the item file itself
    // is still refused.
    void linkedItemFolders_data()
    {
        QTest::addColumn<QString>("linked"); // below the template folder
        QTest::addColumn<QList<int>>("widgets");
        QTest::newRow("plain folders") << "" << QList<int>{2, 2, 5};
        QTest::newRow("Items linked") << "Items" << QList<int>{2, 2, 5};
        QTest::newRow("one item's folder linked") << "Items/md2" << QList<int>{2, 2, 5};
        QTest::newRow("item file linked") << "Items/md3/md3.M2.xml" << QList<int>{2, 2, 0};
    }

    void linkedItemFolders()
    {
        QFETCH(QString, linked);
        QFETCH(QList<int>, widgets);
        TemplateFixture tpl;
        const QList<int> labels{2, 2, 5};
        for (int i = 0; i < labels.size(); ++i) {
            FixtureElement item = Fx::mask(QStringLiteral("m%1").arg(i + 1), 0, 60 * i, 200, 60);
            for (int w = 0; w < labels[i]; ++w)
                item.add(Fx::label(QStringLiteral("l%1").arg(w), QStringLiteral("L"), 0, 0, 20, 20));
            tpl.mask(FixtureElement("GMaskParam").p("ORDINE", i + 1), item);
        }
        const QString install = TestEnvironment::makeTempDir("install");
        const QString folder = install + "/" + kRel + "p01";
        QVERIFY(tpl.writeTo(folder));
        if (!linked.isEmpty()) {
            // Moved to the other disk and linked back where RS3 expects it.
            const QString away = TestEnvironment::makeTempDir("other-disk") + "/kept";
            QVERIFY(QDir().rename(folder + "/" + linked, away));
            QVERIFY(QFile::link(away, folder + "/" + linked));
        }
        DashConfig config;
        QVERIFY(open(config, threePages()));

        const int position = config.insertPage(folder, "Dark grey", kRel + "p01/");
        QCOMPARE(position, 3);
        QList<int> held;
        for (const MaskElement& mask : config.page(position)->masks)
            held << int(mask.widgets.size());
        QCOMPARE(held, widgets);
    }

    // Insert a template page into the demo, save, reopen: the new page with
    // its masks and items, and the rest of the XML as it was.
    void demoRoundTrip()
    {
        const QString work = TestEnvironment::makeTempDir("demo");
        const QString path = ConfigFixture::demoArchiveCopy(work);
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        TemplateFixture tpl;
        tpl.mask(FixtureElement("GMaskParam").p("XPOS", 10).p("YPOS", 10).p("ORDINE", 1),
                 Fx::mask("m01", 0, 0, 300, 100)
                     .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                     .add(Fx::digit("d1", 0, 0, 300, 100, "a1")));
        tpl.mask(FixtureElement("GMaskParam").p("XPOS", 10).p("YPOS", 120).p("ORDINE", 2),
                 Fx::mask("m02", 0, 0, 200, 40).add(Fx::label("l1", "GEAR", 0, 0, 200, 40)));
        tpl.mask(FixtureElement("GMaskParam").p("XPOS", 10).p("YPOS", 200).p("ORDINE", 3),
                 Fx::mask("m03", 0, 0, 400, 40)
                     .add(Fx::axis("a1", "Speed", "SPD", "km/h"))
                     .add(Fx::bargraph("b1", 0, 0, 400, 40, "a1")));
        const QString folder = writeTemplate(tpl);

        DashConfig original;
        QString error;
        QVERIFY2(original.load(path, &error), qPrintable(error));
        const QByteArray documentBefore = ConfigSnapshot::documents(original);
        const QByteArray recordsBefore = ConfigSnapshot::records(original);

        DashConfig config;
        QVERIFY(config.load(path));
        QCOMPARE(config.insertPage(folder, "Template", kRel), 3);
        QVERIFY2(config.save(path, &error), qPrintable(error));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.pageCount(), 4);
        const PageModel& page = *reopened.page(3);
        QCOMPARE(page.name, QStringLiteral("Template"));
        QCOMPARE(maskIds(page), (QStringList{"md.00", "md.01", "md.02"}));
        QCOMPARE(page.masks[0].kind, int(MaskDigit));
        QCOMPARE(page.masks[0].channel, QStringLiteral("RPM"));
        QCOMPARE(page.masks[1].kind, int(MaskLabel));
        QCOMPARE(page.masks[2].kind, int(MaskBargraph));
        QCOMPARE(QRect(page.masks[2].x, page.masks[2].y, page.masks[2].w, page.masks[2].h), QRect(10, 200, 400, 40));

        // Without the new page, the document is the one that was opened.
        QVERIFY(reopened.removePage(3));
        QCOMPARE(ConfigSnapshot::documents(reopened), documentBefore);
        QCOMPARE(ConfigSnapshot::records(reopened), recordsBefore);
    }

    // Save As, then moveToPath: each sidecar of the old name is copied to
    // the new one (over an older copy); a sidecar the old name lacks is
    // removed at the new name, where it belonged to the overwritten file.
    void saveAsCarriesSidecars_data()
    {
        QTest::addColumn<QString>("newName"); // empty: the same file
        QTest::addColumn<QStringList>("oldSidecars");
        QTest::addColumn<QStringList>("staleSidecars");
        const QStringList all{".boxstyles.json", ".multibox.json", ".barcolor.json", ".iconpreview.json"};
        QTest::newRow("same file") << QString() << all << QStringList{};
        QTest::newRow("copied to a new name") << "b.zconf2" << all << QStringList{};
        QTest::newRow("older copies replaced") << "b.zconf2" << QStringList{".boxstyles.json", ".barcolor.json"}
                                               << QStringList{".boxstyles.json"};
        QTest::newRow("stale sidecars removed") << "b.zconf2" << QStringList{".multibox.json"}
                                                << QStringList{".barcolor.json", ".iconpreview.json"};
    }

    void saveAsCarriesSidecars()
    {
        QFETCH(QString, newName);
        QFETCH(QStringList, oldSidecars);
        QFETCH(QStringList, staleSidecars);
        const QString dir = TestEnvironment::makeTempDir("saveas");
        ConfigFixture cfg;
        cfg.device().page("A");
        QVERIFY(cfg.writeZip(dir + "/a.zconf2"));
        for (const QString& suffix : oldSidecars)
            writeFile(dir + "/a" + suffix, "old" + suffix.toUtf8());
        for (const QString& suffix : staleSidecars)
            writeFile(dir + "/b" + suffix, "stale");
        DashConfig config;
        QVERIFY(config.load(dir + "/a.zconf2"));

        const QString target = newName.isEmpty() ? dir + "/a.zconf2" : dir + "/" + newName;
        QString error;
        QVERIFY2(config.save(target, &error), qPrintable(error));
        config.moveToPath(target);
        QCOMPARE(config.zconf2Path, target);

        const QStringList all{".boxstyles.json", ".multibox.json", ".barcolor.json", ".iconpreview.json"};
        for (const QString& suffix : all) {
            const QByteArray expected = oldSidecars.contains(suffix) ? "old" + suffix.toUtf8() : "<missing>";
            QCOMPARE(TestFiles::readBytes(dir + "/a" + suffix), expected);
            if (newName.isEmpty())
                continue;
            QCOMPARE(TestFiles::readBytes(dir + "/b" + suffix), expected);
        }
        if (!newName.isEmpty())
            QCOMPARE(config.boxStylesSidecarPath(), dir + "/b.boxstyles.json");
    }

    // A disk that cannot take a sidecar's copy (a file size limit below
    // it): Save As says which and why, and writes nothing under the new name.
    void saveAsStopsWhenASidecarCannotBeCopied()
    {
        const QString dir = TestEnvironment::makeTempDir("saveas");
        ConfigFixture cfg;
        cfg.device().page("A");
        QVERIFY(cfg.writeZip(dir + "/a.zconf2"));
        writeFile(dir + "/a.barcolor.json", QByteArray(200000, ' ') + "{}");
        DashConfig config;
        QVERIFY(config.load(dir + "/a.zconf2"));
        QString error;
        const auto outcome = FileSizeLimit::run(100000, [&config, &dir](QString* e) {
            return config.saveAs(dir + "/b.zconf2", e) || config.zconf2Path != dir + "/a.zconf2";
        }, &error);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QVERIFY2(error.contains(QDir::toNativeSeparators(dir + "/a.barcolor.json")) && error.endsWith("File too large"),
                 qPrintable(error));
        QCOMPARE(QDir(dir).entryList(QDir::Files), (QStringList{"a.barcolor.json", "a.zconf2"}));
    }

    // A long name in a script of many bytes leaves no room for a suffix on
    // a record file's own name: Save As still carries the records, and
    // leaves nothing of its own beside them.
    void saveAsToALongName()
    {
        const QString dir = TestEnvironment::makeTempDir("saveas");
        ConfigFixture cfg;
        cfg.device().page("A").mask(Fx::mask("md.01", 0, 0, 100, 50));
        QVERIFY(cfg.writeZip(dir + "/a.zconf2"));
        DashConfig config;
        QVERIFY(config.load(dir + "/a.zconf2"));
        MultiBoxRecord record;
        record.rows = 2;
        record.cols = 3;
        QVERIFY(config.saveMultiBoxSidecar({{config.sidecarKey(0, 0, SidecarStore::MultiBoxes), record}}));
        QString error;
        // Records wait for a save: the carry moves what lies beside the file.
        QVERIFY2(config.save(dir + "/a.zconf2", &error), qPrintable(error));
        const QByteArray records = TestFiles::readBytes(dir + "/a.multibox.json");
        QVERIFY(!records.isEmpty());
        const QString name = QString(80, QChar(0x65E5)); // 240 bytes
        QVERIFY2(config.saveAs(dir + '/' + name + ".zconf2", &error), qPrintable(error));
        QCOMPARE(TestFiles::readBytes(dir + '/' + name + ".multibox.json"), records);
        QCOMPARE(config.loadMultiBoxSidecar().size(), 1);
        QCOMPARE(QDir(dir).entryList({".korvelanto-carry-*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void moveToEmptyPathKeepsThePath()
    {
        DashConfig config;
        config.zconf2Path = TestEnvironment::makeTempDir("cfg") + "/a.zconf2";
        const QString before = config.zconf2Path;
        config.moveToPath(QString());
        QCOMPARE(config.zconf2Path, before);
    }
};

KORV_GUI_TEST_MAIN(NewPagesTest)
#include "tst_newpages.moc"
