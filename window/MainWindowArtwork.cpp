// What one element paints and what the configuration is called: taking the
// colour off a bar, replacing an element's artwork from a folder, pointing it
// at another item of its page set, and renaming the configuration.
#include "window/MainWindow.h"
#include "model/FolderCopy.h"

#include "artwork/ArtworkApplyResult.h"
#include "artwork/ArtworkTarget.h"
#include "canvas/DashCanvas.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/CheckedPush.h"
#include "editing/ReplaceArtworkCommand.h"
#include "gallery/ArtChangeQuestion.h"
#include "gallery/BundleArtCollisions.h"
#include "model/XmlParams.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"
#include "panels/SwapArtworkDialog.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUndoStack>

void MainWindow::removeBarColor(int maskIndex)
{
    if (currentPage < 0 || !config.maskAt(currentPage, maskIndex))
        return;
    const QString unreadable = config.sidecarReadFailure(SidecarStore::BarColors);
    if (!unreadable.isEmpty()) {
        showArtworkFailure(tr("Remove color"), tr("Remove bar color failed"), unreadable, QString());
        return;
    }
    const ColouredBar bar = config.colouredBar(currentPage, maskIndex);
    if (bar.pasted) {
        statusBar()->showMessage(tr("Remove bar color failed — %1").arg(DashConfig::pastedColouredArtRefusal()), 6000);
        return;
    }
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    // Without a stored original there is nothing to go back to: say so
    // without pushing, so the history (and its redo steps) stays as it was.
    bool removed = false;
    // The stock item the bar's stamp or its fitting record names.
    const bool original = bar.coloured && !bar.origin.isEmpty();
    if (original)
        undoStack->push(new BarColorRemoveCommand(&config, currentPage, maskIndex, &removed));
    showRestyledMask(maskIndex);
    if (removed)
        statusBar()->showMessage(tr("Removed bar color"), 3000);
    else if (original) // the bar keeps its colour when its record cannot be written
        showArtworkFailure(tr("Remove color"), tr("Remove bar color failed"), config.sidecarFailure, QString());
    else
        statusBar()->showMessage(tr("Remove bar color failed — no stored original for this bar"), 4000);
}

void MainWindow::renameConfig()
{
    if (config.pageCount() == 0 && currentFilePath.isEmpty()) {
        Asker::instance().information(this, tr("Rename Config"), tr("Open a config first, then rename it."));
        return;
    }
    bool ok = false;
    const QString answer =
        Asker::instance().text(this, tr("Rename Config"),
                               tr("Internal config name (shown in RaceStudio 3's config list):"),
                               config.newConfigName, &ok);
    if (!ok)
        return;
    const QString name = answer.trimmed();
    if (name.isEmpty()) {
        Asker::instance().warning(this, tr("Rename Config"), tr("The config name cannot be empty."));
        return;
    }
    if (const QString tooLong = FolderCopy::whyNameDoesNotFit(name); !tooLong.isEmpty()) {
        Asker::instance().warning(this, tr("Rename Config"), tooLong);
        return;
    }
    // The name waits for the next save outside the undo history; the
    // window's unsaved-changes test counts it, so closing still asks.
    if (name == config.newConfigName || !config.setConfigName(name))
        return;
    updateWindowTitle();
    statusBar()->showMessage(tr("Config renamed to '%1' — Save to apply.").arg(name), 6000);
}

