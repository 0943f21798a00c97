// What the window does when the user picks a page, a mask or a widget, when
// a panel reports an edit, and after every change of the undo stack's index.
#include "app/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"

#include <QStatusBar>

void MainWindow::onPageSelected(int index)
{
    PageModel* page = config.page(index);
    if (!page)
        return;
    currentPage = index;
    canvas->setPage(page);
    elementList->populate(page);
    propertyPanel->setPageContext(&config, index);
    propertyPanel->setConfigFileIndex(page->deviceFileIndex);
    propertyPanel->setPageSize(page->width, page->height);
    propertyPanel->clear();
}

void MainWindow::onElementSelected(int maskIndex)
{
    MaskElement* mask = maskIndex < 0 ? nullptr : config.maskAt(currentPage, maskIndex);
    if (!mask) {
        propertyPanel->clear();
        return;
    }
    propertyPanel->showMask(mask);
}

void MainWindow::onWidgetSelected(int maskIndex, int widgetIndex)
{
    propertyPanel->showSelection(config.page(currentPage), maskIndex, widgetIndex);
}

void MainWindow::onElementMoved()
{
}

void MainWindow::onElementResized(int, int, int)
{
}

void MainWindow::onDeleteRequested(int)
{
}

void MainWindow::onLabelTextChanged(int, int, const QString&, const QString&)
{
}

void MainWindow::onPositionChanged(int, int)
{
}

void MainWindow::onPropertySizeChanged(int, int)
{
}

void MainWindow::onValueAlignmentChanged(const QString&)
{
}

void MainWindow::onChannelRebindRequested(const ChannelInfo&)
{
}

void MainWindow::onIconPreviewRemoveRequested()
{
    const int mask = canvas->selectedMask();
    if (mask < 0 || currentPage < 0)
        return;
    config.clearIconPreview(currentPage, mask);
    statusBar()->showMessage(tr("Removed icon preview graphic"), 3000);
    canvas->refresh();
    onElementSelected(mask);
}

// Commands rebuild the records they touch, so every view is re-shown from
// the model; a change of the page count may leave the current page behind.
void MainWindow::onUndoIndexChanged(int)
{
    const int count = config.pageCount();
    if (pageList->count() != count) {
        refreshPageList();
        if (currentPage >= count)
            currentPage = qMax(0, count - 1);
        pageList->setCurrentRow(currentPage);
        if (PageModel* page = config.page(currentPage)) {
            canvas->setPage(page);
            propertyPanel->setPageSize(page->width, page->height);
        }
    }
    PageModel* page = config.page(currentPage);
    if (page)
        elementList->populate(page);
    canvas->invalidateRenderCaches();
    if (!page)
        propertyPanel->clear();
    else
        propertyPanel->showSelection(page, canvas->selectedMask(), canvas->selectedWidget());
}

void MainWindow::onCheckJumpToElement(int pageIndex, const QString& elementId)
{
    if (pageIndex != currentPage)
        onPageSelected(pageIndex);
    const PageModel* page = config.page(pageIndex);
    if (!page)
        return;
    for (size_t i = 0; i < page->masks.size(); ++i) {
        if (page->masks[i].id == elementId) {
            canvas->setSelectedMask(int(i));
            onElementSelected(int(i));
            return;
        }
    }
}
