#include "dialogs/FileCountProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <climits>

namespace {

struct Timing {
    int showAfter = 400;
    int repaintEvery = 50;
};

Timing& timing()
{
    static Timing milliseconds;
    return milliseconds;
}

} // namespace

FileCountProgress::FileCountProgress(QWidget* parent, const QString& title, const QString& labelText,
                                     int showAfter)
    : m_dialog(new QProgressDialog(parent)), m_labelText(labelText), m_showAfter(showAfter)
{
    m_dialog->setWindowTitle(title);
    m_dialog->setCancelButton(nullptr);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setRange(0, 0);
    // Shown by setCount, never by the dialog's own estimate.
    m_dialog->setMinimumDuration(INT_MAX);
    m_dialog->reset();
    m_dialog->hide();
    m_started.start();
}

FileCountProgress::~FileCountProgress()
{
    delete m_dialog.data();
}

void FileCountProgress::setTimingForTesting(int showAfter, int repaintEvery)
{
    timing() = {showAfter, repaintEvery};
}

void FileCountProgress::setCount(int done, int total)
{
    if (!m_dialog || m_started.elapsed() < (m_showAfter < 0 ? timing().showAfter : m_showAfter))
        return;
    const bool shown = m_dialog->isVisible();
    const bool last = total > 0 && done >= total;
    if (shown && !last && m_sinceRepaint.elapsed() < timing().repaintEvery)
        return;
    if (m_dialog->maximum() != total)
        m_dialog->setRange(0, total);
    m_dialog->setValue(total > 0 ? done : 0);
    m_dialog->setLabelText(m_labelText.arg(done).arg(total));
    if (!shown)
        m_dialog->show();
    // With Cancel, the dialog is modal: a click can reach only it.
    QCoreApplication::processEvents(m_cancellable ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    m_sinceRepaint.start();
}

void FileCountProgress::allowCancel()
{
    if (!m_dialog)
        return;
    m_cancellable = true;
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setCancelButtonText(QProgressDialog::tr("Cancel"));
}

bool FileCountProgress::cancelled() const
{
    return m_cancellable && (!m_dialog || m_dialog->wasCanceled());
}

std::function<bool(int, int)> FileCountProgress::cancellableCallback()
{
    return [this](int done, int total) {
        setCount(done, total);
        return !cancelled();
    };
}

std::function<void(int, int)> FileCountProgress::callback()
{
    return [this](int done, int total) { setCount(done, total); };
}
