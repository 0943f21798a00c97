#pragma once

#include <QUndoCommand>
#include <QUndoStack>

#include <memory>

// Pushes a command whose first run may fail; true when it did its work.
// QUndoStack::push throws away the redo side before it runs the command, so
// a command that then fails (and removes itself as obsolete) would still
// cost the user every step they had undone. With steps on the redo side the
// command therefore runs once outside the stack first: a failure leaves the
// whole history as it was, a success is undone and pushed, which runs it
// again. `succeeded` reads the result the command handed to its creator.
template <typename Succeeded>
bool pushChecked(QUndoStack& stack, QUndoCommand* command, Succeeded succeeded)
{
    if (!stack.canRedo()) {
        stack.push(command);
        return succeeded();
    }
    std::unique_ptr<QUndoCommand> trial(command);
    trial->redo();
    if (!succeeded())
        return false;
    trial->undo();
    stack.push(trial.release());
    return true;
}
