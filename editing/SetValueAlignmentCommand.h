#pragma once

#include "editing/WidgetPropertyCommand.h"

// Sets the value alignment (POS_ALIGN) of a widget; undo writes the old value
// back, or takes the parameter away again when the widget had none (the
// firmware then keeps its default "vc").
// The creator passes the value shown before the edit; the text is "Value alignment"
// unless the creator sets another.
class SetValueAlignmentCommand : public WidgetPropertyCommand {
public:
    SetValueAlignmentCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue);

protected:
    bool apply(DashConfig& config, int page, int mask, int widget, const QString& value) override;
    bool restore(DashConfig& config, int page, int mask, int widget, const QString& value) override;
    QString defaultValue() const override { return QStringLiteral("vc"); }

private:
    bool m_hadParam = true;
};
