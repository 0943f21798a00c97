#include "canvas/WidgetMoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QUndoStack>
#include <QtTest>

namespace {

// One mask "bars" with, in widget order: b1 a 100 x 20 Bargraph with art
// points, t1 a BargraphTrapezio, u1 an unsized Bargraph, d1 a Digit whose
// XPOS carries a suffix.
ConfigFixture barsConfig()
{
    ConfigFixture cfg;
    cfg.device().page("Main").mask(
        Fx::mask("bars", 10, 10, 300, 200)
            .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
            .add(Fx::bargraph("b1", 0, 0, 100, 20, "a1")
                     .p("XStart1", 3)
                     .p("XStart2", 3)
                     .p("XEnd1", 97)
                     .p("XEnd2", "97.6")
                     .p("XIMG", -5)
                     .p("YStart1", 2)
                     .p("YEnd1", 18)
                     .p("YIMG", 0))
            .add(Fx::bargraph("t1", 0, 30, 100, 40, "a1", true).p("XEnd1", 97).p("YEnd1", 39))
            .add(Fx::bargraph("u1", 0, 80, 0, 20, "a1").p("XEnd1", 97))
            .add(Fx::digit("d1", 0, 110, 50, 30, "a1").set("XPOS", "12,40").p("XStart1", 10)));
    return cfg;
}

QByteArray param(pugi::xml_node node, const char* name)
{
    return paramValue(node, name);
}

} // namespace

class WidgetMoveCommandTest : public QObject {
    Q_OBJECT

private:
    QString m_path;

