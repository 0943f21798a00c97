#include "editing/HeldXml.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace {

void visitCommand(const QUndoCommand* command, const HeldXmlVisitor& visit)
{
    if (!command)
        return;
    if (const auto* held = dynamic_cast<const HeldXml*>(command))
        held->visitHeldXml(visit);
    for (int i = 0; i < command->childCount(); ++i)
        visitCommand(command->child(i), visit);
}

} // namespace

void visitHeldXml(const QUndoStack& stack, const HeldXmlVisitor& visit)
{
    for (int i = 0; i < stack.count(); ++i)
        visitCommand(stack.command(i), visit);
}
