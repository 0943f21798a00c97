// The update banner, the start-up update check and the download.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "window/AfterFirstPaint.h"

#include "dialogs/PreferencesDialog.h"
#include "updates/UpdateBanner.h"
#include "updates/UpdateChecker.h"
#include "updates/UpdateDownloadDialog.h"
#include "panels/Asker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QVBoxLayout>

void MainWindow::placeUpdateBanner(QVBoxLayout* layout)
{
    updateBanner = new UpdateBanner(this);
    layout->addWidget(updateBanner, 0);
}

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
    connect(updateBanner, &UpdateBanner::updateRequested, this, &MainWindow::onUpdateRequested);
    // Once the page has been painted, so the window is shown before the
    // request goes out and setting up the secure connection (plugins,
    // certificates, threads) does not delay the first picture.
    AfterFirstPaint::run(canvas, [checker = QPointer<UpdateChecker>(updateChecker)] {
        if (checker)
            checker->check();
    });
}

void MainWindow::onUpdateAvailable(const UpdateManifest& manifest)
{
    if (UpdateChecker::isNewer(manifest, QCoreApplication::applicationVersion()))
        updateBanner->setManifest(manifest);
}

void MainWindow::onUpdateRequested(const UpdateManifest& manifest)
{
    // The path the swap at the next start will use, not argv[0].
    const QString exe = updateSeams.executablePath(QCoreApplication::applicationFilePath());
    UpdateDownloadDialog dialog(manifest, exe, this);
    dialog.setSeams(updateSeams);
    dialog.start();
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    // Through close, so unsaved changes are asked about and the geometry
    // is kept; a cancelled close leaves ".new" for the next start.
    close();
}
