#include "editing/UndoMacroGuard.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace {

// Does nothing, and is dropped by the stack as soon as it is undone.
class DroppedStep : public QUndoCommand {
public:
    void undo() override { setObsolete(true); }
};

} // namespace

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
    // side, and undo that step, which makes it obsolete and so deletes it
    // too. An obsolete command pushed as such would be dropped without the
    // stack telling its Undo and Redo actions, which then offer the dead
    // macro.
    m_stack->undo();
    m_stack->push(new DroppedStep);
    m_stack->undo();
}
