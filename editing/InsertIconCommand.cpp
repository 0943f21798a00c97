#include "editing/InsertIconCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

InsertIconCommand::InsertIconCommand(DashConfig* config, int page, const QRect& position, int* createdMask)
    : ReplayedMaskCommand(config, page, createdMask)
    , m_position(position)
{
    setText(QCoreApplication::translate("InsertIconCommand", "Insert icon"));
}

InsertIconCommand::~InsertIconCommand() = default;

int InsertIconCommand::build(QString*)
{
    return m_config ? m_config->insertIcon(m_page, m_position) : -1;
}
