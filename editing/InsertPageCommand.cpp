#include "editing/InsertPageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QFileInfo>

InsertPageCommand::InsertPageCommand(DashConfig* config, const QString& folder, const QString& name,
                                     const QString& relFolder, int* createdPage, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_folder(folder)
    , m_name(name)
    , m_relFolder(relFolder)
    , m_createdTarget(createdPage)
{
    setText(QCoreApplication::translate("InsertPageCommand", "Add page from template \"%1\"")
                .arg(QFileInfo(folder).fileName()));
}

InsertPageCommand::~InsertPageCommand() = default;

void InsertPageCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        m_created = m_config ? m_config->insertPage(m_folder, m_name, m_relFolder) : -1;
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

void InsertPageCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removePage(m_created);
}
