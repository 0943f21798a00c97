#include "gallery/ReplacingZipFile.h"

#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QCoreApplication>
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

bool ReplacingZipFile::open(QString* reason)
{
    discard();
    const QString folder = QFileInfo(m_targetPath).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (reason)
            *reason = QCoreApplication::translate("ReplacingZipFile", "cannot create the folder %1").arg(folder);
        return false;
    }
    if (QFileInfo(m_tempPath).isDir()) {
        if (reason)
            *reason = QCoreApplication::translate("ReplacingZipFile", "cannot write %1: %2").arg(m_tempPath, qt_error_string(EISDIR));
        return false;
    }
    errno = 0;
    m_zip = openZipForWrite(m_tempPath);
    if (!m_zip && reason)
        *reason = QCoreApplication::translate("ReplacingZipFile", "cannot write %1: %2").arg(m_tempPath, qt_error_string(errno));
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
