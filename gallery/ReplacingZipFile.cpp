#include "gallery/ReplacingZipFile.h"

#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

ReplacingZipFile::ReplacingZipFile(const QString& targetPath)
    : m_targetPath(targetPath)
    , m_tempPath(targetPath + QStringLiteral(".tmp"))
{
}

ReplacingZipFile::~ReplacingZipFile()
{
    discard();
}

bool ReplacingZipFile::open()
{
    discard();
    if (!QDir().mkpath(QFileInfo(m_targetPath).absolutePath()))
        return false;
    if (QFileInfo(m_tempPath).isDir())
        return false;
    m_zip = openZipForWrite(m_tempPath);
    return m_zip != nullptr;
}

bool ReplacingZipFile::commit(QString* reason)
{
    if (!m_zip)
        return false;
    // The archive's last buffered bytes and its directory are written here:
    // a full disk often shows only now.
    const bool closed = zipClose(m_zip, nullptr) == ZIP_OK;
    m_zip = nullptr;
    if (!closed || !renameOverFile(m_tempPath, m_targetPath)) {
        if (reason)
            *reason = qt_error_string(errno);
        QFile::remove(m_tempPath);
        return false;
    }
    return true;
}

void ReplacingZipFile::discard()
{
    if (!m_zip)
        return;
    zipClose(m_zip, nullptr);
    m_zip = nullptr;
    QFile::remove(m_tempPath);
}
