#include "editing/InsertRefTimeBarCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

InsertRefTimeBarCommand::InsertRefTimeBarCommand(DashConfig* config, int page, const QRect& position,
                                                 const QColor& slower, const QColor& faster, double rangeSeconds,
                                                 int* createdMask)
    : ReplayedMaskCommand(config, page, createdMask)
    , m_position(position)
    , m_slower(slower)
    , m_faster(faster)
    , m_range(rangeSeconds)
{
    setText(QCoreApplication::translate("InsertRefTimeBarCommand", "Insert +- Ref Time bar"));
}

InsertRefTimeBarCommand::~InsertRefTimeBarCommand() = default;

int InsertRefTimeBarCommand::build(QString*)
{
    return m_config ? m_config->insertRefTimeBar(m_page, m_position, m_slower, m_faster, m_range) : -1;
}
