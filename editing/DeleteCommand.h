#pragma once

#include "editing/MaskSnapshot.h"
#include "model/MaskRecords.h"

#include "editing/HeldXml.h"

#include <QUndoCommand>

class DashConfig;

// Deletes one mask; undo puts a copy of it back at its old place, with the
// records it had (a save in between drops them from the stores). An undo
// whose records cannot be written leaves the mask deleted and says so in
// DashConfig::refusedStep; the redo the window then takes does nothing.
class DeleteCommand : public QUndoCommand, public HeldXml {
public:
    DeleteCommand(DashConfig* config, int page, int mask, QUndoCommand* parent = nullptr);
    ~DeleteCommand() override;

    void undo() override;
    void redo() override;
    // The deleted mask while it is gone.
    void visitHeldXml(const HeldXmlVisitor& visit) const override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    MaskSnapshot m_saved; // record and element copy, taken at each redo, as the mask goes
    MaskRecords m_records; // taken at the first redo
    bool m_exists = false;
    bool m_firstRedo = true;
    bool m_done = false;
    bool m_undoRefused = false;
};
