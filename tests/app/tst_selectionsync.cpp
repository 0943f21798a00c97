#include "window/MainWindow.h"
#include "dialogs/ConfigCheckDialog.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
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

// A helper's failed comparison ends only the helper: the step stops here.
#define EXPECT_SELECTION(page, mask, widget)                                                                           \
    do {                                                                                                               \
        expectSelection(page, mask, widget);                                                                           \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

namespace {

// Three pages that repeat their masks' ids, as RS3's own pages do. Race's
// md.01 is a bar with a caption Label; Engine and Laps hold Labels at the
// same ids, where an edit meant for Race must never land.
ConfigFixture repeatedIdsConfig()
{
    ConfigFixture cfg;
    const auto caption = [](const QString& id, const QString& text) {
        return Fx::label(id, text, 10, 44, 120, 24)
            .p("POS_ALIGN", "bc")
            .p("CHAR_SET_ID_2", "Text_H24")
            .p("CHARSET_DIM", 24)
            .p("COLORE", "0xffc8c8c8")
            .p("CONTROLLO_NO_AUTOAGGIORNABILE", 0);
    };
    cfg.device().page("Race")
        .mask(Fx::mask("md.00", 10, 10, 200, 80).add(caption("01", "SPEED")))
        .mask(Fx::mask("md.01", 10, 100, 300, 80)
                  .add(Fx::bargraph("02", 0, 0, 300, 40, QString(), true)
                           .add(Fx::stepScale({{"0", "0"}, {"100", "8000"}}).p("NOME_SCALA", "0-8000")))
                  .add(caption("03", "RPM")))
        .mask(Fx::mask("md.02", 10, 200, 200, 80).add(caption("04", "GEAR")));
    for (const QString& name : {QStringLiteral("Engine"), QStringLiteral("Laps")}) {
        cfg.device().page(name)
            .mask(Fx::mask("md.00", 10, 10, 200, 80).add(caption("01", name.toUpper())))
            .mask(Fx::mask("md.01", 10, 100, 300, 80).add(caption("03", "LAP TIME")));
    }
    return cfg;
}

// The one device file of the archive.
QByteArray savedDeviceXml(const QString& path)
{
    const QMap<QString, QByteArray> entries = ZipFixture::readZip(path);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.key().endsWith(QLatin1String("/overlay.ov3.xml")))
            return it.value();
    }
    return QByteArrayLiteral("<no device file>");
}

