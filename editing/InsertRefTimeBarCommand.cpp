#include "editing/InsertRefTimeBarCommand.h"

#include "editing/FirstRedoResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

InsertRefTimeBarCommand::InsertRefTimeBarCommand(DashConfig* config, int page, const QRect& position,
                                                 const QColor& slower, const QColor& faster, double rangeSeconds,
                                                 int* createdMask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_position(position)
    , m_slower(slower)
    , m_faster(faster)
    , m_range(rangeSeconds)
    , m_createdTarget(createdMask)
{
    setText(QCoreApplication::translate("InsertRefTimeBarCommand", "Insert +- Ref Time bar"));
}

InsertRefTimeBarCommand::~InsertRefTimeBarCommand() = default;

void InsertRefTimeBarCommand::redo()
{
    m_created = m_config ? m_config->insertRefTimeBar(m_page, m_position, m_slower, m_faster, m_range) : -1;
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, m_created);
}

void InsertRefTimeBarCommand::undo()
{
    if (!m_config || m_created < 0)
        return;
    m_config->removeMask(m_page, m_created);
    m_created = -1;
}
