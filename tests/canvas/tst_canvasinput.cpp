#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>
#include <memory>

namespace {

// Page "Main" (800 x 480), masks in list order:
//   0 bar    (100,100 200x50)  one Bargraph filling it
//   1 trio   (400,100 300x100) Digits d1, d2 and a Label sticking out right
//   2 small  (50,300 25x25)    too small for handles
//   3 top    (650,150 100x100) highest ORDINE, over the trio's corner
//   4 narrow (20,400 35x40)
//   5 slim   (200,300 100x60)  one Digit 39 wide
// Page "Second" holds one mask.
ConfigFixture canvasConfig()
{
    ConfigFixture cfg;
    cfg.device().page("Main")
        .mask(Fx::mask("bar", 100, 100, 200, 50)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::bargraph("b1", 0, 0, 200, 50, "a1")
                           .p("XStart1", 3)
                           .p("XEnd1", 197)
                           .p("YStart1", 1)
                           .p("YEnd1", 49)
                           .p("XIMG", 0)
                           .p("YIMG", 0)))
        .mask(Fx::mask("trio", 400, 100, 300, 100)
                  .add(Fx::axis("a1", "Speed", "SPD", "km/h"))
                  .add(Fx::digit("d1", 0, 0, 80, 40, "a1"))
                  .add(Fx::digit("d2", 100, 0, 80, 40, "a1"))
                  .add(Fx::label("l1", "SPD", 250, 0, 100, 40)))
        .mask(Fx::mask("small", 50, 300, 25, 25))
        .mask(Fx::mask("top", 650, 150, 100, 100).set("ORDINE", 5))
        .mask(Fx::mask("narrow", 20, 400, 35, 40))
        .mask(Fx::mask("slim", 200, 300, 100, 60).add(Fx::digit("s1", 0, 0, 39, 40)));
    cfg.device().page("Second").mask(Fx::mask("other", 0, 0, 50, 50));
    return cfg;
}

// The canvas is sized so that one page pixel is one widget pixel and the
// page starts at (10, 10).
QPoint at(int pageX, int pageY)
{
    return QPoint(10 + pageX, 10 + pageY);
}

QPoint handlePoint(const QRect& r, int id)
{
    const int cx = r.x() + r.width() / 2;
    const int cy = r.y() + r.height() / 2;
    const int right = r.x() + r.width();
    const int bottom = r.y() + r.height();
    switch (id) {
    case 2: return at(r.x(), r.y());
    case 3: return at(cx, r.y());
    case 4: return at(right, r.y());
    case 5: return at(r.x(), cy);
    case 6: return at(right, cy);
    case 7: return at(r.x(), bottom);
    case 8: return at(cx, bottom);
    default: return at(right, bottom);
    }
}

QRect rectOf(const MaskElement& m) { return QRect(m.x, m.y, m.w, m.h); }
QRect rectOf(const WidgetModel& w) { return QRect(w.x, w.y, w.w, w.h); }
QRect xmlRect(pugi::xml_node node)
{
    return QRect(paramInt(node, "XPOS"), paramInt(node, "YPOS"), paramInt(node, "WIDTH"), paramInt(node, "HEIGHT"));
}

void drag(QWidget* w, QPoint from, QPoint to)
{
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

void click(QWidget* w, QPoint p)
{
    QTest::mousePress(w, Qt::LeftButton, {}, p);
    QTest::mouseRelease(w, Qt::LeftButton, {}, p);
}

// A parent that records the keys its child lets through.
class KeySink : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++keys;
        event->accept();
    }
};

} // namespace

class CanvasInputTest : public QObject {
    Q_OBJECT

private:
    QString m_path;
    std::unique_ptr<DashConfig> m_config;
    std::unique_ptr<QUndoStack> m_stack;
    std::unique_ptr<KeySink> m_window;
    DashCanvas* m_canvas = nullptr;

    MaskElement& mask(int i) { return m_config->page(0)->masks[size_t(i)]; }
    WidgetModel& widget(int m, int w) { return mask(m).widgets[size_t(w)]; }

