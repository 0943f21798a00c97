#include "window/MainWindow.h"
#include "window/WidgetClipboard.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "dialogs/AddPageDialog.h"
#include "model/WidgetGeometry.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryDialog.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

// The s02/p01 stock set of one display of the PDM32.
QString stockItem(const QString& display, const QString& item)
{
    return QStringLiteral("aim/resources/overlay/pdm/%1/masks/set/standard/s02/p01/Items/%2/").arg(display, item);
}

// A numeric value (md1) and a horizontal bar (md2) for each display, in
// items of the same names at each display's own sizes, and a page template
// for each.
void installTwoDisplays(Rs3Fixture& rs3)
{
    const auto axis = Fx::axis(QStringLiteral("00"), QStringLiteral("X"));
    const auto item = [&rs3](const QString& rel, const FixtureElement& mask, const QSize& size) {
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, rel, size));
        QVERIFY(rs3.addMaskItem(Rs3Fixture::Stable, rel, mask.toXml(2)));
    };
    const QList<std::tuple<QString, QSize, QSize>> displays{
        {QStringLiteral("dash1"), QSize(400, 200), QSize(1200, 80)},
        {QStringLiteral("dash2"), QSize(250, 120), QSize(700, 60)}};
    for (const auto& [display, value, bar] : displays) {
        item(stockItem(display, QStringLiteral("md1")),
             Fx::mask("num", 0, 0, value.width(), value.height())
                 .add(axis)
                 .add(Fx::digit("01", 0, 0, value.width(), value.height(), "00")),
             value);
        item(stockItem(display, QStringLiteral("md2")),
             Fx::mask("hbar", 0, 0, bar.width(), bar.height())
                 .add(axis)
                 .add(Fx::bargraph("01", 0, 0, bar.width(), bar.height(), "00", true)),
             bar);
    }
    rs3.addTemplate(Rs3Fixture::Stable, QStringLiteral("pdm/dash1"), QStringLiteral("s02"), QStringLiteral("p25ext"),
                    QSize(1280, 480));
    rs3.addTemplate(Rs3Fixture::Stable, QStringLiteral("pdm/dash2"), QStringLiteral("s03"), QStringLiteral("p01"),
                    QSize(800, 480));
}

// A PDM32 as RS3 keeps it: Dash 1 is 1280 wide (IndexFeatForType 1) with a
// value box near its right edge, Dash 2 is 800 wide (2) with one box. Each
// page lies in its display's s02/p01 set.
ConfigFixture twoDisplayConfig()
{
    ConfigFixture cfg;
    cfg.deviceType = QStringLiteral("PDM32");
    cfg.typeCode = QStringLiteral("27");
    cfg.channel(1, QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm"));
    FixtureDevice& dash1 = cfg.device();
    dash1.folder = QStringLiteral("dash1");
    dash1.family = QStringLiteral("pdm/dash1");
    dash1.dashNumber = 1;
    dash1.dimX = 1280;
    dash1.page(QStringLiteral("Wide")).mask(
        Fx::mask("w1", 840, 100, 300, 100)
            .add(Fx::axis("00", "RPM", "RPM", "rpm"))
            .add(Fx::digit("d1", 0, 0, 300, 100, "00")));
    FixtureDevice& dash2 = cfg.addDevice(QStringLiteral("dash2"));
    dash2.family = QStringLiteral("pdm/dash2");
    dash2.dashNumber = 2;
    dash2.dimX = 800;
    dash2.page(QStringLiteral("Narrow")).mask(Fx::mask("n1", 100, 100, 400, 200));
    return cfg;
}

// The same with both displays' pages under the plain "overlay/pdm/masks/"
// layout, where only IndexFeatForType tells the displays apart.
ConfigFixture plainLayoutConfig()
{
    ConfigFixture cfg = twoDisplayConfig();
    cfg.device(0).family = QStringLiteral("pdm");
    cfg.device(1).family = QStringLiteral("pdm");
    return cfg;
}

// A stock icon bitmap in each display's s02 set.
void installIcons(Rs3Fixture& rs3)
{
    for (const QString display : {QStringLiteral("dash1"), QStringLiteral("dash2")})
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable,
                              QStringLiteral("aim/resources/overlay/pdm/%1/masks/set/standard/s02/Icon/Icon_Black.bmp")
                                  .arg(display),
                              "BM"));
}

} // namespace

