#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Runs a callback once, from the event loop, after a widget has painted for
// the first time: work that the user does not wait for (the update request)
// then never holds back the first picture of the page. Deletes itself.
class AfterFirstPaint : public QObject {
public:
    static void run(QWidget* widget, std::function<void()> callback);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AfterFirstPaint(QWidget* widget, std::function<void()> callback);

    std::function<void()> m_callback;
};
