// The online gallery: choosing an item in the gallery dialog, installing it
// behind a progress dialog, and reporting how the install ended.
#include "window/MainWindow.h"

#include "dialogs/OnlineGalleryDialog.h"
#include "gallery/ArtChangeQuestion.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/RaceStudio3Check.h"
#include "gallery/ThemeInstaller.h"
#include "model/PathGuard.h"
#include "panels/Asker.h"
#include "panels/TitleWidth.h"
#include "templates/TemplateUsers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>

namespace {

QString plural(int count)
{
    return count == 1 ? QString() : QStringLiteral("s");
}

} // namespace

void MainWindow::openOnlineThemes()
{
    gallery::OnlineGalleryDialog dialog(this, galleryBaseUrl);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    const QString slug = dialog.selectedSlug();
    const QString nonce = dialog.installNonce();
    if (slug.isEmpty() || nonce.isEmpty()) {
        Asker::instance().warning(this, tr("Online Themes"), tr("No install token was produced. Please try again."));
        return;
    }
    installThemeFromGallery(slug, nonce);
}

void MainWindow::installThemeFromGallery(const QString& slug, const QString& nonce)
{
    // The slug becomes a folder name in the store and in every RS3 install;
    // a link can carry anything.
    if (slug.isEmpty() || nonce.isEmpty() || !PathGuard::isSafeName(slug)) {
        Asker::instance().warning(this, tr("Install Theme"),
                                  tr("Install URL was malformed. Please click Install again from the gallery."));
        return;
    }
    // The installer keeps one item's state: a second download would mix
    // two installs into one.
    if (galleryInstallRunning) {
        Asker::instance().warning(this, tr("Install Theme"),
                                  tr("Another theme is still being installed. Please wait until it has finished, "
                                     "then try again."));
        return;
    }
    if (!waitForRaceStudio3Closed())
        return;
    createThemeInstaller();
    createInstallProgress();
    installProgress->reset();
    installProgress->setLabelText(tr("Downloading '%1' from the gallery...").arg(slug));
    installProgress->setValue(0);
    installProgress->show();
    galleryInstallRunning = true;
    themeInstaller->installFromUrl({slug, nonce});
}

