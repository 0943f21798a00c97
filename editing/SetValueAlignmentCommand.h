#pragma once

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Sets the value alignment (POS_ALIGN) of a widget; undo writes the old value
// back, or the firmware default "vc" when the widget had none.
// The creator passes the value shown before the edit; the text is "Value alignment"
// unless the creator sets another.
class SetValueAlignmentCommand : public QUndoCommand {
public:
    SetValueAlignmentCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
                             const QString& newValue);
    ~SetValueAlignmentCommand() override;

    void undo() override;
    void redo() override;

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
