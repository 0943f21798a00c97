#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// While a run of steps in the panel's geometry fields waits to settle, any
// other gesture settles it first: a press or a key anywhere but in those
// fields, a shortcut or a context menu. The watch sits on the application
// only while a run waits, and never takes the event: the gesture goes on
// after the run became its own history step, so an Undo, a Color... or a
// menu command finds the document and the history as the user sees them.
class RunSettleWatch : public QObject {
public:
    // `fields`: the widgets a run's own keys and presses go to.
    RunSettleWatch(QList<QWidget*> fields, std::function<void()> settle, QObject* parent = nullptr);
    ~RunSettleWatch() override;

    void start();
    void stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isField(QObject* object) const;

    QList<QPointer<QWidget>> m_fields;
    std::function<void()> m_settle;
    bool m_watching = false;
};
