#include "window/MainWindow.h"
#include "window/WidgetClipboard.h"
#include "canvas/DashCanvas.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

// What a menu shows: "---" for a separator, "~" before a disabled entry, the
// key after a tab.
QStringList describe(const QMenu* menu)
{
    QStringList out;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator()) {
            out << QStringLiteral("---");
            continue;
        }
        QString text = (action->isEnabled() ? QString() : QStringLiteral("~")) + action->text();
        if (!action->shortcut().isEmpty())
            text += QLatin1Char('\t') + action->shortcut().toString();
        out << text;
    }
    return out;
}

QString key(QKeySequence::StandardKey standard)
{
    return QLatin1Char('\t') + QKeySequence(standard).toString();
}

// One page of every kind of mask the menus tell apart, in this order:
// 0 a value box (Axis and Digit), 1 a bar, 2 an icon, 3 and 4 two Digits
// 30 px either side of (400, 300), 5 a two-cell box that is last and has
// the largest ORDINE.
ConfigFixture menuFixture()
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.width = 800;
    page.height = 480;
    page.mask(Fx::mask(QStringLiteral("value"), 100, 50, 100, 60)
                  .add(Fx::axis(QStringLiteral("a0"), QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm")))
                  .add(Fx::digit(QStringLiteral("d0"), 0, 0, 100, 60, QStringLiteral("a0"))));
    page.mask(Fx::mask(QStringLiteral("bar"), 300, 50, 200, 40)
                  .set(QStringLiteral("ORDINE"), 2)
                  .add(Fx::bargraph(QStringLiteral("b1"), 0, 0, 200, 40)));
    page.mask(Fx::mask(QStringLiteral("icon"), 550, 50, 60, 60)
                  .set(QStringLiteral("ORDINE"), 3)
                  .add(Fx::icon(QStringLiteral("i2"), 0, 0, 60, 60)));
    page.mask(Fx::mask(QStringLiteral("oil"), 350, 280, 40, 40)
                  .set(QStringLiteral("ORDINE"), 4)
                  .add(Fx::axis(QStringLiteral("a3"), QStringLiteral("Oil & Temp")))
                  .add(Fx::digit(QStringLiteral("d3"), 0, 0, 40, 40, QStringLiteral("a3"))));
    page.mask(Fx::mask(QStringLiteral("water"), 410, 280, 40, 40)
                  .set(QStringLiteral("ORDINE"), 5)
                  .add(Fx::axis(QStringLiteral("a4"), QStringLiteral("Water")))
                  .add(Fx::digit(QStringLiteral("d4"), 0, 0, 40, 40, QStringLiteral("a4"))));
    page.mask(Fx::mask(QStringLiteral("multi"), 100, 200, 200, 100)
                  .set(QStringLiteral("ORDINE"), 6)
                  .add(Fx::digit(QStringLiteral("d5a"), 0, 0, 100, 100))
                  .add(Fx::digit(QStringLiteral("d5b"), 100, 0, 100, 100)));
    cfg.channel(1, QStringLiteral("Oil & Water"));
    cfg.channel(2, QStringLiteral("Long"), QStringLiteral("SHORT"));
    for (int fid = 3; fid <= 250; ++fid)
        cfg.channel(fid, QStringLiteral("Channel %1").arg(fid));
    return cfg;
}

ConfigFixture oneBoxFixture(int x, const QString& deviceType = QStringLiteral("MXG 1.2"))
{
    ConfigFixture cfg;
    cfg.deviceType = deviceType;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.width = 800;
    page.height = 480;
    page.mask(Fx::mask(QStringLiteral("box"), x, 100, 100, 60));
    return cfg;
}

} // namespace

// The canvas's right-click menus, read while they are open, and the mask
// arrangement and page actions they run, on a shown window.
class CanvasContextMenuTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashCanvas* canvas = nullptr;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;

    bool open(const ConfigFixture& cfg)
    {
        window = std::make_unique<MainWindow>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        window->loadConfig(cfg.writeTempZip());
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        stack = window->findChild<QUndoStack*>();
        return config->pageCount() == 1;
    }

    QString status() const { return window->statusBar()->currentMessage(); }
    const MaskElement& mask(int index) const { return config->pages[0].masks[size_t(index)]; }

    // Opens the menu for (mask, widget): a real right click on the mask or
    // widget, or, for the empty page, the canvas's request at that exact
    // page point. Returns what the menu showed; `choose` is triggered after
    // it closed, and `inMenu` sees the menu while it is open.
    QStringList openMenu(int maskIndex, int widgetIndex, const QPoint& pagePoint = QPoint(),
                         const QString& choose = QString(), std::function<void(QMenu*)> inMenu = {})
    {
        QStringList seen{QStringLiteral("(no menu)")};
        QTimer::singleShot(0, canvas, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            seen = describe(menu);
            if (inMenu)
                inMenu(menu);
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions())
                if (action->text() == choose)
                    chosen = action;
            menu->close();
            if (chosen)
                chosen->trigger();
        });
        if (maskIndex < 0) {
            Q_EMIT canvas->contextMenuRequested(-1, -1, canvas->mapToGlobal(QPoint(5, 5)), pagePoint);
            return seen;
        }
        const MaskElement& m = mask(maskIndex);
        const QRectF area = widgetIndex >= 0 ? canvas->widgetRect(m, m.widgets[size_t(widgetIndex)]) : canvas->maskRect(m);
        const QPoint at = area.center().toPoint();
        // A one-widget box gives its widget at the second press.
        if (widgetIndex >= 0 && m.widgets.size() == 1)
            QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, canvas->mapToGlobal(at));
        QApplication::sendEvent(canvas, &event);
        return seen;
    }

