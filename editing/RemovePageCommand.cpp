#include "editing/RemovePageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

RemovePageCommand::RemovePageCommand(DashConfig* config, int page, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
{
    setText(QCoreApplication::translate("RemovePageCommand", "Delete page %1").arg(page + 1));
}

RemovePageCommand::~RemovePageCommand() = default;

void RemovePageCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = false;
    // A page without its element could not be put back: leave it alone.
    if (m_config && !m_taken)
        m_taken = m_saved.capture(*m_config, m_page);
    if (m_config && m_taken)
        m_done = m_config->removePage(m_page);
    if (first && !m_done)
        setObsolete(true);
}

void RemovePageCommand::undo()
{
    if (!m_config || !m_taken || !m_done)
        return;
    m_done = false;
    pugi::xml_node out;
    m_config->insertPageNodeCopy(m_page, m_saved.record, m_saved.node(), out);
}
