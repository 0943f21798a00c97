#include "updates/PendingUpdate.h"

#include "model/LogText.h"
#include "model/FolderCopy.h"
#include "model/FileEntries.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdlib>

namespace {

QString environmentPath(const char* name)
{
    return QDir::fromNativeSeparators(QString::fromLocal8Bit(qgetenv(name)));
}

// Where QStandardPaths::AppDataLocation points for this program, which
// cannot be asked before QApplication exists.
QString dataHome()
{
#if defined(Q_OS_WIN)
    return environmentPath("APPDATA");
#elif defined(Q_OS_MACOS)
    const QString home = environmentPath("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/Library/Application Support");
#else
    const QString xdg = environmentPath("XDG_DATA_HOME");
    if (!xdg.isEmpty())
        return xdg;
    const QString home = environmentPath("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
#endif
}

// A new executable that does not start would fail every later start too:
// it is moved aside as "<exe>.failed" (not ".new", which would be swapped in
// again) and the ".bak" this process runs from becomes the program again.
void restoreAfterFailedRelaunch(const QString& exe, const UpdateSeams& seams)
{
    const QString bakPath = exe + QStringLiteral(".bak");
    const QString failedPath = exe + QStringLiteral(".failed");
    updateBootstrapLog(
        QStringLiteral("relaunch of %1 failed; restoring the previous program from %2").arg(exe, bakPath));
    if (QFileInfo::exists(failedPath))
        QFile::remove(failedPath);
    if (!seams.rename(exe, failedPath)) {
        updateBootstrapLog(QStringLiteral("rename %1 -> %2 failed; the new program stays").arg(exe, failedPath));
        return;
    }
    if (seams.rename(bakPath, exe)) {
        updateBootstrapLog(QStringLiteral("previous program restored as %1; the update that did not start is kept "
                                          "as %2")
                               .arg(exe, failedPath));
        return;
    }
    updateBootstrapLog(QStringLiteral("CRITICAL: could not restore backup %1 -> %2").arg(bakPath, exe));
    if (!seams.rename(failedPath, exe))
        updateBootstrapLog(QStringLiteral("CRITICAL: could not put %1 back as %2").arg(failedPath, exe));
}

} // namespace

QString updateLogFolder()
{
    const QString base = dataHome();
    if (base.isEmpty())
        return {};
    // Organization and application name as main sets them.
    return base + QStringLiteral("/Tindrel AS/Korvelanto");
}

void updateBootstrapLog(const QString& message)
{
    const QString folder = updateLogFolder();
    // The data folder is taken as it is; the log in it is appended to only
    // as a plain file, never through a link nor waiting on a pipe.
    QString why;
    if (folder.isEmpty()
        || (FileEntries::kindOf(folder) == FileEntries::Kind::Missing && !FileEntries::makePath(folder, &why)))
        return;
    const std::unique_ptr<QFile> log = FolderCopy::openForAppend(folder + QStringLiteral("/update.log"), &why);
    if (!log)
        return;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    log->write((stamp + QStringLiteral(" [bootstrap] ") + escapeForLog(message) + QLatin1Char('\n')).toUtf8());
}

int swapInNewExecutable(const QString& exe, const UpdateSeams& seams)
{
    const QString newPath = exe + QStringLiteral(".new");
    const QString bakPath = exe + QStringLiteral(".bak");
    if (!QFileInfo::exists(newPath))
        return SwapNothingPending;
    if (QFileInfo::exists(bakPath))
        QFile::remove(bakPath);
    if (!seams.rename(exe, bakPath)) {
        updateBootstrapLog(QStringLiteral("rename %1 -> %2 failed").arg(exe, bakPath));
        return SwapFailed;
    }
    if (seams.rename(newPath, exe)) {
        updateBootstrapLog(QStringLiteral("swap ok; new exe is %1").arg(exe));
        return SwapDone;
    }
    updateBootstrapLog(QStringLiteral("rename %1 -> %2 failed; restoring backup").arg(newPath, exe));
    if (seams.rename(bakPath, exe))
        return SwapUndone;
    updateBootstrapLog(QStringLiteral("CRITICAL: could not restore backup %1 -> %2").arg(bakPath, exe));
    return SwapFailed;
}

void applyPendingUpdate(int argc, char** argv, const UpdateSeams& seams)
{
    if (argc < 1 || !argv || !argv[0] || !argv[0][0])
        return;
    // Read before anything is renamed: afterwards the running image is the
    // ".bak" file.
    const QString exe = seams.executablePath(QString::fromLocal8Bit(argv[0]));
    if (exe.isEmpty() || swapInNewExecutable(exe, seams) != SwapDone)
        return;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (seams.relaunch(exe, arguments))
        std::exit(0);
    // This process carries on rather than leaving the user with nothing.
    restoreAfterFailedRelaunch(exe, seams);
    rememberInstalledExecutable(exe);
}
