#pragma once

#include "editing/ReplayedMaskCommand.h"

#include <QRect>

class DashConfig;

// Inserts a new icon mask (the Insert Element action for an icon). The first
// redo builds it and keeps the new mask; later redos put that copy back
// without looking for the icon template again. A failed first redo leaves
// no undo step.
class InsertIconCommand : public ReplayedMaskCommand {
public:
    // createdMask (when given) receives the new mask's index, or -1, at the
    // first redo, which runs inside the push: the stack deletes a failed
    // command there, so the creator reads its own int, never the command.
    InsertIconCommand(DashConfig* config, int page, const QRect& position, int* createdMask = nullptr);
    ~InsertIconCommand() override;

private:
    int build(QString* error) override;

    QRect m_position;
};
