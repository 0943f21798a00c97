#include "model/FolderCopy.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderCopy", text);
}

#ifdef Q_OS_UNIX
// Why a folder looked at a moment ago did not open as one: swapped for a
// link or a file meanwhile, or the system's reason.
QString whyNotOpened(int error)
{
    return error == ELOOP || error == ENOTDIR ? tr("it is no longer a folder") : FileEntries::systemReason(error);
}
#endif

} // namespace

using namespace FileEntries;

FolderCopy::~FolderCopy()
{
    flush();
}

bool FolderCopy::fail(const QString& text)
{
    m_error = text;
    qWarning().noquote() << "FolderCopy:" << text;
    return false;
}

void FolderCopy::note(const QString& text)
{
    qInfo().noquote() << "FolderCopy:" << text;
    if (!m_notes.contains(text))
        m_notes << text;
}

bool FolderCopy::copyFile(const QString& source, const QString& target)
{
#ifdef Q_OS_UNIX
    return copyFileAt(AT_FDCWD, encoded(source), AT_FDCWD, encoded(target), source, target);
}

bool FolderCopy::copyFileAt(int fromDir, const QByteArray& fromName, int toDir, const QByteArray& toName,
                            const QString& source, const QString& target)
{
    QString reason;
    qint64 size = 0;
    const int in = openRegularAt(fromDir, fromName, &size, &reason);
    Q_UNUSED(size);
    if (in < 0)
        return fail(tr("cannot read %1: %2").arg(source, reason));
    const int out = ::openat(toDir, toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        const int why = errno;
        ::close(in);
        return fail(tr("cannot write %1: %2").arg(target, systemReason(why)));
    }
    // The file is this copy's own (it did not exist): a failed one goes.
    const auto dropTarget = [&] { ::unlinkat(toDir, toName.constData(), 0); };
    char buffer[1 << 16];
    bool ok = true;
    int why = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int readError = errno;
            ::close(in);
            ::close(out);
            dropTarget();
            return fail(tr("cannot read %1: %2").arg(source, systemReason(readError)));
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                why = w < 0 ? errno : ENOSPC;
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        why = errno;
        ok = false;
    }
    if (!ok) {
        dropTarget();
        return fail(tr("cannot write %1: %2").arg(target, systemReason(why)));
    }
    ++m_copiedFiles;
    return true;
#else
    if (kindOf(source) != Kind::Regular)
        return fail(tr("cannot read %1: %2").arg(source, tr("it is not a regular file")));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(tr("cannot read %1: %2").arg(source, in.errorString()));
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(tr("cannot write %1: %2").arg(target, out.errorString()));
    QByteArray chunk;
    bool ok = true;
    while (ok && !(chunk = in.read(1 << 16)).isEmpty())
        ok = out.write(chunk) == chunk.size();
    ok = ok && out.flush();
    const QString why = !ok ? tr("cannot write %1: %2").arg(target, out.errorString())
                            : tr("cannot read %1: %2").arg(source, in.errorString());
    if (ok && in.error() == QFileDevice::NoError) {
        ++m_copiedFiles;
        return true;
    }
    out.remove();
    return fail(why);
#endif
}

#ifdef Q_OS_UNIX

bool FolderCopy::copyTree(const QString& source, const QString& target, bool merge)
{
    const int from = openFolderAt(AT_FDCWD, encoded(source));
    if (from < 0)
        return fail(tr("cannot read %1: %2").arg(source, systemReason(errno)));
    const int to = openFolderAt(AT_FDCWD, encoded(target));
    if (to < 0) {
        const int why = errno;
        ::close(from);
        return fail(tr("cannot write %1: %2").arg(target, systemReason(why)));
    }
    const bool ok = copyTreeAt(from, to, source, target, merge);
    ::close(from);
    ::close(to);
    return ok;
}

