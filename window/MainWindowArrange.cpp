// Arranging masks on a page (mirroring a box across the page, moving a mask
// one step in the drawing order) and adding a blank page. Each pushes one
// undo step, then shows the page again and selects what it made or moved.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "editing/CheckedPush.h"
#include "editing/DuplicateMaskCommand.h"
#include "editing/NewPageCommand.h"
#include "editing/ReorderMaskCommand.h"
#include "model/DeviceTables.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"

#include <QStatusBar>
#include <QUndoStack>

void MainWindow::mirrorBox(int maskIndex)
{
    if (maskIndex < 0) {
        statusBar()->showMessage(tr("Select a box first"), 2000);
        return;
    }
    const PageModel* page = config.page(currentPage);
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!page || !mask)
        return;
    if (page->width <= 0 || mask->w <= 0) {
        statusBar()->showMessage(tr("This box has no size to mirror"), 2500);
        return;
    }
    const int newX = page->width - mask->w - mask->x;
    const int dx = newX - mask->x;
    if (dx == 0) {
        statusBar()->showMessage(tr("That box is already centred \u2014 its mirror is itself"), 3000);
        return;
    }
    const QString id = mask->id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    QString error;
    pushChecked(*undoStack, new DuplicateMaskCommand(&config, currentPage, maskIndex, dx, 0, tr("Mirror box %1").arg(id),
                                             &created, &error), [&created] { return created >= 0; });
    reshowCurrentPage();
    if (created < 0) {
        selectMask(maskIndex); // the page is as it was: so is the choice
        showArtworkFailure(tr("Mirror box"), tr("Mirror failed"), error, QString());
        return;
    }
    selectMask(created);
    // The copy is kept inside the page: report where it landed.
    const MaskElement* copy = config.maskAt(currentPage, created);
    statusBar()->showMessage(
        tr("Mirrored to x=%1 \u2014 now rebind it to the other side's channel").arg(copy ? copy->x : newX), 6000);
}

void MainWindow::moveMaskUp()
{
    moveMaskBy(-1);
}

void MainWindow::moveMaskDown()
{
    moveMaskBy(1);
}

void MainWindow::moveMaskBy(int step)
{
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const int sel = canvas->selectedMask();
    const int count = int(page->masks.size());
    const int to = sel + step;
    const bool down = step > 0;
    if (sel < 0 || sel >= count || to < 0 || to >= count) {
        statusBar()->showMessage(down ? tr("Already at bottom") : tr("Already at top"), 1500);
        return;
    }
    const QString id = page->masks[size_t(sel)].id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    const int before = undoStack->index();
    undoStack->push(new ReorderMaskCommand(&config, currentPage, sel, to,
                                           down ? tr("Move \"%1\" down").arg(id) : tr("Move \"%1\" up").arg(id)));
    const bool moved = undoStack->index() != before;
    reshowCurrentPage();
    const int selected = moved ? to : sel;
    selectMask(selected);
    if (!moved) {
        statusBar()->showMessage(tr("Could not move \"%1\"").arg(id), 2000);
        return;
    }
    statusBar()->showMessage(down ? tr("Moved \"%1\" down").arg(id) : tr("Moved \"%1\" up").arg(id), 1500);
}

void MainWindow::newBlankPage()
{
    const QString title = tr("New Page");
    if (currentFilePath.isEmpty() && config.pageCount() == 0) {
        Asker::instance().information(this, title, tr("Open a .zconf2 file first -- new pages need a base config."));
        return;
    }
    if (overlayFolderForDeviceName(config.deviceName) == QLatin1String("solo2dl")) {
        Asker::instance().information(
            this, title,
            tr("Adding new pages on Solo 2 DL is not yet supported in this version of Korvelanto. You can edit "
               "existing pages, or add the page in RaceStudio3 first and then edit it here."));
        return;
    }
    bool ok = false;
    const QString entered = Asker::instance().text(this, title, tr("Page name:"),
                                                   tr("Page %1").arg(config.pageCount() + 1), &ok);
    const QString name = entered.trimmed();
    if (!ok || name.isEmpty())
        return;
    int created = -1;
    pushChecked(*undoStack, new NewPageCommand(&config, name, &created), [&created] { return created >= 0; });
    if (created < 0) {
        statusBar()->showMessage(tr("Could not add the page"), 2500);
        return;
    }
    refreshPageList();
    currentPage = created;
    // Emits the page list's selection, so onPageSelected runs as well.
    pageList->setCurrentRow(created);
    if (PageModel* page = config.page(created)) {
        canvas->setPage(page);
        elementList->populate(page);
        propertyPanel->setPageSize(page->width, page->height);
    }
    // One arg() call: a "%2" typed into the name must not take a number.
    statusBar()->showMessage(tr("Added blank page \"%1\" (%2 x %3)")
                                 .arg(entered, QString::number(config.displayWidth),
                                      QString::number(config.displayHeight)),
                             3000);
}
