#include "model/FileEntries.h"

#include "model/ErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>

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

} // namespace

namespace FileEntries {

std::function<void(const QString&)>& walkHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

// Between looking at a folder and opening it to walk in.
void beforeWalkingInto(const QString& folder)
{
    if (walkHook())
        walkHook()(folder);
}

#ifdef Q_OS_UNIX

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Kind kindOf(const QString& path, QString* reason)
{
    // "folder/" would name what a link there points at.
    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    return kindAt(AT_FDCWD, encoded(name), reason);
}

bool makeFolder(const QString& path, QString* reason)
{
    if (::mkdir(encoded(path).constData(), 0755) == 0)
        return true;
    *reason = systemReason(errno);
    return false;
}

// fd when what it opened is a regular file (its size in *size); closed and
// -1 with the reason otherwise.
int keptIfRegular(int fd, qint64* size, QString* reason)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *reason = tr("it is not a regular file");
        return -1;
    }
    *size = qint64(st.st_size);
    return fd;
}

// Opens a regular file for reading, never through a link and never
// blocking on a pipe; -1 (with the reason) for anything else.
int openRegularAt(int dir, const QByteArray& name, qint64* size, QString* reason)
{
    const int fd = ::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ELOOP ? tr("it is a symbolic link") : systemReason(errno);
        return -1;
    }
    return keptIfRegular(fd, size, reason);
}

int openRegular(const QString& path, qint64* size, QString* reason)
{
    return openRegularAt(AT_FDCWD, encoded(path), size, reason);
}

int openChosenRegular(const QString& path, qint64* size, QString* reason)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = systemReason(errno);
        return -1;
    }
    return keptIfRegular(fd, size, reason);
}

// Opens a regular file for writing with `flags` added, never through a link;
// without a reader a pipe refuses a non-blocking open for writing (ENXIO),
// with one it is refused as not a regular file. Emptied, when asked, only
// once it is known to be a plain file.
int openWritable(const QString& path, int flags, bool empty, QString* reason)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags,
                          0644);
    if (fd < 0) {
        const int why = errno;
        *reason = why == ELOOP ? tr("it is a symbolic link")
            : why == ENXIO     ? tr("it is not a regular file")
                               : systemReason(why);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (empty && ::ftruncate(fd, 0) != 0)) {
        const bool regular = S_ISREG(st.st_mode);
        *reason = regular ? systemReason(errno) : tr("it is not a regular file");
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openForWrite(const QString& path, QString* reason)
{
    return openWritable(path, 0, true, reason);
}

int openForAppend(const QString& path, QString* reason)
{
    return openWritable(path, O_APPEND, false, reason);
}

bool removeFile(const QString& path, QString* reason)
{
    if (kindOf(path) == Kind::Folder) {
        *reason = tr("it is a folder");
        return false;
    }
    if (::unlink(encoded(path).constData()) == 0 || errno == ENOENT)
        return true;
    *reason = systemReason(errno);
    return false;
}

bool renameEntry(const QString& from, const QString& to, QString* reason)
{
    if (::rename(encoded(from).constData(), encoded(to).constData()) == 0)
        return true;
    *reason = systemReason(errno);
    return false;
}

bool removeEmptyFolder(const QString& path, QString* reason)
{
    // rmdir never follows a link at its end: it fails on one (ENOTDIR).
    if (::rmdir(encoded(path).constData()) == 0 || errno == ENOENT)
        return true;
    *reason = systemReason(errno);
    return false;
}

// The walks go by descriptor: each folder is opened from its parent's
// descriptor, never through a link (O_NOFOLLOW), so a folder swapped for a
// link after it was looked at is never walked into.
int openFolderAt(int parent, const QByteArray& name)
{
    return ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

Kind kindAt(int parent, const QByteArray& name, QString* reason)
{
    struct stat st {};
    if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
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

// The names in the folder open at dir (the descriptor stays the caller's),
// in byte order; false when it cannot be read.
bool namesAt(int dir, std::vector<QByteArray>* names)
{
    const int own = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    DIR* stream = own < 0 ? nullptr : ::fdopendir(own);
    if (!stream) {
        if (own >= 0)
            ::close(own);
        return false;
    }
    ::rewinddir(stream);
    while (const dirent* entry = ::readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names->push_back(QByteArray(entry->d_name));
    }
    ::closedir(stream);
    std::sort(names->begin(), names->end());
    return true;
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

Kind kindOf(const QString& path, QString* reason)
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

bool removeFile(const QString& path, QString* reason)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Missing)
        return true;
    if (kind == Kind::Folder) {
        *reason = tr("it is a folder");
        return false;
    }
    if (QFile::remove(path))
        return true;
    *reason = tr("it cannot be removed");
    return false;
}

bool renameEntry(const QString& from, const QString& to, QString* reason)
{
    if (QFile::rename(from, to))
        return true;
    *reason = tr("it cannot be renamed");
    return false;
}

bool removeEmptyFolder(const QString& path, QString* reason)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Missing)
        return true;
    if (kind == Kind::Folder && QDir().rmdir(path))
        return true;
    *reason = kind == Kind::Folder ? tr("it is not empty") : tr("it is not a folder");
    return false;
}

