#pragma once

#include <QList>
#include <QPair>
#include <QUndoCommand>
#include <string>
#include <vector>

class DashConfig;
struct MaskElement;
struct WidgetModel;

// The undo step of one widget drag on the canvas: the widget's new position
// and size in its record and in its XPOS, YPOS, WIDTH and HEIGHT, and for a
// resized bar the corner points of its artwork scaled with it.
//
// The widget is found again by page, mask and widget index each time the
// command runs, so records rebuilt by other commands in between do no harm;
// only without a configuration is the record given at construction used.
class WidgetMoveCommand : public QUndoCommand {
public:
    WidgetMoveCommand(WidgetModel* widget, const MaskElement* mask, int oldX, int oldY, int oldW, int oldH,
                      int newX, int newY, int newW, int newH, DashConfig* config, int pageIndex, int maskIndex,
                      int widgetIndex, QUndoCommand* parent = nullptr);
    ~WidgetMoveCommand() override;

    void undo() override;
    void redo() override;

private:
    struct ParamText {
        std::string name;
        bool present = false;
        std::string text;
    };

    WidgetModel* target() const;
    void apply(bool forward);
    void captureTexts();

    WidgetModel* widget;
    int oldX, oldY, oldW, oldH;
    int newX, newY, newW, newH;
    DashConfig* config;
    int pageIndex, maskIndex, widgetIndex;
    bool scalesBarPoints = false;
    QList<QPair<QByteArray, int>> xPoints;
    QList<QPair<QByteArray, int>> yPoints;
    // The parameter texts as they were before the first redo, so an undo
    // gives back "97.5" or "12,40" exactly and not a re-spelt number.
    bool textsCaptured = false;
    std::vector<ParamText> originalTexts;
    bool firstRedo = true;
};