private Q_SLOTS:
    void initTestCase() { m_rs3 = std::make_unique<Rs3Fixture>(); }
    void init()
    {
        widgetClipboard().clear();
        asker = std::make_unique<ScriptedAsker>();
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
    }

    void menuEntries_data()
    {
        QTest::addColumn<int>("maskIndex");
        QTest::addColumn<int>("widgetIndex");
        QTest::addColumn<QStringList>("expected");
        const QString paste = QStringLiteral("~Paste value/text into this box") + key(QKeySequence::Paste);
        const QStringList widgetHead{QStringLiteral("Duplicate this value/text\tCtrl+D"),
                                     QStringLiteral("Copy value/text") + key(QKeySequence::Copy), paste,
                                     QStringLiteral("---"),
                                     QStringLiteral("Delete this value/text") + key(QKeySequence::Delete)};
        const QStringList artwork{QStringLiteral("Swap artwork..."), QStringLiteral("Export artwork to folder..."),
                                  QStringLiteral("Replace artwork from folder...")};
        const QString convert = QStringLiteral("Convert to multi-value box...");
        const QString front = QStringLiteral("Bring to Front");
        const QString back = QStringLiteral("Send to Back");
        const QStringList properties{QStringLiteral("---"), QStringLiteral("Properties...")};
        const QStringList boxHead{QStringLiteral("Duplicate whole box\tCtrl+Shift+D"),
                                  QStringLiteral("Mirror to opposite side"), QStringLiteral("Add Text Box (here)"),
                                  QStringLiteral("---")};
        const QStringList boxTail{QStringLiteral("---"), QStringLiteral("Delete whole box")};
        const QStringList middle{QStringLiteral("Resize to Canonical"), QStringLiteral("---"),
                                 QStringLiteral("Duplicate whole box")};
        const QString bind = QStringLiteral("Bind to Channel");
        const QString sep = QStringLiteral("---");

        QTest::newRow("value in a value box")
            << 0 << 0
            << widgetHead + QStringList{sep, "Box style...", sep, "Add value bar\u2026", sep, bind, front, "~" + back}
                   + middle + artwork + QStringList{convert} + properties;
        QTest::newRow("bar")
            << 1 << 0
            << widgetHead + QStringList{sep, "Color bar (green\u2192amber\u2192red)", sep, bind, front, back} + middle
                   + artwork + properties;
        QTest::newRow("multi-value box, last with the largest ORDINE")
            << 5 << 0
            << widgetHead + QStringList{sep, "Box style...", sep, bind, "~" + front, back} + middle + artwork
                   + properties;
        QTest::newRow("value box as a box")
            << 0 << -1
            << boxHead + QStringList{"~Move Up", "Move Down", front, "~" + back, sep, paste, sep, "Add value bar\u2026", sep}
                   + artwork + QStringList{convert} + boxTail;
        QTest::newRow("icon")
            << 2 << -1
            << boxHead + QStringList{"Move Up", "Move Down", front, back, sep, paste, sep, "Preview icon\u2026", sep}
                   + artwork + boxTail;
        // Two label candidates 30 px away: the earlier mask's wins, its "&" kept.
        QTest::newRow("empty page between two digits")
            << -1 << -1
            << QStringList{"New Page", "Duplicate Current Page", "Delete Current Page", "Add Page from Template...",
                           "Save Current Page as Template...", sep, paste, sep,
                           "Select All on Page" + key(QKeySequence::SelectAll), sep, "Add Text Box (new mask)",
                           "Add Label for \"Oil && Temp\" here"};
    }

    void menuEntries()
    {
        QFETCH(int, maskIndex);
        QFETCH(int, widgetIndex);
        QFETCH(QStringList, expected);
        QVERIFY(open(menuFixture()));
        QMap<QString, MultiBoxRecord> records;
        records.insert(config->sidecarKey(0, 5, SidecarStore::MultiBoxes),
                       MultiBoxRecord{1, 2, QStringLiteral("above")});
        QVERIFY(config->saveMultiBoxSidecar(records));
        QCOMPARE(openMenu(maskIndex, widgetIndex, QPoint(400, 300)), expected);
        QCOMPARE(canvas->selectedMask(), maskIndex);
    }

    void bindToChannelList()
    {
        QVERIFY(open(menuFixture()));
        // A channel known by its short name only.
        config->channels[1].longName.clear();
        QStringList entries;
        openMenu(0, 0, QPoint(), QString(), [&](QMenu* menu) {
            for (QAction* action : menu->actions())
                if (action->menu())
                    entries = describe(action->menu());
        });
        QCOMPARE(entries.size(), 202);
        QCOMPARE(entries.first(), QStringLiteral("Oil && Water"));
        QCOMPARE(entries.at(1), QStringLiteral("SHORT"));
        QCOMPARE(entries.at(199), QStringLiteral("Channel 200"));
        QCOMPARE(entries.mid(200), (QStringList{"---", "~(50 more -- use Property Panel)"}));
    }

    void mirror_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("copyX");
        QTest::addColumn<QString>("message");
        QTest::newRow("left box") << 100 << 600
                                  << "Mirrored to x=600 \u2014 now rebind it to the other side's channel";
        QTest::newRow("centred box") << 350 << -1 << "That box is already centred \u2014 its mirror is itself";
    }

    void mirror()
    {
        QFETCH(int, x);
        QFETCH(int, copyX);
        QFETCH(QString, message);
        QVERIFY(open(oneBoxFixture(x)));
        openMenu(0, -1, QPoint(), QStringLiteral("Mirror to opposite side"));
        QCOMPARE(status(), message);
        QCOMPARE(stack->count(), copyX < 0 ? 0 : 1);
        if (copyX < 0)
            return;
        QCOMPARE(config->pages[0].masks.size(), size_t(2));
        QCOMPARE(mask(1).x, copyX);
        QCOMPARE(mask(1).y, 100);
        QCOMPARE(canvas->selectedMask(), 1);
        stack->undo();
        QCOMPARE(config->pages[0].masks.size(), size_t(1));
    }

    void moveUpAndDown()
    {
        QVERIFY(open(menuFixture()));
        openMenu(1, -1, QPoint(), QStringLiteral("Move Down"));
        QCOMPARE(mask(2).id, QStringLiteral("bar"));
        QCOMPARE(canvas->selectedMask(), 2);
        QCOMPARE(status(), QStringLiteral("Moved \"bar\" down"));
        window->moveMaskUp();
        window->moveMaskUp();
        QCOMPARE(mask(0).id, QStringLiteral("bar"));
        window->moveMaskUp();
        QCOMPARE(status(), QStringLiteral("Already at top"));
        QCOMPARE(stack->count(), 3);
        stack->undo();
        stack->undo();
        stack->undo();
        QCOMPARE(mask(1).id, QStringLiteral("bar"));
    }

    void newBlankPage_data()
    {
        QTest::addColumn<QString>("deviceType");
        QTest::newRow("MXG 1.2") << QStringLiteral("MXG 1.2");
        QTest::newRow("Solo 2 DL") << QStringLiteral("Solo 2 DL");
    }

    void newBlankPage()
    {
        QFETCH(QString, deviceType);
        QVERIFY(open(oneBoxFixture(10, deviceType)));
        asker->asked.clear();
        asker->texts = {{true, QStringLiteral("  Pit board ")}};
        openMenu(-1, -1, QPoint(700, 400), QStringLiteral("New Page"));
        if (deviceType == QLatin1String("Solo 2 DL")) {
            QCOMPARE(asker->count(QStringLiteral("text")), 0);
            QCOMPARE(asker->count(QStringLiteral("message")), 1);
            QCOMPARE(asker->asked.first().title, QStringLiteral("New Page"));
            QCOMPARE(config->pageCount(), 1);
            return;
        }
        QCOMPARE(asker->textInitials, QStringList{QStringLiteral("Page 2")});
        QCOMPARE(config->pageCount(), 2);
        QCOMPARE(config->pages[1].name, QStringLiteral("Pit board"));
        QCOMPARE(window->currentPageIndex(), 1);
        stack->undo();
        QCOMPARE(config->pageCount(), 1);
    }

    // The menus' own Ctrl+D must not outlive them: the Edit menu's stays the
    // only one in the window.
    void menusLeaveEditKeysAlone()
    {
        QVERIFY(open(menuFixture()));
        const qsizetype menus = window->findChildren<QMenu*>().size();
        openMenu(0, 0);
        openMenu(0, -1);
        openMenu(-1, -1, QPoint(700, 400));
        QCOMPARE(window->findChildren<QMenu*>().size(), menus);
        // The offscreen platform gives no window back its activation after
        // a popup.
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        canvas->setSelectedMask(0);
        canvas->setSelectedWidget(0);
        canvas->setFocus();
        QTest::keyClick(canvas, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(mask(0).widgets.size(), size_t(2));
    }
};

KORV_TEST_MAIN(CanvasContextMenuTest)
#include "tst_canvascontextmenu.moc"
