// What the window does when the user picks a page, a mask or a widget, when
// a panel reports an edit, and after every change of the undo stack's index.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "editing/DeleteCommand.h"
#include "editing/SetLabelTextCommand.h"
#include "editing/SetValueAlignmentCommand.h"
#include "artwork/BarShape.h"
#include "model/ChannelKind.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QUndoStack>

namespace {

bool inRange(const PageModel* page, int mask)
{
    return page && mask >= 0 && mask < int(page->masks.size());
}

} // namespace

void MainWindow::onPageSelected(int index)
{
    currentPage = index;
    propertyPanel->setPageContext(&config, index);
    int fileIndex = -1;
    if (PageModel* page = config.page(index)) {
        canvas->setPage(page);
        elementList->populate(page);
        propertyPanel->setPageSize(page->width, page->height);
        fileIndex = page->deviceFileIndex;
    }
    propertyPanel->setConfigFileIndex(fileIndex);
    propertyPanel->clear();
    followPageInList();
}

void MainWindow::followPageInList()
{
    if (currentPage < 0 || currentPage >= pageList->count() || pageList->currentRow() == currentPage)
        return;
    const QSignalBlocker blocker(pageList);
    pageList->setCurrentRow(currentPage);
}

void MainWindow::showCanvasSelection()
{
    PageModel* page = config.page(currentPage);
    const int maskIndex = canvas->selectedMask();
    if (!inRange(page, maskIndex)) {
        elementList->selectElement(-1, -1);
        propertyPanel->clear();
        return;
    }
    const int widgetIndex = canvas->selectedWidget();
    elementList->selectElement(maskIndex, widgetIndex);
    MaskElement& mask = page->masks[size_t(maskIndex)];
    if (widgetIndex >= 0 && widgetIndex < int(mask.widgets.size()))
        propertyPanel->showWidget(&mask, &mask.widgets[size_t(widgetIndex)]);
    else
        showMaskDetails(maskIndex);
}

void MainWindow::rememberSelection()
{
    selectionKey = ElementKey::of(config, currentPage, canvas->selectedMask(), canvas->selectedWidget());
}

// The element the user chose, wherever the change left it; a widget that is
// gone leaves its mask chosen, a mask that is gone leaves nothing. Never
// whatever now stands at the old indices.
void MainWindow::findSelectionAgain()
{
    const ElementKey::Place place = selectionKey.page == currentPage ? selectionKey.find(config) : ElementKey::Place();
    if (place.mask == canvas->selectedMask() && place.widget == canvas->selectedWidget())
        return;
    // Each call below reports the new selection, which remembers it anew.
    canvas->setSelectedMask(place.mask);
    if (place.widget >= 0)
        canvas->setSelectedWidget(place.widget);
}

// The canvas's selection signal already has showCanvasSelection fill the
// outliner and the panel; showing the mask again would redo that work.
void MainWindow::selectMask(int maskIndex)
{
    canvas->setSelectedMask(maskIndex);
    snapTextToBundledFont(maskIndex);
}

void MainWindow::onElementSelected(int maskIndex)
{
    if (maskIndex < 0) {
        propertyPanel->clear();
        return;
    }
    PageModel* page = config.page(currentPage);
    if (inRange(page, maskIndex))
        showMaskDetails(maskIndex);
    snapTextToBundledFont(maskIndex);
}

// The panel's view of one mask: its fields, its box style, and the bar
// colour and icon preview buttons that apply to it.
void MainWindow::showMaskDetails(int maskIndex)
{
    MaskElement* mask = config.maskAt(currentPage, maskIndex);
    propertyPanel->showMask(mask);
    propertyPanel->updateBoxInfo(config.boxStyleRecord(currentPage, maskIndex),
                                 config.multiBoxRecord(currentPage, maskIndex));

    const bool isBar = mask->node && isBarWithoutDigitMask(mask->node);
    bool colored = false;
    // A store that cannot be read hides whether the bar was coloured: the
    // removal is offered, and says why it cannot work.
    // A record the bar's art was not made from offers no removal.
    if (isBar) {
        colored = config.colouredBar(currentPage, maskIndex).coloured
            || !config.sidecarReadFailure(SidecarStore::BarColors).isEmpty();
    }
    // Color... is offered where it would not be refused.
    propertyPanel->setBarColorEnabled(isBar, colored, barColorRefusal(&config, mask->node).isEmpty());

    const bool isIcon = mask->kind == MaskIcon;
    const bool hasPreview = isIcon && !config.iconPreviewGraphic(currentPage, maskIndex).isEmpty();
    propertyPanel->setIconPreviewEnabled(isIcon, hasPreview);
    propertyPanel->showIconInfo(isIcon, isIcon ? config.resolveIconPreview(currentPage, maskIndex) : IconPreviewInfo());
}

