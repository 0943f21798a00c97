#include "editing/NewPageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

NewPageCommand::NewPageCommand(DashConfig* config, const QString& name, int* createdPage, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_name(name)
    , m_createdTarget(createdPage)
{
    setText(QCoreApplication::translate("NewPageCommand", "New page \"%1\"").arg(name));
}

NewPageCommand::~NewPageCommand() = default;

void NewPageCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        m_created = m_config ? m_config->newPage(m_name) : -1;
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

void NewPageCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removePage(m_created);
}
