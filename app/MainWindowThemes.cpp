// Homebrew themes, theme packages, the online gallery and the update banner.
#include "app/MainWindow.h"

void MainWindow::newHomebrewTheme()
{
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
