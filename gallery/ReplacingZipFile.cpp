#include "gallery/ReplacingZipFile.h"

#include "model/FileEntries.h"
#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ReplacingZipFile", text);
}

} // namespace

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
    // The user's folder, followed where they keep it through a link.
    const QString folder = QFileInfo(m_targetPath).absolutePath();
    QString why;
    if (!FileEntries::makeKeptFolder(folder, &why)) {
        if (reason)
            *reason = why;
        return false;
    }
    // The working file is ours: only a plain file there is written over; a
    // link or anything else in its place is left as it is and named.
    if (FileEntries::kindOf(m_tempPath) == FileEntries::Kind::Folder)
        why = qt_error_string(EISDIR);
    else
        m_zip = openZipForWrite(m_tempPath, &why);
    if (!m_zip && reason)
        *reason = tr("cannot write %1: %2").arg(m_tempPath, why);
    return m_zip != nullptr;
}

bool ReplacingZipFile::commit(QString* reason)
{
    if (!m_zip)
        return false;
    // The archive's last buffered bytes and its directory are written here:
    // a full disk often shows only now.
    const bool closed = zipClose(m_zip, nullptr) == ZIP_OK;
    const int closeError = errno;
    m_zip = nullptr;
    QString why;
    if (!closed || !renameOverFile(m_tempPath, m_targetPath, &why)) {
        if (reason)
            *reason = closed ? why : qt_error_string(closeError);
        QString ignored;
        FileEntries::removeFile(m_tempPath, &ignored);
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
    QString ignored;
    FileEntries::removeFile(m_tempPath, &ignored);
}
