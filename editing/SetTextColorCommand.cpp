#include "editing/SetTextColorCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

SetTextColorCommand::SetTextColorCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetTextColorCommand", "Text colour"));
}

bool SetTextColorCommand::apply(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    return config.setTextColour(page, mask, widget, value);
}
