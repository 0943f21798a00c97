#pragma once

#include <QRect>
#include <QUndoCommand>

class DashConfig;

// Inserts a new icon mask (the Insert Element action for an icon). Every redo
// builds a fresh one; undo removes the one the last redo built. A failed
// first redo leaves no undo step.
class InsertIconCommand : public QUndoCommand {
public:
    // createdMask (when given) receives the new mask's index, or -1, at the
    // first redo, which runs inside the push: the stack deletes a failed
    // command there, so the creator reads its own int, never the command.
    InsertIconCommand(DashConfig* config, int page, const QRect& position, int* createdMask = nullptr);
    ~InsertIconCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    QRect m_position;
    int m_created = -1;
    int* m_createdTarget;
    bool m_firstRedo = true;
};
