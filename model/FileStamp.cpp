#include "model/FileStamp.h"

#include <QFile>
#include <QDateTime>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

FileStamp FileStamp::of(const QString& path)
{
#ifdef Q_OS_LINUX
    // Nanoseconds and the inode: a file replaced through a temporary (as
    // every save writes) is a new inode even within the same instant.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, quint64(st.st_ino)};
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000, 0};
#endif
}

FileStamp FileStamp::ofFolder(const QString& path)
{
    return ofEncoded(QFile::encodeName(path), true);
}

FileStamp FileStamp::ofEncoded(const QByteArray& path, bool folder)
{
#ifdef Q_OS_LINUX
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, quint64(st.st_ino)};
#else
    const QFileInfo info(QFile::decodeName(path));
    if (folder ? !info.isDir() : !info.isFile())
        return {};
    return {folder ? 0 : info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000, 0};
#endif
}
