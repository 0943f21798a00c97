#pragma once

#include "editing/MaskSnapshot.h"
#include "editing/MultiBoxCellRequest.h"
#include "model/BoxStyleRecord.h"
#include "model/MaskRecords.h"
#include "model/MultiBoxRecord.h"

#include <QMap>
#include <QRect>
#include <QString>
#include <QUndoCommand>

#include <vector>

class DashConfig;

// Adds a rows x cols multi-value box ("Insert Element" for a multi-value
// box, "Convert to multi-value box"). The first redo builds it and keeps a
// copy of the mask and its grid record; each undo takes the copy again as
// the box then stands (a cell rebound since stays rebound), and later redos
// put that copy back, so a redo points at the panel its first run drew and
// draws nothing new. Undo
// removes the mask, with the sidecar records the redo wrote under its key (a stale grid record would make a later mask of that
// name lay out as a multi-value box). A failed first redo leaves no undo
// step, so a creator that converts a box learns of it before deleting the
// original. A later redo whose grid record cannot be written leaves the box
// out and says so in DashConfig::refusedStep.
class AddMultiBoxCommand : public QUndoCommand {
public:
    // createdMask (when given) receives the new mask's index, or -1, at the
    // first redo, which runs inside the push: the stack deletes a failed
    // command there, so the creator reads its own int, never the command.
    AddMultiBoxCommand(DashConfig* config, int page, int rows, int cols, const QString& labelPlacement,
                       std::vector<MultiBoxCellRequest> cells, const QRect& rect, int* createdMask = nullptr);
    ~AddMultiBoxCommand() override;

    void undo() override;
    void redo() override;

private:
    void restoreSidecars(const QString& key);
    void replay();

    DashConfig* m_config;
    int m_page;
    int m_rows;
    int m_cols;
    QString m_labelPlacement;
    std::vector<MultiBoxCellRequest> m_cells;
    QRect m_rect;
    int m_created = -1;
    // The stores as they were before the last redo.
    QMap<QString, MultiBoxRecord> m_multiBoxesBefore;
    QMap<QString, BoxStyleRecord> m_stylesBefore;
    int* m_createdTarget;
    bool m_firstRedo = true;
    // The box as the first redo made it, then as each undo took it, with its
    // key and grid record.
    MaskSnapshot m_saved;
    int m_savedIndex = -1;
    QString m_key;
    MultiBoxRecord m_grid;
    // Bar colour and icon records a removed mask left under the box's key:
    // taken while the box exists, put back when it goes.
    MaskRecords m_stale;
};
