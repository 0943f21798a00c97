// A bundle installed where the open configuration lies: over its file, or
// over the record stores its base name shares with the bundle's
// configuration (a "race.zconfig" open and "race.zconf2" installed). The
// user is asked first, and afterwards the window edits the copy the install
// kept of the open configuration. A save then never writes the earlier
// document over the installed one, and Discard puts the earlier records back
// beside that copy, never beside the installed configuration.
#include "window/MainWindow.h"

#include "gallery/ArtChangeQuestion.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/ConfigFilesPlacement.h"
#include "model/DashConfig.h"
#include "model/SamePath.h"
#include "panels/Asker.h"
#include "templates/TemplateUsers.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

bool listed(const QStringList& paths, const QString& path)
{
    for (const QString& candidate : paths) {
        if (isSamePath(candidate, path))
            return true;
    }
    return false;
}

// The copy among those an install kept that stands for the open file: in
// its folder, of its suffix, named "<its base name>.bak<n>.<suffix>". When
// only stores were kept (the open file was not on disk), the open file's
// name beside them.
QString keptCopyOf(const QString& open, const QStringList& kept)
{
    const QFileInfo info(open);
    const QString copyStart = info.completeBaseName() + QStringLiteral(".bak");
    const QString suffix = QLatin1Char('.') + info.suffix();
    QString beside;
    for (const QString& path : kept) {
        const QFileInfo copy(path);
        if (!copy.isFile() || !isSamePath(copy.absolutePath(), info.absolutePath())
            || !copy.fileName().startsWith(copyStart))
            continue;
        if (copy.fileName().endsWith(suffix))
            return path;
        for (const QString& store : DashConfig::sidecarFileNames(QString())) {
            if (beside.isEmpty() && copy.fileName().endsWith(store))
                beside = path.chopped(store.size()) + suffix;
        }
    }
    return beside;
}

} // namespace

bool MainWindow::installTouchesOpenConfiguration(const QString& placedPath, const QStringList& touched) const
{
    if (config.pageCount() == 0)
        return false;
    if (isSamePath(placedPath, currentFilePath) || listed(touched, currentFilePath))
        return true;
    for (const QString& store : config.sidecarPaths()) {
        if (listed(touched, store))
            return true;
    }
    return false;
}

