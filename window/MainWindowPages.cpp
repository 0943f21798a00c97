// Deleting and duplicating pages, masks and widgets, clearing a page and
// bringing a mask to the front. Each pushes one undo step, then fixes which
// page and element end up shown and selected.
#include "window/MainWindow.h"

#include "artwork/BarShape.h"
#include "canvas/DashCanvas.h"
#include "editing/CheckedPush.h"
#include "editing/ClearPageCommand.h"
#include "editing/DuplicateMaskCommand.h"
#include "editing/NewPageCommand.h"
#include "editing/NormalizeOrdineCommand.h"
#include "editing/RemovePageCommand.h"
#include "editing/ReorderMaskCommand.h"
#include "editing/UndoMacroGuard.h"
#include "editing/WidgetAddCommand.h"
#include "editing/WidgetDeleteCommand.h"
#include "model/DeviceTables.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"

#include <QSignalBlocker>
#include <QStatusBar>
#include <QUndoStack>

void MainWindow::reshowCurrentPage()
{
    if (PageModel* page = config.page(currentPage)) {
        canvas->setPage(page);
        elementList->populate(page);
    }
}

void MainWindow::showPageAfterChange(int index)
{
    currentPage = index;
    {
        const QSignalBlocker blocker(pageList);
        pageList->setCurrentRow(index);
    }
    if (PageModel* page = config.page(index)) {
        canvas->setPage(page);
        elementList->populate(page);
        propertyPanel->setPageContext(&config, index);
        propertyPanel->setConfigFileIndex(page->deviceFileIndex);
        propertyPanel->setPageSize(page->width, page->height);
    }
    propertyPanel->clear();
}

