#include "model/FolderCopy.h"

#include "model/ErrorText.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

#include <functional>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderCopy", text);
}

enum class Kind { Missing, Regular, Folder, Link, Other };

#ifdef Q_OS_UNIX

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Kind kindOf(const QString& path, QString* reason = nullptr)
{
    // "folder/" would name what a link there points at.
    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    struct stat st {};
    if (::lstat(encoded(name).constData(), &st) != 0) {
        const int why = errno;
        if (reason)
            *reason = systemReason(why);
        return why == ENOENT ? Kind::Missing : Kind::Other;
    }
    if (S_ISLNK(st.st_mode))
        return Kind::Link;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
}

bool makeFolder(const QString& path, QString* reason)
{
    if (::mkdir(encoded(path).constData(), 0755) == 0)
        return true;
    *reason = systemReason(errno);
    return false;
}

// Opens a regular file for reading, never through a link and never
// blocking on a pipe; -1 (with the reason) for anything else.
int openRegular(const QString& path, qint64* size, QString* reason)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ELOOP ? tr("it is a symbolic link") : systemReason(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *reason = tr("it is not a regular file");
        return -1;
    }
    *size = qint64(st.st_size);
    return fd;
}

bool readWhole(int fd, char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

#else

Kind kindOf(const QString& path, QString* reason = nullptr)
{
    const QFileInfo info(QDir::cleanPath(path));
    if (info.isSymLink() || info.isJunction())
        return Kind::Link;
    if (!info.exists()) {
        if (reason)
            *reason = tr("it does not exist");
        return Kind::Missing;
    }
    if (info.isDir())
        return Kind::Folder;
    return info.isFile() ? Kind::Regular : Kind::Other;
}

bool makeFolder(const QString& path, QString* reason)
{
    if (QDir().mkdir(path))
        return true;
    *reason = kindOf(path) == Kind::Missing ? tr("the folder cannot be created there")
                                            : tr("something of that name is in the way");
    return false;
}

#endif

// A name beside target that nothing uses yet.
QString besideName(const QString& target, const char* tag)
{
    for (;;) {
        const QString name = target + QLatin1Char('.') + QLatin1String(tag) + QLatin1Char('-')
            + QUuid::createUuid().toString(QUuid::Id128).left(8);
        if (kindOf(name) == Kind::Missing)
            return name;
    }
}

// Creates path and the parents it lacks, each with the reason it could not
// be made.
bool makePath(const QString& path, QString* error)
{
    QStringList missing;
    QString at = QDir::cleanPath(path);
    while (kindOf(at) == Kind::Missing) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    for (const QString& folder : missing) {
        QString reason;
        if (!makeFolder(folder, &reason))
            return failWith(error, tr("cannot create the folder %1: %2").arg(folder, reason));
    }
    return kindOf(path) == Kind::Folder
        || failWith(error, tr("cannot create the folder %1: %2").arg(path, tr("something else is in its place")));
}

// Entries of a folder as they are on the disk: links (working or not),
// devices and hidden names too, so that nothing is copied unseen. Hidden
// names are left out of copies.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

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
    QString reason;
    qint64 size = 0;
    const int in = openRegular(source, &size, &reason);
    Q_UNUSED(size);
    if (in < 0)
        return fail(tr("cannot read %1: %2").arg(source, reason));
    const int out = ::open(encoded(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        const int why = errno;
        ::close(in);
        return fail(tr("cannot write %1: %2").arg(target, systemReason(why)));
    }
    // The file is this copy's own (it did not exist): a failed one goes.
    const auto dropTarget = [&] { ::unlink(encoded(target).constData()); };
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
    const QString staged = besideName(target, "incoming");
    if (!makeFolder(staged, &reason)) {
        fail(tr("cannot create the folder %1: %2").arg(staged, reason));
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
    const QString staged = besideName(target, "incoming");
    QString reason;
    if (!makeFolder(staged, &reason))
        return fail(tr("cannot create the folder %1: %2").arg(staged, reason));
    if (!copyTree(source, staged, false)) {
        removeTree(staged);
        return false;
    }
    const bool existed = kindOf(target) != Kind::Missing;
    const QString outgoing = existed ? besideName(target, "outgoing") : QString();
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

bool FolderCopy::flush()
{
    const QStringList folders = std::exchange(m_unflushed, {});
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
#ifdef Q_OS_UNIX
    QString reason;
    qint64 size = 0;
    const int fd = openRegular(path, &size, &reason);
    if (fd < 0)
        return false;
    bool ok = size <= bound;
    if (ok) {
        QByteArray data(size, Qt::Uninitialized);
        ok = readWhole(fd, data.data(), size);
        // A file that grew while read is not what was measured.
        char extra = 0;
        ok = ok && ::read(fd, &extra, 1) == 0;
        if (ok && bytes)
            *bytes = data;
    }
    ::close(fd);
    return ok;
#else
    if (kindOf(path) != Kind::Regular)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > bound)
        return false;
    const QByteArray data = file.read(bound + 1);
    if (data.size() > bound || file.error() != QFileDevice::NoError)
        return false;
    if (bytes)
        *bytes = data;
    return true;
#endif
}