void MainWindow::replaceArtwork(int maskIndex)
{
    if (currentPage < 0 || !config.maskAt(currentPage, maskIndex))
        return;
    ArtworkTarget target;
    QString error;
    if (!config.resolveReplaceableArtwork(currentPage, maskIndex, &target, &error)) {
        Asker::instance().warning(this, tr("Replace artwork"),
                                  tr("Cannot replace this element's artwork.\n\n%1").arg(error));
        return;
    }
    const QString folder = Asker::instance().existingDirectory(
        this, tr("Replace artwork from folder"), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (folder.isEmpty())
        return;
    ArtworkApplyResult checked;
    bool scaleToFit = false;
    if (!config.validateReplacementArt(currentPage, maskIndex, folder, &checked, &error)) {
        if (!checked.sizeMismatch) {
            Asker::instance().warning(this, tr("Replace artwork"), error);
            return;
        }
        if (!askScaleToFit(error, checked.declaredSize))
            return;
        scaleToFit = true;
    }
    if (!confirmArtworkReplacement(target))
        return;

    QString note;
    QList<ArtworkBackup> backups;
    error = tr("The artwork could not be replaced.");
    const bool replaced = pushChecked(*undoStack,
                                      new ReplaceArtworkCommand(&config, currentPage, maskIndex, folder, scaleToFit,
                                                                &error, &note, &backups),
                                      [&error] { return error.isEmpty(); });
    if (!replaced) {
        Asker::instance().warning(this, tr("Replace artwork"), tr("The artwork was not changed.\n\n%1").arg(error));
        return;
    }
    // Every view shows the mask again, so the panel edits what the canvas has.
    showRestyledMask(maskIndex);
    reportReplacedArtwork(note, backups);
}

// The "Wrong size" question; true when the user lets the art be scaled.
bool MainWindow::askScaleToFit(const QString& error, const QSize& expected)
{
    QMessageBox box(QMessageBox::Warning, tr("Wrong size"), error, QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    box.addButton(QMessageBox::Cancel);
    QPushButton* scale =
        box.addButton(tr("Scale it to %1 x %2").arg(expected.width()).arg(expected.height()), QMessageBox::AcceptRole);
    Asker::instance().exec(&box);
    return box.clickedButton() == scale;
}

// Every value in the text comes from the configuration or the disk, so each
// is escaped before it goes into the rich text.
bool MainWindow::confirmArtworkReplacement(const ArtworkTarget& target)
{
    const QString folder = QDir::toNativeSeparators(target.folder).toHtmlEscaped();
    QString text;
    if (target.stockArt)
        text = tr("<b>This is AiM's own artwork, not a private copy.</b><br><code>%1</code><br><br>Overwriting it "
                  "changes <b>every configuration on this computer</b> that uses this page set — including configs "
                  "you are not editing, and configs you make in future. Measured: editing one gauge's art this way "
                  "changed an unrelated config built months earlier.<br><br>")
                   .arg(folder);
    else if (target.ownFolder)
        text = tr("This bar's colours were drawn by Korvelanto into:<br><code>%1</code><br><br>The new artwork goes "
                  "into a folder of its own, and that folder stays as it is.<br><br>")
                   .arg(folder);
    else
        text = tr("This artwork lives in a Korvelanto folder:<br><code>%1</code><br><br>").arg(folder);
    const QString sharers = target.sharedWith.join(QStringLiteral(", ")).toHtmlEscaped();
    if (!target.sharedWith.isEmpty() && target.ownFolder)
        text += tr("In <b>this</b> configuration it is also used by: <b>%1</b>. Those elements keep their "
                   "artwork.<br><br>")
                    .arg(sharers);
    else if (!target.sharedWith.isEmpty())
        text += tr("In <b>this</b> configuration it is also used by: <b>%1</b>. Those elements change too.<br><br>")
                    .arg(sharers);
    text += templateUsersParagraph(target);
    if (target.targetFolders.size() > 1)
        text += tr("%1 RaceStudio 3 installs carry this folder and all of them will be updated, so they cannot "
                   "disagree.<br><br>")
                    .arg(target.targetFolders.size());
    if (target.noDeviceImage)
        text += tr("This element currently paints nothing on the dash. The import will point it at the new artwork so "
                   "it does.<br><br>");
    text += target.ownFolder ? tr("<b>Undo</b> points the element back at its old artwork.")
                             : tr("The existing artwork is saved first, and <b>Undo</b> puts it back.");

    QMessageBox box(QMessageBox::Warning, tr("Replace artwork"), text, QMessageBox::NoButton, this);
    box.setTextFormat(Qt::RichText);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    QPushButton* overwrite = box.addButton(tr("Overwrite artwork"), QMessageBox::DestructiveRole);
    box.setDefaultButton(cancel);
    Asker::instance().exec(&box);
    return box.clickedButton() == overwrite;
}

// Art written in place in a homebrew template's folder changes every
// configuration that uses the template, saved anywhere: the question names
// those found and says what the search could not read, whoever was found.
QString MainWindow::templateUsersParagraph(const ArtworkTarget& target)
{
    if (target.stockArt || target.ownFolder)
        return {};
    const QString name = BundleArtCollisions::homebrewFolderName(target.relPath + QStringLiteral("mask.png"));
    if (name.isEmpty())
        return {};
    const ArtFolderInUse folder{name, target.targetFolders, templateUsersOf({name}).value(name), {}, {}};
    const QString users = ArtChangeQuestion::usersText({folder}).toHtmlEscaped().replace(QLatin1Char('\n'),
                                                                                          QStringLiteral("<br>"));
    return tr("<b>It belongs to the homebrew template \"%1\": every configuration that uses the template shows "
              "the new artwork.</b><br>%2<br><br>")
        .arg(name.toHtmlEscaped(), users);
}

namespace {

// The backup folder of the first file a replacement saved; empty when it
// saved none (the folders it wrote were empty).
QString firstBackupFolder(const QList<ArtworkBackup>& backups)
{
    for (const ArtworkBackup& backup : backups) {
        if (!QDir(backup.backupDir).entryList(QDir::Files | QDir::Hidden).isEmpty())
            return backup.backupDir;
    }
    return {};
}

} // namespace

void MainWindow::reportReplacedArtwork(const QString& note, const QList<ArtworkBackup>& backups)
{
    const QString backupFolder = firstBackupFolder(backups);
    QString text = tr("<b>Artwork replaced.</b><br><br>");
    if (!note.isEmpty())
        text += note.toHtmlEscaped() + QStringLiteral("<br><br>");
    if (backupFolder.isEmpty())
        text += tr("Undo puts the previous artwork back.");
    else
        text += tr("The artwork that was there is saved in<br><code>%1</code><br><br>Undo puts it back now; that "
                   "folder puts it back later.")
                    .arg(QDir::toNativeSeparators(backupFolder).toHtmlEscaped());

    QMessageBox box(QMessageBox::Information, tr("Replace artwork"), text, QMessageBox::NoButton, this);
    box.setTextFormat(Qt::RichText);
    box.addButton(QMessageBox::Ok);
    QPushButton* open =
        backupFolder.isEmpty() ? nullptr : box.addButton(tr("Open saved artwork"), QMessageBox::ActionRole);
    Asker::instance().exec(&box);
    if (open && box.clickedButton() == open)
        Asker::instance().openFolder(backupFolder);
}

void MainWindow::swapArtwork(int maskIndex)
{
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (currentPage < 0 || !mask)
        return;
    const QString rel = mask->node ? findParamText(mask->node, "PATH_REL_AiM_MASK").trimmed() : QString();
    if (rel.isEmpty()) {
        statusBar()->showMessage(tr("This element has no artwork path to swap"), 3000);
        return;
    }
    SwapArtworkDialog dialog(rel, this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted || dialog.chosenFolder().isEmpty())
        return;
    // A direct write outside the undo history; the window's unsaved-changes
    // test sees it in the device XML, so closing still asks.
    if (!config.swapArtworkItem(currentPage, maskIndex, dialog.chosenFolder())) {
        statusBar()->showMessage(
            tr("Could not swap artwork — the chosen item is not part of this element's page set"), 5000);
        return;
    }
    showRestyledMask(maskIndex);
    statusBar()->showMessage(tr("Swapped artwork — channel, position and size unchanged"), 4000);
}
