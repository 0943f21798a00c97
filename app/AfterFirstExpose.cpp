#include "app/AfterFirstExpose.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

bool exposed(const QWidget* window)
{
    return window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

void AfterFirstExpose::run(QWidget* window, std::function<void()> step, int fallbackMs)
{
    if (!window)
        return;
    if (exposed(window) || !window->isVisible() || !window->windowHandle()) {
        QTimer::singleShot(0, window, std::move(step));
        return;
    }
    auto* waiter = new AfterFirstExpose(window, std::move(step));
    window->windowHandle()->installEventFilter(waiter);
    QTimer::singleShot(fallbackMs, waiter, [waiter] { waiter->fire(); });
}

AfterFirstExpose::AfterFirstExpose(QWidget* window, std::function<void()> step)
    : QObject(window)
    , window(window)
    , step(std::move(step))
{
}

bool AfterFirstExpose::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Expose || !window || !exposed(window))
        return QObject::eventFilter(watched, event);
    // The window paints itself for this expose first, then the step runs at
    // once. Posted, the step would wait behind the expose events the window
    // system queued while the window painted, each of which has the whole
    // window painted again before the step's own picture.
    watched->removeEventFilter(this);
    watched->event(event);
    fire();
    return true;
}

void AfterFirstExpose::fire()
{
    if (fired)
        return;
    fired = true;
    if (window && window->windowHandle())
        window->windowHandle()->removeEventFilter(this);
    if (window && step)
        step();
    deleteLater();
}