void MainWindow::deleteCurrentPage()
{
    if (config.pageCount() < 2) {
        Asker::instance().information(
            this, tr("Delete Page"),
            tr("Can't delete the last page. A config needs at least one page to be valid for RaceStudio3."));
        return;
    }
    const int cur = currentPage;
    if (cur < 0 || cur >= config.pageCount())
        return;
    const PageModel* page = config.page(cur);
    const QString name = page ? page->name : QString::number(cur + 1);
    const auto answer = Asker::instance().question(
        this, tr("Delete Page"),
        tr("Delete page \"%1\"?\n\nAll widgets on this page will be removed. Undo with Ctrl+Z if you change your "
           "mind.")
            .arg(name),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const int before = undoStack->index();
    auto* command = new RemovePageCommand(&config, cur);
    command->setText(tr("Delete page %1").arg(cur + 1));
    undoStack->push(command);
    if (undoStack->index() == before) {
        statusBar()->showMessage(tr("Could not delete page \"%1\"").arg(name), 3000);
        return;
    }
    refreshPageList();
    showPageAfterChange(qMin(cur, config.pageCount() - 1));
    statusBar()->showMessage(tr("Deleted page \"%1\"").arg(name), 3000);
}

void MainWindow::deleteElement()
{
    const int mask = canvas->selectedMask();
    if (mask < 0) {
        statusBar()->showMessage(tr("No element selected"), 2000);
        return;
    }
    // A selected widget goes alone (the canvas's keys take the same road).
    onDeleteRequested(mask);
}

void MainWindow::deleteSelectedWidget()
{
    const int maskIndex = canvas->selectedMask();
    const int widgetIndex = canvas->selectedWidget();
    if (maskIndex < 0 || widgetIndex < 0) {
        statusBar()->showMessage(tr("No widget selected"), 2000);
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask || widgetIndex >= int(mask->widgets.size()))
        return;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    const int before = undoStack->index();
    undoStack->push(new WidgetDeleteCommand(&config, currentPage, maskIndex, widgetIndex));
    canvas->setSelectedMask(maskIndex);
    // A delete that could not be done leaves no step behind.
    if (undoStack->index() == before)
        statusBar()->showMessage(tr("Could not delete the widget"), 2000);
    else
        statusBar()->showMessage(tr("Deleted widget"), 2000);
}

void MainWindow::duplicateCurrentPage()
{
    if (config.pageCount() == 0) {
        statusBar()->showMessage(tr("No page to duplicate"), 2000);
        return;
    }
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const QString name = page->name;
    const int maskCount = int(page->masks.size());
    if (overlayFolderForDeviceName(config.deviceName) == QLatin1String("solo2dl")) {
        Asker::instance().information(
            this, tr("Duplicate Page"),
            tr("Duplicating pages on Solo 2 DL is not yet supported in this version of Korvelanto."));
        return;
    }
    int created = -1;
    {
        UndoMacroGuard macro(undoStack, tr("Duplicate page \"%1\"").arg(name));
        undoStack->push(new NewPageCommand(&config, QStringLiteral("%1 (copy)").arg(name), &created));
        if (created < 0) {
            macro.discard();
        } else {
            currentPage = created;
            refreshPageList();
            showPageAfterChange(created);
        }
    }
    if (created < 0) {
        statusBar()->showMessage(tr("Duplicate page failed"), 2500);
        return;
    }
    if (maskCount > 0)
        statusBar()->showMessage(tr("Duplicated page \"%1\" -- new shell created, use Copy/Paste to clone its %2 "
                                    "masks (page-deep-copy lands in v0.3.8)")
                                     .arg(name, QString::number(maskCount)),
                                 6000);
    else
        statusBar()->showMessage(tr("Duplicated page \"%1\" -- source had no masks").arg(name), 3000);
}

void MainWindow::duplicateMask()
{
    const int maskIndex = canvas->selectedMask();
    if (maskIndex < 0) {
        statusBar()->showMessage(tr("Select a mask first"), 2000);
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    const QString id = mask->id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    QString error;
    pushChecked(*undoStack, new DuplicateMaskCommand(&config, currentPage, maskIndex, 20, 20,
                                             tr("Duplicate Mask %1").arg(id), &created, &error), [&created] { return created >= 0; });
    reshowCurrentPage();
    if (created < 0) {
        selectMask(maskIndex); // the page is as it was: so is the choice
        showArtworkFailure(tr("Duplicate Mask"), tr("Duplicate mask failed"), error, QString());
        return;
    }
    selectMask(created);
    statusBar()->showMessage(tr("Duplicated mask -- offset (+20,+20)"), 2500);
}

void MainWindow::duplicateWidget()
{
    const int maskIndex = canvas->selectedMask();
    const int widgetIndex = canvas->selectedWidget();
    if (maskIndex < 0 || widgetIndex < 0) {
        statusBar()->showMessage(tr("Select a widget first (click a Digit/Label/Bargraph inside a mask)"), 2500);
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask || widgetIndex >= int(mask->widgets.size()))
        return;
    pugi::xml_document copy;
    if (!config.copyWidgetXml(currentPage, maskIndex, widgetIndex, copy)) {
        statusBar()->showMessage(tr("Could not snapshot widget"), 2000);
        return;
    }
    const QString refusal = widgetAddRefusal(&config, mask->node, DashCanvas::isBargraph(copy.first_child()),
                                             addedWidgetRect(copy.first_child(), QPoint(10, 10)));
    if (!refusal.isEmpty()) {
        statusBar()->showMessage(refusal, 8000);
        return;
    }
    const QString id = mask->widgets[size_t(widgetIndex)].id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    pushChecked(*undoStack, new WidgetAddCommand(&config, currentPage, maskIndex, 10, 10, copy.first_child(),
                                         tr("Duplicate widget %1").arg(id), &created), [&created] { return created >= 0; });
    if (created < 0) {
        statusBar()->showMessage(tr("Duplicate failed"), 2000);
        return;
    }
    canvas->setSelectedMask(maskIndex);
    canvas->setSelectedWidget(created);
    statusBar()->showMessage(tr("Duplicated widget -- offset (+10,+10)"), 2500);
}

void MainWindow::clearPage()
{
    const PageModel* page = config.page(currentPage);
    if (config.pageCount() == 0 || !page)
        return;
    if (page->masks.empty()) {
        statusBar()->showMessage(tr("Page is already empty"), 2000);
        return;
    }
    const int count = int(page->masks.size());
    const QString name = page->name;
    const auto answer = Asker::instance().question(
        this, tr("Clear Page"),
        tr("Remove all %1 elements from page \"%2\"?\n\nThis is undoable with Ctrl+Z.").arg(QString::number(count), name),
        QMessageBox::Yes | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    propertyPanel->clear();
    undoStack->push(new ClearPageCommand(&config, currentPage));
    canvas->clearSelectionAndRepaint();
    statusBar()->showMessage(tr("Cleared %1 elements from \"%2\"").arg(QString::number(count), name), 3000);
}

void MainWindow::bringToFront()
{
    const int maskIndex = canvas->selectedMask();
    if (maskIndex < 0) {
        statusBar()->showMessage(tr("Select a mask first"), 2000);
        return;
    }
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const int last = int(page->masks.size()) - 1;
    if (maskIndex >= last) {
        const int order = config.maskOrder(currentPage, maskIndex);
        if (order >= 0 && order == config.maxOrdine(currentPage)) {
            statusBar()->showMessage(tr("Already at front"), 1500);
            return;
        }
        // Last in the list but not in ORDINE: number the page anew.
        undoStack->push(new NormalizeOrdineCommand(&config, currentPage, tr("Bring to front")));
        reshowCurrentPage();
        canvas->update();
        return;
    }
    const QString id = page->masks[size_t(maskIndex)].id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    undoStack->push(new ReorderMaskCommand(&config, currentPage, maskIndex, last,
                                           tr("Bring \"%1\" to front").arg(id)));
    reshowCurrentPage();
    selectMask(last);
    statusBar()->showMessage(tr("Brought \"%1\" to front").arg(id), 2000);
}
