#include "editing/WidgetAddCommand.h"

#include "model/DashConfig.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

WidgetAddCommand::WidgetAddCommand(DashConfig* config, int page, int mask, int dx, int dy, pugi::xml_node widget,
                                   const QString& text, int* createdWidget, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_dx(dx)
    , m_dy(dy)
    , m_createdTarget(createdWidget)
{
    if (widget)
        m_widget.append_copy(widget);
    setText(text.isEmpty() ? QCoreApplication::translate("WidgetAddCommand", "Add widget") : text);
}

WidgetAddCommand::~WidgetAddCommand() = default;

void WidgetAddCommand::remapAxisRef(const QHash<QString, QString>& idMap)
{
    const pugi::xml_node widget = m_widget.first_child();
    if (!widget.find_child_by_attribute("p", "n", "AXIS_REF"))
        return;
    const QString ref = QString::fromUtf8(paramValue(widget, "AXIS_REF"));
    const auto it = idMap.constFind(ref);
    if (it != idMap.constEnd() && *it != ref)
        setParamStd(widget, "AXIS_REF", it->toUtf8());
}

// The kept copy names its channel element by id: one that an earlier undo
// took out of the mask would leave it showing nothing.
bool WidgetAddCommand::undoneCopyFits() const
{
    const pugi::xml_node copy = m_undone.first_child();
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (!copy || !mask)
        return false;
    const QString ref = QString::fromUtf8(paramValue(copy, "AXIS_REF").trimmed());
    return ref.isEmpty() || axisIdsOf(mask->node).contains(ref);
}

void WidgetAddCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (!m_config || !m_widget.first_child()) {
        m_created = -1;
    } else if (undoneCopyFits()) {
        m_created = m_config->insertWidget(m_page, m_mask, m_undone.first_child(), 0, 0, -1,
                                           DashConfig::WidgetIdUse::Restore);
    } else {
        m_created = m_config->insertWidget(m_page, m_mask, m_widget.first_child(), m_dx, m_dy, -1);
    }
    if (!first)
        return;
    if (m_createdTarget)
        *m_createdTarget = m_created;
    m_createdTarget = nullptr;
    if (m_created < 0)
        setObsolete(true);
}

void WidgetAddCommand::undo()
{
    if (!m_config || m_created < 0)
        return;
    m_undone.reset();
    if (const WidgetModel* copy = m_config->widgetAt(m_page, m_mask, m_created); copy && copy->node)
        m_undone.append_copy(copy->node);
    m_config->removeWidget(m_page, m_mask, m_created);
    m_created = -1;
}
