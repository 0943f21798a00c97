#pragma once

#include "artwork/BarColorSnapshot.h"
#include "artwork/BoxStyleSnapshot.h"

#include <string>

#include <QUndoCommand>

class DashConfig;

// Puts a recoloured bar back on the stock art its stamp or its
// ".barcolor.json" record names (colouredBar), with the bar geometry the
// record keeps, and fits that art to the bar's size as a resize does. The record stays for the saved file
// that still shows the colour; the next save removes it. Without a stored
// origin nothing changes; a failed first redo marks the command obsolete, so
// the stack drops it and no Undo entry does nothing. The creator learns the
// outcome through `removed`, which must outlive the push. Undo brings the
// colour back exactly. A step whose record cannot be written leaves the bar
// as it was (a first redo fails then) and says so in DashConfig::refusedStep.
class BarColorRemoveCommand : public QUndoCommand {
public:
    BarColorRemoveCommand(DashConfig* config, int page, int mask, bool* removed = nullptr);
    ~BarColorRemoveCommand() override;

    void undo() override;
    void redo() override;

    bool result() const { return m_result; }

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    bool* m_removed;
    bool m_taken = false;
    bool m_redone = false;
    bool m_result = false;
    BarColorSnapshot m_snapshot;
    std::string m_origin; // the stock item the bar goes back to
    // The bar on its stock art before the fit to its size, for undo.
    BoxStyleSnapshot m_beforeFit;
    bool m_fitted = false;
    bool m_undoRefused = false; // the last undo left the bar stock
};
