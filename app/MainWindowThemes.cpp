// Homebrew themes, theme packages and the online gallery.
#include "app/MainWindow.h"

#include "app/NewHomebrewThemeDialog.h"
#include "app/OpenThemeDialog.h"
#include "gallery/ThemePackage.h"
#include "panels/Asker.h"

#include <QAction>
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
    const QString path = Asker::instance().openFileName(this, tr("Open Korvelanto Theme"), QString(),
                                                        tr("Korvelanto Theme (*.dashtheme)"));
    if (path.isEmpty())
        return;
    auto package = std::make_unique<ThemePackage>();
    QString error;
    if (!openThemePackage(*package, path, &error)) {
        Asker::instance().warning(this, tr("Open Theme"), tr("Could not open theme bundle:\n%1").arg(error));
        return;
    }

    // The dialog owns the package while it runs; whatever is not taken back
    // goes with the dialog.
    OpenThemeDialog dialog(std::move(package), this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    package = dialog.takePackage();
    const QString device = dialog.selectedDevice;
    if (!package || device.isEmpty())
        return;
    if (!package->hasAssetsFor(device)) {
        Asker::instance().warning(
            this, tr("Open Theme"),
            tr("The chosen device '%1' has no assets in this bundle. The canvas may not render correctly.")
                .arg(device));
    }

    openTheme = std::move(package);
    openThemePath = path;
    openThemeDevice = device;
    saveThemeAction->setEnabled(true);

    const QString name = openTheme->name.isEmpty() ? openTheme->id : openTheme->name;
    Asker::instance().information(
        this, tr("Theme Opened"),
        tr("Opened theme <b>%1</b> (device: %2).<br><br>This bundle's other device folders are preserved "
           "byte-identically when you Save As .dashtheme.<br><br>To edit the theme's page content, open or create a "
           "matching .zconf2 and use <i>Edit > Add Page from Template</i>. When you're done, File > <i>Save As "
           ".dashtheme...</i> re-packs this bundle under a new name with your updated manifest fields.")
            .arg(name.toHtmlEscaped(), device.toHtmlEscaped()));
    statusBar()->showMessage(tr("Theme '%1' open for device %2").arg(name, device));
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