pugi::xml_node childElement(pugi::xml_node parent, const char* cls, const char* id = nullptr)
{
    for (pugi::xml_node e = parent.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls) && (!id || QByteArray(e.attribute("i").value()) == id))
            return e;
    }
    return {};
}

} // namespace

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
    template <typename T> T* control(const char* name) const { return panel->findChild<T*>(QLatin1String(name)); }

    // The value typed over the field's text and committed with Return.
    static void typeInto(QAbstractSpinBox* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    // One notch of the wheel, turned down, over the middle of w.
    static void wheelOver(QWidget* w)
    {
        const QPoint local = w->rect().center();
        QWheelEvent event(QPointF(local), QPointF(w->mapToGlobal(local)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        // As the platform delivers it (sendEvent would not): what the field
        // leaves goes on to its parents.
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(w, &event);
    }

    // The device file as the window's Save wrote it.
    QByteArray saveAndRead()
    {
        if (!window->save())
            return QByteArrayLiteral("<save failed>");
        return savedDeviceXml(window->currentFile());
    }

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

    // A widget chosen before a save is the one every later panel edit
    // writes: the save reads the masks anew, and the panel follows. Each
    // field once, then a second save: the file differs from the first save
    // in exactly these parameters of that Label and its bar's scale.
    void panelEditsAfterSaveLandOnTheChosenWidget()
    {
        const QString path = repeatedIdsConfig().writeTempZip();
        window->loadConfig(path);
        QCOMPARE(window->currentFile(), path);
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // md.01's Label "RPM"
        EXPECT_SELECTION(0, 1, 1);
        const QByteArray first = saveAndRead();
        EXPECT_SELECTION(0, 1, 1);

        typeInto(spin("ySpin"), QStringLiteral("50"));
        EXPECT_SELECTION(0, 1, 1);
        auto* text = control<QLineEdit>("labelTextEdit");
        text->setFocus();
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("RPM x1000"));
        QTest::keyClick(text, Qt::Key_Return);
        control<QComboBox>("valueFontCombo")->setCurrentIndex(1); // "Basic Sans SF"
        typeInto(spin("valueSizeSpin"), QStringLiteral("32"));
        asker->colors << QColor(255, 128, 0);
        QTest::mouseClick(control<QPushButton>("valueColorButton"), Qt::LeftButton);
        control<QComboBox>("alignCombo")->setCurrentIndex(2); // "Right"
        EXPECT_SELECTION(0, 1, 1);
        typeInto(control<QDoubleSpinBox>("minSpin"), QStringLiteral("500"));
        EXPECT_SELECTION(0, 1, 1);
        const QByteArray second = saveAndRead();

        pugi::xml_document expected;
        QVERIFY(expected.load_buffer(first.constData(), size_t(first.size())));
        QCOMPARE(xmlDocumentBytes(expected, "  "), first);
        const pugi::xml_node race = childElement(
            childElement(childElement(expected.child("overlay_cli"), "OverlayCli"), "GConfParam"), "GPageParam");
        const pugi::xml_node bar = childElement(race, "GMaskParam", "md.01");
        const pugi::xml_node label = childElement(bar, "Label", "03");
        QVERIFY(label);
        setParam(label, "YPOS", "50");
        setParam(label, "TEXT", "RPM x1000");
        setParam(label, "CONTROLLO_NO_AUTOAGGIORNABILE", "1");
        setParam(label, "CHAR_SET_ID_2", "Basic Sans SF");
        setParam(label, "CHARSET_DIM", "32");
        setParam(label, "COLORE", "0xffff8000");
        setParam(label, "POS_ALIGN", "br");
        const pugi::xml_node scale = childElement(childElement(bar, "BargraphTrapezio"), "ScaleFSV");
        setParam(scale, "NOME_SCALA", "8000");
        setParam(childElement(scale, "StepScale", "1"), "VAL_SCALA", "500");
        QCOMPARE(QString::fromUtf8(second), QString::fromUtf8(xmlDocumentBytes(expected, "  ")));
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

    // Return in a field nobody changed writes nothing: the bar's Min, the
    // mask's X.
    void unchangedFieldCommitsWriteNothing()
    {
        clickOutlinerRow(outliner->topLevelItem(2)); // the bar, 0-8000
        const QByteArray before = saveAndRead();
        QVERIFY(before.contains("0-8000"));
        for (const char* name : {"minSpin", "maxSpin", "xSpin"}) {
            auto* field = control<QAbstractSpinBox>(name);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
        }
        QCOMPARE(stack->count(), 0);
        QVERIFY(!window->hasUnsavedChanges());
        QCOMPARE(saveAndRead(), before);
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

    // A value still being typed when the user presses Ctrl+S is in the
    // saved file, and the views show it: a Y, a Label's text, a rename.
    void typedValueIsSaved_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("Y") << "ySpin";
        QTest::newRow("Label Text") << "labelTextEdit";
        QTest::newRow("outliner rename") << "rename";
    }

    void typedValueIsSaved()
    {
        QFETCH(QString, field);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const bool y = field == QLatin1String("ySpin");
        const int mask = y ? 3 : 1; // md.03, or md.01's "02 Label SPEED"
        const int widget = y ? -1 : 0;
        clickOutlinerRow(y ? outliner->topLevelItem(3) : outliner->topLevelItem(1)->child(0));
        EXPECT_SELECTION(0, mask, widget);
        QWidget* typing = nullptr;
        if (y) {
            spin("ySpin")->setFocus();
            spin("ySpin")->selectAll();
            typing = spin("ySpin");
        } else {
            QLineEdit* edit = control<QLineEdit>("labelTextEdit");
            if (field == QLatin1String("rename")) {
                outliner->setFocus();
                outliner->editCurrentLabel();
                edit = outliner->viewport()->findChild<QLineEdit*>();
                QVERIFY(edit);
            }
            edit->setFocus();
            edit->selectAll();
            typing = edit;
        }
        QTRY_VERIFY(typing->hasFocus());
        QTest::keyClicks(typing, QStringLiteral("123"));
        QTest::keyClick(typing, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!window->hasUnsavedChanges());

        DashConfig saved;
        QVERIFY(saved.load(window->currentFile()));
        const MaskElement& savedMask = saved.pages[0].masks[size_t(mask)];
        if (y) {
            QCOMPARE(savedMask.y, 123);
            QCOMPARE(spin("ySpin")->value(), 123);
        } else {
            QCOMPARE(savedMask.widgets[0].text, QStringLiteral("123"));
            QCOMPARE(control<QLineEdit>("labelTextEdit")->text(), QStringLiteral("123"));
            QCOMPARE(outliner->topLevelItem(1)->child(0)->text(ElementListPanel::TextColumn), QStringLiteral("123"));
        }
        EXPECT_SELECTION(0, mask, widget);
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

    // The wheel turned over panel fields that have no focus scrolls the
    // panel and changes nothing; a field the user put the focus on takes it.
    void wheelChangesOnlyAFocusedField()
    {
        window->resize(1100, 420);
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // the Digit
        canvas->setFocus();
        const QByteArray before = ConfigSnapshot::documents(*config);
        QScrollArea* scroll = nullptr;
        for (QScrollArea* area : window->findChildren<QScrollArea*>()) {
            if (area->widget() == panel)
                scroll = area;
        }
        QVERIFY(scroll);
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        const int scrolled = scroll->verticalScrollBar()->value();
        auto* size = spin("valueSizeSpin");
        auto* font = control<QComboBox>("valueFontCombo");
        const int px = size->value();
        const QList<QWidget*> fields{size, font, spin("ySpin"), control<QComboBox>("alignCombo")};
        for (QWidget* field : fields)
            wheelOver(field);
        QCOMPARE(size->value(), px);
        QCOMPARE(ConfigSnapshot::documents(*config), before);
        QVERIFY(!window->hasUnsavedChanges());
        QVERIFY(scroll->verticalScrollBar()->value() > scrolled);

        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        size->setFocus();
        QTRY_VERIFY(size->hasFocus());
        wheelOver(size);
        QCOMPARE(size->value(), px - 1);
    }
};

QTEST_MAIN(SelectionSyncTest)
#include "tst_selectionsync.moc"
