#pragma once

#include "editing/MaskSnapshot.h"
#include "model/MaskRecords.h"

#include <QString>
#include <QUndoCommand>

class DashConfig;

// A command that makes one new mask on a page: the first redo runs the
// operation (build) and keeps a copy of the mask as the page then holds it;
// later redos put that copy back, so a redo brings back the identical mask
// (same id, ORDINE and art) without running the operation again. Records a
// removed mask left under the new mask's keys are taken while it exists and
// put back when it goes, so the new mask never inherits them. A failed
// first redo leaves no undo step; so does one whose records cannot be
// written. A later step that cannot write them leaves the page as it was
// and says so in DashConfig::refusedStep. The created index and the failure reason
// go to variables the creator owns, written at the first redo, which runs
// inside the push: the stack deletes a failed command there.
class ReplayedMaskCommand : public QUndoCommand {
public:
    ~ReplayedMaskCommand() override;

    void undo() override;
    void redo() override;

protected:
    ReplayedMaskCommand(DashConfig* config, int page, int* createdMask, QString* errorTarget = nullptr,
                        QUndoCommand* parent = nullptr);

    // Runs the operation; the new mask's index, or -1 with *error set.
    virtual int build(QString* error) = 0;
    // The records the new mask starts with, under its keys; none by default.
    virtual MaskRecords recordsFor(int created) const;

    DashConfig* m_config;
    int m_page;

private:
    // The new mask takes its keys' records; false, with the mask taken away
    // and every store as it was, when one cannot be written.
    bool takeRecords();

    MaskSnapshot m_saved; // the new mask as first made, then as each undo took it
    MaskRecords m_stale; // what the stores held under its keys before
    MaskRecords m_own; // what it started with
    int m_created = -1;
    bool m_taken = false;
    int* m_createdTarget;
    QString* m_errorTarget;
    bool m_firstRedo = true;
    bool m_done = false;
};
