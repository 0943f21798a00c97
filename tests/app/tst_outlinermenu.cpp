#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/ElementListPanel.h"
#include "support/ConfigFixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QMenu>
#include <QTreeWidgetItemIterator>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

// The outliner's row menu on the demo configuration: what each kind of row
// offers, that its entries act on the row that was clicked, and that the
// Edit menu's keys keep working after the menus closed.
class OutlinerMenuTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ScriptedAsker> asker;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    ElementListPanel* outliner = nullptr;
    DashCanvas* canvas = nullptr;

    void select(int mask, int widget)
    {
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(widget);
        window->onWidgetSelected(mask, widget);
    }

    // The open menu's entries, "-" for a separator and " [off]" after a
    // disabled one; `trigger` names an entry to choose.
    QStringList readMenu(const std::function<void()>& open, const QString& trigger = QString())
    {
        QStringList entries;
        QAction* chosen = nullptr;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* a : menu->actions()) {
                entries << (a->isSeparator() ? QStringLiteral("-")
                                             : a->text() + (a->isEnabled() ? QString() : QStringLiteral(" [off]")));
                if (!trigger.isEmpty() && a->text() == trigger)
                    chosen = a;
            }
            menu->close();
            if (chosen)
                chosen->trigger();
        });
        open();
        return entries;
    }

    // Right-clicks the outliner row whose text contains `text` (a mask row
    // when `maskRow`, else a widget row), as the user does.
    QStringList rightClickRow(const QString& text, bool maskRow, const QString& trigger = QString())
    {
        QTreeWidgetItem* found = nullptr;
        for (QTreeWidgetItemIterator it(outliner); *it && !found; ++it) {
            for (int c = 0; c < (*it)->columnCount() && !found; ++c) {
                if ((*it)->text(c) == text && bool((*it)->parent()) != maskRow)
                    found = *it;
            }
        }
        if (!found)
            return {QStringLiteral("no row %1").arg(text)};
        outliner->scrollToItem(found);
        const QPoint at = outliner->visualItemRect(found).center();
        return readMenu(
            [&] {
                QContextMenuEvent event(QContextMenuEvent::Mouse, at, outliner->viewport()->mapToGlobal(at));
                QApplication::sendEvent(outliner->viewport(), &event);
            },
            trigger);
    }

