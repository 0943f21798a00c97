// Undo and Redo through the window: a step whose command could not write a
// record it needs leaves the document as it was, and the history is stepped
// back over it so that the two agree.
#include "window/MainWindow.h"

#include <QAction>
#include <QStatusBar>
#include <QUndoStack>

#include <utility>

QAction* MainWindow::createHistoryAction(bool back, const QString& prefix)
{
    QAction* action = back ? undoStack->createUndoAction(this, prefix) : undoStack->createRedoAction(this, prefix);
    // The history's own text and enabled state stay; the step goes through
    // the window.
    disconnect(action, nullptr, undoStack, nullptr);
    connect(action, &QAction::triggered, this, [this, back] { stepHistory(back); });
    return action;
}

void MainWindow::stepHistory(bool back)
{
    const QString step = back ? undoStack->undoText() : undoStack->redoText();
    config.refusedStep.clear();
    back ? undoStack->undo() : undoStack->redo();
    const QString reason = std::exchange(config.refusedStep, QString());
    if (reason.isEmpty())
        return;
    // The refused command takes this step as doing nothing.
    back ? undoStack->redo() : undoStack->undo();
    showArtworkFailure(back ? tr("Undo") : tr("Redo"),
                       (back ? tr("Undo %1 was not done") : tr("Redo %1 was not done")).arg(step), reason, QString());
}