bool MainWindow::mayInstallOver(const ConfigTarget& target)
{
    installOverGoneFile = false;
    if (!installTouchesOpenConfiguration(target.placedPath, target.touched))
        return true;
    // A value still being typed is one of the changes the copy is to keep.
    commitTyping();
    const QString name = QFileInfo(currentFilePath).fileName();
    const bool unsaved = hasUnsavedChanges();
    const bool overFile = isSamePath(target.placedPath, currentFilePath);
    const QString withChanges = unsaved ? tr(", with its unsaved changes,") : QString();
    const QString keptText =
        tr("The open configuration%1 will be kept in a copy beside it, and this window goes on with that copy.\n\n"
           "Install the bundle?")
            .arg(withChanges);
    // Moved away or deleted by another program: there is no file to keep,
    // but a save under its name would now write over the installed one.
    installOverGoneFile = overFile && !QFileInfo::exists(currentFilePath);
    QString text;
    if (installOverGoneFile)
        text = tr("%1, which is open in this window, is no longer on disk: the bundle's configuration is placed "
                  "under its name.\n\nThis window goes on with the open configuration%2 under a new name beside it, "
                  "so that saving it never writes over the installed one.\n\nInstall the bundle?")
                   .arg(name, withChanges);
    else if (overFile && target.unchanged)
        text = tr("The bundle's configuration is the same as %1, which is open in this window: its saved files "
                  "already hold what the bundle brings, so nothing of it is replaced and this window goes on with "
                  "it%2.\n\nInstall the bundle?")
                   .arg(name, unsaved ? tr(" and its unsaved changes") : QString());
    else if (overFile)
        text = tr("The bundle's configuration replaces %1, which is open in this window.\n\n").arg(name) + keptText;
    else
        text = tr("The bundle's configuration %1 replaces the record stores of %2, which is open in this window "
                  "(stores are named after the configuration without its suffix).\n\n")
                   .arg(QFileInfo(target.placedPath).fileName(), name)
            + keptText;
    const auto answer = Asker::instance().question(this, tr("Install Config Bundle"), text,
                                                   QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Yes;
}

ArtInUseCheck MainWindow::artInUseCheck()
{
    return {[this](const QStringList& folderNames) { return templateUsersOf(folderNames); },
            [this](const QList<ArtFolderInUse>& folders) { return askArtInUse(folders); }};
}

// The question every install asks before its art changes the files of
// template folders an install holds, whoever was found to use them, with a
// way to keep the user's art: the bundle's goes under a name of its own.
// Where no name of its own fits, keeping is not offered and the question
// says why before the user chooses. A folder kept through a link is never
// replaced (no install writes through it): No still gives its art a name of
// its own, and is not offered when it would replace nothing, or when such a
// folder has no name to take.
ArtInUseAnswer MainWindow::askArtInUse(const QList<ArtFolderInUse>& folders)
{
    // One line per folder, the files it would replace in the log: a list of
    // every file of every install would push the buttons off the screen.
    QStringList changed;
    QStringList linked;
    bool nameless = false;
    bool linkedNameless = false;
    for (const ArtFolderInUse& folder : folders) {
        for (const QString& file : folder.changed)
            qInfo().noquote() << "MainWindow::askArtInUse: would replace" << QDir::toNativeSeparators(file);
        nameless = nameless || folder.ownName.isEmpty();
        const QString files = tr("%n file(s)", nullptr, int(folder.changed.size()));
        changed << (folder.ownName.isEmpty()
                        ? tr("    \"%1\"  (%2; no name of its own fits)").arg(folder.folderName, files)
                        : tr("    \"%1\"  (%2), kept as \"%3\"").arg(folder.folderName, files, folder.ownName));
        if (!folder.keptThroughLink.isEmpty()) {
            linked << folder.keptThroughLink;
            linkedNameless = linkedNameless || folder.ownName.isEmpty();
        }
    }
    QString text = tr("The bundle brings other art for template folders RaceStudio 3 already holds; every "
                      "configuration that uses them shows what they hold.\n\n%1\n\nFolders whose files it would "
                      "replace (each file is named in the log file), and the name of its own the bundle's art takes "
                      "if you keep yours:\n%2\n\n")
                       .arg(ArtChangeQuestion::usersText(folders), TemplateUsers::firstDozen(changed));
    if (!linked.isEmpty())
        text += tr("Kept through a symbolic link, which an install never writes through, so their files are never "
                   "replaced and the bundle's art for them always takes its name of its own:\n%1\n\n")
                    .arg(ArtChangeQuestion::shortPathList(linked));
    const QString keepLine = nameless
        ? tr("No folder name of its own fits the bundle's art of some of them, so your art can only be kept by "
             "installing nothing.\n")
        : tr("Yes keeps your art: the bundle's art is installed under those names and the installed configuration "
             "points at them.\n");
    const bool canReplace = !linkedNameless && linked.size() < folders.size();
    QString replaceLine;
    if (!canReplace)
        replaceLine = tr("No (replace) is not offered: your art in those folders is kept through a symbolic link.\n"
                         "Cancel installs nothing.");
    else if (!linked.isEmpty())
        replaceLine = tr("No replaces your art with the bundle's in the other folders; a copy of your files is kept "
                         "in the artwork backups.\nCancel installs nothing.");
    else
        replaceLine = tr("No replaces your art with the bundle's; a copy of your files is kept in the artwork "
                         "backups.\nCancel installs nothing.");
    return askKeepReplaceCancel(tr("Install Config Bundle"), text + keepLine, !nameless, replaceLine, canReplace);
}

// Yes keeps the user's art (the default where it can), No replaces it where
// it is offered, and Cancel writes nothing.
ArtInUseAnswer MainWindow::askKeepReplaceCancel(const QString& title, const QString& text, bool canKeep,
                                                const QString& replaceLine, bool canReplace)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Cancel;
    if (canKeep)
        buttons |= QMessageBox::Yes;
    if (canReplace)
        buttons |= QMessageBox::No;
    switch (Asker::instance().question(this, title, text + replaceLine, buttons,
                                       canKeep ? QMessageBox::Yes : QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return ArtInUseAnswer::KeepMine;
    case QMessageBox::No:
        return ArtInUseAnswer::Replace;
    default:
        return ArtInUseAnswer::Cancel;
    }
}

QString MainWindow::followKeptCopy(const QStringList& kept, bool openFileGone)
{
    if (config.pageCount() == 0)
        return {};
    QString copy = keptCopyOf(currentFilePath, kept);
    if (copy.isEmpty() && openFileGone) {
        const QFileInfo open(currentFilePath);
        copy = open.absolutePath() + QLatin1Char('/')
            + ConfigFilesPlacement::freeCopyStem(open.absolutePath(), open.completeBaseName()) + QLatin1Char('.')
            + open.suffix();
    }
    if (copy.isEmpty())
        return {};
    // The install copied the sidecars with the file, so the records move
    // with the name and nothing is carried here.
    config.moveSavedSidecarsTo(copy);
    if (isSamePath(repairedFilePath, currentFilePath))
        repairedFilePath = copy;
    // A save copies some entries from the archive as stored (a second entry
    // of the same path, a file gone from the working folder): the copy holds
    // them now, the installed file does not.
    config.archiveIndex.moveTo(copy);
    config.zconf2Path = copy;
    currentFilePath = copy;
    updateWindowTitle();
    return copy;
}

QString MainWindow::followInstall(const QString& placedPath, const QStringList& kept)
{
    const bool gone = std::exchange(installOverGoneFile, false);
    if (config.pageCount() == 0 || !sharesStoresWith(placedPath))
        return {};
    if (gone) {
        const QString copy = followKeptCopy(kept, true);
        return tr("\n\nThe configuration open in this window was no longer on disk: this window now edits it as %1, "
                  "which its next save writes.")
            .arg(QDir::toNativeSeparators(copy));
    }
    const QString copy = followedCopyText(kept);
    if (!copy.isEmpty())
        return copy;
    if (isSamePath(placedPath, currentFilePath))
        return tr("\n\nThe configuration open in this window already held what the bundle brings: it was left as "
                  "it was, and this window goes on with it.");
    return {};
}

// A failed install changed nothing of the open configuration but what it
// could not put back: only a copy of that is followed.
QString MainWindow::followFailedInstall(const QString& placedPath, const QStringList& kept)
{
    installOverGoneFile = false;
    if (config.pageCount() == 0 || !sharesStoresWith(placedPath))
        return {};
    return followedCopyText(kept);
}

QString MainWindow::followedCopyText(const QStringList& kept)
{
    const QString copy = followKeptCopy(kept);
    if (copy.isEmpty())
        return {};
    return tr("\n\nThe configuration that was open is kept as %1, and this window now edits that copy.")
        .arg(QDir::toNativeSeparators(copy));
}

bool MainWindow::sharesStoresWith(const QString& path) const
{
    const QFileInfo open(currentFilePath);
    const QFileInfo other(path);
    return !currentFilePath.isEmpty() && !path.isEmpty() && open.completeBaseName() == other.completeBaseName()
        && isSamePath(open.absolutePath(), other.absolutePath());
}
