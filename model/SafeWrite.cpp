#include "model/SafeWrite.h"

#include "model/ErrorText.h"
#include "model/FolderCopy.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>

namespace {

bool report(const QString& path, const QString& reason, QString* error)
{
    const QString text = QCoreApplication::translate("SafeWrite", "cannot write %1: %2").arg(path, reason);
    qWarning().noquote() << "writeFileSafely:" << text;
    return failWith(error, text);
}

// The reason is read before the temporary file is discarded, which replaces it.
bool failWrite(QSaveFile& file, QString* error)
{
    const QString reason = file.errorString();
    file.cancelWriting();
    file.commit(); // discards the temporary file; the previous one stays
    return report(file.fileName(), reason, error);
}

// A flush cut short part way leaves no reason either: what is left, flushed
// again, fails with the system's.
bool flushed(QFileDevice& file)
{
    if (file.flush())
        return true;
    file.flush();
    return false;
}

} // namespace

bool commitSaveFile(QSaveFile& file, QString* error)
{
    if (!file.isOpen() || !flushed(file) || file.error() != QFileDevice::NoError)
        return failWrite(file, error);
    if (!file.commit())
        return report(file.fileName(), file.errorString(), error);
    return true;
}

bool writeWhole(QFileDevice& file, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = file.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return report(path, file.errorString(), error);
    if (!writeWhole(file, bytes.constData(), bytes.size()))
        return failWrite(file, error);
    return commitSaveFile(file, error);
}

QString noLinkWriteRefusal(const QString& path, const QString& within)
{
    // A `within` that does not hold path still leaves path's own entry
    // looked at: a link there, working or not, is never written through.
    QString at = within.isEmpty() ? QString() : FolderCopy::linkOnPath(within, path);
    if (at.isEmpty())
        at = FolderCopy::linkOnPath(QFileInfo(path).path(), path);
    if (!at.isEmpty())
        return QCoreApplication::translate("SafeWrite", "%1 is a symbolic link").arg(at);
    if (QFileInfo::exists(path) && !FolderCopy::isRegularFile(path))
        return QCoreApplication::translate("SafeWrite", "it is not a regular file");
    return {};
}

namespace {

// Writes bytes into a temporary file beside path, then renames it over path,
// without waiting for the disk. Empty permissions leave the temporary
// file's own.
bool renameIntoPlace(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions,
                     QString* error)
{
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return report(path, file.errorString(), error);
    if (!writeWhole(file, bytes.constData(), bytes.size()) || !flushed(file) || file.error() != QFileDevice::NoError)
        return report(path, file.errorString(), error);
    if (permissions.toInt() != 0)
        file.setPermissions(permissions);
    file.close();
    if (!renameOverFile(file.fileName(), path))
        return report(path, QCoreApplication::translate("SafeWrite", "the written file could not be moved into place"),
                      error);
    file.setAutoRemove(false);
    return true;
}

// Writes path without waiting for the disk: a replaced file through a
// temporary file beside it renamed over it, keeping its permissions.
bool writeUnsynced(const QString& path, const QByteArray& bytes, QString* error)
{
    // Where nothing is, the file is made in place.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return writeNewFile(path, bytes, error);
    const QFileDevice::Permissions plain = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
        | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    return renameIntoPlace(path, bytes, FolderCopy::isRegularFile(path) ? QFile::permissions(path) : plain, error);
}

} // namespace

bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error)
{
    // Created new (O_EXCL: never through a link), and taken away again when
    // it cannot be written whole.
    QFile fresh(path);
    if (!fresh.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return report(path, fresh.errorString(), error);
    if (writeWhole(fresh, bytes.constData(), bytes.size()) && flushed(fresh) && fresh.error() == QFileDevice::NoError)
        return true;
    const QString reason = fresh.errorString();
    fresh.close();
    fresh.remove();
    return report(path, reason, error);
}

bool writeFileNoLink(const QString& path, const QByteArray& bytes, const QString& within, QString* error)
{
    const QString refusal = noLinkWriteRefusal(path, within);
    if (!refusal.isEmpty())
        return report(path, refusal, error);
    return writeFileSafely(path, bytes, error);
}

bool writeFileNoLink(const QString& path, const QByteArray& bytes, const QString& within, FolderCopy& batch,
                     QString* error)
{
    const QString refusal = noLinkWriteRefusal(path, within);
    if (!refusal.isEmpty())
        return report(path, refusal, error);
    if (!writeUnsynced(path, bytes, error))
        return false;
    batch.noteWritten(path);
    return true;
}

bool writeCacheFileNoLink(const QString& path, const QByteArray& bytes, const QString& within, QString* error)
{
    const QString refusal = noLinkWriteRefusal(path, within);
    if (!refusal.isEmpty())
        return report(path, refusal, error);
    return writeUnsynced(path, bytes, error);
}

bool moveFileNoLink(const QString& from, const QString& path, const QString& within, FolderCopy& batch)
{
    if (!noLinkWriteRefusal(path, within).isEmpty() || !FolderCopy::isRegularFile(from))
        return false;
    if (FolderCopy::isRegularFile(path))
        QFile::setPermissions(from, QFile::permissions(path));
    // Within one disk a rename; across disks it fails, and nothing moved.
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(path);
    if (std::rename(source.constData(), target.constData()) != 0)
        return false;
    batch.noteWritten(path);
    return true;
}

bool writeWorkingFile(const QString& path, const QByteArray& bytes, QString* error)
{
    return renameIntoPlace(path, bytes, QFileInfo::exists(path) ? QFile::permissions(path) : QFileDevice::Permissions(),
                           error);
}
