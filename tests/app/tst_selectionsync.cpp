#include "window/MainWindow.h"
#include "dialogs/ConfigCheckDialog.h"
#include "canvas/DashCanvas.h"
#include "panels/AddElementDialog.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// A helper's failed comparison ends only the helper: the step stops here.
#define EXPECT_SELECTION(page, mask, widget)                                                                           \
    do {                                                                                                               \
        expectSelection(page, mask, widget);                                                                           \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

// What a user sees of the selection while working through the demo: after
// every step the canvas, the outliner, the property panel and the page list
// name the same page, mask and widget, and Delete and Copy act on exactly
// that element.
class SelectionSyncTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashCanvas* canvas = nullptr;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    ElementListPanel* outliner = nullptr;
    PageListPanel* pageList = nullptr;
    PropertyPanel* panel = nullptr;

    QString shownId() const { return panel->findChild<QLabel*>(QStringLiteral("idLabel"))->text(); }
    const PageModel& page() const { return config->pages[size_t(window->currentPageIndex())]; }

    QAction* action(const QString& text) const
    {
        for (QAction* a : window->findChildren<QAction*>()) {
            if (a->text().remove(QLatin1Char('&')) == text)
                return a;
        }
        return nullptr;
    }

    // Every view names (pageIndex, mask, widget); -1 for none.
    void expectSelection(int pageIndex, int mask, int widget)
    {
        QCOMPARE(window->currentPageIndex(), pageIndex);
        QCOMPARE(pageList->currentRow(), pageIndex);
        QCOMPARE(outliner->topLevelItemCount(), int(page().masks.size()));
        for (int m = 0; m < outliner->topLevelItemCount(); ++m)
            QCOMPARE(outliner->topLevelItem(m)->text(0), page().masks[size_t(m)].id);
        QCOMPARE(canvas->selectedMask(), mask);
        QCOMPARE(canvas->selectedWidget(), widget);
        QTreeWidgetItem* row = outliner->currentItem();
        if (mask < 0) {
            QVERIFY(!row || !row->isSelected());
            QCOMPARE(shownId(), QStringLiteral("--"));
            QVERIFY(!panel->findChild<QSpinBox*>(QStringLiteral("ySpin"))->isEnabled());
            return;
        }
        QVERIFY(row);
        QVERIFY(row->isSelected());
        QCOMPARE(row->data(0, ElementListPanel::MaskIndexRole).toInt(), mask);
        QCOMPARE(row->data(0, ElementListPanel::WidgetIndexRole).toInt(), widget);
        const MaskElement& m = page().masks[size_t(mask)];
        QCOMPARE(shownId(), widget < 0 ? m.id : m.widgets[size_t(widget)].id);
    }

    void clickOutlinerRow(QTreeWidgetItem* row)
    {
        outliner->scrollToItem(row);
        QTest::mouseClick(outliner->viewport(), Qt::LeftButton, {}, outliner->visualItemRect(row).center());
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

    QSpinBox* spin(const char* name) const { return panel->findChild<QSpinBox*>(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("closeEditor")));
        asker = std::make_unique<ScriptedAsker>();
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        stack = window->findChild<QUndoStack*>();
        outliner = window->findChild<ElementListPanel*>();
        pageList = window->findChild<PageListPanel*>();
        panel = window->findChild<PropertyPanel*>();
        QCOMPARE(config->pageCount(), 3);
        QTRY_VERIFY(canvas->viewScale() > 0.3);
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
    }

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
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->maskRect(page().masks[1]).center().toPoint());
        QCOMPARE(canvas->selectedMask(), 1);
        QTest::keyClick(canvas, Qt::Key_Backspace);
        QCOMPARE(page().masks[1].id, QStringLiteral("md.02"));
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
};

QTEST_MAIN(SelectionSyncTest)
#include "tst_selectionsync.moc"
