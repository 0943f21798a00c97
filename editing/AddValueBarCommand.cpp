#include "editing/AddValueBarCommand.h"

#include "editing/FirstRedoResult.h"
#include "editing/WidgetDeleteCommand.h"
#include "model/DashConfig.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

AddValueBarCommand::AddValueBarCommand(DashConfig* config, int page, int mask, const QColor& colour, double minimum,
                                       double maximum, int* createdWidget, int digitWidget)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_colour(colour)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_digit(digitWidget)
    , m_createdTarget(createdWidget)
{
    setText(QCoreApplication::translate("AddValueBarCommand", "Add value bar"));
}

AddValueBarCommand::~AddValueBarCommand() = default;

// The kept bar names its channel element by id: one that a save dropped
// meanwhile would leave it showing nothing.
bool AddValueBarCommand::keptBarFits() const
{
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    return m_removal && mask && (m_keptRef.isEmpty() || axisIdsOf(mask->node).contains(m_keptRef));
}

void AddValueBarCommand::redo()
{
    if (keptBarFits()) {
        m_removal->undo();
    } else {
        m_created = m_config ? m_config->addValueBar(m_page, m_mask, m_colour, m_minimum, m_maximum, m_digit) : -1;
    }
    m_removal.reset();
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, m_created);
}

void AddValueBarCommand::undo()
{
    const WidgetModel* bar = m_config ? m_config->widgetAt(m_page, m_mask, m_created) : nullptr;
    if (!bar)
        return;
    m_keptRef = QString::fromUtf8(paramValue(bar->node, "AXIS_REF").trimmed());
    m_removal = std::make_unique<WidgetDeleteCommand>(m_config, m_page, m_mask, m_created);
    m_removal->redo();
}
