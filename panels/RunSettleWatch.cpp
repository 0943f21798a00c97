#include "panels/RunSettleWatch.h"

#include <QCoreApplication>
#include <QEvent>

#include <utility>

RunSettleWatch::RunSettleWatch(QList<QWidget*> fields, std::function<void()> settle, QObject* parent)
    : QObject(parent)
    , m_settle(std::move(settle))
{
    for (QWidget* field : fields)
        m_fields << field;
}

RunSettleWatch::~RunSettleWatch()
{
    stop();
}

void RunSettleWatch::start()
{
    if (m_watching || !QCoreApplication::instance())
        return;
    m_watching = true;
    QCoreApplication::instance()->installEventFilter(this);
}

void RunSettleWatch::stop()
{
    if (!m_watching)
        return;
    m_watching = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool RunSettleWatch::isField(QObject* object) const
{
    auto* widget = qobject_cast<QWidget*>(object);
    for (const QPointer<QWidget>& field : m_fields) {
        if (field && widget && (widget == field || field->isAncestorOf(widget)))
            return true;
    }
    return false;
}

bool RunSettleWatch::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ContextMenu:
        // Input reaches the window (a QWindow) before the widget under it or
        // with the focus: only the widget tells where it goes.
        if (!watched->isWidgetType() || isField(watched))
            break;
        [[fallthrough]];
    case QEvent::Shortcut:
        // Settling stops the watch; the gesture itself goes on.
        if (m_watching && m_settle)
            m_settle();
        break;
    default:
        break;
    }
    return false;
}
