#include "editing/SetLabelTextCommand.h"

#include "model/DashConfig.h"

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
