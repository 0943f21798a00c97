// Bundles, the config check, the Tools and Help dialogs, the outliner menu
// and the stored window geometry.
#include "window/MainWindow.h"

#include "dialogs/ConfigCheckDialog.h"
#include "dialogs/FileCountProgress.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "check/ConfigRepair.h"
#include "editing/RefreshBoxArtCommand.h"
#include "panels/ElementListPanel.h"

#include "gallery/ArtChangeQuestion.h"
#include "gallery/ConfigBundleExport.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/RaceStudio3Check.h"
#include "model/DeviceTables.h"
#include "panels/Asker.h"
#include "templates/TemplateUsers.h"
#include "panels/ElementLibraryDialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QStatusBar>
#include <QUndoStack>

#include <utility>

void MainWindow::exportInstallBundle()
{
    const QString title = tr("Export Install Bundle");
    if (config.pageCount() == 0 || currentFilePath.isEmpty()) {
        Asker::instance().information(this, title, tr("Open and save a config first, then export its bundle."));
        return;
    }
    // The window's own save: a repaired file keeps its ".pre-repair" copy.
    if (!save()) {
        Asker::instance().critical(this, title, tr("Could not save the config before building the bundle."));
        return;
    }
    const QFileInfo info(currentFilePath);
    const QString proposed = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral("_install_bundle.zip");
    const QString target = Asker::instance().saveFileName(this, title, proposed, tr("Zip archive (*.zip)"));
    if (target.isEmpty())
        return;
    QString error;
    QStringList missing;
    int artCount = 0;
    bool exported = false;
    {
        FileCountProgress progress(this, title, tr("Writing the bundle: %1 of %2 files"));
        exported = exportConfigInstallBundle(config, target, &error, &missing, &artCount, progress.callback());
    }
    if (!exported) {
        Asker::instance().critical(this, title, tr("Export failed:\n%1").arg(error));
        return;
    }
    if (!missing.isEmpty()) {
        Asker::instance().warning(
            this, title,
            tr("Bundle written to:\n%1\n\n%2 art file(s) included, but %3 referenced file(s) could NOT be located "
               "and are MISSING from the bundle:\n\n%4\n\nThe recipient's RS3 may show \"internal error while "
               "loading an image\" for these. Install the missing art into your RS3 overlay tree and re-export.")
                .arg(target, QString::number(artCount), QString::number(missing.size()),
                     missing.join(QLatin1Char('\n'))));
        return;
    }
    Asker::instance().information(
        this, title,
        tr("Install bundle written to:\n%1\n\n%2 art file(s) included. The recipient copies the 'aim' folder from "
           "RS3_homebrew_folder into their RaceStudio3 install, then opens the .zconf2.")
            .arg(target, QString::number(artCount)));
}

namespace {

// The art an install left as it was, as the bundle has it: not counted as
// installed.
QString alreadyInstalled(int unchanged)
{
    return unchanged > 0 ? QCoreApplication::translate("MainWindow", " %n art file(s) were already there as the "
                                                                      "bundle has them.", nullptr, unchanged)
                         : QString();
}

} // namespace

