// What lies on the way to a path, and reads of one file, never through a link.
#include "model/FolderCopy.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/SafeRead.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderCopy", text);
}

} // namespace

using namespace FileEntries;

void FolderCopy::setWalkHookForTesting(std::function<void(const QString& folder)> hook)
{
    walkHook() = std::move(hook);
}

QString FolderCopy::linkOnPath(const QString& within, const QString& path)
{
    const QString base = QDir::cleanPath(within);
    const QString cleaned = QDir::cleanPath(path);
    if (cleaned != base && !cleaned.startsWith(base + QLatin1Char('/')))
        return {};
    QString at = base;
    const QStringList parts = cleaned.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        at += QLatin1Char('/') + part;
        const Kind kind = kindOf(at);
        if (kind == Kind::Link)
            return at;
        if (kind == Kind::Missing)
            break;
    }
    return {};
}

bool FolderCopy::linkOnTheWay(const QString& root, const QString& rel)
{
    return !linkOnPath(root, root + QLatin1Char('/') + rel).isEmpty();
}

QString FolderCopy::whyNoFolder(const QString& path)
{
    for (QString at = QDir::cleanPath(path);;) {
        QString reason;
        const Kind kind = kindOf(at, &reason);
        if (kind == Kind::Folder)
            return tr("%1 cannot be written").arg(at);
        if (kind == Kind::Link)
            return tr("%1 is a symbolic link").arg(at);
        const QString parent = QFileInfo(at).path();
        // Below a file a name cannot even be looked up: what is in the way
        // lies further up.
        const Kind above = parent == at ? Kind::Folder : kindOf(parent);
        if (kind != Kind::Missing && (above == Kind::Folder || above == Kind::Link))
            return tr("%1 is in the way: it is not a folder").arg(at);
        if (parent == at)
            return tr("%1 cannot be created").arg(path);
        at = parent;
    }
}

bool FolderCopy::isRegularFile(const QString& path)
{
    return kindOf(path) == Kind::Regular;
}

bool FolderCopy::readRegularFile(const QString& path, qint64 bound, QByteArray* bytes)
{
    return readRegularFile(path, bound, bytes, nullptr);
}

bool FolderCopy::readRegularFile(const QString& path, qint64 bound, QByteArray* bytes, QString* error)
{
    // The one bounded reader: never through a link, never from a pipe.
    return SafeRead::readFile(path, bound, bytes, error);
}

namespace {

// The refusal of a path whose way down from within passes a link.
bool linkOnTheWayTo(const QString& within, const QString& path, const char* what, QString* error)
{
    const QString link = FolderCopy::linkOnPath(within, path);
    if (link.isEmpty())
        return false;
    failWith(error, tr(what).arg(path, tr("%1 is a symbolic link").arg(link)));
    return true;
}

} // namespace

bool FolderCopy::makeFolderWithin(const QString& within, const QString& path, QString* error)
{
    if (linkOnTheWayTo(within, path, "cannot create the folder %1: %2", error))
        return false;
    QString why;
    if (makePath(path, &why))
        return true;
    // Made meanwhile, or a file on the way: named by what is there.
    return failWith(error, tr("cannot create the folder %1: %2").arg(path, whyNoFolder(path)));
}

bool FolderCopy::removeTreeWithin(const QString& within, const QString& path, QString* error)
{
    if (linkOnTheWayTo(within, QFileInfo(QDir::cleanPath(path)).path(), "cannot remove %1: %2", error))
        return false;
    return removeTree(path, error);
}

bool FolderCopy::removeFileWithin(const QString& within, const QString& path, QString* error)
{
    if (linkOnTheWayTo(within, QFileInfo(QDir::cleanPath(path)).path(), "cannot remove %1: %2", error))
        return false;
    QString reason;
    return removeFile(path, &reason) || failWith(error, tr("cannot remove %1: %2").arg(path, reason));
}

bool FolderCopy::removeEmptyFolderWithin(const QString& within, const QString& path, QString* error)
{
    if (linkOnTheWayTo(within, QFileInfo(QDir::cleanPath(path)).path(), "cannot remove %1: %2", error))
        return false;
    QString reason;
    return removeEmptyFolder(path, &reason) || failWith(error, tr("cannot remove %1: %2").arg(path, reason));
}

bool FolderCopy::moveWithin(const QString& within, const QString& from, const QString& to, QString* error)
{
    if (linkOnTheWayTo(within, from, "cannot move %1: %2", error)
        || linkOnTheWayTo(within, QFileInfo(QDir::cleanPath(to)).path(), "cannot move %1: %2", error))
        return false;
    const Kind kind = kindOf(from);
    const Kind there = kindOf(to);
    if (kind == Kind::Missing)
        return failWith(error, tr("cannot move %1: %2").arg(from, tr("it does not exist")));
    if (there != Kind::Missing && (kind == Kind::Folder || there == Kind::Folder || there == Kind::Other))
        return failWith(error, tr("cannot move %1: %2").arg(from, tr("%1 is in the way").arg(to)));
    QString reason;
    return renameEntry(from, to, &reason) || failWith(error, tr("cannot move %1: %2").arg(from, reason));
}

std::unique_ptr<QFile> FolderCopy::openForAppend(const QString& path, QString* error)
{
    auto file = std::make_unique<QFile>(path);
#ifdef Q_OS_UNIX
    QString reason;
    const int fd = FileEntries::openForAppend(path, &reason);
    if (fd < 0) {
        failWith(error, tr("cannot write %1: %2").arg(path, reason));
        return nullptr;
    }
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failWith(error, tr("cannot write %1: %2").arg(path, file->errorString()));
        return nullptr;
    }
#else
    const Kind kind = kindOf(path);
    if (kind != Kind::Missing && kind != Kind::Regular) {
        failWith(error, tr("cannot write %1: %2").arg(path, kind == Kind::Link ? tr("it is a symbolic link")
                                                                           : tr("it is not a regular file")));
        return nullptr;
    }
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        failWith(error, tr("cannot write %1: %2").arg(path, file->errorString()));
        return nullptr;
    }
#endif
    return file;
}

QString FolderCopy::whyNameDoesNotFit(const QString& name)
{
    if (nameFits(name))
        return {};
    return tr("The name \"%1\" is too long for a file name once Korvelanto adds its own endings to it (at most %2 "
              "bytes are left for it; letters outside English take two to four bytes each). Please choose a "
              "shorter name.")
        .arg(name)
        .arg(kMaxNameBytes - kAddedNameBytes);
}
