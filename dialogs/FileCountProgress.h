#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

// The progress of a long file operation that runs on the GUI thread (a
// bundle install or export, the search of RaceStudio 3's configurations):
// a dialog counting files done of the total,
// shown once the work has taken a moment (a quick one flashes nothing), that
// repaints itself and the window while the work goes on. Clicks and keys
// wait until it ends, so nothing can start in the middle; there is no Cancel
// (a half-written install is not something to stop), except for work that
// only looks (a search), which may offer one.
class FileCountProgress {
public:
    // labelText takes %1 (files done) and %2 (the total). showAfter: how
    // long, in ms, the work runs before the dialog shows; -1 for the usual.
    FileCountProgress(QWidget* parent, const QString& title, const QString& labelText, int showAfter = -1);
    ~FileCountProgress();
    FileCountProgress(const FileCountProgress&) = delete;
    FileCountProgress& operator=(const FileCountProgress&) = delete;

    // Sets the count; the window repaints at most every 50 ms, and at the
    // last file. A total of 0 shows a busy bar.
    void setCount(int done, int total);
    // setCount, for the gallery's progress callbacks.
    std::function<void(int, int)> callback();
    // Offers Cancel: the dialog then holds the other windows' clicks and
    // keys itself, and cancelled() tells whether it was pressed.
    void allowCancel();
    bool cancelled() const;
    // setCount, answering false once Cancel was pressed.
    std::function<bool(int, int)> cancellableCallback();

    // How long the work runs before the dialog shows (usually 400 ms) and how often
    // it repaints after that (50 ms), for tests: 0 and 0 show every count.
    static void setTimingForTesting(int showAfter, int repaintEvery);

private:
    QPointer<QProgressDialog> m_dialog;
    QString m_labelText;
    int m_showAfter;
    bool m_cancellable = false;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceRepaint;
};
