#pragma once

// A shown window on a copy of the demo and the views a user reads the
// selection from: the canvas, the outliner, the property panel and the page
// list. Header-only, because the views live in layers the support library
// does not link.

#include "canvas/DashCanvas.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "window/MainWindow.h"

#include <QAbstractSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QTreeWidget>
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

class SelectionViews {
protected:
    std::unique_ptr<Rs3Fixture> m_rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashCanvas* canvas = nullptr;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    ElementListPanel* outliner = nullptr;
    PageListPanel* pageList = nullptr;
    PropertyPanel* panel = nullptr;

    // The install the demo's device needs, once per test program.
    void makeInstall()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
    }

    // A fresh window on a fresh copy of the demo, drawn.
    void openDemo()
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

    void closeDemo()
    {
        window.reset();
        asker.reset();
    }

    QString shownId() const { return panel->findChild<QLabel*>(QStringLiteral("idLabel"))->text(); }
    const PageModel& page() const { return config->pages[size_t(window->currentPageIndex())]; }

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

    QSpinBox* spin(const char* name) const { return panel->findChild<QSpinBox*>(QLatin1String(name)); }

    // The value typed over the field's text and committed with Return.
    static void typeInto(QAbstractSpinBox* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
};
