#include "editing/SetValueAlignmentCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

SetValueAlignmentCommand::SetValueAlignmentCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetValueAlignmentCommand", "Value alignment"));
}

bool SetValueAlignmentCommand::apply(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    return config.setValueAlignment(page, mask, widget, value);
}
