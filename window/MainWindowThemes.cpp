// Homebrew themes and theme packages.
#include "window/MainWindow.h"
#include "model/FolderCopy.h"

#include "dialogs/ExportThemeDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "dialogs/OpenThemeDialog.h"
#include "gallery/ThemePackage.h"
#include "panels/Asker.h"
#include "templates/TemplateUsers.h"

#include <QAction>
#include <QFileInfo>
#include <QInputDialog>
#include <QStatusBar>

void MainWindow::newHomebrewTheme()
{
    NewHomebrewThemeDialog dialog(this);
    dialog.usersOf = [this](const QString& slug) { return templateUsers(slug); };
    if (Asker::instance().exec(&dialog) == QDialog::Accepted)
        statusBar()->showMessage(tr("Homebrew theme created"), 3000);
}

void MainWindow::showExportTheme()
{
    ExportThemeDialog dialog(this);
    Asker::instance().exec(&dialog);
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
        tr("<qt>Opened theme <b>%1</b> (device: %2).<br><br>This bundle's other device folders are preserved "
           "byte-identically when you Save As .dashtheme.<br><br>To edit the theme's page content, open or create a "
           "matching .zconf2 and use <i>Edit > Add Page from Template</i>. When you're done, File > <i>Save As "
           ".dashtheme...</i> re-packs this bundle under a new name with your updated manifest fields.</qt>")
            .arg(name.toHtmlEscaped(), device.toHtmlEscaped()));
    statusBar()->showMessage(tr("Theme '%1' open for device %2").arg(name, device));
}

void MainWindow::saveTheme()
{
    if (!openTheme) {
        Asker::instance().warning(this, tr("Save Theme"),
                                  tr("No theme is currently open. Use File > Open .dashtheme first."));
        return;
    }
    bool ok = false;
    const QString name =
        Asker::instance().text(this, tr("Theme Name"), tr("Display name:"), openTheme->name, &ok).trimmed();
    if (!ok)
        return;
    if (const QString tooLong = FolderCopy::whyNameDoesNotFit(name); !tooLong.isEmpty()) {
        Asker::instance().warning(this, tr("Save Theme"), tooLong);
        return;
    }
    const QString author =
        Asker::instance().text(this, tr("Theme Author"), tr("Author (optional):"), openTheme->author, &ok).trimmed();
    if (!ok)
        return;
    QInputDialog describe(this);
    describe.setWindowTitle(tr("Theme Description"));
    describe.setLabelText(tr("Description (optional):"));
    describe.setOption(QInputDialog::UsePlainTextEditForTextInput);
    describe.setTextValue(openTheme->description);
    if (Asker::instance().exec(&describe) != QDialog::Accepted)
        return;

    // From here the edits stay in the open package, also when no file is
    // chosen: the next Save As offers them again.
    openTheme->name = name;
    openTheme->author = author;
    openTheme->description = describe.textValue().trimmed();

    // The name is free text: only its last path part names the file.
    const QString stem = QFileInfo(name).fileName();
    const QString suggested = stem.isEmpty() ? QString()
                                             : QFileInfo(openThemePath).absolutePath() + QLatin1Char('/') + stem
                                                   + QStringLiteral(".dashtheme");
    const QString path = Asker::instance().saveFileName(this, tr("Save As .dashtheme"), suggested,
                                                        tr("Korvelanto Theme (*.dashtheme)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!writeThemePackage(*openTheme, path, &error)) {
        Asker::instance().critical(this, tr("Save Theme"), tr("Could not write theme bundle:\n%1").arg(error));
        return;
    }
    openThemePath = path;
    statusBar()->showMessage(tr("Saved theme to %1").arg(QFileInfo(path).fileName()));
}
