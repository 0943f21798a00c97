#include "editing/SetLabelTextCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

SetLabelTextCommand::SetLabelTextCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetLabelTextCommand", "Rename Label"));
}

bool SetLabelTextCommand::apply(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    return config.setLabelText(page, mask, widget, value);
}

bool SetLabelTextCommand::restore(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    if (!value.isEmpty())
        return config.setLabelText(page, mask, widget, value);
    // The Label had no text before the rename. A user cannot clear a text,
    // but undo must put the empty one back.
    MaskElement* m = config.maskAt(page, mask);
    if (!m || widget < 0 || widget >= static_cast<int>(m->widgets.size()))
        return false;
    WidgetModel& w = m->widgets[static_cast<size_t>(widget)];
    if (w.kind != WidgetLabel || !w.node)
        return false;
    setLabelTextParams(w.node, QString());
    w.text.clear();
    config.markPageDirty(page);
    return true;
}
