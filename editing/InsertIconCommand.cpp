#include "editing/InsertIconCommand.h"

#include "editing/FirstRedoResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

InsertIconCommand::InsertIconCommand(DashConfig* config, int page, const QRect& position, int* createdMask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_position(position)
    , m_createdTarget(createdMask)
{
    setText(QCoreApplication::translate("InsertIconCommand", "Insert icon"));
}

InsertIconCommand::~InsertIconCommand() = default;

void InsertIconCommand::redo()
{
    m_created = m_config ? m_config->insertIcon(m_page, m_position) : -1;
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, m_created);
}

void InsertIconCommand::undo()
{
    if (!m_config || m_created < 0)
        return;
    m_config->removeMask(m_page, m_created);
    m_created = -1;
}
