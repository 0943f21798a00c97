#include "gallery/ReplacingZipFile.h"

#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool ReplacingZipFile::commit()
{
    if (!m_zip)
        return false;
    const bool closed = zipClose(m_zip, nullptr) == ZIP_OK;
    m_zip = nullptr;
    if (!closed || !renameOverFile(m_tempPath, m_targetPath)) {
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
