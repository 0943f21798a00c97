// Whole backups of a folder: a rename where the disk allows, else a copy of
// every entry as it is, and only what the copy kept removed afterwards.
#include "model/FolderKeep.h"

#include "model/FolderCopy.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <system_error>
#endif

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderCopy", text);
}

std::function<bool(const QString&, const QString&)>& renameHook()
{
    static std::function<bool(const QString&, const QString&)> hook;
    return hook;
}

} // namespace

using namespace FileEntries;

void FolderKeep::setRenameHookForTesting(std::function<bool(const QString& from, const QString& to)> hook)
{
    renameHook() = std::move(hook);
}

bool FolderKeep::fail(const QString& text)
{
    m_error = text;
    qWarning().noquote() << "FolderKeep:" << text;
    return false;
}

void FolderKeep::leftOut(const QString& text)
{
    qWarning().noquote() << "FolderKeep:" << text;
    m_notKept << text;
}

bool FolderKeep::keep(const QString& source, const QString& target)
{
    m_source = QDir::cleanPath(source);
    m_target = QDir::cleanPath(target);
    const Kind kind = kindOf(m_source);
    if (kind != Kind::Folder && kind != Kind::Link)
        return fail(tr("cannot keep %1: %2").arg(m_source, tr("it is not a folder")));
    if (kindOf(m_target) != Kind::Missing)
        return fail(tr("cannot write %1: %2").arg(m_target, tr("something of that name is there")));
    // A rename keeps everything as it is, at no cost however large the
    // folder; only across disks (or where it is refused) is a copy made.
    if (!renameHook() || renameHook()(m_source, m_target)) {
        QString why;
        if (renameEntry(m_source, m_target, &why)) {
            m_how = How::Moved;
            return true;
        }
        qInfo().noquote() << "FolderKeep: copying" << m_source << "as it cannot be renamed -" << why;
    }
    return copy(m_source, m_target);
}

bool FolderKeep::copy(const QString& source, const QString& target)
{
    m_source = QDir::cleanPath(source);
    m_target = QDir::cleanPath(target);
    m_how = How::None;
    m_kept.clear();
    m_notKept.clear();
    if (kindOf(m_target) != Kind::Missing)
        return fail(tr("cannot write %1: %2").arg(m_target, tr("something of that name is there")));
    // From here on what is at target is this copy's own.
    m_how = How::Copied;
    if (copyWhole(m_source, m_target))
        return true;
    // Cut short: nothing half made stays to fill the disk.
    const QString why = m_error;
    QString removeWhy;
    if (!FolderCopy::removeTree(m_target, &removeWhy))
        qWarning().noquote() << "FolderKeep: could not remove the partial copy" << m_target << "-" << removeWhy;
    m_how = How::None;
    m_kept.clear();
    m_error = why;
    return false;
}

bool FolderKeep::undo()
{
    QString why;
    switch (std::exchange(m_how, How::None)) {
    case How::None:
        return true;
    case How::Moved:
        // Back only where nothing has taken its place meanwhile.
        if (kindOf(m_source) == Kind::Missing && renameEntry(m_target, m_source, &why))
            return true;
        m_how = How::Moved;
        return fail(tr("cannot put %1 back at %2: %3")
                        .arg(m_target, m_source, why.isEmpty() ? tr("something of that name is there") : why));
    case How::Copied:
        if (FolderCopy::removeTree(m_target, &why))
            return true;
        return fail(why);
    }
    return true;
}

#ifdef Q_OS_UNIX