bool MainWindow::waitForRaceStudio3Closed()
{
    while (isRaceStudio3Running()) {
        const QMessageBox::StandardButton answer = Asker::instance().message(
            this, QMessageBox::Warning, tr("Install"),
            tr("RaceStudio 3 is currently running.\n\nPlease close RaceStudio 3 before installing, then click Retry."),
            QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
        if (answer != QMessageBox::Retry)
            return false;
    }
    return true;
}

void MainWindow::createThemeInstaller()
{
    if (themeInstaller)
        return;
    themeInstaller = new gallery::ThemeInstaller(this, galleryBaseUrl);
    themeInstaller->setConfigTargetCheck(
        [this](const ConfigTarget& target) { return mayInstallOver(target); });
    themeInstaller->setThemeUsersLookup([this](const QStringList& folderNames) { return templateUsersOf(folderNames); });
    themeInstaller->setArtInUseQuestion([this](const QList<ArtFolderInUse>& folders) { return askArtInUse(folders); });
    themeInstaller->setThemeInUseQuestion([this](const ArtFolderInUse& theme) { return askThemeInUse(theme); });
    connect(themeInstaller, &gallery::ThemeInstaller::progress, this, &MainWindow::onThemeInstallProgress);
    connect(themeInstaller, &gallery::ThemeInstaller::installed, this, &MainWindow::onThemeInstalled);
    connect(themeInstaller, &gallery::ThemeInstaller::configInstalled, this, &MainWindow::onConfigInstalled);
    connect(themeInstaller, &gallery::ThemeInstaller::configInstallFailed, this, &MainWindow::onConfigInstallFailed);
    connect(themeInstaller, &gallery::ThemeInstaller::cancelled, this, &MainWindow::onThemeInstallCancelled);
    connect(themeInstaller, &gallery::ThemeInstaller::failed, this, &MainWindow::onThemeInstallFailed);
}

// A theme of the gallery whose id names folders the store or an install
// already holds: asked whoever was found to use them, as the search cannot
// read a configuration kept elsewhere.
ArtInUseAnswer MainWindow::askThemeInUse(const ArtFolderInUse& theme)
{
    QStringList folders;
    for (const QString& folder : theme.changed)
        folders << QDir::toNativeSeparators(folder);
    QString text = tr("A theme or template named \"%1\" is already installed; every configuration that uses it "
                      "shows what its folders hold.\n\n%2\n\nFolders the theme would replace:\n%3\n\n")
                       .arg(theme.folderName, ArtChangeQuestion::usersText({theme}),
                            TemplateUsers::firstDozen(folders));
    text += theme.ownName.isEmpty()
        ? tr("No name of its own fits the new theme, so yours can only be kept by installing nothing.\n")
        : tr("Yes keeps yours: the new theme is installed under a name of its own, \"%1\".\n").arg(theme.ownName);
    return askKeepReplaceCancel(tr("Install Theme"), text, !theme.ownName.isEmpty(),
                                tr("No replaces yours with the new theme; the old folders are kept in the artwork "
                                   "backups.\nCancel installs nothing."));
}

void MainWindow::createInstallProgress()
{
    if (installProgress)
        return;
    installProgress = new QProgressDialog(this);
    installProgress->setWindowTitle(tr("Installing Theme"));
    widenToTitle(installProgress);
    installProgress->setMinimumDuration(0);
    installProgress->setAutoClose(false);
    installProgress->setAutoReset(false);
    installProgress->setRange(0, 100);
    // Cancel stops the download; once the bundle is being written into
    // place, clicks wait (see onThemeInstallProgress) and it finishes.
    installProgress->setCancelButtonText(tr("Cancel"));
    connect(installProgress, &QProgressDialog::canceled, this, [this] {
        if (themeInstaller)
            themeInstaller->cancel();
    });
    // Built hidden; it shows when an install starts, not on creation.
    installProgress->reset();
    installProgress->hide();
}

void MainWindow::onThemeInstallProgress(int percent, const QString& stage)
{
    if (!installProgress)
        return;
    installProgress->setValue(percent);
    if (!stage.isEmpty())
        installProgress->setLabelText(stage);
    // Repaint now: the install itself runs inside this event. Clicks wait,
    // so none can start something while the bundle is half installed.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::endGalleryInstall()
{
    galleryInstallRunning = false;
    if (installProgress)
        installProgress->hide();
}

void MainWindow::onThemeInstalled(int deviceCount, const QString& themeName, const QString& keptAside)
{
    endGalleryInstall();
    QString status =
        tr("Installed '%1' - %2 device variant%3").arg(themeName, QString::number(deviceCount), plural(deviceCount));
    QString text = tr("'%1' has been installed to %2 device variant%3.\n\nOpen a .zconf2 file and use Edit > Add Page "
                      "from Template to pick a page from the Homebrew tab.")
                       .arg(themeName, QString::number(deviceCount), plural(deviceCount));
    if (!keptAside.isEmpty()) {
        status += tr(" - the folders it replaced were kept in %1").arg(QDir::toNativeSeparators(keptAside));
        text += tr("\n\nThe folders it replaced were kept in:\n%1").arg(QDir::toNativeSeparators(keptAside));
    }
    statusBar()->showMessage(status, keptAside.isEmpty() ? 6000 : 15000);
    Asker::instance().information(this, tr("Theme Installed"), text);
}

void MainWindow::onConfigInstalled(int artFileCount, const QString& configName, const QString& configPath,
                                   const QStringList& kept, const QStringList& ownFolders)
{
    endGalleryInstall();
    QString status = tr("Installed config '%1' - %2 art file%3 into RaceStudio 3")
                         .arg(configName, QString::number(artFileCount), plural(artFileCount));
    QString text = tr("'%1' is ready.\n\nIts bar-art (%2 file%3) has been installed into RaceStudio 3, and the config "
                      "was saved to:\n%4\n\nOpen that .zconf2 in RaceStudio 3 to use it - the art is already in "
                      "place, so it will render correctly with no image errors.")
                       .arg(configName, QString::number(artFileCount), plural(artFileCount),
                            QDir::toNativeSeparators(configPath));
    if (!kept.isEmpty()) {
        const QString where = QDir::toNativeSeparators(kept.join(QStringLiteral(", ")));
        status += tr(" - what it replaced was kept in %1").arg(where);
        text += tr("\n\nWhat it replaced was kept in:\n%1").arg(ArtChangeQuestion::pathList(kept));
    }
    if (!ownFolders.isEmpty())
        text += tr("\n\nYour art was kept; the bundle's art was installed under a name of its own:\n%1")
                    .arg(TemplateUsers::firstDozen(ownFolders));
    text += followInstall(configPath, kept);
    statusBar()->showMessage(status, kept.isEmpty() ? 6000 : 15000);
    QMessageBox box(QMessageBox::Information, tr("Config Installed"), text, QMessageBox::NoButton, this);
    // The name comes from the downloaded bundle.
    box.setTextFormat(Qt::PlainText);
    QPushButton* showButton = box.addButton(tr("Show in Folder"), QMessageBox::ActionRole);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    Asker::instance().exec(&box);
    if (box.clickedButton() == showButton && !configPath.isEmpty())
        showInFolder(configPath);
}

void MainWindow::showInFolder(const QString& path)
{
#ifdef Q_OS_WIN
    if (QFileInfo::exists(path)
        && QProcess::startDetached(QStringLiteral("explorer.exe"),
                                   {QStringLiteral("/select,"), QDir::toNativeSeparators(path)}))
        return;
#endif
    Asker::instance().openFolder(QFileInfo(path).absolutePath());
}

void MainWindow::onThemeInstallFailed(const QString& reason)
{
    endGalleryInstall();
    Asker::instance().warning(this, tr("Theme Install Failed"), reason);
    statusBar()->showMessage(tr("Theme install failed: %1").arg(reason), 6000);
}

// A configuration bundle that failed: the install put back what it had
// replaced; what it could not is in copies, which the window follows when
// one of them is the configuration open in it.
void MainWindow::onConfigInstallFailed(const QString& reason, const QString& configPath, const QStringList& kept)
{
    endGalleryInstall();
    Asker::instance().warning(this, tr("Config Install Failed"), reason + followFailedInstall(configPath, kept));
    statusBar()->showMessage(tr("Config install failed: %1").arg(reason), 6000);
}

// The user's own Cancel (of the download, or of the question before the
// open configuration is replaced) is no failure: nothing was written.
void MainWindow::onThemeInstallCancelled()
{
    endGalleryInstall();
    statusBar()->showMessage(tr("Install cancelled; nothing was installed."), 6000);
}
