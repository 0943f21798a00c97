#include "model/FileStamp.h"

#include <QFile>
#include <QDateTime>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>

namespace {

qint64 nanoseconds(const struct timespec& t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace
#endif

FileStamp FileStamp::of(const QString& path)
{
    return ofEncoded(QFile::encodeName(path), false);
}

FileStamp FileStamp::ofFolder(const QString& path)
{
    return ofEncoded(QFile::encodeName(path), true);
}

FileStamp FileStamp::ofEncoded(const QByteArray& path, bool folder)
{
#ifdef Q_OS_LINUX
    // Nanoseconds and the inode: a file replaced through a temporary (as
    // every save writes) is a new inode even within the same instant.
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
        return {};
    return {qint64(st.st_size), nanoseconds(st.st_mtim), quint64(st.st_ino), nanoseconds(st.st_ctim)};
#else
    const QFileInfo info(QFile::decodeName(path));
    if (folder ? !info.isDir() : !info.isFile())
        return {};
    return {folder ? 0 : info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000, 0,
            info.metadataChangeTime().toMSecsSinceEpoch() * 1000000};
#endif
}
