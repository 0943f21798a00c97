#pragma once

#include <QColor>
#include <QString>
#include <QUndoCommand>

#include <memory>

class DashConfig;
class WidgetDeleteCommand;

// Adds a bar under a value box's digits ("Add value bar"). Undo takes the
// bar out as it then stands (a rebind of its value changes it outside the
// history) and redo puts that bar back; a fresh bar is made only when the
// kept one names a channel element the mask no longer holds. A failed first
// redo leaves no undo step.
class AddValueBarCommand : public QUndoCommand {
public:
    // createdWidget (when given) receives the bar's widget index, or -1
    // ("Add value bar failed"), at the first redo, which runs inside the push.
    // digitWidget is the Digit the bar shows (-1: the mask's first).
    AddValueBarCommand(DashConfig* config, int page, int mask, const QColor& colour, double minimum, double maximum,
                       int* createdWidget = nullptr, int digitWidget = -1);
    ~AddValueBarCommand() override;

    void undo() override;
    void redo() override;

private:
    bool keptBarFits() const;

    DashConfig* m_config;
    int m_page;
    int m_mask;
    QColor m_colour;
    double m_minimum;
    double m_maximum;
    int m_digit;
    int m_created = -1;
    int* m_createdTarget;
    bool m_firstRedo = true;
    std::unique_ptr<WidgetDeleteCommand> m_removal; // the bar taken out by the last undo
    QString m_keptRef;                              // its channel reference
};
