#include "window/AfterFirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

AfterFirstPaint::AfterFirstPaint(QWidget* widget, std::function<void()> callback)
    : QObject(widget)
    , m_callback(std::move(callback))
{
    widget->installEventFilter(this);
}

void AfterFirstPaint::run(QWidget* widget, std::function<void()> callback)
{
    new AfterFirstPaint(widget, std::move(callback));
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint)
        return QObject::eventFilter(watched, event);
    watched->removeEventFilter(this);
    // Posted, so the paint this filter saw reaches the screen first.
    QTimer::singleShot(0, parent(), m_callback);
    deleteLater();
    return false;
}
