#include "editing/DuplicateMaskCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

DuplicateMaskCommand::DuplicateMaskCommand(DashConfig* config, int page, int source, int dx, int dy,
                                           const QString& text, int* createdMask, QString* error,
                                           QUndoCommand* parent)
    : ReplayedMaskCommand(config, page, createdMask, error, parent)
    , m_source(source)
    , m_dx(dx)
    , m_dy(dy)
{
    setText(text.isEmpty() ? QCoreApplication::translate("DuplicateMaskCommand", "Duplicate mask") : text);
}

DuplicateMaskCommand::~DuplicateMaskCommand() = default;

int DuplicateMaskCommand::build(QString*)
{
    MaskElement out;
    return m_config->duplicateMask(m_page, m_source, m_dx, m_dy, out);
}

MaskRecords DuplicateMaskCommand::recordsFor(int created) const
{
    MaskRecords own = m_config->maskRecords(m_page, created);
    const MaskRecords source = m_config->maskRecords(m_page, m_source);
    own.bar = source.bar;
    own.style = source.style;
    own.grid = source.grid;
    own.icon = source.icon;
    return own;
}