namespace {

QByteArray below(const QByteArray& rel, const QByteArray& name)
{
    return rel.isEmpty() ? name : rel + '/' + name;
}

// The text of the link name in dir; false when it cannot be read.
bool readLinkAt(int dir, const QByteArray& name, QByteArray* text)
{
    for (qsizetype size = 256; size <= 65536; size *= 4) {
        QByteArray buffer(size, Qt::Uninitialized);
        const ssize_t n = ::readlinkat(dir, name.constData(), buffer.data(), size_t(size));
        if (n < 0)
            return false;
        if (n < size) {
            *text = buffer.left(n);
            return true;
        }
    }
    errno = ENAMETOOLONG;
    return false;
}

// Writes all of data; false with errno set (ENOSPC for a write that took
// nothing).
bool writeAll(int fd, const char* data, ssize_t size)
{
    for (ssize_t done = 0; done < size;) {
        const ssize_t w = ::write(fd, data + done, size_t(size - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = ENOSPC;
            return false;
        }
        done += w;
    }
    return true;
}

} // namespace

bool FolderKeep::copyWhole(const QString& source, const QString& target)
{
    const QFileInfo from(source);
    const QFileInfo to(target);
    const int fromParent = ::open(encoded(from.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fromParent < 0)
        return fail(tr("cannot read %1: %2").arg(source, systemReason(errno)));
    const int toParent = ::open(encoded(to.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (toParent < 0) {
        const int why = errno;
        ::close(fromParent);
        return fail(tr("cannot write %1: %2").arg(target, systemReason(why)));
    }
    const QByteArray name = encoded(from.fileName());
    const QByteArray toName = encoded(to.fileName());
    bool ok = true;
    if (kindAt(fromParent, name) == Kind::Folder) {
        ok = ::mkdirat(toParent, toName.constData(), 0700) == 0
            || fail(tr("cannot create the folder %1: %2").arg(target, systemReason(errno)));
        const int fromDir = ok ? openFolderAt(fromParent, name) : -1;
        const int toDir = fromDir >= 0 ? openFolderAt(toParent, toName) : -1;
        if (ok && fromDir < 0)
            ok = fail(tr("cannot read %1: %2").arg(source, systemReason(errno)));
        else if (ok && toDir < 0)
            ok = fail(tr("cannot write %1: %2").arg(target, systemReason(errno)));
        ok = ok && copyFolderAt(fromDir, toDir, source, target, QByteArray());
        if (toDir >= 0) {
            // A copy on another disk must be on it before the source may go.
            if (ok && ::fsync(toDir) != 0)
                ok = fail(tr("cannot write %1: %2").arg(target, systemReason(errno)));
#ifdef Q_OS_LINUX
            if (ok && ::syncfs(toDir) != 0)
                ok = fail(tr("cannot write %1: %2").arg(target, systemReason(errno)));
#endif
            ::close(toDir);
        }
        if (fromDir >= 0)
            ::close(fromDir);
    } else {
        ok = copyEntryAt(fromParent, toParent, name, source, target, QByteArray());
        if (ok && m_kept.isEmpty())
            ok = fail(m_notKept.value(0, tr("cannot keep %1").arg(source)));
    }
    ::close(fromParent);
    ::close(toParent);
    return ok;
}

bool FolderKeep::copyFolderAt(int fromDir, int toDir, const QString& from, const QString& to, const QByteArray& rel)
{
    std::vector<QByteArray> names;
    if (!namesAt(fromDir, &names)) {
        leftOut(tr("%1 was not kept: %2").arg(from, systemReason(errno)));
        return true;
    }
    for (const QByteArray& name : names) {
        const QString shown = QFile::decodeName(name);
        if (!copyEntryAt(fromDir, toDir, name, from + QLatin1Char('/') + shown, to + QLatin1Char('/') + shown,
                         below(rel, name)))
            return false;
    }
    struct stat st {};
    if (::fstat(fromDir, &st) == 0)
        ::fchmod(toDir, st.st_mode & 07777);
    m_kept.insert(rel, Kind::Folder);
    return true;
}

// False only when the copy cannot be written: what cannot be read is left
// out and named, and the copy goes on.
bool FolderKeep::copyEntryAt(int fromDir, int toDir, const QByteArray& name, const QString& from, const QString& to,
                             const QByteArray& rel)
{
    QString reason;
    switch (kindAt(fromDir, name, &reason)) {
    case Kind::Regular:
        return copyRegularAt(fromDir, toDir, name, from, to, rel);
    case Kind::Link: {
        QByteArray text;
        if (!readLinkAt(fromDir, name, &text)) {
            leftOut(tr("%1 was not kept: %2").arg(from, systemReason(errno)));
            return true;
        }
        if (::symlinkat(text.constData(), toDir, name.constData()) != 0)
            return fail(tr("cannot write %1: %2").arg(to, systemReason(errno)));
        m_kept.insert(rel, Kind::Link);
        return true;
    }
    case Kind::Folder: {
        if (::mkdirat(toDir, name.constData(), 0700) != 0)
            return fail(tr("cannot create the folder %1: %2").arg(to, systemReason(errno)));
        FileEntries::beforeWalkingInto(from);
        const int fromChild = openFolderAt(fromDir, name);
        if (fromChild < 0) {
            leftOut(tr("%1 was not kept: %2").arg(from, systemReason(errno)));
            return true;
        }
        const int toChild = openFolderAt(toDir, name);
        if (toChild < 0) {
            const int why = errno;
            ::close(fromChild);
            return fail(tr("cannot write %1: %2").arg(to, systemReason(why)));
        }
        const bool ok = copyFolderAt(fromChild, toChild, from, to, rel);
        ::close(fromChild);
        ::close(toChild);
        return ok;
    }
    case Kind::Missing:
        return true; // gone since the folder was listed: nothing to keep or remove
    case Kind::Other:
        break;
    }
    leftOut(tr("%1 was not kept: %2").arg(from, reason.isEmpty() ? tr("it is a pipe, a device or a socket") : reason));
    return true;
}

bool FolderKeep::copyRegularAt(int fromDir, int toDir, const QByteArray& name, const QString& from, const QString& to,
                               const QByteArray& rel)
{
    QString reason;
    qint64 size = 0;
    const int in = openRegularAt(fromDir, name, &size, &reason);
    if (in < 0) {
        leftOut(tr("%1 was not kept: %2").arg(from, reason));
        return true;
    }
    const int out = ::openat(toDir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int why = errno;
        ::close(in);
        return fail(tr("cannot write %1: %2").arg(to, systemReason(why)));
    }
    int readError = 0;
    int writeError = 0;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            readError = n < 0 ? errno : 0;
            break;
        }
        if (!writeAll(out, buffer, n)) {
            writeError = errno;
            break;
        }
    }
    struct stat st {};
    if (!writeError && !readError && ::fstat(in, &st) == 0) {
        ::fchmod(out, st.st_mode & 07777);
#ifdef Q_OS_LINUX
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
#endif
    }
    ::close(in);
    if (::close(out) != 0 && !writeError && !readError)
        writeError = errno;
    if (writeError || readError)
        ::unlinkat(toDir, name.constData(), 0);
    if (writeError)
        return fail(tr("cannot write %1: %2").arg(to, systemReason(writeError)));
    if (readError) {
        leftOut(tr("%1 was not kept: %2").arg(from, systemReason(readError)));
        return true;
    }
    m_kept.insert(rel, Kind::Regular);
    return true;
}

bool FolderKeep::removeKept()
{
    if (m_how != How::Copied)
        return true;
    const QFileInfo info(m_source);
    const int parent = ::open(encoded(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return fail(tr("cannot remove %1: %2").arg(m_source, systemReason(errno)));
    m_error.clear();
    const bool gone = removeKeptAt(parent, encoded(info.fileName()), m_source, QByteArray());
    ::close(parent);
    if (!gone && m_error.isEmpty())
        m_error = tr("%1 keeps what could not be kept in the backup:\n%2").arg(m_source, m_notKept.join('\n'));
    return gone;
}

// True when the entry is gone. Only what the copy kept, of the kind it
// kept, goes; a folder only once it is empty.
bool FolderKeep::removeKeptAt(int parent, const QByteArray& name, const QString& shown, const QByteArray& rel)
{
    const auto kept = m_kept.constFind(rel);
    const Kind kind = kindAt(parent, name);
    if (kind == Kind::Missing)
        return true;
    if (kept == m_kept.cend() || kept.value() != kind)
        return false;
    if (kind != Kind::Folder) {
        return ::unlinkat(parent, name.constData(), 0) == 0 || errno == ENOENT
            || fail(tr("cannot remove %1: %2").arg(shown, systemReason(errno)));
    }
    FileEntries::beforeWalkingInto(shown);
    const int dir = openFolderAt(parent, name);
    if (dir < 0)
        return fail(tr("cannot remove the folder %1: %2").arg(shown, systemReason(errno)));
    std::vector<QByteArray> names;
    bool gone = namesAt(dir, &names);
    for (const QByteArray& entry : names)
        gone = removeKeptAt(dir, entry, shown + QLatin1Char('/') + QFile::decodeName(entry), below(rel, entry)) && gone;
    ::close(dir);
    return gone
        && (::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0
            || fail(tr("cannot remove the folder %1: %2").arg(shown, systemReason(errno))));
}

#else

bool FolderKeep::copyWhole(const QString& source, const QString& target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(fs::path(source.toStdWString()), fs::path(target.toStdWString()),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec)
        return fail(tr("cannot write %1: %2").arg(target, QString::fromStdString(ec.message())));
    m_kept.insert(QByteArray(), Kind::Folder);
    return true;
}

bool FolderKeep::removeKept()
{
    if (m_how != How::Copied)
        return true;
    QString why;
    return FolderCopy::removeTree(m_source, &why) || fail(why);
}

#endif
