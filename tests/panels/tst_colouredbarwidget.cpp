#include "artwork/HomebrewItems.h"
#include "canvas/DashCanvas.h"
#include "editing/BarColorCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QSignalSpy>
#include <QSpinBox>
#include <QUndoStack>
#include <QtTest>

#include <sstream>

// The bar widget inside a coloured element keeps its place and size: its
// pictures span the element, so a bar dragged or typed to another size or
// place would light up past or short of its value. The canvas and the panel
// say why and change nothing; an uncoloured bar still moves and resizes.
namespace {

constexpr int kRace = 0;
// md.02, the demo's lying bar: 340 x 60 at 420, 230, its bar spanning it.
const QPoint kMaskAt(420, 230);

QString xmlOf(pugi::xml_node node)
{
    std::ostringstream out;
    node.print(out);
    return QString::fromStdString(out.str());
}

int barWidgetIndex(const MaskElement& mask)
{
    const pugi::xml_node bar = findBargraphChild(mask.node);
    for (size_t i = 0; i < mask.widgets.size(); ++i) {
        if (mask.widgets[i].node == bar)
            return int(i);
    }
    return -1;
}

} // namespace

class ColouredBarWidgetTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void barKeepsItsGeometryWhileColoured_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QPoint>("from"); // in the mask, for a drag
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<bool>("coloured");
        QTest::addColumn<QRect>("plainResult");
        QTest::newRow("drag right edge") << "canvas" << QPoint(340, 30) << QPoint(-140, 0) << true << QRect();
        QTest::newRow("drag bottom edge") << "canvas" << QPoint(170, 60) << QPoint(0, -20) << true << QRect();
        QTest::newRow("drag the bar") << "canvas" << QPoint(100, 30) << QPoint(40, 10) << true << QRect();
        QTest::newRow("panel width") << "wSpin" << QPoint() << QPoint(200, 0) << true << QRect();
        QTest::newRow("panel x") << "xSpin" << QPoint() << QPoint(30, 0) << true << QRect();
        QTest::newRow("uncoloured, drag right edge")
            << "canvas" << QPoint(340, 30) << QPoint(-140, 0) << false << QRect(0, 0, 200, 60);
        QTest::newRow("uncoloured, panel width") << "wSpin" << QPoint() << QPoint(200, 0) << false
                                                 << QRect(0, 0, 200, 60);
    }

    void barKeepsItsGeometryWhileColoured()
    {
        QFETCH(QString, entry);
        QFETCH(QPoint, from);
        QFETCH(QPoint, by);
        QFETCH(bool, coloured);
        QFETCH(QRect, plainResult);

        Rs3Fixture fx;
        QVERIFY(fx.addDemoStock(Rs3Fixture::Stable));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("bar")));
        QVERIFY(!path.isEmpty());
        DashConfig c;
        QVERIFY(c.load(path));
        const int maskIndex = 2; // md.02
        QCOMPARE(c.pages[kRace].masks[size_t(maskIndex)].id, QStringLiteral("md.02"));
        QUndoStack stack;
        if (coloured) {
            bool applied = false;
            stack.push(new BarColorCommand(&c, kRace, maskIndex, &applied));
            QVERIFY(applied);
        }
        MaskElement* mask = &c.pages[kRace].masks[size_t(maskIndex)];
        QCOMPARE(QPoint(mask->x, mask->y), kMaskAt);
        const int barIndex = barWidgetIndex(*mask);
        QVERIFY(barIndex >= 0);
        const QString maskXml = xmlOf(mask->node);
        const int steps = stack.count();

        QWidget window;
        auto* canvas = new DashCanvas(&window);
        canvas->setConfig(&c);
        canvas->setUndoStack(&stack);
        canvas->setPage(c.page(kRace));
        canvas->resize(820, 500);
        window.resize(820, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(canvas->pageOrigin(), QPointF(10, 10));
        PropertyPanel panel;
        panel.setUndoStack(&stack);
        panel.setPageContext(&c, kRace);
        panel.setChannels(c.channels);
        QSignalSpy canvasRefusals(canvas, &DashCanvas::editRefused);
        QSignalSpy panelRefusals(&panel, &PropertyPanel::editRefused);

        if (entry == QStringLiteral("canvas")) {
            // The first click takes the element, the second its bar.
            const QPoint inside = kMaskAt + QPoint(100, 30) + QPoint(10, 10);
            QTest::mouseClick(canvas, Qt::LeftButton, {}, inside);
            QTest::mouseClick(canvas, Qt::LeftButton, {}, inside);
            QCOMPARE(canvas->selectedWidget(), barIndex);
            const QPoint start = kMaskAt + from + QPoint(10, 10);
            QTest::mousePress(canvas, Qt::LeftButton, {}, start);
            QTest::mouseMove(canvas, start + by / 2);
            QTest::mouseMove(canvas, start + by);
            QTest::mouseRelease(canvas, Qt::LeftButton, {}, start + by);
        } else {
            panel.showWidget(mask, &mask->widgets[size_t(barIndex)]);
            auto* spin = panel.findChild<QSpinBox*>(entry);
            QVERIFY(spin);
            spin->setValue(by.x());
            if (coloured)
                QCOMPARE(spin->value(), entry == QStringLiteral("wSpin") ? 340 : 0);
        }

        mask = &c.pages[kRace].masks[size_t(maskIndex)];
        const WidgetModel& bar = mask->widgets[size_t(barIndex)];
        if (!coloured) {
            QCOMPARE(QRect(bar.x, bar.y, bar.w, bar.h), plainResult);
            QCOMPARE(paramInt(bar.node, "WIDTH"), plainResult.width());
            QCOMPARE(canvasRefusals.count() + panelRefusals.count(), 0);
            return;
        }
        const QSignalSpy& said = entry == QStringLiteral("canvas") ? canvasRefusals : panelRefusals;
        QCOMPARE(said.count(), 1);
        QVERIFY(said.at(0).at(0).toString().startsWith(QStringLiteral("Remove color first")));
        QCOMPARE(QRect(bar.x, bar.y, bar.w, bar.h), QRect(0, 0, 340, 60));
        QCOMPARE(xmlOf(mask->node), maskXml);
        QCOMPARE(stack.count(), steps);
        QCOMPARE(stack.index(), steps);
    }
};

QTEST_MAIN(ColouredBarWidgetTest)
#include "tst_colouredbarwidget.moc"
