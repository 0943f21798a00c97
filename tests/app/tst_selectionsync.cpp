#include "window/MainWindow.h"
#include "dialogs/ConfigCheckDialog.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/SelectionViews.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QUndoStack>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

// What a user sees of the selection while working through the demo: after
// every step the canvas, the outliner, the property panel and the page list
// name the same page, mask and widget, and Delete and Copy act on exactly
// that element.
class SelectionSyncTest : public QObject, SelectionViews {
    Q_OBJECT

private:
    QAction* action(const QString& text) const
    {
        for (QAction* a : window->findChildren<QAction*>()) {
            if (a->text().remove(QLatin1Char('&')) == text)
                return a;
        }
        return nullptr;
    }

    void clickPageRow(int row)
    {
        QListWidgetItem* item = pageList->item(row);
        pageList->scrollToItem(item);
        QTest::mouseClick(pageList->viewport(), Qt::LeftButton, {}, pageList->visualItemRect(item).center());
    }

    // What a menu or a dialog closing does to the view that had the focus.
    void refocusWithoutClick(QWidget* view)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(view, &out);
        QFocusEvent in(QEvent::FocusIn, Qt::PopupFocusReason);
        QApplication::sendEvent(view, &in);
    }

private Q_SLOTS:
    void initTestCase() { makeInstall(); }
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // Duplicate a widget picked in the outliner, then a menu closes while
    // the outliner has the focus: Delete removes the copy, never md.00.
    void duplicateThenDeleteAfterRefocus()
    {
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // "03 Digit Speed"
        EXPECT_SELECTION(0, 1, 1);
        action(QStringLiteral("Duplicate Widget"))->trigger();
        QCOMPARE(page().masks[1].widgets.size(), size_t(3));
        EXPECT_SELECTION(0, 1, 2);

        refocusWithoutClick(outliner);
        EXPECT_SELECTION(0, 1, 2);

        const int masks = int(page().masks.size());
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(int(page().masks.size()), masks);
        QCOMPARE(page().masks[0].id, QStringLiteral("md.00"));
        QCOMPARE(page().masks[1].widgets.size(), size_t(2));
        EXPECT_SELECTION(0, 1, -1);

        // Undo and redo of the delete keep every view on one element.
        stack->undo();
        QCOMPARE(page().masks[1].widgets.size(), size_t(3));
        EXPECT_SELECTION(0, 1, -1);
        stack->redo();
        QCOMPARE(page().masks[1].widgets.size(), size_t(2));
        EXPECT_SELECTION(0, 1, -1);
    }

    // A rebuild leaves the outliner without a pick of its own: focus given
    // to it without a click selects nothing.
    void refocusAfterRebuildSelectsNothing()
    {
        clickPageRow(1);
        EXPECT_SELECTION(1, -1, -1);
        refocusWithoutClick(outliner);
        EXPECT_SELECTION(1, -1, -1);

        clickOutlinerRow(outliner->topLevelItem(1));
        EXPECT_SELECTION(1, 1, -1);
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(page().masks[1].id, QStringLiteral("md.02"));
        EXPECT_SELECTION(1, -1, -1);
        stack->undo(); // rebuilds the outliner
        QCOMPARE(page().masks[1].id, QStringLiteral("md.01"));
        EXPECT_SELECTION(1, -1, -1);
        refocusWithoutClick(outliner);
        EXPECT_SELECTION(1, -1, -1);
    }

    // Backspace on the canvas: nothing is selected afterwards, and the panel
    // offers no mask to move.
    void backspaceClearsBeforeThePush()
    {
        // A first click on a one-widget mask takes the mask.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->maskRect(page().masks[3]).center().toPoint());
        EXPECT_SELECTION(0, 3, -1);
        QTest::keyClick(canvas, Qt::Key_Backspace);
        QCOMPARE(page().masks.size(), size_t(3));
        EXPECT_SELECTION(0, -1, -1);

        const int y = page().masks[1].y;
        spin("ySpin")->setValue(100);
        QCOMPARE(page().masks[1].y, y);
        QCOMPARE(stack->count(), 1);
    }

    // The check dialog's jump lands on another page: the page list follows,
    // and picking the first page again by the list works.
    void checkJumpMovesThePageList()
    {
        asker->onExec = [](QDialog* dialog) {
            Q_EMIT qobject_cast<ConfigCheckDialog*>(dialog)->jumpToElement(2, QStringLiteral("md.01"));
            return int(QDialog::Rejected);
        };
        window->showCheckConfig();
        EXPECT_SELECTION(2, 1, -1);
        clickPageRow(0);
        EXPECT_SELECTION(0, -1, -1);
        clickPageRow(2);
        EXPECT_SELECTION(2, -1, -1);
    }

    // A label's text typed into the panel shows in the outliner; an outliner
    // rename and its undo then come back to the panel's text.
    void panelTextReachesTheOutliner()
    {
        QTreeWidgetItem* row = outliner->topLevelItem(1)->child(0); // "02 Label SPEED"
        clickOutlinerRow(row);
        EXPECT_SELECTION(0, 1, 0);
        auto* text = panel->findChild<QLineEdit*>(QStringLiteral("labelTextEdit"));
        text->setFocus();
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("VELOCITY"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(page().masks[1].widgets[0].text, QStringLiteral("VELOCITY"));
        row = outliner->topLevelItem(1)->child(0);
        QCOMPARE(row->text(ElementListPanel::TextColumn), QStringLiteral("VELOCITY"));
        EXPECT_SELECTION(0, 1, 0);

        outliner->setFocus();
        outliner->editCurrentLabel();
        auto* editor = outliner->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("KMH"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(stack->count(), 1);
        QCOMPARE(page().masks[1].widgets[0].text, QStringLiteral("KMH"));
        EXPECT_SELECTION(0, 1, 0);
        stack->undo();
        QCOMPARE(page().masks[1].widgets[0].text, QStringLiteral("VELOCITY"));
        QCOMPARE(outliner->topLevelItem(1)->child(0)->text(ElementListPanel::TextColumn), QStringLiteral("VELOCITY"));
        QCOMPARE(text->text(), QStringLiteral("VELOCITY"));
    }

    // A new text box is shown in the panel; an empty click shows nothing,
    // not the last element's values.
    void addedTextBoxAndEmptyPanel()
    {
        const int masks = int(page().masks.size());
        window->addTextBoxNewMask(10, 10);
        QCOMPARE(int(page().masks.size()), masks + 1);
        EXPECT_SELECTION(0, masks, 0);

        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // a Digit: size and colour shown
        QVERIFY(!spin("valueSizeSpin")->text().isEmpty());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_SELECTION(0, -1, -1);
        QCOMPARE(spin("valueSizeSpin")->cleanText(), QString());
        QCOMPARE(spin("xSpin")->cleanText(), QString());
        QCOMPARE(panel->findChild<QPushButton*>(QStringLiteral("valueColorButton"))->text(), QString());

        stack->undo();
        EXPECT_SELECTION(0, -1, -1);
        QCOMPARE(int(page().masks.size()), masks);
        QVERIFY(!window->hasUnsavedChanges());
    }

    // Copy a widget, paste it into md.03, undo: the outliner and the file
    // are as before, and closing asks nothing.
    void pasteUndoIsClean()
    {
        clickOutlinerRow(outliner->topLevelItem(1)->child(1));
        action(QStringLiteral("Copy Widget"))->trigger();
        clickOutlinerRow(outliner->topLevelItem(3));
        EXPECT_SELECTION(0, 3, -1);
        const QString channelBefore = outliner->topLevelItem(3)->text(ElementListPanel::TextColumn);
        action(QStringLiteral("Paste Widget"))->trigger();
        QCOMPARE(page().masks[3].widgets.size(), size_t(2));
        QCOMPARE(page().masks[3].widgets[1].kind, page().masks[1].widgets[1].kind);
        QCOMPARE(page().masks[3].widgets[1].channel, page().masks[1].widgets[1].channel);
        EXPECT_SELECTION(0, 3, 1);

        stack->undo();
        QCOMPARE(page().masks[3].widgets.size(), size_t(1));
        QCOMPARE(outliner->topLevelItem(3)->text(ElementListPanel::TextColumn), channelBefore);
        QVERIFY(!window->hasUnsavedChanges());
        EXPECT_SELECTION(0, 3, -1);
        stack->redo();
        QCOMPARE(page().masks[3].widgets.size(), size_t(2));
        EXPECT_SELECTION(0, 3, -1);
    }

    // An inserted element is what every view shows; a menu closing over
    // the outliner keeps it, and Delete removes exactly it.
    void insertedElementIsSelectedEverywhere()
    {
        asker->onExec = [](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Accepted);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(QStringLiteral("Static label"), Qt::MatchExactly).value(0));
            add->onAccept();
            return add->result();
        };
        clickOutlinerRow(outliner->topLevelItem(2));
        const int masks = int(page().masks.size());
        window->insertElement();
        QCOMPARE(int(page().masks.size()), masks + 1);
        QCOMPARE(canvas->selectedMask(), masks);
        EXPECT_SELECTION(0, masks, canvas->selectedWidget());
        refocusWithoutClick(outliner);
        EXPECT_SELECTION(0, masks, canvas->selectedWidget());

        clickOutlinerRow(outliner->topLevelItem(masks));
        EXPECT_SELECTION(0, masks, -1);
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(int(page().masks.size()), masks);
        QCOMPARE(page().masks[2].id, QStringLiteral("md.02"));
        EXPECT_SELECTION(0, -1, -1);
    }

    // Pages switched by the list and by undoing an added page.
    void pageSwitchesByListAndUndo()
    {
        clickPageRow(2);
        EXPECT_SELECTION(2, -1, -1);
        asker->texts.append({true, QStringLiteral("Extra")});
        action(QStringLiteral("New Blank Page"))->trigger();
        QCOMPARE(config->pageCount(), 4);
        EXPECT_SELECTION(3, -1, -1);
        stack->undo();
        QCOMPARE(config->pageCount(), 3);
        EXPECT_SELECTION(2, -1, -1);
        clickOutlinerRow(outliner->topLevelItem(0));
        EXPECT_SELECTION(2, 0, -1);
    }

    // Masks A B C D: B deleted, D chosen, the delete undone. D is what every
    // view shows, and Delete removes D alone.
    void maskDeleteUndoKeepsTheChosenMask()
    {
        clickOutlinerRow(outliner->topLevelItem(1));
        action(QStringLiteral("Delete Element"))->trigger();
        clickOutlinerRow(outliner->topLevelItem(2));
        EXPECT_SELECTION(0, 2, -1);
        QCOMPARE(page().masks[2].id, QStringLiteral("md.03"));
        stack->undo();
        EXPECT_SELECTION(0, 3, -1);
        QCOMPARE(page().masks[3].id, QStringLiteral("md.03"));
        action(QStringLiteral("Delete Element"))->trigger();
        QStringList ids;
        for (const MaskElement& m : page().masks)
            ids << m.id;
        QCOMPARE(ids, QStringList({"md.00", "md.01", "md.02"}));
        EXPECT_SELECTION(0, -1, -1);
    }

    // A mask moved in the drawing order, then the move undone: the mask
    // goes back and the selection with it; a typed X and Delete reach it.
    void reorderUndoKeepsTheChosenMask_data()
    {
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("toFront");
        QTest::newRow("Bring to Front") << 1 << true;
        QTest::newRow("Move Up") << 2 << false;
    }

    void reorderUndoKeepsTheChosenMask()
    {
        QFETCH(int, chosen);
        QFETCH(bool, toFront);
        const QString id = page().masks[size_t(chosen)].id;
        clickOutlinerRow(outliner->topLevelItem(chosen));
        if (toFront)
            window->bringToFront();
        else
            window->moveMaskUp();
        QVERIFY(page().masks[size_t(chosen)].id != id);
        stack->undo();
        QCOMPARE(page().masks[size_t(chosen)].id, id);
        EXPECT_SELECTION(0, chosen, -1);

        typeInto(spin("xSpin"), QStringLiteral("123"));
        QCOMPARE(page().masks[size_t(chosen)].x, 123);
        QCOMPARE(paramValue(page().masks[size_t(chosen)].node, "XPOS"), QByteArray("123"));
        EXPECT_SELECTION(0, chosen, -1);
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(page().masks.size(), size_t(3));
        for (const MaskElement& m : page().masks)
            QVERIFY(m.id != id);
    }

    // Widget A of a mask deleted, widget B chosen, the delete undone: B is
    // still chosen, and Delete removes B alone.
    void widgetDeleteUndoKeepsTheChosenWidget()
    {
        clickOutlinerRow(outliner->topLevelItem(1)->child(0)); // "02 Label SPEED"
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(page().masks[1].widgets.size(), size_t(1));
        clickOutlinerRow(outliner->topLevelItem(1)->child(0)); // now the Digit
        EXPECT_SELECTION(0, 1, 0);
        stack->undo();
        QCOMPARE(page().masks[1].widgets.size(), size_t(2));
        EXPECT_SELECTION(0, 1, 1);
        action(QStringLiteral("Delete Element"))->trigger();
        QCOMPARE(page().masks.size(), size_t(4));
        QCOMPARE(page().masks[1].widgets.size(), size_t(1));
        QCOMPARE(page().masks[1].widgets[0].kind, int(WidgetLabel));
        EXPECT_SELECTION(0, 1, -1);
    }

    // Backspace on the canvas deletes what is selected: a widget alone.
    void backspaceDeletesTheSelectedWidgetAlone()
    {
        const MaskElement& mask = page().masks[1];
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->widgetRect(mask, mask.widgets[1]).center().toPoint());
        EXPECT_SELECTION(0, 1, 1);
        QTest::keyClick(canvas, Qt::Key_Backspace);
        QCOMPARE(page().masks.size(), size_t(4));
        QCOMPARE(page().masks[1].widgets.size(), size_t(1));
        QCOMPARE(page().masks[1].widgets[0].kind, int(WidgetLabel));
        QCOMPARE(stack->count(), 1);
        EXPECT_SELECTION(0, 1, -1);
    }

    // Open while another page is shown: the page list marks page 0, the
    // page on the canvas, and a click takes it back to the other page.
    void openMarksTheFirstPage()
    {
        clickPageRow(2);
        EXPECT_SELECTION(2, -1, -1);
        window->loadConfig(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("reopen"))));
        EXPECT_SELECTION(0, -1, -1);
        clickPageRow(2);
        EXPECT_SELECTION(2, -1, -1);
    }

    // A second click on the selected Label row opens no editor, so Delete
    // removes the Label; a click beside the rows leaves md.01 highlighted,
    // as the canvas has it, and Delete removes md.01.
    void outlinerShowsWhatDeleteRemoves()
    {
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTreeWidgetItem* label = outliner->topLevelItem(1)->child(0); // "02 Label SPEED"
        clickOutlinerRow(label);
        EXPECT_SELECTION(0, 1, 0);
        clickOutlinerRow(label);
        // Long enough for an editor that a click on a selected row would open.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        for (const QLineEdit* editor : outliner->viewport()->findChildren<QLineEdit*>())
            QVERIFY(!editor->isVisible());
        EXPECT_SELECTION(0, 1, 0);
        QTest::keyClick(outliner, Qt::Key_Delete);
        QCOMPARE(page().masks[1].widgets.size(), size_t(1));
        QCOMPARE(page().masks[1].widgets[0].kind, int(WidgetDigit));
        EXPECT_SELECTION(0, 1, -1);

        const QPoint beside(outliner->viewport()->width() / 2, outliner->viewport()->height() - 4);
        QVERIFY(!outliner->itemAt(beside));
        QTest::mouseClick(outliner->viewport(), Qt::LeftButton, {}, beside);
        EXPECT_SELECTION(0, 1, -1);
        QTest::keyClick(outliner, Qt::Key_Delete);
        QCOMPARE(page().masks.size(), size_t(3));
        QCOMPARE(page().masks[1].id, QStringLiteral("md.02"));
        EXPECT_SELECTION(0, -1, -1);
    }
};

QTEST_MAIN(SelectionSyncTest)
#include "tst_selectionsync.moc"
