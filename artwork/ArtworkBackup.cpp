// Dated copies of install folders taken before their artwork is replaced, and
// putting them back. Backups are never deleted here: they are the user's way
// back even after the editor's undo history is gone.
#include "artwork/ArtworkBackup.h"

#include "artwork/ArtworkFiles.h"
#include "model/FolderCopy.h"
#include "model/FileEntries.h"
#include "model/InstallRoots.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

// The regular files of a folder: a link there leads to someone's own file,
// which is neither copied aside nor written back.
QFileInfoList filesOf(const QString& folder)
{
    QFileInfoList files;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (FolderCopy::isRegularFile(file.absoluteFilePath()))
            files << file;
    }
    return files;
}

// Copies one kept file back into an install folder, never through a link.
bool putBack(const QFileInfo& file, const QString& folder, QString* error)
{
    const qint64 bound = 256 * 1024 * 1024;
    QByteArray bytes;
    return FolderCopy::readRegularFile(file.absoluteFilePath(), bound, &bytes, error)
        && writeInstallFile(folder + QLatin1Char('/') + file.fileName(), bytes, folder, nullptr, error);
}

} // namespace

QString createArtworkBackupRoot(QString* error)
{
    const QString parent = appDataDir() + QStringLiteral("/artwork_backups");
    const QString stamp =
        parent + QLatin1Char('/') + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss_zzz"));
    QString why;
    FileEntries::makePath(parent, &why);
    // mkdir fails on an existing folder, so a name is only ever used once,
    // even by two replacements within one millisecond.
    for (int n = 0; n < 1000; ++n) {
        const QString candidate = n == 0 ? stamp : stamp + QLatin1Char('_') + QString::number(n);
        if (QFileInfo::exists(candidate))
            continue;
        if (FileEntries::makeFolder(candidate, &why))
            return candidate;
        if (!QFileInfo::exists(candidate))
            break;
    }
    if (error)
        *error = tr("cannot create the backup folder:\n%1").arg(stamp);
    return {};
}

bool backupArtworkFolder(const QString& folder, const QString& backupDir, QString* error)
{
    for (const QFileInfo& file : filesOf(folder)) {
        if (!copyFileOver(file.absoluteFilePath(), backupDir + QLatin1Char('/') + file.fileName(), error))
            return false;
    }
    return true;
}

bool restoreArtworkBackup(const QList<ArtworkBackup>& backups, QString* error)
{
    bool ok = true;
    QString last;
    for (const ArtworkBackup& backup : backups) {
        if (!QFileInfo(backup.backupDir).isDir()) {
            ok = false;
            last = tr("the saved copy is gone: %1").arg(backup.backupDir);
            continue;
        }
        for (const QFileInfo& file : filesOf(backup.backupDir)) {
            QString copyError;
            if (!putBack(file, backup.folder, &copyError)) {
                ok = false;
                last = copyError;
            }
        }
        for (const QString& name : backup.createdNames) {
            const QString path = backup.folder + QLatin1Char('/') + name;
            if (!QFileInfo::exists(path))
                continue;
            if (!FolderCopy::removeFileWithin(backup.folder, path)) {
                ok = false;
                last = tr("could not remove %1").arg(path);
            }
        }
    }
    if (!ok && error)
        *error = last;
    return ok;
}

bool reapplyArtworkBackup(const QList<ArtworkBackup>& backups, QString* error)
{
    for (const ArtworkBackup& backup : backups) {
        if (backup.appliedDir.isEmpty() || !QFileInfo(backup.appliedDir).isDir()) {
            if (error)
                *error = tr("the copy of the new artwork is gone: %1").arg(backup.appliedDir);
            return false;
        }
        for (const QFileInfo& file : filesOf(backup.appliedDir)) {
            if (!putBack(file, backup.folder, error))
                return false;
        }
    }
    return true;
}

QStringList artworkFileNames(const QString& folder)
{
    QStringList names;
    for (const QFileInfo& file : filesOf(folder))
        names << file.fileName();
    return names;
}