// A configuration of a device with two displays of different widths, with
// an install that has stock artwork and templates for both: Insert Element,
// paste, Add Page and the element library each work with the display of the
// page they act on.
class TwoDisplaysTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    DashCanvas* canvas = nullptr;

    QString status() const { return window->statusBar()->currentMessage(); }

    void showPage(int page)
    {
        window->onPageSelected(page);
        QCOMPARE(window->currentPageIndex(), page);
        QCOMPARE(config->pages[size_t(page)].relPagePath,
                 "aim/resources/overlay/pdm/dash" + QString::number(page + 1) + "/masks/set/standard/s02/p01/");
    }

    void reload(const ConfigFixture& cfg)
    {
        window->loadConfig(cfg.writeTempZip());
        config = canvas->config;
        QCOMPARE(config->pageCount(), 2);
    }

    // Each type Insert Element offers on the page, as "label|tooltip", and
    // the dialog's note.
    QStringList offeredTypes(int page, QString* note = nullptr)
    {
        window->onPageSelected(page);
        QStringList offered;
        asker->onExec = [&](QDialog* dialog) {
            auto* types = dialog->findChild<QListWidget*>(QStringLiteral("types"));
            for (int i = 0; i < types->count(); ++i)
                offered << types->item(i)->text() + QLatin1Char('|') + types->item(i)->toolTip();
            if (note)
                *note = dialog->findChild<QLabel*>(QStringLiteral("installNote"))->text();
            return int(QDialog::Rejected);
        };
        window->insertElement();
        return offered;
    }

    // Insert Element > Icon on the page; the icon mask inserted.
    pugi::xml_node insertIcon(int page)
    {
        window->onPageSelected(page);
        asker->onExec = [](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(QStringLiteral("Icon"), Qt::MatchExactly).value(0));
            add->onAccept();
            return add->result();
        };
        const size_t masks = config->pages[size_t(page)].masks.size();
        window->insertElement();
        if (config->pages[size_t(page)].masks.size() != masks + 1)
            return {};
        return config->pages[size_t(page)].masks.back().node;
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        installTwoDisplays(*rs3);
        asker = std::make_unique<ScriptedAsker>();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(twoDisplayConfig().writeTempZip());
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        QCOMPARE(config->pageCount(), 2);
        QCOMPARE(config->displayWidth, 1280);
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
        widgetClipboard().clear();
        ElementCatalog::resetForTesting();
    }

    void insertTakesTheDisplaysOwnStock_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("valueTip");
        QTest::addColumn<QString>("native");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("Dash 1") << 0 << "from md1 (400x200)" << "Native: 1200 x 80 px" << QRect(40, 200, 1200, 80);
        QTest::newRow("Dash 2") << 1 << "from md1 (250x120)" << "Native: 700 x 60 px" << QRect(50, 210, 700, 60);
    }

    // The dialog offers the display's own items at their sizes; the bar is
    // a copy of the display's own, centred on it, and the check finds no
    // borrowed art.
    void insertTakesTheDisplaysOwnStock()
    {
        QFETCH(int, page);
        QFETCH(QString, valueTip);
        QFETCH(QString, native);
        QFETCH(QRect, placed);
        showPage(page);
        QString shownTip, shownNative;
        asker->onExec = [&](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Rejected); // the bar template browser: no template
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            shownTip = types->findItems(QStringLiteral("Numeric value"), Qt::MatchExactly).value(0)->toolTip();
            types->setCurrentItem(types->findItems(QStringLiteral("Horizontal bar"), Qt::MatchExactly).value(0));
            for (QLabel* label : add->findChildren<QLabel*>()) {
                if (label->text().startsWith(QStringLiteral("Native:")))
                    shownNative = label->text();
            }
            auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
            channels->setCurrentRow(0);
            add->onAccept();
            return add->result();
        };
        const int masks = int(config->pages[size_t(page)].masks.size());
        window->insertElement();

        QVERIFY2(shownTip.contains(valueTip), qPrintable(shownTip)); // rich text for wrapping
        QCOMPARE(shownNative, native);
        QCOMPARE(asker->count(QStringLiteral("message")), 0);
        QCOMPARE(int(config->pages[size_t(page)].masks.size()), masks + 1);
        const MaskElement& bar = config->pages[size_t(page)].masks.back();
        QCOMPARE(ConfigCheck::paramText(bar.node, "PATH_REL_AiM_MASK"),
                 stockItem("dash" + QString::number(page + 1), QStringLiteral("md2")));
        QCOMPARE(QRect(bar.x, bar.y, bar.w, bar.h), placed);
        for (const ConfigFinding& finding : ConfigCheck::checkConfig(*config))
            QVERIFY2(finding.elementId != bar.id || finding.code != QLatin1String("cross-set"),
                     qPrintable(finding.message));
    }

    void iconTakesItsDisplaysArt_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::newRow("display folders") << false;
        QTest::newRow("plain layout") << true;
    }

    // With Dash 1 holding an icon already, an icon inserted on Dash 2 takes
    // Dash 2's own art, whichever layout the pages are stored in.
    void iconTakesItsDisplaysArt()
    {
        QFETCH(bool, plain);
        installIcons(*rs3);
        if (plain)
            reload(plainLayoutConfig());
        for (int page : {0, 1}) {
            const pugi::xml_node icon = insertIcon(page);
            QVERIFY2(icon, qPrintable(asker->asked.isEmpty() ? QString() : asker->asked.last().text));
            const QString own = QStringLiteral("/pdm/dash%1/").arg(page + 1);
            QVERIFY(ConfigCheck::paramText(icon, "PATH_REL_AiM_MASK").contains(own));
            QVERIFY(ConfigCheck::paramText(icon.find_child_by_attribute("e", "c", "AiM_Icona"), "OVERLAY2_ICONA_NERA")
                        .contains(own));
        }
    }

    // A page under the plain layout is on the display its file's number
    // names: Insert Element offers that display's stock.
    void plainLayoutOffersItsDisplaysStock()
    {
        reload(plainLayoutConfig());
        QCOMPARE(config->pageFamily(1), QStringLiteral("pdm/dash2"));
        const QStringList offered = offeredTypes(1);
        const QStringList value = offered.filter(QRegularExpression(QStringLiteral("^Numeric value\\|")));
        QCOMPARE(value.size(), 1);
        QVERIFY2(value[0].contains(QStringLiteral("from md1 (250x120)")), qPrintable(value[0]));
    }

    void refusedFamilyGetsNothing_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("dotdot") << "pdm/../x";
        QTest::newRow("empty part") << "pdm//dash2";
        QTest::newRow("backslash") << "pdm\\dash2";
        QTest::newRow("absolute") << "/etc";
        QTest::newRow("drive") << "C:/x";
    }

    // A Dash 2 page whose display folder is refused is reported once at
    // open, by name; it is offered no display's stock, and its canvas reads
    // no art through a path that leads out of the install.
    void refusedFamilyGetsNothing()
    {
        QFETCH(QString, family);
        QImage red(400, 200, QImage::Format_ARGB32);
        red.fill(Qt::red);
        const QString outside = QFileInfo(rs3->root(Rs3Fixture::Stable)).absolutePath() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(outside) && red.save(outside + QStringLiteral("/mask.png")));
        ConfigFixture cfg = twoDisplayConfig();
        cfg.device(1).family = family;
        cfg.device(1).pages[0].masks[0].p(QStringLiteral("PATH_REL_AiM_MASK"), QStringLiteral("aim/../../outside/"));
        asker->asked.clear();
        reload(cfg);
        QCOMPARE(asker->count(QStringLiteral("message")), 1);
        QVERIFY2(asker->asked[0].text.contains("Page 2 \"Narrow\": \"" + family + "\""), qPrintable(asker->asked[0].text));

        QString note;
        const QStringList offered = offeredTypes(1, &note);
        QStringList labels;
        for (const QString& type : offered)
            labels << type.section(QLatin1Char('|'), 0, 0);
        QCOMPARE(labels, (QStringList{"Static label", "Multi-value box", "Icon", "+- Ref Time bar"}));
        QVERIFY2(note.contains(QStringLiteral("is not allowed")), qPrintable(note));
        // A later refusal blames the folder's name, not the install.
        QVERIFY(!insertIcon(1));
        QVERIFY2(asker->asked.last().text.contains(QStringLiteral("\"%1\" is not allowed").arg(family)),
                 qPrintable(asker->asked.last().text));
        const QImage drawn = DashCanvas::renderPageForPreview(config, 1, false, 1);
        QVERIFY(!drawn.isNull());
        QVERIFY(drawn.pixelColor(300, 200) != QColor(Qt::red));
    }

    // A widget copied from Dash 1 at x = 840 does not fit the 800-wide Dash
    // 2 where it was: it goes to the target box's top-left, on the page. A
    // bottom-anchored one is measured from its bottom edge: drawn from the
    // box's top, not above the display.
    void pasteFromDash1LandsInsideDash2_data()
    {
        QTest::addColumn<QString>("align");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("drawn");
        QTest::newRow("top-anchored") << "" << 0 << 100 << QRect(100, 100, 300, 100);
        QTest::newRow("bottom-anchored") << "bc" << 140 << 140 << QRect(100, 100, 300, 140);
    }

    void pasteFromDash1LandsInsideDash2()
    {
        QFETCH(QString, align);
        QFETCH(int, y);
        QFETCH(int, height);
        QFETCH(QRect, drawn);
        const pugi::xml_node digit = config->pages[0].masks[0].widgets[0].node;
        if (!align.isEmpty())
            setParam(digit, "POS_ALIGN", align.toUtf8());
        setParam(digit, "YPOS", QByteArray::number(y));
        setParam(digit, "HEIGHT", QByteArray::number(height));
        canvas->setSelectedMask(0);
        canvas->setSelectedWidget(0);
        window->copyWidget();
        QCOMPARE(widgetClipboard().sourceDisplayWidth, 1280);
        showPage(1);
        canvas->setSelectedMask(0);
        window->pasteWidget();
        QCOMPARE(status(), QStringLiteral("Pasted 1 widget(s) -- destination canvas too small, translated to top-left."));
        const MaskElement& box = config->pages[1].masks[0];
        QCOMPARE(int(box.widgets.size()), 1);
        QCOMPARE(widgetPageRect(box, box.widgets.back()).toRect(), drawn);
        QVERIFY(QRect(0, 0, 800, 480).contains(drawn));
    }

    // On a Dash 2 page the dialog opens on Dash 2; the user picks a Dash 1
    // template. The page goes before the Dash 2 pages, and the window shows
    // the page it added, in the canvas, the page list and the outliner alike.
    void addedDash1PageIsShown()
    {
        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue("homebrew/suppressAddRedirect", true);
        QStringList families;
        asker->onExec = [&families](QDialog* d) {
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            families << dialog->targetFamily;
            dialog->dashCombo->setFocus();
            QTest::keyClick(dialog->dashCombo, Qt::Key_Up);
            families << dialog->targetFamily;
            auto* stock = qobject_cast<QListWidget*>(dialog->tabs->widget(0));
            if (!stock || stock->count() == 0)
                return int(QDialog::Rejected);
            stock->setCurrentRow(0);
            QTest::mouseClick(dialog->buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            return dialog->result();
        };
        showPage(1);
        window->addPageFromTemplate();
        QCOMPARE(families, (QStringList{"pdm/dash2", "pdm/dash1"}));
        QCOMPARE(config->pageCount(), 3);
        QCOMPARE(config->pages[1].relPagePath,
                 QStringLiteral("aim/resources/overlay/pdm/dash1/masks/set/standard/s02/p25ext/"));
        QCOMPARE(config->pages[1].width, 1280);
        QCOMPARE(config->pages[2].name, QStringLiteral("Narrow"));
        QCOMPARE(window->currentPageIndex(), 1);
        QCOMPARE(window->findChild<PageListPanel*>()->currentRow(), 1);
        QCOMPARE(window->findChild<ElementListPanel*>()->topLevelItemCount(), int(config->pages[1].masks.size()));
        QVERIFY(status().startsWith(QStringLiteral("Added page \"")));
    }

    void libraryOffersThePagesDisplay_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("plain");
        QTest::newRow("Dash 1") << 0 << QStringList{"p01/md1\nDigit box  400x200", "p01/md2\nBar  1200x80"} << false;
        QTest::newRow("Dash 2") << 1 << QStringList{"p01/md1\nDigit box  250x120", "p01/md2\nBar  700x60"} << false;
        QTest::newRow("Dash 2, plain layout") << 1 << QStringList{"p01/md1\nDigit box  250x120", "p01/md2\nBar  700x60"}
                                              << true;
    }

    // Both displays' items are indexed apart; "This config" is the page's
    // own display and offers its items only.
    void libraryOffersThePagesDisplay()
    {
        QFETCH(int, page);
        QFETCH(QStringList, shown);
        QFETCH(bool, plain);
        QCOMPARE(ElementCatalog::rebuild(), 4);
        if (plain) {
            reload(plainLayoutConfig());
            window->onPageSelected(page);
        } else {
            showPage(page);
        }
        const QString own = "pdm/dash" + QString::number(page + 1);
        QStringList devices, items;
        asker->onExec = [&](QDialog* dialog) {
            auto* combo = dialog->findChild<QComboBox*>();
            for (QComboBox* c : dialog->findChildren<QComboBox*>()) {
                if (c->itemText(0) != QLatin1String("All types"))
                    combo = c;
            }
            for (int i = 0; i < combo->count(); ++i)
                devices << combo->itemText(i);
            combo->setCurrentIndex(0);
            auto* grid = dialog->findChild<QListWidget*>();
            for (int i = 0; i < grid->count(); ++i)
                items << grid->item(i)->text();
            return int(QDialog::Rejected);
        };
        window->showElementLibrary();
        QCOMPARE(devices.value(0), "This config (" + own + ")");
        QVERIFY(devices.contains(QStringLiteral("pdm/dash1")));
        QVERIFY(devices.contains(QStringLiteral("pdm/dash2")));
        items.sort();
        QCOMPARE(items, shown);
    }
};

KORV_TEST_MAIN(TwoDisplaysTest)
#include "tst_twodisplays.moc"
