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
    // QUndoStack cannot drop a closed macro directly: undo it, then push an
    // obsolete command, which deletes the undone macro from the redo side
    // and is itself dropped without running.
    m_stack->undo();
    auto* drop = new QUndoCommand;
    drop->setObsolete(true);
    m_stack->push(drop);
}