void MainWindow::onWidgetSelected(int maskIndex, int widgetIndex)
{
    PageModel* page = config.page(currentPage);
    if (!inRange(page, maskIndex)) {
        propertyPanel->clear();
        return;
    }
    MaskElement& mask = page->masks[size_t(maskIndex)];
    if (widgetIndex >= 0 && widgetIndex < int(mask.widgets.size())) {
        propertyPanel->showWidget(&mask, &mask.widgets[size_t(widgetIndex)]);
        return;
    }
    propertyPanel->showMask(&mask);
    snapTextToBundledFont(maskIndex);
}

void MainWindow::onElementMoved()
{
    propertyPanel->refreshGeometry();
}

bool MainWindow::isMultiBox(int maskIndex) const
{
    return config.hasMultiBoxRecord(currentPage, maskIndex);
}

// The canvas's MoveCommand has already resized the mask and laid a
// multi-value box's cells out again; this only re-reads what it changed.
void MainWindow::onElementResized(int maskIndex, int, int)
{
    PageModel* page = config.page(currentPage);
    if (inRange(page, maskIndex) && isMultiBox(maskIndex)) {
        canvas->setPage(page);
        elementList->populate(page);
    }
    propertyPanel->refreshGeometry();
    const QString note = config.takePendingStatus();
    if (!note.isEmpty())
        statusBar()->showMessage(note, 10000);
    else
        snapTextToBundledFont(maskIndex);
}

// The canvas's Delete and Backspace name the selected mask; a widget
// selected in it goes alone, as with Delete Element.
void MainWindow::onDeleteRequested(int maskIndex)
{
    if (maskIndex == canvas->selectedMask() && canvas->selectedWidget() >= 0) {
        deleteSelectedWidget();
        return;
    }
    if (!inRange(config.page(currentPage), maskIndex))
        return;
    // Cleared before the push: the push re-shows the selection, which would
    // otherwise name the mask that moved into the deleted one's place.
    propertyPanel->clear();
    canvas->clearSelectionAndRepaint();
    undoStack->push(new DeleteCommand(&config, currentPage, maskIndex));
    PageModel* page = config.page(currentPage);
    elementList->populate(page);
    const int remaining = page ? int(page->masks.size()) : 0;
    statusBar()->showMessage(tr("Deleted element -- %1 remaining on page").arg(remaining), 3000);
}

void MainWindow::onLabelTextChanged(int maskIndex, int widgetIndex, const QString& oldText, const QString& newText)
{
    if (currentPage < 0 || newText.isEmpty() || newText == oldText)
        return;
    auto* command = new SetLabelTextCommand(&config, currentPage, maskIndex, widgetIndex, oldText, newText);
    command->setText(tr("Rename Label"));
    undoStack->push(command);
    canvas->update();
    statusBar()->showMessage(tr("Renamed label"), 1500);
}

void MainWindow::onPositionChanged(int, int)
{
    canvas->update();
}

// The panel has applied the size already; a multi-value box's cells moved
// with it, so its records are read again. Its art fit is told when the run
// settles (onPropertyGeometrySettled).
void MainWindow::onPropertySizeChanged(int, int)
{
    canvas->invalidateMaskImageCache();
    const int selected = canvas->selectedMask();
    PageModel* page = config.page(currentPage);
    if (inRange(page, selected) && isMultiBox(selected)) {
        canvas->setPage(page);
        elementList->populate(page);
        canvas->setSelectedMask(selected);
    }
    canvas->update();
}

void MainWindow::onPropertyGeometrySettled()
{
    canvas->invalidateMaskImageCache();
    canvas->update();
    const QString note = config.takePendingStatus();
    if (!note.isEmpty())
        statusBar()->showMessage(note, 10000);
}

