#include "artwork/ArtworkFailureReason.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "editing/AddMultiBoxCommand.h"
#include "editing/BarColorCommand.h"
#include "editing/BoxStyleCommand.h"
#include "editing/ChildGeometrySnapshot.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

namespace {

const char* const kOrigin = "aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/";
const char* const kBoxItem = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_config/Items/box_dash_p1_md_01/";
const char* const kPanel = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_config/Items/mbox_dash_p1_mm_01/";

// Every parameter of the element as "name=value", in order of name: what a
// device reads, whatever the order in the file.
QStringList paramsOf(pugi::xml_node e)
{
    QStringList out;
    for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p"))
        out << QString::fromUtf8(p.attribute("n").value()) + "=" + QString::fromUtf8(p.text().get());
    out.sort();
    return out;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ArtRestoreTest : public QObject {
    Q_OBJECT

    // A Digit mask "md.01" on stock art with PATH_IMAGE_SFONDO_FW but
    // neither DE_FIT_SRC nor M_BCOL, and a 1 x 2 multi-value box "mm.01".
    static QString writeConfig()
    {
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("md.01", 10, 20, 120, 60)
                      .p("PATH_REL_AiM_MASK", kOrigin)
                      .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                      .add(Fx::digit("d1", 0, 0, 120, 60)))
            .mask(Fx::mask("mm.01", 0, 100, 160, 40)
                      .add(Fx::digit("c1", 0, 0, 80, 40))
                      .add(Fx::digit("c2", 80, 0, 80, 40)));
        return cfg.writeTempZip();
    }

    static void install(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kOrigin, QSize(100, 50)));
    }

    // A stock bar "mb.01", the box "md.01" on stock art, a bar "mc.01" already
    // coloured and a box "mz.01" already styled, both without records.
    static QString writeRestyleConfig()
    {
        const QString stockBar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("mb.01", 10, 20, 120, 30)
                      .p("PATH_REL_AiM_MASK", stockBar)
                      .add(Fx::bargraph("b1", 0, 0, 120, 30)))
            .mask(Fx::mask("md.01", 10, 60, 120, 60)
                      .p("PATH_REL_AiM_MASK", kOrigin)
                      .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                      .add(Fx::digit("d1", 0, 0, 120, 60)))
            .mask(Fx::mask("mc.01", 10, 130, 120, 30)
                      .p("PATH_REL_AiM_MASK", QString(stockBar).replace("s02/bar/", "s04_homebrew/zbar_x/"))
                      .add(Fx::bargraph("b2", 0, 0, 120, 30)))
            .mask(Fx::mask("mz.01", 10, 170, 120, 60)
                      .p("PATH_REL_AiM_MASK", kBoxItem)
                      .add(Fx::digit("d2", 0, 0, 120, 60)));
        return cfg.writeTempZip();
    }