    void open(DashConfig& c)
    {
        QString error;
        QVERIFY2(c.load(m_path, &error), qPrintable(error));
        const MaskElement& m = c.page(0)->masks.at(0);
        QCOMPARE(m.widgets.size(), size_t(4));
        QCOMPARE(m.widgets[0].id, QStringLiteral("b1"));
        QCOMPARE(m.widgets[3].id, QStringLiteral("d1"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_path = barsConfig().writeTempZip();
        QVERIFY(!m_path.isEmpty());
    }

    // Redo writes the new geometry (and scaled art points of a resized bar);
    // undo gives the document back byte for byte; a second redo equals the
    // first.
    void redoUndoRedo_data()
    {
        QTest::addColumn<int>("widget");
        QTest::addColumn<QRect>("to");
        QTest::addColumn<QStringList>("expected"); // "NAME=text" after redo

        QTest::newRow("bar widened by half: X points scale, Y points stay")
            << 0 << QRect(0, 0, 150, 20)
            << QStringList{"WIDTH=150", "XStart1=5", "XEnd1=146", "XEnd2=146", "XIMG=-8", "YStart1=2",
                           "YEnd1=18", "YIMG=0"};
        QTest::newRow("bar moved: points untouched, size written as it was")
            << 0 << QRect(20, 5, 100, 20)
            << QStringList{"XPOS=20", "YPOS=5", "WIDTH=100", "HEIGHT=20", "XEnd1=97", "XEnd2=97.6", "XIMG=-5"};
        QTest::newRow("trapezoid resized both ways")
            << 1 << QRect(0, 30, 50, 80) << QStringList{"XEnd1=49", "YEnd1=78", "WIDTH=50", "HEIGHT=80"};
        QTest::newRow("unsized bar never scales its points")
            << 2 << QRect(0, 80, 60, 20) << QStringList{"WIDTH=60", "XEnd1=97"};
        QTest::newRow("Digit keeps its XPOS suffix and has no art points")
            << 3 << QRect(20, 110, 100, 30) << QStringList{"XPOS=20,40", "WIDTH=100", "XStart1=10"};
    }

    void redoUndoRedo()
    {
        QFETCH(int, widget);
        QFETCH(QRect, to);
        QFETCH(QStringList, expected);
        DashConfig c;
        open(c);
        MaskElement& m = c.page(0)->masks[0];
        WidgetModel& w = m.widgets[size_t(widget)];
        const QByteArray xml = ConfigSnapshot::documents(c);
        const QByteArray records = ConfigSnapshot::records(c);

        QUndoStack stack;
        stack.push(new WidgetMoveCommand(&w, &m, w.x, w.y, w.w, w.h, to.x(), to.y(), to.width(), to.height(), &c, 0,
                                         0, widget));
        QCOMPARE(stack.count(), 1);
        const WidgetModel& after = c.page(0)->masks[0].widgets[size_t(widget)];
        QCOMPARE(QRect(after.x, after.y, after.w, after.h), to);
        for (const QString& pair : expected) {
            const QStringList nameValue = pair.split(QLatin1Char('='));
            QCOMPARE(param(after.node, nameValue[0].toUtf8().constData()), nameValue[1].toUtf8());
        }
        QVERIFY(c.devices[0]->dirty);
        const QByteArray xmlAfter = ConfigSnapshot::documents(c);

        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml);
        QCOMPARE(ConfigSnapshot::records(c), records);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), xmlAfter);
    }

    void text()
    {
        DashConfig c;
        open(c);
        MaskElement& m = c.page(0)->masks[0];
        WidgetMoveCommand command(&m.widgets[1], &m, 0, 30, 100, 40, 5, 30, 100, 40, &c, 0, 0, 1);
        QCOMPARE(command.text(), QStringLiteral("Move/Resize widget t1 in bars"));
    }

    // Without a configuration the record given is the target: it and its
    // XML change, no page is marked dirty.
    void withoutConfigurationEditsTheGivenRecord()
    {
        DashConfig c;
        open(c);
        MaskElement& m = c.page(0)->masks[0];
        WidgetModel& w = m.widgets[0];
        QUndoStack stack;
        stack.push(new WidgetMoveCommand(&w, &m, 0, 0, 100, 20, 0, 0, 200, 20, nullptr, 0, 0, 0));
        QCOMPARE(w.w, 200);
        QCOMPARE(param(w.node, "WIDTH"), QByteArray("200"));
        QCOMPARE(param(w.node, "XEnd1"), QByteArray("194"));
        QVERIFY(!c.devices[0]->dirty);
        stack.undo();
        QCOMPARE(w.w, 100);
        QCOMPARE(param(w.node, "XEnd1"), QByteArray("97"));
    }

    // The widget is found again by its indices, so a rebuilt record is
    // still the one undone.
    void findsRebuiltRecords()
    {
        DashConfig c;
        open(c);
        MaskElement& m = c.page(0)->masks[0];
        QUndoStack stack;
        stack.push(new WidgetMoveCommand(&m.widgets[1], &m, 0, 30, 100, 40, 40, 30, 100, 40, &c, 0, 0, 1));
        c.page(0)->masks[0] = c.parseMask(c.page(0)->masks[0].node);
        QCOMPARE(c.page(0)->masks[0].widgets[1].x, 40);
        stack.undo();
        QCOMPARE(c.page(0)->masks[0].widgets[1].x, 0);
        QCOMPARE(param(c.page(0)->masks[0].widgets[1].node, "XPOS"), QByteArray("0"));
    }

    // A widget that cannot be found, or a drag that changed nothing, leaves
    // no undo step behind.
    void refused_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("widget");
        QTest::addColumn<int>("newX");
        QTest::newRow("widget index past the mask") << 0 << 4 << 50;
        QTest::newRow("page that does not exist") << 3 << 0 << 50;
        QTest::newRow("same geometry") << 0 << 0 << 0;
    }

    void refused()
    {
        QFETCH(int, page);
        QFETCH(int, widget);
        QFETCH(int, newX);
        DashConfig c;
        open(c);
        MaskElement& m = c.page(0)->masks[0];
        const QByteArray xml = ConfigSnapshot::documents(c);
        const QByteArray records = ConfigSnapshot::records(c);
        QUndoStack stack;
        stack.push(new WidgetMoveCommand(&m.widgets[0], &m, 0, 0, 100, 20, newX, 0, 100, 20, &c, page, 0, widget));
        QCOMPARE(stack.count(), 0);
        QCOMPARE(ConfigSnapshot::documents(c), xml);
        QCOMPARE(ConfigSnapshot::records(c), records);
    }
};

KORV_TEST_MAIN(WidgetMoveCommandTest)
#include "tst_widgetmovecommand.moc"
