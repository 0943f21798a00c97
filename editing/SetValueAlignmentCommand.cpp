#include "editing/SetValueAlignmentCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

SetValueAlignmentCommand::SetValueAlignmentCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetValueAlignmentCommand", "Value alignment"));
    const WidgetModel* w = config ? config->widgetAt(page, mask, widget) : nullptr;
    m_hadParam = !w || w->node.find_child_by_attribute("p", "n", "POS_ALIGN");
}

bool SetValueAlignmentCommand::restore(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    if (m_hadParam)
        return apply(config, page, mask, widget, value);
    // The widget had no alignment of its own: it goes back to having none,
    // so undo leaves the element as it was read.
    WidgetModel* w = config.widgetAt(page, mask, widget);
    if (!w)
        return false;
    removeParams(w->node, "POS_ALIGN");
    w->posAlign.clear();
    config.markPageDirty(page);
    return true;
}

bool SetValueAlignmentCommand::apply(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    return config.setValueAlignment(page, mask, widget, value);
}
