#pragma once

#include "editing/MaskSnapshot.h"

#include <QUndoCommand>

class DashConfig;

// Deletes one mask; undo puts a copy of it back at its old place.
class DeleteCommand : public QUndoCommand {
public:
    DeleteCommand(DashConfig* config, int page, int mask, QUndoCommand* parent = nullptr);
    ~DeleteCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    MaskSnapshot m_saved; // record and element copy, taken at construction
    bool m_exists = false;
    bool m_firstRedo = true;
    bool m_done = false;
};
