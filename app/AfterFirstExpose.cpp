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
    // The expose itself paints the window: the step follows it, not
    // precedes it.
    if (event->type() == QEvent::Expose && window && exposed(window))
        QTimer::singleShot(0, this, [this] { fire(); });
    return QObject::eventFilter(watched, event);
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
