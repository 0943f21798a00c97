#include "editing/ReplayedMaskCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QDebug>

#include <utility>

ReplayedMaskCommand::ReplayedMaskCommand(DashConfig* config, int page, int* createdMask, QString* errorTarget,
                                         QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_createdTarget(createdMask)
    , m_errorTarget(errorTarget)
{
}

ReplayedMaskCommand::~ReplayedMaskCommand() = default;

void ReplayedMaskCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        QString error;
        m_created = m_config ? build(&error) : -1;
        m_done = m_created >= 0;
        if (m_done) {
            // The live record, read after the operation: the copy must hold
            // the mask exactly as the page now has it.
            m_saved = MaskSnapshot::of(m_config->page(m_page)->masks[static_cast<size_t>(m_created)]);
            m_taken = !m_saved.isEmpty();
            m_stale = m_config->maskRecords(m_page, m_created);
            m_own = recordsFor(m_created);
            error.clear();
            if (!takeRecords()) {
                error = QCoreApplication::translate("ReplayedMaskCommand",
                                                    "its records could not be written, so nothing was added: %1")
                            .arg(m_config->sidecarFailure);
                m_done = false;
                m_created = -1;
            }
        }
        if (m_errorTarget)
            *m_errorTarget = error;
        if (m_createdTarget)
            *m_createdTarget = m_created;
        m_errorTarget = nullptr;
        m_createdTarget = nullptr;
        if (!m_done)
            setObsolete(true);
        return;
    }
    if (!m_config || !m_taken || m_done)
        return;
    pugi::xml_node out;
    m_done = m_config->insertMaskNodeCopy(m_page, m_created, m_saved.record, m_saved.node(),
                                          m_config->maskInsertAnchor(m_page, m_created), out);
    if (m_done && !takeRecords()) {
        m_done = false;
        m_config->refusedStep = m_config->sidecarFailure;
    }
}

bool ReplayedMaskCommand::takeRecords()
{
    m_config->sidecarFailure.clear();
    if (m_config->dropMaskRecords(m_stale) && m_config->restoreMaskRecords(m_own))
        return true;
    // A store that cannot be written takes nothing: the others are put back
    // as they were and the mask goes again, so no mask stands without the
    // records it was made with.
    const QString why = std::exchange(m_config->sidecarFailure, QString());
    m_config->dropMaskRecords(m_own);
    m_config->restoreMaskRecords(m_stale);
    m_config->removeMask(m_page, m_created);
    m_config->sidecarFailure = why;
    return false;
}

void ReplayedMaskCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    // The copy is taken again from the mask as it is taken away: a save in
    // between brought it to what the file holds, and returning to the save
    // must bring back that mask.
    const PageModel* page = m_config->page(m_page);
    if (page && m_created >= 0 && size_t(m_created) < page->masks.size()) {
        MaskSnapshot now = MaskSnapshot::of(page->masks[size_t(m_created)]);
        if (!now.isEmpty()) {
            m_saved = std::move(now);
            m_taken = true;
        }
    }
    m_config->sidecarFailure.clear();
    if (!m_config->dropMaskRecords(m_own)) {
        // Its records stay with it, and so does the mask.
        m_done = true;
        m_config->restoreMaskRecords(m_own);
        m_config->refusedStep = m_config->sidecarFailure;
        return;
    }
    if (m_config->removeMask(m_page, m_created) && !m_config->restoreMaskRecords(m_stale))
        qWarning().noquote() << "ReplayedMaskCommand: records left by an earlier mask were not put back:"
                             << m_config->sidecarFailure;
}

MaskRecords ReplayedMaskCommand::recordsFor(int) const
{
    return {};
}
