#pragma once

#include "editing/MaskSnapshot.h"
#include "model/MaskRecords.h"

#include "editing/HeldXml.h"

#include <QUndoCommand>
#include <vector>

class DashConfig;

// Removes every mask of a page; undo puts them all back in their order, with
// their records. An undo whose records cannot be written leaves the page
// cleared and says so in DashConfig::refusedStep; the redo the window then
// takes does nothing.
class ClearPageCommand : public QUndoCommand, public HeldXml {
public:
    ClearPageCommand(DashConfig* config, int page, QUndoCommand* parent = nullptr);
    ~ClearPageCommand() override;

    void undo() override;
    void redo() override;
    // The removed masks while the page is cleared.
    void visitHeldXml(const HeldXmlVisitor& visit) const override;

private:
    DashConfig* m_config;
    int m_page;
    std::vector<MaskSnapshot> m_masks; // one per mask in list order, taken at each redo
    std::vector<MaskRecords> m_records; // the same masks' records, taken at the first redo
    bool m_firstRedo = true;
    bool m_done = false;
    bool m_undoRefused = false;
};
