#include "editing/MaskResize.h"

#include "editing/MoveCommand.h"
#include "model/DashConfig.h"

MoveCommand* maskResizeCommand(DashConfig* config, int page, int mask, const QRect& from, const QRect& to)
{
    const MaskElement* target = config ? config->maskAt(page, mask) : nullptr;
    if (!target)
        return nullptr;
    // Only a multi-value box has cells to lay out; anything else would
    // gain cell parameters it never had on undo.
    const bool relayout = config->hasMultiBoxRecord(page, mask);
    return new MoveCommand(target, from.x(), from.y(), from.width(), from.height(), to.x(), to.y(), to.width(),
                           to.height(), config, page, mask, relayout, true);
}