private Q_SLOTS:
    void boxStyleUndoPutsBackExactlyThePresentParams()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const pugi::xml_node mask = c.pages[0].masks[0].node;
        setParam(mask, "BOX_STYLE_ID", "old");
        const QStringList params0 = paramsOf(mask);
        const QByteArray sidecar0 = fileBytes(c.boxStylesSidecarPath());

        QUndoStack stack;
        auto* command = new BoxStyleCommand(&c, 0, 0, "accent_bottom", 0xff00ff00u, true, 0, "RPM", 0);
        stack.push(command);
        QVERIFY(command->result());
        QCOMPARE(command->text(), QStringLiteral("Apply box style"));
        const QStringList params1 = paramsOf(c.pages[0].masks[0].node);
        const QByteArray sidecar1 = fileBytes(c.boxStylesSidecarPath());
        QVERIFY(params1 != params0);

        stack.undo();
        QStringList expected = params0;
        expected.removeAll("BOX_STYLE_ID=old"); // the undo never leaves a style id behind
        QCOMPARE(paramsOf(c.pages[0].masks[0].node), expected);
        QCOMPARE(fileBytes(c.boxStylesSidecarPath()), sidecar0);

        stack.redo();
        QCOMPARE(paramsOf(c.pages[0].masks[0].node), params1);
        QCOMPARE(fileBytes(c.boxStylesSidecarPath()), sidecar1);

        QCOMPARE(BoxStyleCommand(&c, 0, 0, "clean", 0, true, 0, QString(), 0).text(), QStringLiteral("Remove box"));
    }

    // A restyle that fails leaves the mask, its record and the history as
    // they were, and tells its creator so.
    void failedRestyleLeavesNoTrace()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const QStringList params0 = paramsOf(c.pages[0].masks[0].node);
        const QByteArray sidecar0 = fileBytes(c.boxStylesSidecarPath());
        QUndoStack stack;
        bool applied = true;
        stack.push(new BoxStyleCommand(&c, 0, 0, "no_such_style", 0, true, 0, QString(), 0, &applied));
        QVERIFY(!applied);
        QCOMPARE(stack.count(), 0);
        QCOMPARE(paramsOf(c.pages[0].masks[0].node), params0);
        QCOMPARE(fileBytes(c.boxStylesSidecarPath()), sidecar0);
    }

    // A store that does not parse (a hand edit) is never rewritten or
    // removed: the edit that needs it is refused naming the file and why,
    // and one that does not need it works and leaves it alone.
    void brokenStoreSurvives_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("broken"); // SidecarStore
        QTest::addColumn<bool>("applies");
        const int bars = int(SidecarStore::BarColors);
        const int boxes = int(SidecarStore::BoxStyles);
        const int grids = int(SidecarStore::MultiBoxes);
        QTest::newRow("colour a stock bar") << "bar" << 0 << bars << false;
        QTest::newRow("colour a coloured bar") << "bar" << 2 << bars << false;
        QTest::newRow("colour beside broken box styles") << "bar" << 0 << boxes << true;
        QTest::newRow("style a stock box") << "box" << 1 << boxes << false;
        QTest::newRow("style a styled box") << "box" << 3 << boxes << false;
        QTest::newRow("style beside broken grids") << "box" << 1 << grids << false;
        QTest::newRow("style beside broken bar colours") << "box" << 1 << bars << true;
        QTest::newRow("add a grid") << "grid" << -1 << grids << false;
        QTest::newRow("add a grid beside broken box styles") << "grid" << -1 << boxes << false;
        QTest::newRow("add a grid beside broken bar colours") << "grid" << -1 << bars << true;
    }

    void brokenStoreSurvives()
    {
        QFETCH(QString, action);
        QFETCH(int, mask);
        QFETCH(int, broken);
        QFETCH(bool, applies);
        Rs3Fixture fx;
        install(fx);
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/",
                              QSize(100, 25)));
        DashConfig c;
        QVERIFY(c.load(writeRestyleConfig()));
        const SidecarStore store = SidecarStore(broken);
        const QString path = store == SidecarStore::BarColors ? c.barColorSidecarPath()
            : store == SidecarStore::BoxStyles                ? c.boxStylesSidecarPath()
                                                              : c.multiBoxSidecarPath();
        const QByteArray bytes = "{\n    \"masks\": {\n        \"Demo/p2/mb.01\": {\"colored\": true},\n"
                                 "        \"mb.02\": {\"styleId\": \"x\", \"rows\": 1},\n    },\n    \"version\": 1\n}\n";
        QVERIFY(TestFiles::writeBytes(path, bytes));
        QVERIFY(c.sidecarReadFailure(store).contains(QDir::toNativeSeparators(path)));
        const QByteArray xml0 = ConfigSnapshot::documents(c);

        QUndoStack stack;
        bool applied = false;
        int created = -1;
        if (action == "bar") {
            stack.push(new BarColorCommand(&c, 0, mask, &applied));
        } else if (action == "box") {
            stack.push(new BoxStyleCommand(&c, 0, mask, "accent_bottom", 0xff00ff00u, true, 0, "RPM", 0, &applied));
        } else {
            stack.push(new AddMultiBoxCommand(&c, 0, 1, 2, "above", std::vector<MultiBoxCellRequest>(2),
                                              QRect(200, 20, 160, 40), &created));
            applied = created >= 0;
        }
        QCOMPARE(applied, applies);
        QCOMPARE(TestFiles::readBytes(path), bytes);
        if (!applies) {
            QCOMPARE(stack.count(), 0);
            QCOMPARE(ConfigSnapshot::documents(c), xml0);
            const QString why = action == "bar" ? ArtworkFailureReason::forBarColor(c, 0, mask)
                : action == "box"               ? ArtworkFailureReason::forBoxStyle(c, 0, mask)
                                                : c.sidecarFailure;
            QVERIFY2(why.startsWith(QDir::toNativeSeparators(path) + " cannot be read (") && why.contains("at byte"),
                     qPrintable(why));
            return;
        }
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        stack.redo();
        QCOMPARE(TestFiles::readBytes(path), bytes);
    }

    // Undo of a restyle gives back the record with its origin and points the
    // mask back at the item the earlier style drew, which the restyle left
    // alone, so a later "Remove box" still finds the stock art.
    void restyleUndoKeepsTheOrigin()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const auto item = [&] {
            return fx.absolutePath(Rs3Fixture::Stable,
                                   QString::fromUtf8(paramValue(c.pages[0].masks[0].node, "PATH_REL_AiM_MASK")));
        };
        QUndoStack stack;
        stack.push(new BoxStyleCommand(&c, 0, 0, "panel_dark", 0, true, 0, QString(), 0));
        const QString darkItem = item();
        QVERIFY(darkItem.startsWith(fx.absolutePath(Rs3Fixture::Stable, kBoxItem).chopped(1) + '_'));
        const QByteArray dark = fileBytes(darkItem + "mask.tgz");
        const QByteArray darkPng = fileBytes(darkItem + "mask.png");
        QVERIFY(!dark.isEmpty());
        stack.push(new BoxStyleCommand(&c, 0, 0, "solid_blue", 0xff0000ffu, true, 2, "RPM", 0));
        QVERIFY(item() != darkItem);
        QVERIFY(fileBytes(item() + "mask.tgz") != dark);

        stack.undo();
        const BoxStyleRecord back = c.loadBoxStyleSidecar().value("dash/p1/md.01");
        QCOMPARE(back.styleId, QStringLiteral("panel_dark"));
        QCOMPARE(back.originalPathRel, QString::fromLatin1(kOrigin));
        QCOMPARE(item(), darkItem);
        QCOMPARE(fileBytes(item() + "mask.tgz"), dark);
        QCOMPARE(fileBytes(item() + "mask.png"), darkPng);

        stack.redo();
        QCOMPARE(c.loadBoxStyleSidecar().value("dash/p1/md.01").styleId, QStringLiteral("solid_blue"));
        auto* remove = new BoxStyleCommand(&c, 0, 0, "clean", 0, true, 0, QString(), 0);
        stack.push(remove);
        QVERIFY(remove->result());
        QCOMPARE(QString::fromUtf8(paramValue(c.pages[0].masks[0].node, "PATH_REL_AiM_MASK")),
                 QString::fromLatin1(kOrigin));
        // The record stays for the saved file until the next save.
        QVERIFY(c.loadBoxStyleSidecar().contains("dash/p1/md.01"));
        QVERIFY(!c.boxStyleRecord(0, 0).present);
    }

    // A box without art before: undo draws the plain panel, redo points
    // back at the styled one without drawing it again.
    void multiBoxUndoRedrawsTheEarlierStyle()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.saveMultiBoxEntry("dash/p1/mm.01", 1, 2, "top"));
        const auto panel = [&] {
            return fx.absolutePath(Rs3Fixture::Stable,
                                   QString::fromUtf8(paramValue(c.pages[0].masks[1].node, "PATH_REL_AiM_MASK")))
                + "mask.png";
        };

        QUndoStack stack;
        stack.push(new BoxStyleCommand(&c, 0, 1, "solid_blue", 0, false, 2, "OIL", 0xffffffffu));
        const QString styledPanel = panel();
        QVERIFY(styledPanel.startsWith(fx.absolutePath(Rs3Fixture::Stable, kPanel).chopped(1) + '_'));
        const QImage styled(styledPanel);
        QCOMPARE(styled.size(), QSize(160, 40));

        // No style record before: the panel comes back as "panel_dark"
        // without a caption.
        stack.undo();
        const QImage plain = BoxStyleRenderer::renderMultiBox(QSize(160, 40), "panel_dark", QColor(), 1, 2, true, 0,
                                                              QString(), QColor());
        QCOMPARE(QImage(panel()).convertToFormat(QImage::Format_ARGB32), plain.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(!c.loadBoxStyleSidecar().contains("dash/p1/mm.01"));

        stack.redo();
        QCOMPARE(panel(), styledPanel);
        QCOMPARE(QImage(panel()).convertToFormat(QImage::Format_ARGB32), styled.convertToFormat(QImage::Format_ARGB32));
    }

    void rerenderNeedsASize()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.saveMultiBoxEntry("dash/p1/mm.01", 1, 2, "top"));
        setParam(c.pages[0].masks[1].node, "WIDTH", "0");
        const auto before = ZipFixture::readTree(fx.root(Rs3Fixture::Stable));
        QVERIFY(!c.rerenderMultiBoxPanel(0, 1));
        QCOMPARE(ZipFixture::readTree(fx.root(Rs3Fixture::Stable)), before);
        // No record, or a grid that cannot be drawn: nothing either.
        QVERIFY(!c.rerenderMultiBoxPanel(0, 0));
        QVERIFY(c.saveMultiBoxEntry("dash/p1/mm.01", 0, 3, "top"));
        setParam(c.pages[0].masks[1].node, "WIDTH", "160");
        QVERIFY(!c.rerenderMultiBoxPanel(0, 1));
        QVERIFY(!c.rerenderMultiBoxPanel(0, 9));
    }

    void geometryRestoreSkipsMissingCells()
    {
        Rs3Fixture fx;
        install(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.saveMultiBoxEntry("dash/p1/mm.01", 1, 2, "top"));
        const int x = c.pages[0].masks[1].x;
        const int y = c.pages[0].masks[1].y;

        std::vector<ChildGeometrySnapshot> cells;
        cells.push_back({"c2", "70", "1", "90", "39", "0,0,90,0,90,39,0,39,0,0"});
        cells.push_back({"gone", "1", "2", "3", "4", QString()});
        QVERIFY(c.restoreMultiBoxGeometry(0, 1, cells));
        const pugi::xml_node c2 = c.pages[0].masks[1].node.find_child_by_attribute("e", "i", "c2");
        QCOMPARE(paramValue(c2, "XPOS"), QByteArray("70"));
        QCOMPARE(paramValue(c2, "WIDTH"), QByteArray("90"));
        QCOMPARE(paramValue(c2, "LINES_X_HOT_MOUSE"), QByteArray("0,0,90,0,90,39,0,39,0,0"));
        QCOMPARE(c.pages[0].masks[1].widgets.size(), size_t(2));
        QCOMPARE(c.pages[0].masks[1].x, x);
        QCOMPARE(c.pages[0].masks[1].y, y);
        QCOMPARE(c.pages[0].masks[1].w, 160);
        QVERIFY(QFileInfo::exists(
            fx.absolutePath(Rs3Fixture::Stable, QString::fromUtf8(paramValue(c.pages[0].masks[1].node, "PATH_REL_AiM_MASK")))
            + "mask.png"));
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
        QVERIFY(!c.restoreMultiBoxGeometry(0, 7, cells));
    }
};

KORV_GUI_TEST_MAIN(ArtRestoreTest)
#include "tst_artrestore.moc"