void MainWindow::onValueAlignmentChanged(const QString& alignment)
{
    const int maskIndex = canvas->selectedMask();
    const int widgetIndex = canvas->selectedWidget();
    PageModel* page = config.page(currentPage);
    if (currentPage < 0 || !inRange(page, maskIndex))
        return;
    const MaskElement& mask = page->masks[size_t(maskIndex)];
    if (widgetIndex < 0 || widgetIndex >= int(mask.widgets.size()))
        return;
    const WidgetModel& widget = mask.widgets[size_t(widgetIndex)];
    if (widget.w <= 0 || widget.posAlign == alignment)
        return;
    auto* command =
        new SetValueAlignmentCommand(&config, currentPage, maskIndex, widgetIndex, widget.posAlign, alignment);
    command->setText(tr("Value alignment"));
    undoStack->push(command);
    canvas->update();
    statusBar()->showMessage(tr("Value alignment: %1 (Ctrl+Z to undo)").arg(alignment), 2500);
}

void MainWindow::onChannelRebindRequested(const ChannelInfo& channel)
{
    rebindSelection(channel);
}

// Binds the selected widget, or without one the selected mask, to the
// channel. The write bypasses the undo history: the unsaved-changes question
// sees it through the document digest. False when nothing was bound.
bool MainWindow::rebindSelection(const ChannelInfo& channel)
{
    const int maskIndex = canvas->selectedMask();
    PageModel* page = config.page(currentPage);
    if (currentPage < 0 || !inRange(page, maskIndex) || !page->masks[size_t(maskIndex)].node)
        return false;
    const int widgetIndex = canvas->selectedWidget();
    const bool onWidget = widgetIndex >= 0 && widgetIndex < int(page->masks[size_t(maskIndex)].widgets.size());
    if (onWidget) {
        config.bindChannel(currentPage, maskIndex, widgetIndex, channel);
    } else {
        const pugi::xml_node node = page->masks[size_t(maskIndex)].node;
        DashConfig::bindElementChannel(node, channel, config.deviceName, config.laptimeGpsResourceFid());
        config.applyChannelRangeToBarScales(node, channel.fid);
        config.markPageDirty(currentPage);
        page->masks[size_t(maskIndex)] = config.parseMask(node);
    }
    MaskElement& mask = page->masks[size_t(maskIndex)];
    if (onWidget && widgetIndex < int(mask.widgets.size()))
        propertyPanel->showWidget(&mask, &mask.widgets[size_t(widgetIndex)]);
    else
        propertyPanel->showMask(&mask);
    elementList->populate(page);
    canvas->update();
    return true;
}

void MainWindow::onIconPreviewRemoveRequested()
{
    const int mask = canvas->selectedMask();
    if (mask < 0 || currentPage < 0)
        return;
    if (!config.clearIconPreview(currentPage, mask))
        return showIconPreviewFailure();
    statusBar()->showMessage(tr("Removed icon preview graphic"), 3000);
    canvas->refresh();
    onElementSelected(mask);
}

void MainWindow::onUndoIndexChanged(int)
{
    refreshAfterChange();
}

// Commands and saves rebuild the records they touch, so every view is
// re-shown from the model and the selection found again by its element; a
// change of the page count may leave the current page behind.
void MainWindow::refreshAfterChange()
{
    const int count = config.pageCount();
    if (pageList->count() != count) {
        refreshPageList();
        if (currentPage >= count)
            currentPage = qMax(0, count - 1);
        // The whole page switch, so the panel edits the page it shows.
        onPageSelected(currentPage);
    }
    findSelectionAgain();
    PageModel* page = config.page(currentPage);
    if (page) {
        // Rows rebuilt on the same page keep what the user filters them by.
        const QString filter = outlinerFilter->text();
        elementList->populate(page);
        outlinerFilter->setText(filter);
    }
    canvas->invalidateRenderCaches();
    followPageInList();
    showCanvasSelection();
}

void MainWindow::onCheckJumpToElement(int pageIndex, const QString& elementId)
{
    const PageModel* page = config.page(pageIndex);
    if (!page)
        return;
    if (pageIndex != currentPage)
        onPageSelected(pageIndex);
    for (size_t i = 0; i < page->masks.size(); ++i) {
        if (page->masks[i].id == elementId) {
            selectMask(int(i));
            return;
        }
    }
}