private Q_SLOTS:
    void init()
    {
        asker = std::make_unique<ScriptedAsker>();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo"))));
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        stack = window->findChild<QUndoStack*>();
        outliner = window->findChild<ElementListPanel*>();
        QVERIFY(config->pageCount() == 3);
    }
    void cleanup()
    {
        window.reset();
        asker.reset();
    }

    void rows_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("widget");
        QTest::addColumn<bool>("multiBox");
        QTest::addColumn<QString>("entries");
        const QString widgetHead = QStringLiteral(
            "Duplicate this value/text|Copy value/text|Paste value/text into this box [off]|-|");
        const QString artwork =
            QStringLiteral("-|Swap artwork…|Export artwork to folder…|Replace artwork from folder…|");
        QTest::newRow("digit of a value box")
            << 0 << 1 << 1 << false
            << widgetHead + "Rename [off]|Text colour...|-|Delete this value/text|-|Box style...|-|Add value bar…";
        QTest::newRow("label of a value box")
            << 0 << 1 << 0 << false
            << widgetHead + "Rename|Text colour...|-|Delete this value/text|-|Box style...|-|Add value bar…";
        QTest::newRow("bar") << 0 << 2 << 0 << false
                             << widgetHead + "Rename [off]|-|Delete this value/text|-|Color bar (green→amber→red)";
        QTest::newRow("first mask, smallest order")
            << 0 << 0 << -1 << false
            << "Duplicate whole box|Mirror to opposite side|-|Move Up [off]|Move Down|Bring to Front|"
               "Send to Back [off]|-|Paste value/text into this box [off]|" + artwork + "-|Delete whole box";
        QTest::newRow("plain value box")
            << 0 << 1 << -1 << false
            << "Duplicate whole box|Mirror to opposite side|-|Move Up|Move Down|Bring to Front|Send to Back|-|"
               "Paste value/text into this box [off]|" + artwork + "-|Convert to multi-value box…|-|Delete whole box";
        QTest::newRow("multi-value box")
            << 0 << 1 << -1 << true
            << "Duplicate whole box|Mirror to opposite side|-|Move Up|Move Down|Bring to Front|Send to Back|-|"
               "Paste value/text into this box [off]|" + artwork + "-|Delete whole box";
        QTest::newRow("last mask, largest order")
            << 0 << 3 << -1 << false
            << "Duplicate whole box|Mirror to opposite side|-|Move Up|Move Down [off]|Bring to Front [off]|"
               "Send to Back|-|Paste value/text into this box [off]|" + artwork + "-|Delete whole box";
        QTest::newRow("icon") << 1 << 2 << -1 << false
                              << "Duplicate whole box|Mirror to opposite side|-|Move Up|Move Down|Bring to Front|"
                                 "Send to Back|-|Paste value/text into this box [off]|-|Preview icon…|" + artwork +
                                     "-|Delete whole box";
        QTest::newRow("empty space") << 0 << -1 << -1 << false
                                     << "New Page|Duplicate Current Page|Delete Current Page|-|"
                                        "Paste value/text into this box [off]";
    }
    void rows()
    {
        QFETCH(int, page);
        QFETCH(int, mask);
        QFETCH(int, widget);
        QFETCH(bool, multiBox);
        QFETCH(QString, entries);
        window->onPageSelected(page);
        if (multiBox)
            QVERIFY(config->saveMultiBoxEntry(config->sidecarKey(page, mask, SidecarStore::MultiBoxes), 1, 2,
                                              QStringLiteral("top")));
        const QStringList shown =
            readMenu([&] { window->showOutlinerContextMenu(mask, widget, window->mapToGlobal(QPoint(200, 200))); });
        QCOMPARE(shown.join(QLatin1Char('|')), entries);
        QCOMPARE(stack->count(), 0);
    }

    // Paste is offered in all three menus once something was copied.
    void pasteAfterCopy()
    {
        select(1, 1);
        window->copyWidget();
        for (const auto& row : {qMakePair(1, 1), qMakePair(1, -1), qMakePair(-1, -1)}) {
            const QStringList shown = readMenu(
                [&] { window->showOutlinerContextMenu(row.first, row.second, window->mapToGlobal(QPoint(9, 9))); });
            QVERIFY2(shown.contains(QStringLiteral("Paste value/text into this box")), qPrintable(shown.join('|')));
        }
    }

    // Right-clicking a row selects it: the entries, and the alignment and
    // channel handlers after them, act on the row's own element.
    void entriesActOnTheClickedRow()
    {
        const QStringList shown = rightClickRow(QStringLiteral("SPEED"), false, QStringLiteral("Duplicate this value/text"));
        QVERIFY2(shown.contains(QStringLiteral("Rename")), qPrintable(shown.join('|')));
        QCOMPARE(stack->count(), 1);
        const MaskElement& box = config->pages[0].masks[1];
        QCOMPARE(int(box.widgets.size()), 3);

        rightClickRow(QStringLiteral("SPEED"), false);
        window->onValueAlignmentChanged(QStringLiteral("right"));
        QCOMPARE(QString::fromUtf8(paramValue(config->pages[0].masks[1].widgets[0].node, "POS_ALIGN")),
                 QStringLiteral("right"));
        QCOMPARE(stack->count(), 2);
    }

    // A mask row binds the whole box: outside the undo history, but a change
    // that closing the window asks about.
    void bindingTheClickedBox()
    {
        const pugi::xml_node axis = config->pages[0].masks[2].node.find_child_by_attribute("e", "c", "Axis");
        const QString before = QString::fromUtf8(paramValue(axis, "shn"));
        const auto other = std::find_if(config->channels.cbegin(), config->channels.cend(),
                                        [&](const ChannelInfo& c) { return c.shortName != before; });
        QVERIFY(other != config->channels.cend());
        const ChannelInfo channel = *other;
        rightClickRow(QStringLiteral("md.02"), true);
        window->bindWidgetToChannel(channel);
        QCOMPARE(QString::fromUtf8(paramValue(axis, "shn")), channel.shortName);
        QCOMPARE(stack->count(), 0);
        QVERIFY(window->hasUnsavedChanges());
    }

    // The row menus are gone once closed, so the Edit menu's Ctrl+D, Copy
    // and Delete are the only holders of their keys.
    void editKeysAfterMenus()
    {
        for (int i = 0; i < 3; ++i)
            readMenu([&] { window->showOutlinerContextMenu(1, i % 2 ? -1 : 0, window->mapToGlobal(QPoint(9, 9))); });
        // The offscreen platform does not hand activation back after a popup.
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        select(1, 1);
        canvas->setFocus();
        QTest::keyClick(canvas, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(stack->count(), 1);
        QTest::keyClick(canvas, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(readMenu([&] {
                    window->showOutlinerContextMenu(-1, -1, window->mapToGlobal(QPoint(9, 9)));
                }).contains(QStringLiteral("Paste value/text into this box")));
        select(1, 1);
        QTest::keyClick(canvas, Qt::Key_Delete);
        QCOMPARE(stack->count(), 2);
    }
};

KORV_TEST_MAIN(OutlinerMenuTest)
#include "tst_outlinermenu.moc"
