#pragma once

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Renames a Label widget; undo writes the old text back.
// The creator passes the value shown before the edit; the text is "Rename Label"
// unless the creator sets another.
class SetLabelTextCommand : public QUndoCommand {
public:
    SetLabelTextCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
                        const QString& newValue);
    ~SetLabelTextCommand() override;

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
