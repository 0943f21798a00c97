#include "model/SafeRead.h"

#include "model/ErrorText.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace SafeRead {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SafeRead", text);
}

QString tooLargeText(const QString& path, qint64 bound)
{
    return tr("%1 is larger than %2 bytes").arg(path, QString::number(bound));
}

QString cannotReadText(const QString& path, const QString& why)
{
    return tr("cannot read %1: %2").arg(path, why);
}

} // namespace

QString linkText(const QString& path)
{
    return tr("%1 is a symbolic link").arg(path);
}

QString notRegularText(const QString& path)
{
    return tr("%1 is not a regular file").arg(path);
}

#ifdef Q_OS_UNIX

namespace {

using FileEntries::Kind;

// Why name in dir did not open as wanted, in the words readFile gives.
QString whyNotOpened(int dir, const QByteArray& name, const QString& shown, int error)
{
    const Kind kind = FileEntries::kindAt(dir, name);
    if (kind == Kind::Link)
        return linkText(shown);
    if (kind == Kind::Other || kind == Kind::Folder)
        return notRegularText(shown);
    return cannotReadText(shown, FileEntries::systemReason(error));
}

// Reads the regular file name in dir: the bound is checked on the size
// before anything is read, and a file that grew while read is refused too.
bool readAt(int dir, const QByteArray& name, const QString& shown, qint64 bound, QByteArray* bytes,
            QString* reason)
{
    QString why;
    qint64 size = 0;
    const int fd = FileEntries::openRegularAt(dir, name, &size, &why);
    if (fd < 0)
        return failWith(reason, whyNotOpened(dir, name, shown, errno));
    bool ok = size <= bound;
    if (!ok)
        failWith(reason, tooLargeText(shown, bound));
    if (ok) {
        QByteArray data(size, Qt::Uninitialized);
        char extra = 0;
        ok = FileEntries::readWhole(fd, data.data(), size) && ::read(fd, &extra, 1) == 0;
        if (!ok)
            failWith(reason, cannotReadText(shown, tr("it changed while it was read")));
        else if (bytes)
            *bytes = data;
    }
    ::close(fd);
    return ok;
}

// A folder the walk was to go into but could not read: what it holds was
// not seen, so the caller's answer is not the whole one.
QString unreadFolderText(const QString& shown, int error)
{
    return cannotReadText(shown, error == ELOOP || error == ENOTDIR ? tr("it is no longer a folder")
                                                                    : FileEntries::systemReason(error));
}

void walkAt(int dir, const QString& shown, int depth, const std::function<bool(const Entry&)>& visit,
            QStringList* unread)
{
    std::vector<QByteArray> names;
    if (!FileEntries::namesAt(dir, &names)) {
        const int error = errno;
        unread->append(unreadFolderText(shown, error));
        return;
    }
    for (const QByteArray& name : names) {
        Entry entry;
        entry.name = QFile::decodeName(name);
        entry.path = shown + QLatin1Char('/') + entry.name;
        entry.kind = FileEntries::kindAt(dir, name);
        entry.depth = depth;
        entry.dir = dir;
        if (!visit(entry) || entry.kind != Kind::Folder)
            continue;
        FileEntries::beforeWalkingInto(entry.path);
        // Swapped for a link since it was looked at: not walked into.
        const int child = FileEntries::openFolderAt(dir, name);
        if (child < 0) {
            const int error = errno;
            unread->append(unreadFolderText(entry.path, error));
            continue;
        }
        walkAt(child, entry.path, depth + 1, visit, unread);
        ::close(child);
    }
}

} // namespace