    // Selects through clicks on page points, each without moving.
    void clickAll(const QList<QPoint>& points)
    {
        for (const QPoint& p : points)
            click(m_canvas, p);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_path = canvasConfig().writeTempZip();
        QVERIFY(!m_path.isEmpty());
    }

    void init()
    {
        m_config = std::make_unique<DashConfig>();
        QString error;
        QVERIFY2(m_config->load(m_path, &error), qPrintable(error));
        QCOMPARE(m_config->page(0)->masks.size(), size_t(6));
        m_stack = std::make_unique<QUndoStack>();
        m_window = std::make_unique<KeySink>();
        m_canvas = new DashCanvas(m_window.get());
        m_canvas->config = m_config.get();
        m_canvas->setConfig(m_config.get());
        m_canvas->setUndoStack(m_stack.get());
        m_canvas->setPage(m_config->page(0));
        m_canvas->resize(820, 500);
        m_window->resize(820, 500);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_canvas->viewScale(), 1.0);
        QCOMPARE(m_canvas->pageOrigin(), QPointF(10, 10));
    }

    void cleanup()
    {
        m_window.reset();
        m_canvas = nullptr;
        m_stack.reset();
        m_config.reset();
    }

    // --- selection ------------------------------------------------------

    void pressSelects_data()
    {
        QTest::addColumn<QList<QPoint>>("presses");
        QTest::addColumn<QList<QPoint>>("selections"); // (mask, widget) after each press

        QTest::newRow("one-widget mask: mask, then its widget, then the widget again")
            << QList<QPoint>{at(150, 120), at(150, 120), at(180, 140)}
            << QList<QPoint>{{0, -1}, {0, 0}, {0, 0}};
        QTest::newRow("widget of a three-widget mask at once, then the mask between widgets")
            << QList<QPoint>{at(540, 120), at(490, 170)} << QList<QPoint>{{1, 1}, {1, -1}};
        QTest::newRow("a widget is found where it sticks out of its mask")
            << QList<QPoint>{at(720, 120)} << QList<QPoint>{{1, 2}};
        QTest::newRow("the mask highest in paint order wins")
            << QList<QPoint>{at(670, 170)} << QList<QPoint>{{3, -1}};
        QTest::newRow("edges count as inside") << QList<QPoint>{at(400, 200)} << QList<QPoint>{{1, -1}};
        QTest::newRow("empty page area clears the selection")
            << QList<QPoint>{at(150, 120), at(10, 10)} << QList<QPoint>{{0, -1}, {-1, -1}};
        QTest::newRow("another mask re-arms the first press")
            << QList<QPoint>{at(150, 120), at(60, 310), at(150, 120)}
            << QList<QPoint>{{0, -1}, {2, -1}, {0, -1}};
    }

    void pressSelects()
    {
        QFETCH(QList<QPoint>, presses);
        QFETCH(QList<QPoint>, selections);
        for (int i = 0; i < presses.size(); ++i) {
            click(m_canvas, presses[i]);
            QCOMPARE(m_canvas->selectedMask(), selections[i].x());
            QCOMPARE(m_canvas->selectedWidget(), selections[i].y());
        }
        QCOMPARE(m_stack->count(), 0);
    }

    void selectionSignals()
    {
        QSignalSpy masks(m_canvas, &DashCanvas::elementSelected);
        QSignalSpy widgets(m_canvas, &DashCanvas::widgetSelected);
        click(m_canvas, at(150, 120)); // the bar mask
        click(m_canvas, at(150, 120)); // its widget
        click(m_canvas, at(150, 120)); // no change
        click(m_canvas, at(10, 10));   // nothing
        QCOMPARE(masks.size(), 2);
        QCOMPARE(masks[0][0].toInt(), 0);
        QCOMPARE(masks[1][0].toInt(), -1);
        QCOMPARE(widgets.size(), 3);
        QCOMPARE(widgets[0], (QList<QVariant>{0, -1}));
        QCOMPARE(widgets[1], (QList<QVariant>{0, 0}));
        QCOMPARE(widgets[2], (QList<QVariant>{-1, -1}));
    }

    void smallMaskOffersNoHandles()
    {
        click(m_canvas, at(60, 310));
        QCOMPARE(m_canvas->selectedMask(), 2);
        // On its bottom-right corner, where a handle is drawn.
        QCOMPARE(m_canvas->handleAt(at(75, 325)), 0);
        drag(m_canvas, at(75, 325), at(85, 335));
        QCOMPARE(rectOf(mask(2)), QRect(60, 310, 25, 25));
    }

    // --- moving ---------------------------------------------------------

    void dragMoves_data()
    {
        QTest::addColumn<bool>("onWidget");
        QTest::addColumn<int>("grid");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QPoint>("expected");

        QTest::newRow("mask, no grid") << false << 0 << QPoint(37, 23) << QPoint(137, 123);
        QTest::newRow("mask, grid 10") << false << 10 << QPoint(37, 23) << QPoint(140, 120);
        QTest::newRow("mask, grid 10, halfway goes up") << false << 10 << QPoint(35, 25) << QPoint(140, 130);
        QTest::newRow("mask clamped at the top-left") << false << 0 << QPoint(-500, -500) << QPoint(0, 0);
        QTest::newRow("mask clamped 8 before the right and bottom")
            << false << 0 << QPoint(1000, 1000) << QPoint(792, 472);
        QTest::newRow("mask clamped, grid 10") << false << 10 << QPoint(1000, 1000) << QPoint(790, 470);
        // 792 and 472 would snap to 800 and 480, off the page.
        QTest::newRow("mask clamped, grid 20") << false << 20 << QPoint(1000, 1000) << QPoint(780, 460);
        QTest::newRow("widget, no grid") << true << 0 << QPoint(13, 7) << QPoint(113, 7);
        QTest::newRow("widget, grid 10") << true << 10 << QPoint(13, 7) << QPoint(110, 10);
        QTest::newRow("widget clamped inside its mask") << true << 0 << QPoint(1000, 1000) << QPoint(292, 92);
        QTest::newRow("widget clamped at the mask's top-left") << true << 0 << QPoint(-500, -50) << QPoint(0, 0);
    }

    void dragMoves()
    {
        QFETCH(bool, onWidget);
        QFETCH(int, grid);
        QFETCH(QPoint, delta);
        QFETCH(QPoint, expected);
        m_canvas->setGrid(grid > 0, grid > 0 ? grid : 10);
        QSignalSpy moved(m_canvas, onWidget ? SIGNAL(widgetMoved(int,int,int,int)) : SIGNAL(elementMoved(int,int,int)));
        QSignalSpy resized(m_canvas,
                           onWidget ? SIGNAL(widgetResized(int,int,int,int)) : SIGNAL(elementResized(int,int,int)));

        const QPoint from = onWidget ? at(540, 120) : at(150, 120); // trio's d2, the bar mask
        drag(m_canvas, from, from + delta);

        const QRect before = onWidget ? QRect(100, 0, 80, 40) : QRect(100, 100, 200, 50);
        const QRect after(expected, before.size());
        const pugi::xml_node node = onWidget ? widget(1, 1).node : mask(0).node;
        QCOMPARE(onWidget ? rectOf(widget(1, 1)) : rectOf(mask(0)), after);
        QCOMPARE(xmlRect(node), after);
        QCOMPARE(m_stack->count(), 1);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(resized.size(), 0);
        if (onWidget)
            QCOMPARE(moved[0], (QList<QVariant>{1, 1, expected.x(), expected.y()}));
        else
            QCOMPARE(moved[0], (QList<QVariant>{0, expected.x(), expected.y()}));
        QVERIFY(m_config->devices[0]->dirty);
    }

    // --- resizing -------------------------------------------------------

    void resizeFromHandle_data()
    {
        QTest::addColumn<bool>("onWidget");
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QRect>("expected");

        // Each handle dragged by (+7, +5); per edge what the result is:
        // left (x, w), right w, top (y, h), bottom h.
        struct Edges {
            const char* name;
            bool onWidget;
            int grid;
            QRect start;
            int leftX, leftW, rightW, topY, topH, bottomH;
        };
        const Edges cases[] = {
            {"mask", false, 0, QRect(100, 100, 200, 50), 107, 193, 207, 105, 45, 55},
            {"mask, grid 10", false, 10, QRect(100, 100, 200, 50), 110, 190, 210, 110, 40, 60},
            {"widget", true, 0, QRect(0, 0, 80, 40), 7, 73, 87, 5, 35, 45},
            {"widget, grid 10", true, 10, QRect(0, 0, 80, 40), 10, 70, 90, 10, 30, 50},
        };
        const char* const handleNames[] = {"top-left", "top", "top-right", "left", "right",
                                           "bottom-left", "bottom", "bottom-right"};
        for (const Edges& e : cases) {
            for (int handle = 2; handle <= 9; ++handle) {
                QRect r = e.start;
                if (handle == 2 || handle == 5 || handle == 7) {
                    r.moveLeft(e.leftX);
                    r.setWidth(e.leftW);
                }
                if (handle == 4 || handle == 6 || handle == 9)
                    r.setWidth(e.rightW);
                if (handle == 2 || handle == 3 || handle == 4) {
                    r.moveTop(e.topY);
                    r.setHeight(e.topH);
                }
                if (handle == 7 || handle == 8 || handle == 9)
                    r.setHeight(e.bottomH);
                QTest::addRow("%s, %s", e.name, handleNames[handle - 2]) << e.onWidget << e.grid << handle << r;
            }
        }
    }

    void resizeFromHandle()
    {
        QFETCH(bool, onWidget);
        QFETCH(int, grid);
        QFETCH(int, handle);
        QFETCH(QRect, expected);
        m_canvas->setGrid(grid > 0, grid > 0 ? grid : 10);
        QSignalSpy moved(m_canvas, onWidget ? SIGNAL(widgetMoved(int,int,int,int)) : SIGNAL(elementMoved(int,int,int)));
        QSignalSpy resized(m_canvas,
                           onWidget ? SIGNAL(widgetResized(int,int,int,int)) : SIGNAL(elementResized(int,int,int)));

        // Select the bar mask, or trio's first widget; on screen each is
        // the same as in page pixels, moved by the origin.
        QRect target;
        if (onWidget) {
            click(m_canvas, at(440, 120));
            QCOMPARE(m_canvas->selectedWidget(), 0);
            target = QRect(400, 100, 80, 40);
        } else {
            click(m_canvas, at(150, 120));
            QCOMPARE(m_canvas->selectedWidget(), -1);
            target = QRect(100, 100, 200, 50);
        }
        QCOMPARE(m_stack->count(), 0);
        const QPoint from = handlePoint(target, handle);
        QCOMPARE(m_canvas->handleAt(from), handle);
        drag(m_canvas, from, from + QPoint(7, 5));

        const QRect record = onWidget ? rectOf(widget(1, 0)) : rectOf(mask(0));
        QCOMPARE(record, expected);
        QCOMPARE(xmlRect(onWidget ? widget(1, 0).node : mask(0).node), expected);
        QCOMPARE(m_stack->count(), 1);
        // A resize handle reports a resize, even one that also moves an edge.
        QCOMPARE(moved.size(), 0);
        QCOMPARE(resized.size(), 1);
        if (onWidget)
            QCOMPARE(resized[0], (QList<QVariant>{1, 0, expected.width(), expected.height()}));
        else
            QCOMPARE(resized[0], (QList<QVariant>{0, expected.width(), expected.height()}));
        // The selection stays on what was resized.
        QCOMPARE(m_canvas->selectedMask(), onWidget ? 1 : 0);
        QCOMPARE(m_canvas->selectedWidget(), onWidget ? 0 : -1);
    }

    // Snapped sizes never drop below the minimum, so a width of 0 ("unsized")
    // or a negative one never reaches the XML.
    void resizeKeepsMinimumSize_data()
    {
        QTest::addColumn<int>("maskIndex");
        QTest::addColumn<int>("widgetIndex");
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("widget right edge, no grid: 4")
            << 1 << 0 << 0 << 6 << QPoint(-300, 0) << QRect(0, 0, 4, 40);
        QTest::newRow("widget right edge, grid 10: 10, not 0")
            << 1 << 0 << 10 << 6 << QPoint(-300, 0) << QRect(0, 0, 10, 40);
        QTest::newRow("widget bottom edge, grid 10: 10, not 0")
            << 1 << 0 << 10 << 8 << QPoint(0, -300) << QRect(0, 0, 80, 10);
        QTest::newRow("widget left edge, grid 10: stops on the grid, not at width -1")
            << 5 << 0 << 10 << 5 << QPoint(300, 0) << QRect(30, 0, 9, 40);
        QTest::newRow("widget top edge, no grid: 4")
            << 1 << 0 << 0 << 3 << QPoint(0, 300) << QRect(0, 36, 80, 4);
        QTest::newRow("mask left edge, grid 10: stops on the grid, not at width 5")
            << 4 << -1 << 10 << 5 << QPoint(300, 0) << QRect(40, 400, 15, 40);
        QTest::newRow("mask right edge, no grid: 10")
            << 0 << -1 << 0 << 6 << QPoint(-500, 0) << QRect(100, 100, 10, 50);
        QTest::newRow("mask right edge, grid 25: 25, not 0")
            << 0 << -1 << 25 << 6 << QPoint(-500, 0) << QRect(100, 100, 25, 50);
        QTest::newRow("mask bottom edge, grid 25: 25, not 0")
            << 0 << -1 << 25 << 8 << QPoint(0, -500) << QRect(100, 100, 200, 25);
        QTest::newRow("mask right edge stops at the page")
            << 0 << -1 << 0 << 6 << QPoint(900, 0) << QRect(100, 100, 700, 50);
    }

    void resizeKeepsMinimumSize()
    {
        QFETCH(int, maskIndex);
        QFETCH(int, widgetIndex);
        QFETCH(int, grid);
        QFETCH(int, handle);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        m_canvas->setGrid(grid > 0, grid > 0 ? grid : 10);
        m_canvas->setSelectedMask(maskIndex);
        m_canvas->setSelectedWidget(widgetIndex);
        const MaskElement& m = mask(maskIndex);
        QRect target = rectOf(m);
        if (widgetIndex >= 0)
            target = rectOf(widget(maskIndex, widgetIndex)).translated(m.x, m.y);
        const QPoint from = handlePoint(target, handle);
        QCOMPARE(m_canvas->handleAt(from), handle);

        // Through an intermediate step, as a real drag does.
        QTest::mousePress(m_canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(m_canvas, from + delta / 2);
        QTest::mouseMove(m_canvas, from + delta);
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, from + delta);

        const pugi::xml_node node = widgetIndex >= 0 ? widget(maskIndex, widgetIndex).node : mask(maskIndex).node;
        const QRect record = widgetIndex >= 0 ? rectOf(widget(maskIndex, widgetIndex)) : rectOf(mask(maskIndex));
        QCOMPARE(record, expected);
        QCOMPARE(xmlRect(node), expected);
        QCOMPARE(m_stack->count(), 1);
    }

    void unsizedWidgetTakesAStartSizeAndUndoesToUnsized()
    {
        // An unsized Label: WIDTH and HEIGHT 0, its size derived for drawing.
        pugi::xml_node node = widget(1, 2).node;
        setParamInt(node, "WIDTH", 0);
        setParamInt(node, "HEIGHT", 0);
        widget(1, 2).w = 0;
        widget(1, 2).h = 0;
        widget(1, 2).charsetPx = 30;
        const QByteArray before = ConfigSnapshot::documents(*m_config);

        m_canvas->setSelectedMask(1);
        m_canvas->setSelectedWidget(2);
        // Drawn 45 x 36 (1.5 and 1.2 times the character size) at (650, 100).
        const QPoint from = handlePoint(QRect(650, 100, 45, 36), 9);
        QCOMPARE(m_canvas->handleAt(from), 9);
        drag(m_canvas, from, from + QPoint(5, 0));
        // The start size of a resize is 3 and 1.2 times the character size.
        QCOMPARE(rectOf(widget(1, 2)), QRect(250, 0, 95, 36));
        QCOMPARE(m_stack->count(), 1);
        m_stack->undo();
        QCOMPARE(rectOf(widget(1, 2)), QRect(250, 0, 0, 0));
        QCOMPARE(ConfigSnapshot::documents(*m_config), before);
    }

    // --- what a release pushes ------------------------------------------

    void unchangedReleasePushesNothing_data()
    {
        QTest::addColumn<QList<QPoint>>("path"); // press, moves..., release

        QTest::newRow("click on a mask") << QList<QPoint>{at(150, 120), at(150, 120)};
        QTest::newRow("mask dragged and brought back") << QList<QPoint>{at(150, 120), at(190, 150), at(150, 120)};
        QTest::newRow("handle pressed and released") << QList<QPoint>{at(300, 150), at(300, 150)};
        QTest::newRow("handle dragged and brought back")
            << QList<QPoint>{at(300, 150), at(340, 170), at(300, 150)};
        QTest::newRow("click on a widget") << QList<QPoint>{at(540, 120), at(540, 120)};
        QTest::newRow("widget dragged and brought back")
            << QList<QPoint>{at(540, 120), at(520, 140), at(540, 120)};
    }

    void unchangedReleasePushesNothing()
    {
        QFETCH(QList<QPoint>, path);
        m_canvas->setSelectedMask(0);
        const QByteArray xml = ConfigSnapshot::documents(*m_config);
        const QByteArray records = ConfigSnapshot::records(*m_config);
        QSignalSpy maskMoved(m_canvas, &DashCanvas::elementMoved);
        QSignalSpy maskResized(m_canvas, &DashCanvas::elementResized);
        QSignalSpy widgetMoved(m_canvas, &DashCanvas::widgetMoved);
        QSignalSpy widgetResized(m_canvas, &DashCanvas::widgetResized);

        QTest::mousePress(m_canvas, Qt::LeftButton, {}, path.first());
        for (int i = 1; i < path.size(); ++i)
            QTest::mouseMove(m_canvas, path[i]);
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, path.last());

        QCOMPARE(m_stack->count(), 0);
        QCOMPARE(ConfigSnapshot::documents(*m_config), xml);
        QCOMPARE(ConfigSnapshot::records(*m_config), records);
        QCOMPARE(maskMoved.size() + maskResized.size() + widgetMoved.size() + widgetResized.size(), 0);
        QVERIFY(!m_config->devices[0]->dirty);
    }

    // One undo takes back a whole drag of many steps, XML and records; a
    // redo gives the first result again.
    void undoRevertsWholeDrag_data()
    {
        QTest::addColumn<bool>("onWidget");
        QTest::addColumn<int>("handle"); // 1: move
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<QByteArray>("afterRedo");

        QTest::newRow("mask move") << false << 1 << QByteArray("XPOS") << QByteArray("130");
        QTest::newRow("mask resize") << false << 9 << QByteArray("WIDTH") << QByteArray("230");
        QTest::newRow("widget move") << true << 1 << QByteArray("YPOS") << QByteArray("30");
        // XEnd1 197 * 250 / 200 = 246.25.
        QTest::newRow("bar widget resize scales its points") << true << 9 << QByteArray("XEnd1")
                                                             << QByteArray("246");
    }

    void undoRevertsWholeDrag()
    {
        QFETCH(bool, onWidget);
        QFETCH(int, handle);
        QFETCH(QByteArray, param);
        QFETCH(QByteArray, afterRedo);
        // The first click takes the one-widget mask, the second its widget;
        // a mask move needs no click first, its press selects the mask.
        if (onWidget || handle != 1)
            click(m_canvas, at(150, 120));
        if (onWidget)
            click(m_canvas, at(150, 120));
        QCOMPARE(m_canvas->selectedWidget(), onWidget ? 0 : -1);
        const QByteArray xml = ConfigSnapshot::documents(*m_config);
        const QByteArray records = ConfigSnapshot::records(*m_config);

        const QPoint from = handle == 1 ? at(150, 120) : handlePoint(QRect(100, 100, 200, 50), handle);
        const QPoint delta = onWidget && handle == 1 ? QPoint(-40, 30) : QPoint(30, 20);
        QCOMPARE(m_canvas->handleAt(from), handle == 1 ? 0 : handle);
        QTest::mousePress(m_canvas, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 5; ++step)
            QTest::mouseMove(m_canvas, from + delta * step / 5 + QPoint(step % 2, 0));
        QTest::mouseMove(m_canvas, from + delta + (onWidget && handle == 9 ? QPoint(20, 0) : QPoint()));
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, from + delta);

        QCOMPARE(m_stack->count(), 1);
        const pugi::xml_node node = onWidget ? widget(0, 0).node : mask(0).node;
        QCOMPARE(paramValue(node, param.constData()), afterRedo);
        const QByteArray xmlAfter = ConfigSnapshot::documents(*m_config);
        const QByteArray recordsAfter = ConfigSnapshot::records(*m_config);
        QVERIFY(xmlAfter != xml);

        m_stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*m_config), xml);
        QCOMPARE(ConfigSnapshot::records(*m_config), records);
        m_stack->redo();
        QCOMPARE(ConfigSnapshot::documents(*m_config), xmlAfter);
        QCOMPARE(ConfigSnapshot::records(*m_config), recordsAfter);
        QCOMPARE(ConfigSnapshot::pairingError(*m_config), QString());
    }

    // A drag that ends without a pushed command leaves the record where it
    // started, so records and XML never disagree.
    void interruptedDragRestoresRecord_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another button released") << "right button";
        QTest::newRow("page change") << "page";
        QTest::newRow("cleared selection") << "clear";
        QTest::newRow("no undo stack") << "no stack";
        QTest::newRow("selection changed elsewhere, then a move") << "select and move";
        QTest::newRow("selection changed elsewhere, then the release") << "select";
        QTest::newRow("release lost to a popup") << "lost release";
        QTest::newRow("context menu") << "context menu";
    }

    void interruptedDragRestoresRecord()
    {
        QFETCH(QString, how);
        const QByteArray xml = ConfigSnapshot::documents(*m_config);
        const QByteArray records = ConfigSnapshot::records(*m_config);
        QSignalSpy moved(m_canvas, &DashCanvas::elementMoved);
        if (how == "no stack")
            m_canvas->setUndoStack(nullptr);

        const QPoint from = at(150, 120);
        QTest::mousePress(m_canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(m_canvas, from + QPoint(30, 20));
        QCOMPARE(rectOf(mask(0)), QRect(130, 120, 200, 50)); // moving

        if (how == "right button") {
            QTest::mousePress(m_canvas, Qt::RightButton, {}, from + QPoint(30, 20));
            QTest::mouseRelease(m_canvas, Qt::RightButton, {}, from + QPoint(30, 20));
        } else if (how == "page") {
            m_canvas->setPage(m_config->page(1));
        } else if (how == "clear") {
            m_canvas->clearSelectionAndRepaint();
        } else if (how.startsWith("select")) {
            m_canvas->setSelectedMask(1);
            if (how == "select and move")
                QTest::mouseMove(m_canvas, from + QPoint(60, 40));
        } else if (how == "lost release") {
            QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(60, 40)), QPointF(from + QPoint(60, 40)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(m_canvas, &move);
        } else if (how == "context menu") {
            QContextMenuEvent menu(QContextMenuEvent::Mouse, from + QPoint(30, 20), QPoint());
            QApplication::sendEvent(m_canvas, &menu);
        }
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, from + QPoint(30, 20));

        QCOMPARE(rectOf(mask(0)), QRect(100, 100, 200, 50));
        QCOMPARE(ConfigSnapshot::documents(*m_config), xml);
        QCOMPARE(ConfigSnapshot::records(*m_config), records);
        QCOMPARE(m_stack->count(), 0);
        QCOMPARE(moved.size(), 0);
        // Nothing of the drag is left over for the next moves.
        QTest::mouseMove(m_canvas, from + QPoint(90, 60));
        QCOMPARE(ConfigSnapshot::records(*m_config), records);
    }

    // --- keys and context menu ------------------------------------------

    void deleteKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("selectMask");
        QTest::addColumn<int>("selectWidget");
        QTest::addColumn<int>("requested"); // -2: no request, the key goes on to the window

        QTest::newRow("Delete on a mask") << int(Qt::Key_Delete) << 1 << -1 << 1;
        QTest::newRow("Backspace on a mask") << int(Qt::Key_Backspace) << 1 << -1 << 1;
        // With a widget selected both keys name its mask; the window then
        // deletes the widget alone.
        QTest::newRow("Delete on a widget") << int(Qt::Key_Delete) << 1 << 2 << 1;
        QTest::newRow("Backspace on a widget") << int(Qt::Key_Backspace) << 1 << 2 << 1;
        QTest::newRow("Delete without a selection") << int(Qt::Key_Delete) << -1 << -1 << -2;
        QTest::newRow("Delete on an index past the masks") << int(Qt::Key_Delete) << 9 << -1 << -2;
        QTest::newRow("another key") << int(Qt::Key_A) << 1 << -1 << -2;
    }

    void deleteKeys()
    {
        QFETCH(int, key);
        QFETCH(int, selectMask);
        QFETCH(int, selectWidget);
        QFETCH(int, requested);
        m_canvas->setSelectedMask(selectMask);
        m_canvas->setSelectedWidget(selectWidget);
        QSignalSpy spy(m_canvas, &DashCanvas::deleteRequested);
        QTest::keyClick(m_canvas, Qt::Key(key));
        if (requested == -2) {
            QCOMPARE(spy.size(), 0);
            QCOMPARE(m_window->keys, 1);
        } else {
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy[0][0].toInt(), requested);
            QCOMPARE(m_window->keys, 0);
        }
        QCOMPARE(m_config->page(0)->masks.size(), size_t(6));
    }

    void contextMenuSelectsAndAsks()
    {
        QSignalSpy masks(m_canvas, &DashCanvas::elementSelected);
        QSignalSpy widgets(m_canvas, &DashCanvas::widgetSelected);
        QSignalSpy menu(m_canvas, &DashCanvas::contextMenuRequested);

        QContextMenuEvent onWidget(QContextMenuEvent::Mouse, at(540, 120), QPoint(1000, 700));
        QApplication::sendEvent(m_canvas, &onWidget);
        QVERIFY(onWidget.isAccepted());
        QCOMPARE(m_canvas->selectedMask(), 1);
        QCOMPARE(m_canvas->selectedWidget(), 1);
        QCOMPARE(masks.size(), 1);
        QCOMPARE(widgets.size(), 1);
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu[0][0].toInt(), 1);
        QCOMPARE(menu[0][1].toInt(), 1);
        QCOMPARE(menu[0][2].toPoint(), QPoint(1000, 700));
        QCOMPARE(menu[0][3].toPoint(), QPoint(540, 120));

        // Empty page area: the selection goes, without selection signals.
        QContextMenuEvent onNothing(QContextMenuEvent::Mouse, at(5, 5), QPoint(0, 0));
        QApplication::sendEvent(m_canvas, &onNothing);
        QCOMPARE(m_canvas->selectedMask(), -1);
        QCOMPARE(masks.size(), 1);
        QCOMPARE(widgets.size(), 1);
        QCOMPARE(menu.size(), 2);
        QCOMPARE(menu[1][0].toInt(), -1);
        QCOMPARE(menu[1][3].toPoint(), QPoint(5, 5));
    }
};

KORV_TEST_MAIN(CanvasInputTest)
#include "tst_canvasinput.moc"
