#include "model/DashConfig.h"
#include "panels/ElementListPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QtTest>
#include <memory>

namespace {

// Every row as "id|type|text", children indented by two blanks.
QStringList rowsOf(const QTreeWidget& tree)
{
    QStringList rows;
    for (int m = 0; m < tree.topLevelItemCount(); ++m) {
        const QTreeWidgetItem* mask = tree.topLevelItem(m);
        rows << QStringList{mask->text(0), mask->text(1), mask->text(2)}.join(QLatin1Char('|'));
        for (int w = 0; w < mask->childCount(); ++w) {
            const QTreeWidgetItem* widget = mask->child(w);
            rows << QStringLiteral("  ") + QStringList{widget->text(0), widget->text(1), widget->text(2)}.join(QLatin1Char('|'));
        }
    }
    return rows;
}

// Ids of the rows not hidden; a mask row is followed by "+" when expanded.
QString visibleRows(const QTreeWidget& tree)
{
    QStringList shown;
    for (int m = 0; m < tree.topLevelItemCount(); ++m) {
        const QTreeWidgetItem* mask = tree.topLevelItem(m);
        if (mask->isHidden())
            continue;
        shown << mask->text(0) + (mask->isExpanded() ? QStringLiteral("+") : QString());
        for (int w = 0; w < mask->childCount(); ++w) {
            if (!mask->child(w)->isHidden())
                shown << mask->child(w)->text(0);
        }
    }
    return shown.join(QLatin1Char(','));
}

// Page "Main": a gauge mask "solo", a mask "trio" whose two Digits show
// different channels beside a Label, and a Bar mask.
ConfigFixture outlinerConfig()
{
    ConfigFixture cfg;
    cfg.device().page("Main")
        .mask(Fx::mask("solo", 0, 0, 100, 100).add(Fx::axis("a1", "RPM", "RPM", "rpm")))
        .mask(Fx::mask("trio", 100, 100, 300, 100)
                  .add(Fx::axis("a1", "Speed", "SPD", "km/h"))
                  .add(Fx::axis("a2", "Oil Temp", "OILT", "C"))
                  .add(Fx::digit("d1", 0, 0, 80, 40, "a1"))
                  .add(Fx::digit("d2", 100, 0, 80, 40, "a2"))
                  .add(Fx::label("l1", "SPD", 200, 0, 100, 40)))
        .mask(Fx::mask("bar", 0, 300, 200, 50)
                  .add(Fx::axis("a1", "Water Temp", "WT", "C"))
                  .add(Fx::bargraph("b1", 0, 0, 200, 50, "a1", true)));
    return cfg;
}

} // namespace

class ElementListPanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    DashConfig m_demo;
    DashConfig m_config;
    ElementListPanel* m_panel = nullptr;
    QStringList m_log;

    void record()
    {
        connect(m_panel, &ElementListPanel::elementClicked, this,
                [this](int m) { m_log << QStringLiteral("element %1").arg(m); });
        connect(m_panel, &ElementListPanel::widgetClicked, this,
                [this](int m, int w) { m_log << QStringLiteral("widget %1 %2").arg(m).arg(w); });
        connect(m_panel, &ElementListPanel::labelTextChanged, this,
                [this](int m, int w, const QString& o, const QString& n) {
                    m_log << QStringLiteral("label %1 %2 '%3'->'%4'").arg(m).arg(w).arg(o, n);
                });
        connect(m_panel, &ElementListPanel::pageRepopulated, this, [this] { m_log << QStringLiteral("repopulated"); });
        connect(m_panel, &ElementListPanel::rowContextMenuRequested, this, [this](int m, int w, const QPoint& p) {
            m_log << QStringLiteral("menu %1 %2 at %3,%4").arg(m).arg(w).arg(p.x()).arg(p.y());
        });
    }

    QRect rowRect(int mask, int widget, int column = ElementListPanel::TextColumn) const
    {
        QTreeWidgetItem* item = m_panel->topLevelItem(mask);
        if (widget >= 0)
            item = item->child(widget);
        return m_panel->visualItemRect(item).intersected(m_panel->visualRect(m_panel->indexFromItem(item, column)));
    }

    void rightClick(const QPoint& viewportPos)
    {
        QWidget* viewport = m_panel->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, viewportPos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, viewportPos, viewport->mapToGlobal(viewportPos));
        QApplication::sendEvent(viewport, &event);
    }

    // A double-click as the platform delivers it: press, release, double-click, release.
    void doubleClick(const QPoint& pos)
    {
        QWidget* viewport = m_panel->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, pos);
    }

    QLineEdit* openEditor(int mask, int widget, int column = ElementListPanel::TextColumn)
    {
        doubleClick(rowRect(mask, widget, column).center());
        return openedEditor();
    }

    // Closed editors linger until deferred deletion; the open one is shown.
    QLineEdit* openedEditor() const
    {
        for (QLineEdit* editor : m_panel->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        QString error;
        const QString demo = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY2(!demo.isEmpty(), "the demo configuration was not found");
        QVERIFY2(m_demo.load(demo, &error), qPrintable(error));
        QCOMPARE(m_demo.pageCount(), 3);
        QVERIFY2(m_config.load(outlinerConfig().writeTempZip(), &error), qPrintable(error));
    }

    void init()
    {
        m_log.clear();
        m_panel = new ElementListPanel;
        m_panel->resize(280, 400);
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel));
        record();
    }

    void cleanup()
    {
        delete m_panel;
        m_panel = nullptr;
    }

    void demoPages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("rows");
        // The Ring gauge shows its kind; a Label widget shows its text, the others
        // their channel.
        QTest::newRow("Race") << 0
                              << QStringList{"md.00|Analog|RPM", "md.01|Digit|Speed", "  02|Label|SPEED",
                                             "  03|Digit|Speed", "md.02|Bar|RPM", "  04|Bar|RPM", "md.03|Label|",
                                             "  05|Label|KORVELANTO DEMO"};
        QTest::newRow("Engine") << 1
                                << QStringList{"md.00|Ring|Water Temp", "  02|Bar|Water Temp", "md.01|Digit|Oil Press",
                                               "  03|Label|OIL PRESS", "  04|Digit|Oil Press",
                                               "md.02|Icon|Oil Temp Alarm", "md.03|Label|", "  06|Label|ENGINE"};
        QTest::newRow("Laps") << 2
                              << QStringList{"md.00|Digit|Lap Time", "  01|Label|LAP TIME", "  02|Digit|Lap Time",
                                             "md.01|Digit|Lap Number", "  03|Label|LAP", "  04|Digit|Lap Number",
                                             "md.02|Bar|Fuel Level", "  05|Bar|Fuel Level", "md.03|Digit|Gear",
                                             "  06|Digit|Gear"};
    }

    void demoPages()
    {
        QFETCH(int, page);
        QFETCH(QStringList, rows);
        m_panel->populate(m_demo.page(page));
        QCOMPARE(m_log, QStringList{QStringLiteral("repopulated")});
        QCOMPARE(rowsOf(*m_panel), rows);
        for (int m = 0; m < m_panel->topLevelItemCount(); ++m) {
            const QTreeWidgetItem* mask = m_panel->topLevelItem(m);
            QVERIFY(mask->isExpanded());
            QCOMPARE(mask->data(0, ElementListPanel::MaskIndexRole).toInt(), m);
            QCOMPARE(mask->data(0, ElementListPanel::WidgetIndexRole).toInt(), -1);
            for (int w = 0; w < mask->childCount(); ++w) {
                QCOMPARE(mask->child(w)->data(0, ElementListPanel::MaskIndexRole).toInt(), m);
                QCOMPARE(mask->child(w)->data(0, ElementListPanel::WidgetIndexRole).toInt(), w);
                QCOMPARE(mask->child(w)->data(0, ElementListPanel::KindWordRole).toString(), mask->child(w)->text(1));
            }
        }
    }

    void emptyPage()
    {
        m_panel->populate(m_demo.page(0));
        const PageModel empty;
        m_panel->populate(&empty);
        QCOMPARE(m_panel->topLevelItemCount(), 0);
        m_panel->populate(nullptr);
        QCOMPARE(m_panel->topLevelItemCount(), 0);
        // Two fills report; neither emptied tree reports a click.
        QCOMPARE(m_log, (QStringList{QStringLiteral("repopulated"), QStringLiteral("repopulated")}));
    }

    void signalsOfGestures_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("current"); // "mask widget" of the current row, "" for none

        QTest::newRow("select (1, 7): mask row") << "select 1 7" << QStringList{} << "1 -1";
        QTest::newRow("select (1, 1)") << "select 1 1" << QStringList{} << "1 1";
        QTest::newRow("select (-1, -1)") << "select -1 -1" << QStringList{} << "";
        QTest::newRow("select (3, 0): no such mask") << "select 3 0" << QStringList{} << "";
        QTest::newRow("left click on a widget") << "left 1 1" << QStringList{"widget 1 1"} << "1 1";
        QTest::newRow("right click on a widget")
            << "right 1 2" << QStringList{"widget 1 2", "menu 1 2 at *"} << "1 2";
        QTest::newRow("right click on a mask") << "right 2 -1" << QStringList{"element 2", "menu 2 -1 at *"} << "2 -1";
        QTest::newRow("right click on the current row")
            << "select 0 -1; right 0 -1" << QStringList{"element 0", "menu 0 -1 at *"} << "0 -1";
        QTest::newRow("right click on empty space") << "right-empty" << QStringList{"menu -1 -1 at *"} << "";
    }

    void signalsOfGestures()
    {
        QFETCH(QString, gesture);
        QFETCH(QStringList, log);
        QFETCH(QString, current);
        m_panel->populate(m_config.page(0));
        QCOMPARE(m_panel->topLevelItemCount(), 3);
        m_log.clear();

        QPoint lastGlobal;
        for (const QString& step : gesture.split(QStringLiteral("; "))) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("select")) {
                m_panel->selectElement(w[1].toInt(), w[2].toInt());
            } else if (w[0] == QLatin1String("left")) {
                QTest::mouseClick(m_panel->viewport(), Qt::LeftButton, Qt::NoModifier,
                                  rowRect(w[1].toInt(), w[2].toInt()).center());
            } else if (w[0] == QLatin1String("right")) {
                const QPoint pos = rowRect(w[1].toInt(), w[2].toInt()).center();
                lastGlobal = m_panel->viewport()->mapToGlobal(pos);
                rightClick(pos);
            } else {
                const QPoint pos(20, m_panel->viewport()->height() - 5);
                QVERIFY(!m_panel->itemAt(pos));
                lastGlobal = m_panel->viewport()->mapToGlobal(pos);
                rightClick(pos);
            }
        }
        for (QString& line : log)
            line.replace(QLatin1String("*"), QStringLiteral("%1,%2").arg(lastGlobal.x()).arg(lastGlobal.y()));
        QCOMPARE(m_log, log);

        const QTreeWidgetItem* item = m_panel->currentItem();
        const QString now = item ? QStringLiteral("%1 %2")
                                       .arg(item->data(0, ElementListPanel::MaskIndexRole).toInt())
                                       .arg(item->data(0, ElementListPanel::WidgetIndexRole).toInt())
                                 : QString();
        QCOMPARE(now, current);
    }

    void rename_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("shown");

        QTest::newRow("new text") << "SPEED 2" << QStringList{"label 1 2 'SPD'->'SPEED 2'"} << "SPEED 2";
        QTest::newRow("blanks kept") << " V " << QStringList{"label 1 2 'SPD'->' V '"} << " V ";
        QTest::newRow("empty: put back") << "" << QStringList{} << "SPD";
        QTest::newRow("unchanged") << "SPD" << QStringList{} << "SPD";
    }

    void rename()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, log);
        QFETCH(QString, shown);
        m_panel->populate(m_config.page(0));
        m_panel->selectElement(1, 2);
        m_log.clear();

        QLineEdit* editor = openEditor(1, 2);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("SPD"));
        editor->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(editor, Qt::Key_Delete);
        else
            QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits on Return through a queued call

        QCOMPARE(m_log.filter(QStringLiteral("label")), log);
        QCOMPARE(m_panel->topLevelItem(1)->child(2)->text(2), shown);
        QCOMPARE(m_panel->topLevelItem(1)->child(2)->text(0), QStringLiteral("l1"));
    }

    void renameTwiceStartsFromTheLastName()
    {
        m_panel->populate(m_config.page(0));
        for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")}) {
            QLineEdit* editor = openEditor(1, 2);
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, name);
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents();
        }
        QCOMPARE(m_log.filter(QStringLiteral("label")),
                 (QStringList{"label 1 2 'SPD'->'A'", "label 1 2 'A'->'B'"}));
    }

    void onlyLabelRowsAreEditable_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("widget");
        QTest::newRow("Digit") << 1 << 0;
        QTest::newRow("Bar") << 2 << 0;
        QTest::newRow("mask row") << 1 << -1;
    }

    void onlyLabelRowsAreEditable()
    {
        QFETCH(int, mask);
        QFETCH(int, widget);
        m_panel->populate(m_config.page(0));
        QVERIFY(!openEditor(mask, widget));
        m_panel->selectElement(mask, widget);
        m_panel->editCurrentLabel();
        QVERIFY(!openedEditor());
        QVERIFY(m_log.filter(QStringLiteral("label")).isEmpty());
    }

    void editCurrentLabelOpensTheTextColumn()
    {
        m_panel->populate(m_config.page(0));
        m_panel->selectElement(1, 2);
        m_panel->editCurrentLabel();
        QLineEdit* editor = openedEditor();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("SPD"));
    }

    void doubleClickOnTheIdStillEditsTheText()
    {
        m_panel->populate(m_config.page(0));
        QLineEdit* editor = openEditor(1, 2, ElementListPanel::IdColumn);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("SPD"));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("visible");

        QTest::newRow("one widget's channel") << "oil" << "trio+,d2";
        QTest::newRow("a mask id shows all its widgets") << "TRIO" << "trio+,d1,d2,l1";
        QTest::newRow("a Label's text") << "spd" << "trio+,l1";
        QTest::newRow("mask channel") << "speed" << "trio+,d1,d2,l1";
        QTest::newRow("kind word") << "bar" << "bar+,b1";
        QTest::newRow("no match") << "nothing" << "";
        QTest::newRow("empty") << "" << "solo+,trio+,d1,d2,l1,bar+,b1";
        QTest::newRow("blanks only") << "   " << "solo+,trio+,d1,d2,l1,bar+,b1";
    }

    void filter()
    {
        QFETCH(QString, query);
        QFETCH(QString, visible);
        m_panel->populate(m_config.page(0));
        m_panel->applyFilter(QStringLiteral("oil"));
        m_panel->applyFilter(query);
        QCOMPARE(visibleRows(*m_panel), visible);
    }
};

KORV_TEST_MAIN(ElementListPanelTest)
#include "tst_elementlistpanel.moc"
