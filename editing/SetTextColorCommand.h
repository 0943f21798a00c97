#pragma once

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Sets the text colour (COLORE, "0xAARRGGBB") of a Digit or Label widget; undo writes
// the old colour back, or opaque white when the widget had none.
// The creator passes the value shown before the edit; the text is "Text colour"
// unless the creator sets another.
class SetTextColorCommand : public QUndoCommand {
public:
    SetTextColorCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
                        const QString& newValue);
    ~SetTextColorCommand() override;

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
