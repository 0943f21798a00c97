// Opening a configuration into the window, saving it, and the question that
// keeps a close from losing edits.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "check/ConfigRepair.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QUndoStack>
#include <QWindow>

namespace {

const char* const kSupportAddress = "support@tindrel.no";

} // namespace

void MainWindow::openFileDialog()
{
    const QString path = Asker::instance().openFileName(this, tr("Open Dashboard"), QString(),
                                                        tr("AIM Dashboard (*.zconf2 *.zconfig)"));
    if (!path.isEmpty())
        loadConfig(path);
}

void MainWindow::openFilePath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isFile()) {
        loadConfig(info.absoluteFilePath());
        return;
    }
    Asker::instance().warning(this, tr("Open"),
                              tr("Cannot open \"%1\" \u2014 no such file.").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::loadConfig(const QString& path)
{
    // Loading drops the undo history and the open model's edits with it.
    if (!confirmDiscardChanges())
        return;
    propertyPanel->clear();
    canvas->setPage(nullptr);
    elementList->populate(nullptr);
    undoStack->clear();

    QString reason;
    bool loaded = false;
    {
        // The open may copy many art folders between the installs, or draw
        // a whole configuration's art again: the status line says so,
        // painted, rather than stay as it was the while. The rest of the
        // window is on screen already (at start-up the open waits for its
        // first paint): painting it all again would only delay the open.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        const QString name = QFileInfo(path).fileName();
        statusBar()->showMessage(tr("Opening %1\u2026").arg(name));
        if (onScreen())
            statusBar()->repaint();
        QElapsedTimer opening;
        opening.start();
        qint64 said = 0;
        // Painted directly: no event is handled while the model is half loaded.
        config.artState.repairProgress = [&](int done, int steps) {
            if (steps < 1 || opening.elapsed() < 1000 || opening.elapsed() - said < 200)
                return;
            said = opening.elapsed();
            statusBar()->showMessage(tr("Opening %1: drawing its art again for this computer, %2 % done\u2026")
                                         .arg(name)
                                         .arg(100 * done / steps));
            statusBar()->repaint();
        };
        const auto stopProgress = qScopeGuard([this] { config.artState.repairProgress = nullptr; });
        loaded = config.load(path, &reason);
    }
    if (!loaded) {
        statusBar()->clearMessage();
        // The load knows why (a damaged archive, no device file, ...): say it.
        QString text = tr("Failed to open file:\n%1").arg(path);
        if (!reason.isEmpty())
            text += QStringLiteral("\n\n") + reason;
        Asker::instance().critical(this, tr("Error"), text);
        currentPage = qBound(0, currentPage, qMax(0, config.pageCount() - 1));
        refreshPageList();
        showLoadedPage();
        return;
    }
    currentFilePath = path;
    repairedFilePath.clear();
    // The first page before the list is filled, so that the list marks the
    // page the canvas shows, not the one shown before the open.
    currentPage = 0;
    refreshPageList();
    canvas->setConfig(&config);
    propertyPanel->setConfig(&config);
    propertyPanel->setChannels(config.channels);
    propertyPanel->setPageContext(&config, 0);
    showLoadedPage();
    updateWindowTitle();
    statusBar()->showMessage(openedStatus());
    // The page as opened, painted now rather than at the event loop's next
    // turn: before any box below, and with no wait after a long open. A
    // window not on screen yet is painted when it gets there.
    if (onScreen())
        repaint();
    reportPageBackgrounds();
    reportUnreadableSidecars();
    if (!config.homebrewRepairLeft.isEmpty())
        Asker::instance().warning(
            this, tr("Open"),
            leftBoxesText(tr("%n box(es) have no art in a RaceStudio 3 install on this machine and were not drawn "
                             "again:",
                             nullptr, int(config.homebrewRepairLeft.size())),
                          config.homebrewRepairLeft));
    if (!config.homebrewRepairMismatched.isEmpty())
        Asker::instance().warning(this, tr("Open"), mismatchedBoxesText(config.homebrewRepairMismatched, false));
    if (!config.artState.notes.isEmpty())
        Asker::instance().warning(this, tr("Open"), artCopyNotesText(config.artState.notes));
    markSaved();
    reportRefusedFamilies();

    if (!config.deviceNote.isEmpty()) {
        Asker::instance().warning(
            this, tr("Beta device -- proceed with caution"),
            tr("Heads up -- this configuration is from a %1, which isn't fully supported yet.\n\nYou can still open "
               "and edit it, but flashing the result back to your device may not work cleanly. We're treating early "
               "users on this device as beta testers -- please report any issues at ")
                    .arg(config.deviceNote) +
                QString::fromLatin1(kSupportAddress) + tr(". Thanks for helping us add support!"));
    }
}

// True once the window system shows the window: painting before that is
// lost, and the window is painted whole when it comes.
bool MainWindow::onScreen() const
{
    return isVisible() && windowHandle() && windowHandle()->isExposed();
}

// The page at currentPage in every view, when it exists.
void MainWindow::showLoadedPage()
{
    PageModel* page = config.page(currentPage);
    if (!page)
        return;
    canvas->setPage(page);
    elementList->populate(page);
    propertyPanel->setConfigFileIndex(page->deviceFileIndex);
    propertyPanel->setPageSize(page->width, page->height);
}

QString MainWindow::openedStatus() const
{
    const QString opened =
        tr("Opened %1 (%2 pages)").arg(QFileInfo(currentFilePath).fileName(), QString::number(config.pageCount()));
    QStringList rebuilt;
    if (config.homebrewRepairCount > 0)
        rebuilt << tr("%n box graphic(s)", nullptr, config.homebrewRepairCount);
    if (config.barRepairCount > 0)
        rebuilt << tr("%n colored bar(s)", nullptr, config.barRepairCount);
    if (rebuilt.isEmpty())
        return opened;
    return opened + tr(" \u2014 rebuilt %1").arg(rebuilt.join(tr(" and ")));
}

void MainWindow::reportPageBackgrounds()
{
    int missing = 0;
    int switchedOff = 0;
    for (const ConfigFinding& finding : ConfigCheck::checkPageBackgrounds(config))
        (finding.severity == 0 ? missing : switchedOff) += 1;
    if (missing > 0) {
        statusBar()->showMessage(
            tr("%n page(s) declare a background image that is not on this machine \u2014 RaceStudio 3 will report an "
               "image error every time this file is opened. Tools \u25b8 Check config for detail.",
               nullptr, missing));
    } else if (switchedOff > 0) {
        statusBar()->showMessage(
            tr("%n page(s): the background picture is not switched on for the dash, so it shows black behind your "
               "boxes. Your boxes and data are fine. Tools \u25b8 Check config \u25b8 Repair switches it on.",
               nullptr, switchedOff));
    }
}

// Said once, at the open: the edits that need such a store say it again
// when they are refused.
void MainWindow::reportUnreadableSidecars()
{
    QStringList unreadable;
    for (const SidecarStore store :
         {SidecarStore::BarColors, SidecarStore::BoxStyles, SidecarStore::MultiBoxes, SidecarStore::IconPreviews}) {
        const QString why = config.sidecarReadFailure(store);
        if (!why.isEmpty())
            unreadable << why;
    }
    if (!unreadable.isEmpty())
        Asker::instance().warning(this, tr("Open"), unreadable.join(QStringLiteral("\n\n")));
}

// A page path whose display folder could lead outside the install is told
// once, here, page by page; what later refuses it says so in its own words.
void MainWindow::reportRefusedFamilies()
{
    QStringList pages;
    for (int i = 0; i < config.pageCount(); ++i) {
        const QString refused = config.refusedPageFamily(i);
        if (!refused.isEmpty())
            pages << tr("Page %1 \"%2\": \"%3\"").arg(i + 1).arg(config.pages[size_t(i)].name, refused);
    }
    if (pages.isEmpty())
        return;
    Asker::instance().warning(
        this, tr("Display folder not allowed"),
        tr("%n page(s) of this configuration name a display folder that is not allowed, as it could lead outside "
           "the RaceStudio 3 install:\n\n%1\n\nThe pages open and can be edited, but no RaceStudio 3 stock is "
           "offered for them and no artwork is looked up or written through that folder.",
           nullptr, int(pages.size()))
            .arg(pages.join(QLatin1Char('\n'))));
}

void MainWindow::updateWindowTitle()
{
    QString name = config.newConfigName;
    if (name.isEmpty())
        name = QFileInfo(currentFilePath).fileName();
    QString title;
    if (!config.deviceName.isEmpty()) {
        title = name.isEmpty() ? QStringLiteral("Korvelanto [%1]").arg(config.deviceName)
                               : QStringLiteral("Korvelanto - %1 [%2]").arg(name, config.deviceName);
        deviceBadge->setText(config.deviceName);
        deviceBadge->setToolTip(tr("Target device (TypeCode %1)").arg(config.typeCode));
        deviceBadge->show();
    } else {
        title = name.isEmpty() ? QStringLiteral("Korvelanto") : QStringLiteral("Korvelanto - %1").arg(name);
        deviceBadge->hide();
    }
    setWindowTitle(title);
}

void MainWindow::refreshPageList()
{
    const std::vector<PageModel> pages(config.pages.begin(), config.pages.end());
    const QSignalBlocker blocker(pageList);
    pageList->setPages(pages);
    pageList->setCurrentRow(qBound(0, currentPage, qMax(0, int(pages.size()) - 1)));
}

// A value or a rename still being typed when the user saves is what the
// user means to save: it is committed first, as leaving the field does.
void MainWindow::commitTyping()
{
    propertyPanel->commitTyping();
    elementList->commitRename();
}

bool MainWindow::save()
{
    commitTyping();
    if (currentFilePath.isEmpty())
        return saveAs();
    const QString backupName = backupBeforeOverwrite(currentFilePath);
    QString error;
    QString warning;
    const bool saved = config.save(currentFilePath, &error, &warning);
    // The save read the masks it wrote anew, even when a later file failed.
    refreshAfterChange();
    if (!saved) {
        Asker::instance().critical(this, tr("Error"), saveFailureText(currentFilePath, error));
        return false;
    }
    repairedFilePath.clear();
    markSaved(config.digestAtSave);
    showSavedStatus(backupName, warning);
    return true;
}

// The path, then the reason when the save gave one, so a refusal (a
// read-only file) or a full disk reads as what it is.
QString MainWindow::saveFailureText(const QString& path, const QString& reason) const
{
    const QString text = tr("Failed to save file:\n%1").arg(path);
    return reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason;
}

// The ".pre-repair" copy of a file that a repair changed in memory, taken
// before the first save over that same file; empty when none was made.
QString MainWindow::backupBeforeOverwrite(const QString& target) const
{
    if (repairedFilePath.isEmpty() || target.isEmpty())
        return {};
    if (QFileInfo(repairedFilePath).absoluteFilePath() != QFileInfo(target).absoluteFilePath())
        return {};
    return ConfigCheck::makePreRepairBackup(target);
}

bool MainWindow::saveAs()
{
    commitTyping();
    const QString target = Asker::instance().saveFileName(this, tr("Save Dashboard As"), currentFilePath,
                                                          tr("AIM Dashboard (*.zconf2)"));
    if (target.isEmpty())
        return false;
    const QString backupName = backupBeforeOverwrite(target);
    QString error;
    QString warning;
    // The sidecars go with the archive, or the window stays with the file
    // it edits: never the new name without its records.
    const bool saved = config.saveAs(target, &error, &warning);
    refreshAfterChange();
    if (!saved) {
        Asker::instance().critical(this, tr("Error"), saveFailureText(target, error));
        return false;
    }
    currentFilePath = target;
    repairedFilePath.clear();
    markSaved(config.digestAtSave);
    updateWindowTitle();
    showSavedStatus(backupName, warning);
    return true;
}

void MainWindow::markRepairedFile()
{
    if (!currentFilePath.isEmpty())
        repairedFilePath = currentFilePath;
}

// A save that left something undone (a rename that could not be written)
// says so in a box and in the status bar instead of "Saved"; markSaved()
// keeps the document dirty while the rename waits.
void MainWindow::showSavedStatus(const QString& backupName, const QString& warning)
{
    if (!warning.isEmpty()) {
        statusBar()->showMessage(warning, 10000);
        Asker::instance().warning(this, tr("Save"), warning);
        return;
    }
    const QString name = QFileInfo(currentFilePath).fileName();
    if (backupName.isEmpty())
        statusBar()->showMessage(tr("Saved %1").arg(name), 5000);
    else
        statusBar()->showMessage(tr("Saved %1 \u2014 original kept as %2").arg(name, backupName), 10000);
}

void MainWindow::markSaved(const QByteArray& digest)
{
    undoStack->setClean();
    // A rename still pending after the save was not written: the document
    // stays changed, so closing asks before the new name is lost.
    savedDigest = config.renamePending ? QByteArray() : digest.isEmpty() ? config.documentDigest() : digest;
    keepSavedArt();
}

bool MainWindow::hasUnsavedChanges() const
{
    return !undoStack->isClean() || config.documentDigest() != savedDigest;
}

// Save, Discard or Cancel when closing or opening another file would lose
// edits; true lets it go on. A save that fails stops it.
bool MainWindow::confirmDiscardChanges()
{
    // What is being typed counts as a change, and a Save writes it.
    commitTyping();
    if (!hasUnsavedChanges())
        return true;
    const QString name = currentFilePath.isEmpty() ? tr("the configuration") : QFileInfo(currentFilePath).fileName();
    const auto answer = Asker::instance().message(
        this, QMessageBox::Warning, tr("Unsaved changes"),
        tr("%1 has changes that are not saved.\n\nSave them first?").arg(name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save();
    if (answer != QMessageBox::Discard)
        return false;
    discardToSavedState();
    return true;
}
