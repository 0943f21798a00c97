// The start-up update check.
#include "app/MainWindow.h"

#include "app/PreferencesDialog.h"
#include "app/UpdateChecker.h"

#include <QCoreApplication>
#include <QTimer>

void MainWindow::startUpdateCheck()
{
    // With the setting off no checker exists for the whole run.
    if (!checkUpdatesOnStartup())
        return;
    QString base = QString::fromLocal8Bit(qgetenv("KORVELANTO_UPDATE_URL"));
    if (base.isEmpty())
        base = UpdateChecker::builtInBaseUrl();
    updateChecker = new UpdateChecker(base, QCoreApplication::applicationVersion(),
                                      UpdateChecker::builtInPublicKey(), this);
    connect(updateChecker, &UpdateChecker::updateAvailable, this, &MainWindow::onUpdateAvailable);
    // After the constructor, so the window is shown before the request goes out.
    QTimer::singleShot(0, updateChecker, &UpdateChecker::check);
}
