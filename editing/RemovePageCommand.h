#pragma once

#include "editing/PageSnapshot.h"

#include <QUndoCommand>

class DashConfig;

// Deletes one page; undo puts a copy of it back at its old place.
class RemovePageCommand : public QUndoCommand {
public:
    RemovePageCommand(DashConfig* config, int page, QUndoCommand* parent = nullptr);
    ~RemovePageCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    PageSnapshot m_saved; // taken at the first redo
    bool m_taken = false;
    bool m_firstRedo = true;
    bool m_done = false;
};
