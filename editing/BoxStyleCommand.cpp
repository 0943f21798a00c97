#include "editing/BoxStyleCommand.h"

#include "artwork/BoxStyleLibrary.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

BoxStyleCommand::BoxStyleCommand(DashConfig* config, int page, int mask, const QString& styleId, quint32 accentArgb,
    bool showDividers, int borderPx, const QString& caption, quint32 captionArgb, bool* applied)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_styleId(styleId)
    , m_accentArgb(accentArgb)
    , m_showDividers(showDividers)
    , m_borderPx(borderPx)
    , m_caption(caption)
    , m_captionArgb(captionArgb)
    , m_applied(applied)
{
    setText(styleId == cleanBoxStyleId() ? QCoreApplication::translate("BoxStyleCommand", "Remove box")
                                         : QCoreApplication::translate("BoxStyleCommand", "Apply box style"));
}

BoxStyleCommand::~BoxStyleCommand() = default;

void BoxStyleCommand::redo()
{
    if (!m_config)
        return;
    if (!m_taken) {
        const PageModel* pg = m_config->page(m_page);
        if (pg && m_mask >= 0 && m_mask < int(pg->masks.size())) {
            m_snapshot = m_config->boxStyleSnapshot(m_page, m_mask);
            m_taken = true;
        }
    }
    // The window steps back over an undo that left the box as it was.
    if (std::exchange(m_undoRefused, false))
        return;
    // A redo whose record cannot be written leaves the mask as it was, and
    // the next undo has nothing to do.
    if (m_afterTaken) {
        m_config->sidecarFailure.clear();
        m_result = m_config->restoreBoxArtwork(m_page, m_mask, m_after);
        if (!m_result)
            m_config->refusedStep = m_config->sidecarFailure;
        return;
    }
    m_result = m_config->applyBoxStyle(
        m_page, m_mask, m_styleId, m_accentArgb, m_showDividers, m_borderPx, m_caption, m_captionArgb);
    if (!m_result && m_taken)
        m_config->restoreBoxArtwork(m_page, m_mask, m_snapshot);
    if (m_result) {
        m_after = m_config->boxStyleSnapshot(m_page, m_mask);
        m_afterTaken = true;
    } else {
        // Only the first run gets here (later redos put m_after back
        // above): a failed one leaves no undo step.
        setObsolete(true);
    }
    // Only the first redo runs inside the creator's push; the variable it
    // hands the outcome to is gone by any later redo.
    if (m_applied)
        *m_applied = m_result;
    m_applied = nullptr;
}

void BoxStyleCommand::undo()
{
    if (!m_config || !m_taken || !m_result)
        return;
    // A record that cannot be written back leaves the box as it is.
    m_config->sidecarFailure.clear();
    m_undoRefused = !m_config->restoreBoxArtwork(m_page, m_mask, m_snapshot);
    if (m_undoRefused)
        m_config->refusedStep = m_config->sidecarFailure;
}
