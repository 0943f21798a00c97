#pragma once

#include <QColor>
#include <QUndoCommand>

class DashConfig;

// Adds a bar under a value box's digits ("Add value bar"). Every redo adds a
// fresh bar; undo removes the one the last redo added. A failed first redo
// leaves no undo step.
class AddValueBarCommand : public QUndoCommand {
public:
    // createdWidget (when given) receives the bar's widget index, or -1
    // ("Add value bar failed"), at the first redo, which runs inside the push.
    AddValueBarCommand(DashConfig* config, int page, int mask, const QColor& colour, double minimum, double maximum,
                       int* createdWidget = nullptr);
    ~AddValueBarCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    QColor m_colour;
    double m_minimum;
    double m_maximum;
    int m_created = -1;
    int* m_createdTarget;
    bool m_firstRedo = true;
};
