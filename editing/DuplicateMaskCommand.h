#pragma once

#include "editing/ReplayedMaskCommand.h"

class DashConfig;

// Copies a mask, with everything inside it, to an offset on the same page
// ("Duplicate Mask", "Mirror box"). The first redo makes the copy and keeps
// it; later redos put that copy back, so a redo brings back the identical
// mask (same id, ORDINE and art). The copy starts with the source's box
// style, grid, bar colour and icon preview records under its own keys, so it
// can be restyled, cleaned and refreshed as the source can. A failed first
// redo, one whose records cannot be written included, leaves no undo step.
class DuplicateMaskCommand : public ReplayedMaskCommand {
public:
    // createdMask (when given) receives the copy's index, or -1, at the first
    // redo, which runs inside the push: the stack deletes a failed command
    // there, so the creator reads its own int, never the command. error
    // (when given) receives why a copy was made and taken away again.
    DuplicateMaskCommand(DashConfig* config, int page, int source, int dx, int dy, const QString& text = QString(),
                         int* createdMask = nullptr, QString* error = nullptr, QUndoCommand* parent = nullptr);
    ~DuplicateMaskCommand() override;

private:
    int build(QString* error) override;
    MaskRecords recordsFor(int created) const override;

    int m_source;
    int m_dx;
    int m_dy;
};
