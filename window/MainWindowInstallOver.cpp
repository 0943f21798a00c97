// A bundle installed where the open configuration lies: the user is asked
// first, and afterwards the window edits the copy the install kept of the
// replaced file. A save then never writes the earlier document over the
// installed one, and Discard puts the earlier records back beside that copy,
// never beside the installed configuration.
#include "window/MainWindow.h"

#include "model/DashConfig.h"
#include "panels/Asker.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool samePath(const QString& a, const QString& b)
{
    return !a.isEmpty() && !b.isEmpty() && QFileInfo(a) == QFileInfo(b);
}

// The configuration file among the copies an install kept: the one that
// is a file (the other is a folder of replaced art). When only sidecars
// were kept, the configuration's name beside them.
QString keptConfigFile(const QStringList& kept)
{
    for (const QString& path : kept) {
        if (!QFileInfo(path).isFile())
            continue;
        if (path.endsWith(QLatin1String(".zconf2")))
            return path;
        for (const QString& suffix : DashConfig::sidecarFileNames(QString())) {
            if (path.endsWith(suffix))
                return path.chopped(suffix.size()) + QStringLiteral(".zconf2");
        }
    }
    return {};
}

} // namespace

bool MainWindow::mayInstallOver(const QString& placedPath, bool unchanged)
{
    if (config.pageCount() == 0 || !samePath(placedPath, currentFilePath))
        return true;
    // A value still being typed is one of the changes the copy is to keep.
    commitTyping();
    const QString name = QFileInfo(currentFilePath).fileName();
    const bool unsaved = hasUnsavedChanges();
    const QString text = unchanged
        ? tr("The bundle's configuration is the same as %1, which is open in this window: its saved files already "
             "hold what the bundle brings, so nothing of it is replaced and this window goes on with it%2.\n\n"
             "Install the bundle?")
              .arg(name, unsaved ? tr(" and its unsaved changes") : QString())
        : tr("The bundle's configuration replaces %1, which is open in this window.\n\nThe open configuration%2 "
             "will be kept in a copy beside it, and this window goes on with that copy.\n\nInstall the bundle?")
              .arg(name, unsaved ? tr(", with its unsaved changes,") : QString());
    const auto answer = Asker::instance().question(this, tr("Install Config Bundle"), text,
                                                   QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Yes;
}

QString MainWindow::followKeptCopy(const QString& placedPath, const QStringList& kept)
{
    if (config.pageCount() == 0 || !samePath(placedPath, currentFilePath))
        return {};
    const QString copy = keptConfigFile(kept);
    if (copy.isEmpty())
        return {};
    // The install copied the sidecars with the file, so the records move
    // with the name and nothing is carried here.
    const QStringList before = config.sidecarPaths();
    const QStringList after = DashConfig::sidecarPathsOf(copy);
    for (KeptFile& saved : savedSidecars) {
        const int index = before.indexOf(saved.path);
        if (index >= 0)
            saved.path = after.value(index);
    }
    if (samePath(repairedFilePath, currentFilePath))
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
    if (config.pageCount() == 0 || !samePath(placedPath, currentFilePath))
        return {};
    const QString copy = followKeptCopy(placedPath, kept);
    if (copy.isEmpty())
        return tr("\n\nThe configuration open in this window already held what the bundle brings: it was left as "
                  "it was, and this window goes on with it.");
    return tr("\n\nThe configuration that was open is kept as %1, and this window now edits that copy.")
        .arg(QDir::toNativeSeparators(copy));
}