bool FolderCopy::copyTreeAt(int fromDir, int toDir, const QString& source, const QString& target, bool merge)
{
    std::vector<QByteArray> names;
    if (!namesAt(fromDir, &names))
        return fail(tr("cannot read %1: %2").arg(source, systemReason(errno)));
    for (const QByteArray& name : names) {
        // Hidden entries are the system's or another program's, not art.
        if (name.startsWith('.'))
            continue;
        const QString from = source + QLatin1Char('/') + QFile::decodeName(name);
        const QString to = target + QLatin1Char('/') + QFile::decodeName(name);
        const Kind kind = kindAt(fromDir, name);
        if (kind == Kind::Link) {
            note(tr("%1 was not copied: it is a symbolic link").arg(from));
            continue;
        }
        if (kind != Kind::Regular && kind != Kind::Folder) {
            note(tr("%1 was not copied: it is not a regular file").arg(from));
            continue;
        }
        const Kind there = merge ? kindAt(toDir, name) : Kind::Missing;
        if (there != Kind::Missing && !(kind == Kind::Folder && there == Kind::Folder)) {
            qInfo().noquote() << "FolderCopy: kept" << to << "as it is";
            continue;
        }
        if (kind == Kind::Regular) {
            if (!copyFileAt(fromDir, name, toDir, name, from, to))
                return false;
            continue;
        }
        if (there == Kind::Missing && ::mkdirat(toDir, name.constData(), 0755) != 0)
            return fail(tr("cannot create the folder %1: %2").arg(to, systemReason(errno)));
        beforeWalkingInto(from);
        // Either side swapped for a link since it was looked at fails to
        // open here and stops the copy: nothing is copied through it.
        const int fromChild = openFolderAt(fromDir, name);
        if (fromChild < 0)
            return fail(tr("cannot read %1: %2").arg(from, whyNotOpened(errno)));
        const int toChild = openFolderAt(toDir, name);
        if (toChild < 0) {
            const int why = errno;
            ::close(fromChild);
            return fail(tr("cannot write %1: %2").arg(to, whyNotOpened(why)));
        }
        const bool ok = copyTreeAt(fromChild, toChild, from, to, merge);
        ::close(fromChild);
        ::close(toChild);
        if (!ok)
            return false;
    }
    return true;
}

#else

bool FolderCopy::copyTree(const QString& source, const QString& target, bool merge)
{
    for (const QString& name : entriesOf(source)) {
        // Hidden entries are the system's or another program's, not art.
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString from = source + QLatin1Char('/') + name;
        const QString to = target + QLatin1Char('/') + name;
        const Kind kind = kindOf(from);
        if (kind == Kind::Link) {
            note(tr("%1 was not copied: it is a symbolic link").arg(from));
            continue;
        }
        if (kind != Kind::Regular && kind != Kind::Folder) {
            note(tr("%1 was not copied: it is not a regular file").arg(from));
            continue;
        }
        const Kind there = merge ? kindOf(to) : Kind::Missing;
        if (there != Kind::Missing) {
            if (kind == Kind::Folder && there == Kind::Folder) {
                if (!copyTree(from, to, merge))
                    return false;
            } else {
                qInfo().noquote() << "FolderCopy: kept" << to << "as it is";
            }
            continue;
        }
        if (kind == Kind::Folder) {
            QString reason;
            if (!makeFolder(to, &reason))
                return fail(tr("cannot create the folder %1: %2").arg(to, reason));
            if (!copyTree(from, to, merge))
                return false;
        } else if (!copyFile(from, to)) {
            return false;
        }
    }
    return true;
}

#endif

FolderCopy::Outcome FolderCopy::addFolder(const QString& source, const QString& target, const QString& within)
{
    const Kind from = kindOf(source);
    if (from == Kind::Link) {
        note(tr("%1 was not copied: it is a symbolic link").arg(source));
        fail(tr("cannot copy %1: %2").arg(source, tr("it is a symbolic link")));
        return Outcome::Failed;
    }
    if (from != Kind::Folder) {
        fail(tr("cannot copy %1: %2").arg(source, tr("it is not a folder")));
        return Outcome::Failed;
    }
    const QString parent = QFileInfo(target).path();
    const QString link = linkOnPath(within.isEmpty() ? parent : within, target);
    if (!link.isEmpty()) {
        note(tr("%1 was left as it is: %2 is a symbolic link").arg(target, link));
        return Outcome::Present;
    }
    QString reason;
    const Kind there = kindOf(target, &reason);
    if (there != Kind::Missing) {
        if (there == Kind::Folder)
            reason = tr("the folder is there already");
        else if (there == Kind::Regular || reason.isEmpty())
            reason = tr("a file is in the folder's place");
        note(tr("%1 was left as it is: %2").arg(target, reason));
        return Outcome::Present;
    }
    if (!makePath(parent, &m_error)) {
        fail(m_error);
        return Outcome::Failed;
    }
    const QString staged = besideName(target, "incoming", &reason);
    if (staged.isEmpty() || !makeFolder(staged, &reason)) {
        fail(tr("cannot create the folder %1: %2").arg(staged.isEmpty() ? target : staged, reason));
        return Outcome::Failed;
    }
    if (!copyTree(source, staged, false)) {
        removeTree(staged);
        return Outcome::Failed;
    }
    // The name is checked again at the last moment: what appeared there
    // meanwhile is kept.
    if (kindOf(target) != Kind::Missing || !archiveRename(staged, target)) {
        removeTree(staged);
        fail(tr("cannot put the copy in place at %1: %2")
                 .arg(target, kindOf(target) == Kind::Missing ? tr("the folder cannot be renamed")
                                                              : tr("something of that name appeared meanwhile")));
        return Outcome::Failed;
    }
    m_unflushed << target;
    return Outcome::Added;
}

