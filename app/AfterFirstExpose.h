#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// Runs a step once a shown window is on screen and painted. The window
// system maps and exposes a window some time after show(); a long step
// started before that (an open that draws a configuration's art again can
// take seconds) leaves the window black the while, and nothing it paints
// to say what it is doing reaches the screen. A window that is never
// exposed (started minimised, say) still gets the step after `fallbackMs`.
class AfterFirstExpose : public QObject {
public:
    // The window is the step's context: a window gone first drops it.
    static void run(QWidget* window, std::function<void()> step, int fallbackMs = 3000);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AfterFirstExpose(QWidget* window, std::function<void()> step);
    void fire();

    QPointer<QWidget> window;
    std::function<void()> step;
    bool fired = false;
};
