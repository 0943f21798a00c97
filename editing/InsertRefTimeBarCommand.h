#pragma once

#include "editing/ReplayedMaskCommand.h"

#include <QColor>
#include <QRect>

class DashConfig;

// Inserts AiM's "+- Ref Time" delta bar, copied from the stock item of the
// page's layout. The first redo copies it and keeps the new mask; later
// redos put that copy back without reading the stock item again. A failed
// first redo (no stock item) leaves no undo step.
class InsertRefTimeBarCommand : public ReplayedMaskCommand {
public:
    // createdMask (when given) receives the new mask's index, or -1, at the
    // first redo, which runs inside the push.
    InsertRefTimeBarCommand(DashConfig* config, int page, const QRect& position, const QColor& slower,
                            const QColor& faster, double rangeSeconds, int* createdMask = nullptr);
    ~InsertRefTimeBarCommand() override;

private:
    int build(QString* error) override;

    QRect m_position;
    QColor m_slower;
    QColor m_faster;
    double m_range;
};
