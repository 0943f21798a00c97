#pragma once

#include <QColor>
#include <QRect>
#include <QUndoCommand>

class DashConfig;

// Inserts AiM's "+- Ref Time" delta bar, copied from the stock item of the
// page's layout. Every redo copies it afresh; undo removes the one the last
// redo built. A failed first redo (no stock item) leaves no undo step.
class InsertRefTimeBarCommand : public QUndoCommand {
public:
    // createdMask (when given) receives the new mask's index, or -1, at the
    // first redo, which runs inside the push.
    InsertRefTimeBarCommand(DashConfig* config, int page, const QRect& position, const QColor& slower,
                            const QColor& faster, double rangeSeconds, int* createdMask = nullptr);
    ~InsertRefTimeBarCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    QRect m_position;
    QColor m_slower;
    QColor m_faster;
    double m_range;
    int m_created = -1;
    int* m_createdTarget;
    bool m_firstRedo = true;
};
