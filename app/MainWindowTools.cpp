// Bundles, the config check, the Tools and Help dialogs, the context menus
// and the stored window geometry.
#include "app/MainWindow.h"

#include "model/DeviceTables.h"
#include "panels/Asker.h"
#include "panels/ElementLibraryDialog.h"

void MainWindow::exportInstallBundle()
{
}

void MainWindow::installConfigBundle()
{
}

void MainWindow::showCheckConfig()
{
}

void MainWindow::repairConfigValues()
{
}

void MainWindow::onSendCheckReportToSupport(const QString&)
{
}

void MainWindow::refreshBoxArtwork()
{
}

void MainWindow::generateInvisibleChrome()
{
}

void MainWindow::showElementLibrary()
{
    const PageModel* page = config.page(currentPage);
    const QSize size = page ? QSize(page->width, page->height) : QSize();
    ElementLibraryDialog dialog(overlayFolderForDeviceName(config.deviceName), size, this);
    Asker::instance().exec(&dialog);
}

void MainWindow::openSettings()
{
}

void MainWindow::openPreferences()
{
}

void MainWindow::showAbout()
{
}

void MainWindow::showSendDebugReport()
{
}

void MainWindow::showCanvasContextMenu(int, int, const QPoint&, const QPoint&)
{
}

void MainWindow::showOutlinerContextMenu(int, int, const QPoint&)
{
}

void MainWindow::restoreWindowGeometry()
{
}
