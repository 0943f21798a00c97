#pragma once

#include "artwork/BoxStyleSnapshot.h"

#include <QString>
#include <QUndoCommand>
#include <QtGlobal>

class DashConfig;

// Draws a box style behind a Digit mask (or redraws a multi-value box's
// panel); the "clean" style removes the box. The first redo keeps the mask's
// art parameters and its box-style record before and after it; undo and
// later redos put one or the other back, so a redo points at the item its
// first run drew and draws nothing new. The creator reads result() right
// after the push. A failed redo puts back what it partly wrote; a failed
// first redo marks the command obsolete, so the stack drops it. The creator
// learns the outcome through `applied`, which must outlive the push. A later
// undo or redo whose record cannot be written leaves the box as it was and
// says so in DashConfig::refusedStep; the step the window then takes back
// does nothing.
class BoxStyleCommand : public QUndoCommand {
public:
    BoxStyleCommand(DashConfig* config, int page, int mask, const QString& styleId, quint32 accentArgb,
        bool showDividers, int borderPx, const QString& caption, quint32 captionArgb, bool* applied = nullptr);
    ~BoxStyleCommand() override;

    void undo() override;
    void redo() override;

    bool result() const { return m_result; }

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    QString m_styleId;
    quint32 m_accentArgb;
    bool m_showDividers;
    int m_borderPx;
    QString m_caption;
    quint32 m_captionArgb;
    bool* m_applied;
    bool m_taken = false;
    bool m_result = false;
    BoxStyleSnapshot m_snapshot;
    BoxStyleSnapshot m_after; // taken after the first successful redo
    bool m_afterTaken = false;
    bool m_undoRefused = false;
};
