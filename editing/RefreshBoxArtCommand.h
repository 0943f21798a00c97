#pragma once

#include "artwork/BoxStyleSnapshot.h"

#include <QStringList>
#include <QUndoCommand>

#include <vector>

class DashConfig;

// Refresh box artwork as a step of the history. The first redo draws every
// editor-made box again (DashConfig::repairMissingHomebrewArt, forced); a
// box whose record describes other art than its item holds is drawn into an
// item of its own, which it then points at. Undo points those boxes back at
// their items, a later redo at the new ones again; neither draws anything,
// since every item keeps the one picture it was named for. A refresh that
// pointed no box elsewhere changed no document and leaves no undo step. The
// creator's variables receive the count and the boxes left, at the first
// redo, which runs inside the push. A later step whose record cannot be
// written says so in DashConfig::refusedStep.
class RefreshBoxArtCommand : public QUndoCommand {
public:
    RefreshBoxArtCommand(DashConfig* config, int* rendered, QStringList* left, QStringList* mismatched);
    ~RefreshBoxArtCommand() override;

    void undo() override;
    void redo() override;

private:
    struct Repointed {
        int page;
        int mask;
        BoxStyleSnapshot before;
        BoxStyleSnapshot after;
    };
    void refresh();
    // Every repointed box as it was before (or after) the refresh; false,
    // with refusedStep set, when a record could not be written.
    bool restore(bool after);

    DashConfig* m_config;
    int* m_rendered;
    QStringList* m_left;
    QStringList* m_mismatched;
    std::vector<Repointed> m_repointed;
    bool m_done = false;
    bool m_undoRefused = false;
};
