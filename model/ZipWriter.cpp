#include "model/ZipWriter.h"

#include "model/ZipEntryName.h"
#include "model/ZipFileFunctions.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>

#include <ioapi.h>
#ifdef Q_OS_WIN
// iowin32.h brings in windows.h: without its min and max macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <iowin32.h>
#include <string>
#endif

zipFile openZipForWrite(const QString& path, QString* reason)
{
#ifdef Q_OS_WIN
    // The wide-character functions: the 8-bit ones take the ANSI code page
    // and miss any letter of the name outside it.
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    const std::wstring wide = path.toStdWString();
    zipFile zip = zipOpen2_64(wide.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!zip && reason)
        *reason = qt_error_string(errno);
    return zip;
#else
    ZipFileFunctions gate;
    const QByteArray encoded = QFile::encodeName(path);
    zipFile zip = zipOpen2_64(encoded.constData(), APPEND_STATUS_CREATE, nullptr, &gate.functions);
    if (!zip && reason)
        *reason = gate.reason.isEmpty() ? qt_error_string(errno) : gate.reason;
    return zip;
#endif
}

zip_fileinfo fixedZipEntryInfo()
{
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mon = 0; // January: minizip counts months from 0
    info.tmz_date.tm_mday = 1;
    return info;
}

bool openZipEntry(zipFile zip, const QByteArray& name, bool utf8, int method, int level, bool raw)
{
    zip_fileinfo info = fixedZipEntryInfo();
    // As zipOpenNewFileInZip2 opens it, the flag added.
    return zipOpenNewFileInZip4_64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method, level,
                                   raw ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                   utf8 ? ZipEntryName::kUtf8Flag : 0, 0)
        == ZIP_OK;
}

bool writeZipEntry(zipFile zip, const QString& name, const QByteArray& data)
{
    const QByteArray entryName = ZipEntryName::encode(name);
    return writeZipEntry(zip, entryName, ZipEntryName::needsUtf8Flag(entryName), data);
}

bool writeZipEntry(zipFile zip, const QByteArray& entryName, bool utf8, const QByteArray& data)
{
    // The entry is written in one call, whose length is 32 bits wide.
    if (!zip || data.size() > qsizetype(UINT_MAX))
        return false;
    if (!openZipEntry(zip, entryName, utf8, Z_DEFLATED, Z_DEFAULT_COMPRESSION, false))
        return false;
    const bool written =
        zipWriteInFileInZip(zip, data.constData(), static_cast<unsigned>(data.size())) == ZIP_OK;
    const bool closed = zipCloseFileInZip(zip) == ZIP_OK;
    return written && closed;
}
