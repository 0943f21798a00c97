// Adding content to the current page: text boxes, labels, value bars and
// pages from templates.
#include "app/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "editing/AddTextBoxCommand.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"

#include <QStatusBar>
#include <QUndoStack>

std::unique_ptr<AddTextBoxCommand> MainWindow::pushAddTextBox(DashConfig* target, int page, int x, int y,
                                                              const QString& text)
{
    auto command = std::make_unique<AddTextBoxCommand>();
    command->addAsNewMask(target, page, x, y, text);
    command->setText(tr("Add Text Box"));
    return command;
}

void MainWindow::addTextBoxNewMask(int x, int y)
{
    if (!config.page(currentPage))
        return;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    std::unique_ptr<AddTextBoxCommand> command = pushAddTextBox(&config, currentPage, x, y, tr("Label"));
    command->setResultTarget(&created);
    undoStack->push(command.release());
    if (PageModel* page = config.page(currentPage)) {
        canvas->setPage(page);
        elementList->populate(page);
    }
    if (created < 0) {
        statusBar()->showMessage(tr("Add text box failed"), 2000);
        return;
    }
    canvas->setSelectedMask(created);
    canvas->setSelectedWidget(0);
    statusBar()->showMessage(tr("Added text box -- double-click in outliner to rename"), 3000);
}

void MainWindow::addLabelHere(int, int, const QString&)
{
}

void MainWindow::addTextBoxInBox(int, int, int)
{
}
