#include "model/ZipWriter.h"

#include <QFile>

#include <climits>
#include <cstring>

#include <ioapi.h>

zipFile openZipForWrite(const QString& path)
{
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    const QByteArray encoded = QFile::encodeName(path);
    return zipOpen2_64(encoded.constData(), APPEND_STATUS_CREATE, nullptr, &functions);
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

bool writeZipEntry(zipFile zip, const QString& name, const QByteArray& data)
{
    // The entry is written in one call, whose length is 32 bits wide.
    if (!zip || data.size() > qsizetype(UINT_MAX))
        return false;
    const QByteArray entryName = name.toUtf8();
    zip_fileinfo info = fixedZipEntryInfo();
    if (zipOpenNewFileInZip(zip, entryName.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION) != ZIP_OK)
        return false;
    const bool written =
        zipWriteInFileInZip(zip, data.constData(), static_cast<unsigned>(data.size())) == ZIP_OK;
    const bool closed = zipCloseFileInZip(zip) == ZIP_OK;
    return written && closed;
}