#endif

bool nameFits(const QString& name, int added)
{
#ifdef Q_OS_WIN
    // Windows counts a name in UTF-16 units.
    return name.size() + added <= kMaxNameBytes;
#else
    return QFile::encodeName(name).size() + added <= kMaxNameBytes;
#endif
}

// A name beside target that nothing uses yet. Only a name that is not there
// ends the search well; anything else the system says of a name (too long,
// a folder that cannot be read) would say it of the next one too.
QString besideName(const QString& target, const char* tag, QString* reason, bool hidden)
{
    const QFileInfo info(target);
    const QString stem = hidden ? info.path() + QStringLiteral("/.") + info.fileName() : target;
    QString why;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QString name = stem + QLatin1Char('.') + QLatin1String(tag) + QLatin1Char('-')
            + QUuid::createUuid().toString(QUuid::Id128).left(8);
        why.clear();
        const Kind kind = kindOf(name, &why);
        if (kind == Kind::Missing)
            return name;
        if (kind == Kind::Other && !why.isEmpty())
            break;
    }
    if (reason)
        *reason = why.isEmpty() ? tr("no free name is left beside it") : why;
    return {};
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

Kept keptFolder(const QString& path, QString* refusal)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Folder)
        return Kept::Folder;
    if (kind == Kind::Missing)
        return Kept::Missing;
    // Only a link is followed, and only to a folder.
    if (kind == Kind::Link && QFileInfo(path).isDir())
        return Kept::Folder;
    if (refusal)
        *refusal = kind == Kind::Link ? tr("%1 is a symbolic link to something that is not a folder").arg(path)
                                      : tr("%1 is in the way: it is not a folder").arg(path);
    return Kept::Refused;
}

Kept keptFolderBelow(const QString& base, const QStringList& steps, QString* refusal)
{
    QString at = base;
    for (const QString& step : steps) {
        at += QLatin1Char('/') + step;
        const Kept kept = keptFolder(at, refusal);
        if (kept != Kept::Folder)
            return kept;
    }
    return Kept::Folder;
}

bool makeKeptFolder(const QString& path, QString* error)
{
    QString why;
    switch (keptFolder(path, &why)) {
    case Kept::Folder:
        return true;
    case Kept::Missing:
        return makePath(path, error);
    case Kept::Refused:
        break;
    }
    return failWith(error, tr("cannot create the folder %1: %2").arg(path, why));
}

// Entries of a folder as they are on the disk: links (working or not),
// devices and hidden names too, so that nothing is copied unseen. Hidden
// names are left out of copies.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString notPlainFile(const QString& path)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Missing || kind == Kind::Regular)
        return {};
    return tr("%1 is not a plain file").arg(QDir::toNativeSeparators(path));
}

} // namespace FileEntries
