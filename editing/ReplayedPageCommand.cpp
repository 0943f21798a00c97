#include "editing/ReplayedPageCommand.h"

#include "model/DashConfig.h"

ReplayedPageCommand::ReplayedPageCommand(DashConfig* config, int* createdPage, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_createdTarget(createdPage)
{
}

ReplayedPageCommand::~ReplayedPageCommand() = default;

void ReplayedPageCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        m_created = m_config ? build() : -1;
        m_done = m_created >= 0;
        if (m_done)
            m_taken = m_saved.capture(*m_config, m_created);
        if (m_createdTarget)
            *m_createdTarget = m_created;
        m_createdTarget = nullptr;
        if (!m_done)
            setObsolete(true);
        return;
    }
    if (!m_config || !m_taken || m_done)
        return;
    pugi::xml_node out;
    m_done = m_config->insertPageNodeCopy(m_created, m_saved.record, m_saved.node(), out);
}

void ReplayedPageCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removePage(m_created);
}
