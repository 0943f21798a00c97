#include "editing/SetValueAlignmentCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

SetValueAlignmentCommand::SetValueAlignmentCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetValueAlignmentCommand", "Value alignment"));
    const WidgetModel* w = config ? widgetOf(*config, page, mask, widget) : nullptr;
    m_hadParam = !w || !w->node || w->node.find_child_by_attribute("p", "n", "POS_ALIGN");
}

WidgetModel* SetValueAlignmentCommand::widgetOf(DashConfig& config, int page, int mask, int widget)
{
    PageModel* p = config.page(page);
    if (!p || mask < 0 || size_t(mask) >= p->masks.size())
        return nullptr;
    MaskElement& m = p->masks[size_t(mask)];
    return widget >= 0 && size_t(widget) < m.widgets.size() ? &m.widgets[size_t(widget)] : nullptr;
}

bool SetValueAlignmentCommand::restore(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    if (m_hadParam)
        return apply(config, page, mask, widget, value);
    // The widget had no alignment of its own: it goes back to having none,
    // so undo leaves the element as it was read.
    WidgetModel* w = widgetOf(config, page, mask, widget);
    if (!w || !w->node)
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
