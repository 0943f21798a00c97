#pragma once

#include "artwork/BarColorSnapshot.h"

#include <QUndoCommand>

class DashConfig;

// Turns a bargraph's stock art into a green-amber-red bar. The first redo
// keeps the mask's art parameters, bar geometry and sidecar record before
// and after it; undo and later redos put one or the other back. The
// recoloured folders stay in the installs: a redo only colours the bar
// again when they are gone (removed outside the editor).
// A failed redo puts back what it partly wrote; a failed first redo
// marks the command obsolete, so the stack drops it. A later undo or redo
// whose record cannot be written leaves the bar as it was and says so in
// DashConfig::refusedStep; the step the window then takes back does nothing. The creator learns
// the outcome through `applied`, which must outlive the push.
class BarColorCommand : public QUndoCommand {
public:
    BarColorCommand(DashConfig* config, int page, int mask, bool* applied = nullptr);
    ~BarColorCommand() override;

    void undo() override;
    void redo() override;

    bool result() const { return m_result; }

private:
    bool colour();

    DashConfig* m_config;
    int m_page;
    int m_mask;
    bool* m_applied;
    bool m_taken = false;
    bool m_result = false;
    BarColorSnapshot m_snapshot;
    BarColorSnapshot m_after; // taken after the first successful redo
    bool m_afterTaken = false;
    bool m_undoRefused = false; // the last undo left the bar coloured
};
