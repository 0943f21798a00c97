// Undo and Redo through the window: a step whose command could not write a
// record it needs leaves the document as it was, and the history is stepped
// back over it so that the two agree. After a command from a menu or a
// panel button the keys go back to the document, so the Undo key reaches it.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
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
    // A run of steps in the panel's fields is a step of its own, before
    // this one: Undo takes back exactly the steps.
    propertyPanel->settleGeometry();
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

void MainWindow::rememberDocumentView(QWidget*, QWidget* now)
{
    if (!now)
        return;
    if (now == canvas || canvas->isAncestorOf(now))
        documentView = canvas;
    else if (now == elementList || elementList->isAncestorOf(now))
        documentView = elementList;
}

void MainWindow::returnFocusToDocument()
{
    QWidget* now = QApplication::focusWidget();
    // A window of its own (a dialog still open) keeps its keys.
    if (now && now->window() != window())
        return;
    if (now && (now == canvas || canvas->isAncestorOf(now) || now == elementList || elementList->isAncestorOf(now)))
        return;
    QWidget* view = documentView ? documentView.data() : canvas;
    if (view->isVisible() && view->isEnabled())
        view->setFocus(Qt::OtherFocusReason);
}

void MainWindow::connectFocusReturn()
{
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::rememberDocumentView);
    // Menu entries chosen with the mouse or the menu keys; a shortcut runs
    // its action where the keys already are.
    connect(menuBar(), &QMenuBar::triggered, this, &MainWindow::returnFocusToDocument);
    for (QToolBar* bar : findChildren<QToolBar*>())
        connect(bar, &QToolBar::actionTriggered, this, &MainWindow::returnFocusToDocument);
    // After the panel's own handler: its request has run by then.
    for (QAbstractButton* button : propertyPanel->findChildren<QAbstractButton*>())
        connect(button, &QAbstractButton::clicked, this, &MainWindow::returnFocusToDocument);
}
