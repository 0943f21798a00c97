#include "dialogs/FileCountProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

FileCountProgress::FileCountProgress(QWidget* parent, const QString& title, const QString& labelText)
    : m_dialog(new QProgressDialog(parent)), m_labelText(labelText)
{
    m_dialog->setWindowTitle(title);
    m_dialog->setCancelButton(nullptr);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setRange(0, 0);
    m_dialog->setLabelText(labelText.arg(0).arg(0));
    m_dialog->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceRepaint.start();
}

FileCountProgress::~FileCountProgress()
{
    delete m_dialog.data();
}

void FileCountProgress::setCount(int done, int total)
{
    if (!m_dialog)
        return;
    const bool last = total > 0 && done >= total;
    if (!last && m_sinceRepaint.elapsed() < 50)
        return;
    if (m_dialog->maximum() != total)
        m_dialog->setRange(0, total);
    m_dialog->setValue(total > 0 ? done : 0);
    m_dialog->setLabelText(m_labelText.arg(done).arg(total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceRepaint.restart();
}

std::function<void(int, int)> FileCountProgress::callback()
{
    return [this](int done, int total) { setCount(done, total); };
}
