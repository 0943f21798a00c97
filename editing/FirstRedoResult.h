#pragma once

#include <QUndoCommand>

// The end of a re-run command's redo: the first redo, which runs inside the
// push, hands the created index to the creator's own variable (the stack
// deletes a failed command there, so the creator never reads the command)
// and marks a failed command obsolete, so it leaves no undo step. Later
// redos hand nothing on.
inline void handFirstRedoResult(QUndoCommand& command, bool& firstRedo, int*& target, int created)
{
    if (!firstRedo)
        return;
    firstRedo = false;
    if (target)
        *target = created;
    target = nullptr;
    if (created < 0)
        command.setObsolete(true);
}
