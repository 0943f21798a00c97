// Homebrew themes, theme packages, the online gallery and the update banner.
#include "app/MainWindow.h"

#include "app/NewHomebrewThemeDialog.h"
#include "panels/Asker.h"

#include <QStatusBar>

void MainWindow::newHomebrewTheme()
{
    NewHomebrewThemeDialog dialog(this);
    if (Asker::instance().exec(&dialog) == QDialog::Accepted)
        statusBar()->showMessage(tr("Homebrew theme created"), 3000);
}

void MainWindow::showExportTheme()
{
}

void MainWindow::openThemeBundle()
{
}

void MainWindow::saveTheme()
{
}

void MainWindow::openOnlineThemes()
{
}

void MainWindow::installThemeFromGallery(const QString&, const QString&)
{
}

void MainWindow::onUpdateAvailable(const UpdateManifest&)
{
}

void MainWindow::onUpdateRequested(const UpdateManifest&)
{
}
