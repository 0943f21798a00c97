#pragma once

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Base of the commands that set one text property of a widget: redo writes
// the new value, undo the value shown before the edit (or the property's
// default when the widget had none). A first redo that the setter refuses
// (bad indices, wrong widget kind, empty value) makes the command obsolete,
// so no undo step is left behind.
class WidgetPropertyCommand : public QUndoCommand {
public:
    void undo() override;
    void redo() override;

protected:
    WidgetPropertyCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
                          const QString& newValue);

    // Writes value through the model's setter; false when it was refused.
    virtual bool apply(DashConfig& config, int page, int mask, int widget, const QString& value) = 0;
    // Writes the value undo puts back; the setter by default.
    virtual bool restore(DashConfig& config, int page, int mask, int widget, const QString& value)
    {
        return apply(config, page, mask, widget, value);
    }
    // What undo writes when the widget had no value before the edit.
    virtual QString defaultValue() const { return QString(); }

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    int m_widget;
    QString m_old;
    QString m_new;
    bool m_firstRedo = true;
    bool m_done = false;
};
