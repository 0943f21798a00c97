#include "editing/BarColorCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

BarColorCommand::BarColorCommand(DashConfig* config, int page, int mask, bool* applied)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_applied(applied)
{
    setText(QCoreApplication::translate("BarColorCommand", "Color bar"));
}

BarColorCommand::~BarColorCommand() = default;

void BarColorCommand::redo()
{
    if (!m_config)
        return;
    if (!m_taken) {
        const PageModel* pg = m_config->page(m_page);
        if (pg && m_mask >= 0 && m_mask < int(pg->masks.size())) {
            m_snapshot = m_config->barColorSnapshot(m_page, m_mask);
            m_taken = true;
        }
    }
    // The window steps back over an undo that left the bar coloured.
    if (std::exchange(m_undoRefused, false))
        return;
    // A redo points the bar back at what the first run made (and records
    // it again), unless that art is gone from the installs: then the bar is
    // coloured anew, as the first run did. One whose record cannot be
    // written leaves the bar as it was, and the next undo has nothing to do.
    if (m_afterTaken
        && !DashConfig::resolveOverlayDir(QString::fromStdString(m_after.pathRel)).isEmpty()) {
        m_result = m_config->restoreBarArtwork(m_page, m_mask, m_after);
        if (!m_result)
            m_config->refusedStep = m_config->sidecarFailure;
        return;
    }
    if (m_afterTaken) {
        m_result = colour();
        if (!m_result)
            m_config->refusedStep = m_config->sidecarFailure.isEmpty()
                ? QCoreApplication::translate("BarColorCommand", "the bar's colour could not be drawn again")
                : m_config->sidecarFailure;
        return;
    }
    // A colouring that fails has changed nothing: putting the snapshot
    // back would only rewrite the store.
    m_result = colour();
    if (m_result) {
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

bool BarColorCommand::colour()
{
    if (!m_config->applyBarColor(m_page, m_mask))
        return false;
    m_after = m_config->barColorSnapshot(m_page, m_mask);
    return true;
}

void BarColorCommand::undo()
{
    // A refused colouring changed nothing, so there is nothing to put back.
    if (!m_config || !m_taken || !m_result)
        return;
    // A record that cannot be written back leaves the bar coloured.
    m_undoRefused = !m_config->restoreBarArtwork(m_page, m_mask, m_snapshot);
    if (m_undoRefused)
        m_config->refusedStep = m_config->sidecarFailure;
}
