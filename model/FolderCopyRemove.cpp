// Removals: a folder is emptied without following any link in it.
#include "model/FolderCopy.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"

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

#ifdef Q_OS_UNIX

namespace {

bool removeAt(int parent, const QByteArray& name, const QString& shown, QString* error)
{
    struct stat st {};
    if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || failWith(error, tr("cannot remove %1: %2").arg(shown, systemReason(errno)));
    if (S_ISDIR(st.st_mode)) {
        beforeWalkingInto(shown);
        int fd = openFolderAt(parent, name);
        if (fd < 0 && errno == EACCES && ::fchmodat(parent, name.constData(), (st.st_mode & 07777) | S_IRWXU, 0) == 0)
            fd = openFolderAt(parent, name);
        if (fd >= 0) {
            // Its entries can only go once it may be written.
            if ((st.st_mode & S_IRWXU) != S_IRWXU)
                ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
            std::vector<QByteArray> names;
            bool ok = namesAt(fd, &names)
                || failWith(error, tr("cannot remove the folder %1: %2").arg(shown, systemReason(errno)));
            for (const QByteArray& entry : names)
                ok = removeAt(fd, entry, shown + QLatin1Char('/') + QFile::decodeName(entry), error) && ok;
            ::close(fd);
            if (!ok)
                return false;
            if (::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0)
                return true;
            return failWith(error, tr("cannot remove the folder %1: %2").arg(shown, systemReason(errno)));
        }
        // Swapped for a link or a file since it was looked at: that goes,
        // never what it leads to.
        if (errno != ELOOP && errno != ENOTDIR)
            return failWith(error, tr("cannot remove the folder %1: %2").arg(shown, systemReason(errno)));
    }
    if (::unlinkat(parent, name.constData(), 0) == 0 || errno == ENOENT)
        return true;
    return failWith(error, tr("cannot remove %1: %2").arg(shown, systemReason(errno)));
}

} // namespace

bool FolderCopy::removeTree(const QString& path, QString* error)
{
    const QString cleaned = QDir::cleanPath(path);
    if (kindOf(cleaned) == Kind::Missing)
        return true;
    const QFileInfo info(cleaned);
    // The folder it is in is taken as given: links on the way there are the
    // caller's to rule out.
    const int dir = ::open(encoded(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failWith(error, tr("cannot remove %1: %2").arg(path, systemReason(errno)));
    // Install folders may be read-only: what is in them can go only once
    // they may be written.
    struct stat st {};
    if (::fstat(dir, &st) == 0 && !(st.st_mode & S_IWUSR))
        ::fchmod(dir, (st.st_mode & 07777) | S_IWUSR);
    const bool ok = removeAt(dir, encoded(info.fileName()), cleaned, error);
    ::close(dir);
    return ok;
}

#else

bool FolderCopy::removeTree(const QString& path, QString* error)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Missing)
        return true;
    if (kind != Kind::Folder) {
        // A link goes, never what it points at.
        const QString parent = QFileInfo(path).path();
        QFile::setPermissions(parent, QFile::permissions(parent) | QFileDevice::WriteOwner);
#ifdef Q_OS_UNIX
        if (::unlink(encoded(path).constData()) == 0)
            return true;
        return failWith(error, tr("cannot remove %1: %2").arg(path, systemReason(errno)));
#else
        return QFile::remove(path) || failWith(error, tr("cannot remove %1").arg(path));
#endif
    }
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                    | QFileDevice::ExeOwner);
    bool ok = true;
    for (const QString& name : entriesOf(path))
        ok = removeTree(path + QLatin1Char('/') + name, error) && ok;
    if (!ok)
        return false;
    return QDir().rmdir(path) || failWith(error, tr("cannot remove the folder %1").arg(path));
}

#endif
