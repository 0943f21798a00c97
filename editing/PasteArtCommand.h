#pragma once

#include "artwork/PastedArt.h"

#include <QString>
#include <QUndoCommand>

class DashConfig;

// The art step of a widget paste: brings the pictures the pasted widgets
// name beside the mask's art, or gives the mask an item folder of its own
// and points it there (PastedArt). Undo points the mask back and leaves the
// files in the installs (another window or the clipboard may draw from them);
// redo writes again only what is missing. A failed first redo
// leaves no undo step and hands the reason to `error`; the creator learns
// the outcome through `applied`, both of which must outlive the push. A
// later redo that fails leaves the mask as it was and says so in
// DashConfig::refusedStep.
class PasteArtCommand : public QUndoCommand {
public:
    PasteArtCommand(DashConfig* config, int page, int mask, const PastedArt& art, bool* applied = nullptr,
                    QString* error = nullptr, QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

private:
    bool pointMask(const QString& rel, bool present);

    DashConfig* m_config;
    int m_page;
    int m_mask;
    PastedArt m_art;
    bool* m_applied;
    QString* m_error;
    bool m_firstRedo = true;
    bool m_done = false;
    QString m_before;           // the mask's PATH_REL_AiM_MASK before the paste
    bool m_beforePresent = false;
};
