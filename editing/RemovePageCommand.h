#pragma once

#include "editing/PageSnapshot.h"
#include "model/MaskRecords.h"

#include "editing/HeldXml.h"

#include <QUndoCommand>

#include <vector>

class DashConfig;

// Deletes one page; undo puts a copy of it back at its old place, with its
// masks' records (a save in between drops them from the stores). An undo
// whose records cannot be written leaves the page deleted and says so in
// DashConfig::refusedStep; the redo the window then takes does nothing.
class RemovePageCommand : public QUndoCommand, public HeldXml {
public:
    RemovePageCommand(DashConfig* config, int page, QUndoCommand* parent = nullptr);
    ~RemovePageCommand() override;

    void undo() override;
    void redo() override;
    // The deleted page while it is gone.
    void visitHeldXml(const HeldXmlVisitor& visit) const override;

private:
    DashConfig* m_config;
    int m_page;
    PageSnapshot m_saved; // taken at each redo, as the page goes
    std::vector<MaskRecords> m_records; // its masks' records, likewise
    bool m_taken = false;
    bool m_firstRedo = true;
    bool m_done = false;
    bool m_undoRefused = false;
};
