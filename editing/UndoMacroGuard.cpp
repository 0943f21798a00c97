#include "editing/UndoMacroGuard.h"

#include <QUndoCommand>
#include <QUndoStack>

UndoMacroGuard::UndoMacroGuard(QUndoStack* stack, const QString& text)
    : m_stack(stack)
{
    m_stack->beginMacro(text);
}

UndoMacroGuard::~UndoMacroGuard()
{
    m_stack->endMacro();
    if (!m_discard)
        return;
    // QUndoStack cannot drop a closed macro directly: undo it, then push a
    // step that does nothing, which deletes the undone macro from the redo
    // side, and undo that step once it is obsolete, which deletes it too.
    // An obsolete command pushed as such would be dropped without the stack
    // telling its Undo and Redo actions, which then offer the dead macro.
    m_stack->undo();
    auto* drop = new QUndoCommand;
    m_stack->push(drop);
    drop->setObsolete(true);
    m_stack->undo();
}