void MainWindow::installConfigBundle()
{
    const QString title = tr("Install Config Bundle");
    const QString bundle =
        Asker::instance().openFileName(this, title, QString(), tr("Korvelanto install bundle (*.zip)"));
    if (bundle.isEmpty())
        return;
    while (isRaceStudio3Running()) {
        const auto answer = Asker::instance().message(
            this, QMessageBox::Warning, title,
            tr("RaceStudio 3 is currently running.\n\nPlease close RaceStudio 3 before installing, then click Retry."),
            QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
        if (answer != QMessageBox::Retry)
            return;
    }
    const QString start =
        currentFilePath.isEmpty() ? QDir::homePath() : QFileInfo(currentFilePath).absolutePath();
    const QString folder = Asker::instance().existingDirectory(this, tr("Where to save the installed config"), start);
    if (folder.isEmpty())
        return;
    ConfigBundleInstallResult result;
    QString error;
    bool declined = false;
    const auto confirm = [this, &declined](const ConfigTarget& target) {
        declined = !mayInstallOver(target);
        return !declined;
    };
    ArtInUseCheck artInUse = artInUseCheck();
    artInUse.ask = [this, &declined](const QList<ArtFolderInUse>& folders) {
        const ArtInUseAnswer answer = askArtInUse(folders);
        declined = answer == ArtInUseAnswer::Cancel;
        return answer;
    };
    bool installed = false;
    {
        FileCountProgress progress(this, title, tr("Installing the bundle: %1 of %2 files"));
        installed = installConfigInstallBundle(bundle, folder, &result, &error, confirm, artInUse, progress.callback());
    }
    if (!installed) {
        // What could not be put back stays in its copy, which the window
        // follows as after an install; otherwise the open file is back as
        // it was and the window goes on with it.
        if (!declined)
            Asker::instance().critical(
                this, title, tr("Install failed:\n%1").arg(error) + followFailedInstall(result.configPath, result.kept()));
        return;
    }
    const QStringList keptPaths = result.kept();
    QString kept = keptPaths.isEmpty()
        ? QString()
        : tr("\n\nWhat it replaced was kept in:\n%1").arg(ArtChangeQuestion::pathList(keptPaths));
    kept += followInstall(result.configPath, keptPaths);
    if (!result.ownFolders.isEmpty())
        kept += tr("\n\nYour art was kept; the bundle's art was installed under a name of its own:\n%1")
                    .arg(TemplateUsers::firstDozen(result.ownFolders));
    if (!result.left.isEmpty())
        kept += tr("\n\nArt left out (a link, a special file or RaceStudio 3's own art is in its way; each file is "
                   "named in the log file):\n%1")
                    .arg(ArtChangeQuestion::shortPathList(result.leftPaths));
    if (!keptPaths.isEmpty())
        statusBar()->showMessage(tr("Installed %1 - what it replaced was kept in %2")
                                     .arg(QFileInfo(result.configPath).fileName(),
                                          QDir::toNativeSeparators(keptPaths.join(QStringLiteral(", ")))),
                                 15000);
    const auto open = Asker::instance().question(
        this, title,
        tr("Installed %1 art file(s) into %2 RaceStudio3 install(s).%3\n\nConfig saved to:\n%4%5\n\nOpen it now in "
           "Korvelanto?")
            .arg(result.artFileCount)
            .arg(result.installRoots.size())
            .arg(alreadyInstalled(result.unchangedArtCount), result.configPath, kept),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    // The normal open road, with its question about unsaved changes.
    if (open == QMessageBox::Yes)
        loadConfig(result.configPath);
}

void MainWindow::showCheckConfig()
{
    // Either condition alone means there is nothing to check: the page index
    // stays at 0 when nothing was ever opened.
    if (config.pageCount() == 0 || currentPage < 0) {
        statusBar()->showMessage(tr("Open a config first"), 2500);
        return;
    }
    ConfigCheckDialog dialog(ConfigCheck::checkConfig(config), QFileInfo(currentFilePath).fileName(), this);
    connect(&dialog, &ConfigCheckDialog::jumpToElement, this, &MainWindow::onCheckJumpToElement);
    connect(&dialog, &ConfigCheckDialog::sendToSupportRequested, this, &MainWindow::onSendCheckReportToSupport);
    connect(&dialog, &ConfigCheckDialog::repairRequested, this, [this, &dialog] { repairConfigValues(&dialog); });
    Asker::instance().exec(&dialog);
}

void MainWindow::reparseAllMasks()
{
    for (int p = 0; p < config.pageCount(); ++p) {
        PageModel* page = config.page(p);
        for (MaskElement& mask : page->masks) {
            if (mask.node)
                mask = config.parseMask(mask.node);
        }
    }
}

void MainWindow::repairConfigValues(ConfigCheckDialog* dialog)
{
    const int repaired = ConfigCheck::repairConfig(config);
    reparseAllMasks();
    showLoadedPage();
    canvas->update();
    if (dialog)
        dialog->setFindings(ConfigCheck::checkConfig(config));
    if (repaired > 0)
        markRepairedFile();
    QString status;
    if (repaired == 0)
        status = tr("Nothing was repaired");
    else if (repairedFilePath.isEmpty())
        status = tr("Repaired %1 value(s) \u2014 save the config to keep the fix").arg(repaired);
    else
        status = tr("Repaired %1 value(s) \u2014 save to keep the fix; the original will be kept as %2")
                     .arg(repaired)
                     .arg(QFileInfo(ConfigCheck::preRepairBackupPath(repairedFilePath)).fileName());
    statusBar()->showMessage(status, 8000);
}

void MainWindow::refreshBoxArtwork()
{
    const QString title = tr("Refresh box artwork");
    if (config.pageCount() == 0) {
        Asker::instance().information(this, title, tr("Open a .zconf2 file first."));
        return;
    }
    int rendered = 0;
    QStringList left;
    QStringList mismatched;
    // A step of the history only when a box was pointed at an item of its
    // own; the stack drops it otherwise.
    config.artState.notes.clear();
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        undoStack->push(new RefreshBoxArtCommand(&config, &rendered, &left, &mismatched));
    }
    const QStringList notes = std::exchange(config.artState.notes, {});
    canvas->invalidateMaskImageCache();
    showLoadedPage();
    canvas->update();
    QString status = rendered > 0 ? tr("Re-rendered %1 box%2 with the current styling")
                                        .arg(rendered)
                                        .arg(rendered == 1 ? QString() : QStringLiteral("es"))
                                  : QString();
    QStringList kept;
    if (!left.isEmpty())
        kept << tr("%n box(es) left as they are (no readable record of their style)", nullptr, int(left.size()));
    if (!mismatched.isEmpty())
        kept << tr("%n box(es) left as they are (their record describes other art)", nullptr,
                   int(mismatched.size()));
    if (!kept.isEmpty())
        status = status.isEmpty() ? tr("No box was re-rendered \u2014 %1").arg(kept.join(tr("; ")))
                                  : status + tr("; ") + kept.join(tr("; "));
    else if (status.isEmpty())
        status = tr("No Korvelanto-generated boxes to refresh");
    statusBar()->showMessage(status, 4000);
    if (!left.isEmpty())
        Asker::instance().warning(
            this, title,
            leftBoxesText(tr("Left %n box(es) as they are:", nullptr, int(left.size())), left));
    if (!mismatched.isEmpty())
        Asker::instance().warning(this, title, mismatchedBoxesText(mismatched, true));
    if (!notes.isEmpty())
        Asker::instance().warning(this, title, artCopyNotesText(notes));
}

QString MainWindow::artCopyNotesText(const QStringList& notes) const
{
    return tr("Some art was not copied between the RaceStudio 3 installs or not drawn, and is left as it is:")
        + QStringLiteral("\n\n") + TemplateUsers::firstDozen(notes);
}

QString MainWindow::mismatchedBoxesText(const QStringList& boxes, bool force) const
{
    const QString why = force
        ? tr("Their record beside %1 describes other art than the item they point at holds, and that art could not "
             "be written into an item of their own.")
        : tr("Their record beside %1 describes other art than the item they point at, which no RaceStudio 3 install "
             "on this machine holds. Tools > Refresh box artwork draws the record into an item of their own.");
    return tr("Left %n box(es) as they are:", nullptr, int(boxes.size())) + QStringLiteral("\n\n")
        + TemplateUsers::firstDozen(boxes) + QStringLiteral("\n\n")
        + why.arg(QDir::toNativeSeparators(currentFilePath))
        + tr("\n\nDrawing the record into that item would change art that saved configurations may show.");
}

QString MainWindow::leftBoxesText(const QString& lead, const QStringList& left) const
{
    QString why = config.sidecarReadFailure(SidecarStore::BoxStyles);
    if (why.isEmpty())
        why = config.sidecarReadFailure(SidecarStore::MultiBoxes);
    if (why.isEmpty()) {
        why = tr("There is no record of how they were styled beside %1 (in %2 or %3).")
                  .arg(QDir::toNativeSeparators(currentFilePath),
                       QFileInfo(config.boxStylesSidecarPath()).fileName(),
                       QFileInfo(config.multiBoxSidecarPath()).fileName());
    }
    return tr("%1\n\n%2\n\n%3\n\nDrawing them in a default style would change their art in RaceStudio 3, "
              "where other saved configurations may show it. With the configuration's record files beside it, "
              "they are drawn as styled.")
        .arg(lead, TemplateUsers::firstDozen(left), why);
}

void MainWindow::showElementLibrary()
{
    const PageModel* page = config.page(currentPage);
    const QSize size = page ? QSize(page->width, page->height) : QSize();
    // "This config" is the page's own display: on a two-display device the
    // other display's elements do not fit it, and for a page whose family
    // text is refused no display is its own.
    const QString family = config.pageFamily(currentPage);
    const bool refused = !config.refusedPageFamily(currentPage).isEmpty();
    ElementLibraryDialog dialog(family.isEmpty() && !refused ? overlayFolderForDeviceName(config.deviceName) : family,
                                size, this);
    Asker::instance().exec(&dialog);
}

