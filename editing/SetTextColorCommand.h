#pragma once

#include "editing/WidgetPropertyCommand.h"

// Sets the text colour (COLORE, "0xAARRGGBB") of a Digit or Label widget; undo writes
// the old colour back, or opaque white when the widget had none.
// The creator passes the value shown before the edit; the text is "Text colour"
// unless the creator sets another.
class SetTextColorCommand : public WidgetPropertyCommand {
public:
    SetTextColorCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue);

protected:
    bool apply(DashConfig& config, int page, int mask, int widget, const QString& value) override;
    QString defaultValue() const override { return QStringLiteral("0xffffffff"); }
};
