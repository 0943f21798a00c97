#pragma once

#include "artwork/BarColorSnapshot.h"

#include <QUndoCommand>

class DashConfig;

// Turns a bargraph's stock art into a green-amber-red bar. The first redo
// keeps the mask's art parameters, bar geometry and sidecar record; undo puts
// them back (the recoloured files stay on disk for the next redo).
// The creator reads result() right after the push.
class BarColorCommand : public QUndoCommand {
public:
    BarColorCommand(DashConfig* config, int page, int mask);
    ~BarColorCommand() override;

    void undo() override;
    void redo() override;

    bool result() const { return m_result; }

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    bool m_taken = false;
    bool m_result = false;
    BarColorSnapshot m_snapshot;
};