bool readFile(const QString& path, qint64 bound, QByteArray* bytes, QString* reason, const QString& within)
{
    const QString cleaned = QDir::cleanPath(path);
    QString base = within.isEmpty() ? QString() : QDir::cleanPath(within);
    if (base.isEmpty() || !cleaned.startsWith(base + QLatin1Char('/')))
        base = QFileInfo(cleaned).path();
    // The folder given is taken as it is: links above it are the caller's.
    int dir = ::open(FileEntries::encoded(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failWith(reason, cannotReadText(cleaned, FileEntries::systemReason(errno)));
    const QStringList parts = cleaned.mid(base.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at = base;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        at += QLatin1Char('/') + parts[i];
        const QByteArray name = FileEntries::encoded(parts[i]);
        const int next = FileEntries::openFolderAt(dir, name);
        if (next < 0) {
            const int error = errno;
            const QString why = FileEntries::kindAt(dir, name) == Kind::Link
                ? linkText(at)
                : cannotReadText(cleaned, FileEntries::systemReason(error));
            ::close(dir);
            return failWith(reason, why);
        }
        ::close(dir);
        dir = next;
    }
    const bool ok = !parts.isEmpty() && readAt(dir, FileEntries::encoded(parts.constLast()), cleaned, bound, bytes, reason);
    ::close(dir);
    return ok;
}

bool walk(const QString& folder, const std::function<bool(const Entry&)>& visit, QString* reason)
{
    const QString cleaned = QDir::cleanPath(folder);
    const int dir = ::open(FileEntries::encoded(cleaned).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failWith(reason, cannotReadText(cleaned, FileEntries::systemReason(errno)));
    QStringList unread;
    walkAt(dir, cleaned, 0, visit, &unread);
    ::close(dir);
    return unread.isEmpty() || failWith(reason, unread.join(QLatin1Char('\n')));
}

bool readEntry(const Entry& entry, qint64 bound, QByteArray* bytes, QString* reason)
{
    return readAt(entry.dir, FileEntries::encoded(entry.name), entry.path, bound, bytes, reason);
}

#else

namespace {

using FileEntries::Kind;

bool readPlain(const QString& path, qint64 bound, QByteArray* bytes, QString* reason)
{
    const Kind kind = FileEntries::kindOf(path);
    if (kind == Kind::Link)
        return failWith(reason, linkText(path));
    if (kind != Kind::Regular)
        return failWith(reason, kind == Kind::Missing ? cannotReadText(path, tr("it does not exist"))
                                                      : notRegularText(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(reason, cannotReadText(path, file.errorString()));
    if (file.size() > bound)
        return failWith(reason, tooLargeText(path, bound));
    const QByteArray data = file.read(bound + 1);
    if (data.size() > bound)
        return failWith(reason, tooLargeText(path, bound));
    if (file.error() != QFileDevice::NoError)
        return failWith(reason, cannotReadText(path, file.errorString()));
    if (bytes)
        *bytes = data;
    return true;
}

void walkIn(const QString& folder, int depth, const std::function<bool(const Entry&)>& visit, QStringList* unread)
{
    if (!QFileInfo(folder).isReadable()) {
        unread->append(cannotReadText(folder, tr("it cannot be read")));
        return;
    }
    for (const QString& name : FileEntries::entriesOf(folder)) {
        Entry entry;
        entry.name = name;
        entry.path = folder + QLatin1Char('/') + name;
        entry.kind = FileEntries::kindOf(entry.path);
        entry.depth = depth;
        if (visit(entry) && entry.kind == Kind::Folder) {
            FileEntries::beforeWalkingInto(entry.path);
            if (FileEntries::kindOf(entry.path) == Kind::Folder)
                walkIn(entry.path, depth + 1, visit, unread);
            else
                unread->append(cannotReadText(entry.path, tr("it is no longer a folder")));
        }
    }
}

} // namespace

bool readFile(const QString& path, qint64 bound, QByteArray* bytes, QString* reason, const QString& within)
{
    const QString cleaned = QDir::cleanPath(path);
    const QString base = within.isEmpty() ? QFileInfo(cleaned).path() : QDir::cleanPath(within);
    if (cleaned.startsWith(base + QLatin1Char('/'))) {
        QString at = base;
        const QStringList parts = cleaned.mid(base.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            at += QLatin1Char('/') + parts[i];
            if (FileEntries::kindOf(at) == Kind::Link)
                return failWith(reason, linkText(at));
        }
    }
    return readPlain(cleaned, bound, bytes, reason);
}

bool walk(const QString& folder, const std::function<bool(const Entry&)>& visit, QString* reason)
{
    const QString cleaned = QDir::cleanPath(folder);
    if (!QFileInfo(cleaned).isDir())
        return failWith(reason, cannotReadText(cleaned, tr("it is not a folder")));
    QStringList unread;
    walkIn(cleaned, 0, visit, &unread);
    return unread.isEmpty() || failWith(reason, unread.join(QLatin1Char('\n')));
}

bool readEntry(const Entry& entry, qint64 bound, QByteArray* bytes, QString* reason)
{
    return readPlain(entry.path, bound, bytes, reason);
}

#endif

bool readKeptFile(const QString& path, qint64 bound, QByteArray* bytes, QString* reason, const QString& within)
{
    const QString cleaned = QDir::cleanPath(path);
    const QString base = QDir::cleanPath(within);
    if (!within.isEmpty() && cleaned.startsWith(base + QLatin1Char('/'))) {
        QStringList steps = cleaned.mid(base.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        steps.removeLast();
        QString why;
        if (FileEntries::keptFolderBelow(base, steps, &why) == FileEntries::Kept::Refused)
            return failWith(reason, why);
    }
    return readFile(cleaned, bound, bytes, reason);
}

namespace {

// Reads path as readImage does and hands a reader on its bytes to `use`.
template<typename Use>
bool withReader(const QString& path, QString* reason, const QString& within, qint64 bound, Use use)
{
    QByteArray bytes;
    if (!readFile(path, bound, &bytes, reason, within))
        return false;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // The name's suffix guides the decoder as it would for the file itself.
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLower().toLatin1());
    if (use(reader))
        return true;
    return failWith(reason, tr("%1 is not a picture that can be read").arg(QDir::cleanPath(path)));
}

} // namespace

QImage readImage(const QString& path, QString* reason, const QString& within, qint64 bound)
{
    QImage image;
    withReader(path, reason, within, bound, [&](QImageReader& reader) { return reader.read(&image); });
    return image;
}

QSize imageSize(const QString& path, QString* reason, const QString& within, qint64 bound)
{
    QSize size;
    withReader(path, reason, within, bound, [&](QImageReader& reader) {
        size = reader.canRead() ? reader.size() : QSize();
        return size.isValid();
    });
    return size;
}

QStringList filesBelow(const QString& folder, bool deep, bool special)
{
    QStringList files;
    if (folder.isEmpty())
        return files;
    const qsizetype skip = QDir::cleanPath(folder).size() + 1;
    walk(folder, [&](const Entry& entry) {
        if (entry.kind == FileEntries::Kind::Folder)
            return deep;

        using FileEntries::Kind;
        if (entry.kind == Kind::Regular || entry.kind == Kind::Link || (special && entry.kind == Kind::Other))
            files.append(entry.path.mid(skip));
        return false;
    });
    files.sort();
    return files;
}

} // namespace SafeRead
