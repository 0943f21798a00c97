#include "editing/ReplayedPageCommand.h"

#include "model/DashConfig.h"

#include <utility>

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
    // The copy is taken again from the page as it is taken away: a save in
    // between brought it to what the file holds (device codes, firmware
    // positions), and the redo must bring back that page, not the one
    // before the save, or returning to the save would not be the saved
    // document.
    PageSnapshot now;
    if (now.capture(*m_config, m_created)) {
        m_saved = std::move(now);
        m_taken = true;
    }
    m_config->removePage(m_created);
}

void ReplayedPageCommand::visitHeldXml(const HeldXmlVisitor& visit) const
{
    if (!m_done && m_taken)
        visit(m_saved.node());
}
