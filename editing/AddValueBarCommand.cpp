#include "editing/AddValueBarCommand.h"

#include "editing/FirstRedoResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

AddValueBarCommand::AddValueBarCommand(DashConfig* config, int page, int mask, const QColor& colour, double minimum,
                                       double maximum, int* createdWidget)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_colour(colour)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_createdTarget(createdWidget)
{
    setText(QCoreApplication::translate("AddValueBarCommand", "Add value bar"));
}

AddValueBarCommand::~AddValueBarCommand() = default;

void AddValueBarCommand::redo()
{
    m_created = m_config ? m_config->addValueBar(m_page, m_mask, m_colour, m_minimum, m_maximum) : -1;
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, m_created);
}

void AddValueBarCommand::undo()
{
    if (!m_config || m_created < 0)
        return;
    m_config->removeWidget(m_page, m_mask, m_created);
    m_created = -1;
}