bool FolderCopy::addMissing(const QString& source, const QString& target)
{
    if (kindOf(source) != Kind::Folder)
        return fail(tr("cannot copy %1: %2").arg(source, tr("it is not a folder")));
    const Kind there = kindOf(target);
    if (there == Kind::Link)
        return fail(tr("cannot copy into %1: %2").arg(target, tr("it is a symbolic link")));
    if (there != Kind::Folder && !makePath(target, &m_error))
        return fail(m_error);
    m_unflushed << target;
    return copyTree(source, target, true);
}

bool FolderCopy::replaceFolder(const QString& source, const QString& target, const QString& within)
{
    if (kindOf(source) != Kind::Folder)
        return fail(tr("cannot copy %1: %2").arg(source, tr("it is not a folder")));
    const QString parent = QFileInfo(target).path();
    const QString link = linkOnPath(within.isEmpty() ? parent : within, parent);
    if (!link.isEmpty())
        return fail(tr("cannot replace %1: %2 is a symbolic link").arg(target, link));
    if (!makePath(parent, &m_error))
        return fail(m_error);
    QString reason;
    const QString staged = besideName(target, "incoming", &reason);
    if (staged.isEmpty() || !makeFolder(staged, &reason))
        return fail(tr("cannot create the folder %1: %2").arg(staged.isEmpty() ? target : staged, reason));
    if (!copyTree(source, staged, false)) {
        removeTree(staged);
        return false;
    }
    const bool existed = kindOf(target) != Kind::Missing;
    const QString outgoing = existed ? besideName(target, "outgoing", &reason) : QString();
    if (existed && outgoing.isEmpty()) {
        removeTree(staged);
        return fail(tr("cannot replace %1: %2").arg(target, reason));
    }
    if (existed && !archiveRename(target, outgoing)) {
        removeTree(staged);
        return fail(tr("cannot replace %1 -- it is open in another program").arg(target));
    }
    if (!archiveRename(staged, target)) {
        if (existed)
            archiveRename(outgoing, target);
        removeTree(staged);
        return fail(tr("cannot replace %1 -- it is open in another program").arg(target));
    }
    m_unflushed << target;
    QString why;
    if (existed && !removeTree(outgoing, &why))
        qWarning().noquote() << "FolderCopy: could not remove the replaced copy" << outgoing << "-" << why;
    return true;
}

bool FolderCopy::addFile(const QString& source, const QString& target)
{
    const QString link = linkOnPath(QFileInfo(target).path(), target);
    if (!link.isEmpty() || kindOf(target) != Kind::Missing)
        return fail(tr("cannot write %1: %2").arg(target, link.isEmpty() ? tr("something of that name is there")
                                                                         : tr("it is a symbolic link")));
    if (!copyFile(source, target))
        return false;
    m_unflushed << QFileInfo(target).path();
    return true;
}

bool FolderCopy::keepFile(const QString& source, const QString& target)
{
#ifdef Q_OS_UNIX
    // A hard link never follows a link at source (linkat without
    // AT_SYMLINK_FOLLOW) and never replaces what is at target.
    if (isRegularFile(source) && linkOnPath(QFileInfo(target).path(), target).isEmpty()
        && ::linkat(AT_FDCWD, encoded(source).constData(), AT_FDCWD, encoded(target).constData(), 0) == 0) {
        noteWritten(target);
        return true;
    }
#endif
    return addFile(source, target);
}

void FolderCopy::noteWritten(const QString& file)
{
    const QString folder = QFileInfo(file).path();
    if (m_unflushed.isEmpty() || m_unflushed.constLast() != folder)
        m_unflushed << folder;
    ++m_copiedFiles;
}

bool FolderCopy::flush()
{
    QStringList folders = std::exchange(m_unflushed, {});
    folders.removeDuplicates();
    if (std::exchange(m_copiedFiles, 0) == 0)
        return true;
    bool ok = true;
#if defined(Q_OS_LINUX)
    // One file system sync per disk written to, not one per file.
    QSet<dev_t> synced;
    for (const QString& folder : folders) {
        const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && !synced.contains(st.st_dev)) {
            synced.insert(st.st_dev);
            if (::syncfs(fd) != 0)
                ok = fail(tr("cannot write %1: %2").arg(folder, systemReason(errno)));
        }
        ::close(fd);
    }
#elif defined(Q_OS_UNIX)
    // Without a sync of the whole disk, each copied file is waited for.
    std::function<void(const QString&)> syncTree = [&](const QString& path) {
        const Kind kind = kindOf(path);
        if (kind == Kind::Folder) {
            for (const QString& name : entriesOf(path))
                syncTree(path + QLatin1Char('/') + name);
            return;
        }
        if (kind != Kind::Regular)
            return;
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && ::fsync(fd) != 0)
            ok = fail(tr("cannot write %1: %2").arg(path, systemReason(errno)));
        if (fd >= 0)
            ::close(fd);
    };
    for (const QString& folder : folders)
        syncTree(folder);
#else
    Q_UNUSED(folders);
#endif
    return ok;
}
