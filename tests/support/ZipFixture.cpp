#include "support/ZipFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <ioapi.h>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <cstring>

namespace ZipFixture {
namespace {

constexpr uLong kUnixMadeBy = (3 << 8) | 20;

bool writeIntact(zipFile zip, const ZipFixtureEntry& entry, zip_fileinfo info)
{
    info.external_fa = uLong(entry.unixMode) << 16;
    if (zipOpenNewFileInZip4(zip, entry.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                             entry.level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                             entry.unixMode ? kUnixMadeBy : 0, entry.flags)
        != ZIP_OK)
        return false;
    for (qint64 i = 0; i < entry.repeat && !entry.data.isEmpty(); ++i) {
        if (zipWriteInFileInZip(zip, entry.data.constData(), unsigned(entry.data.size())) != ZIP_OK)
            return false;
    }
    return zipCloseFileInZip(zip) == ZIP_OK;
}

// Raw entries let the test choose the stored bytes and CRC.
bool writeDamaged(zipFile zip, const ZipFixtureEntry& entry, const zip_fileinfo& info)
{
    const bool deflate = entry.damage == ZipFixtureEntry::BrokenDeflate;
    if (zipOpenNewFileInZip2(zip, entry.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                             deflate ? Z_DEFLATED : 0, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK)
        return false;
    QByteArray stored = entry.data;
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(entry.data.constData()), uInt(entry.data.size()));
    if (deflate)
        stored = QByteArray("\xff\xff\xff\xff garbage that is no deflate stream");
    else if (entry.damage == ZipFixtureEntry::ShortData)
        stored.truncate(stored.size() / 2);
    else
        crc ^= 0xdeadbeefUL;
    if (zipWriteInFileInZip(zip, stored.constData(), unsigned(stored.size())) != ZIP_OK)
        return false;
    return zipCloseFileInZipRaw64(zip, ZPOS64_T(entry.data.size()), crc) == ZIP_OK;
}

} // namespace

bool writeZip(const QString& zipPath, const QList<ZipFixtureEntry>& entries)
{
    QDir().mkpath(QFileInfo(zipPath).absolutePath());
    QFile::remove(zipPath);
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    const QByteArray encoded = QFile::encodeName(zipPath);
    zipFile zip = zipOpen2_64(encoded.constData(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!zip)
        return false;
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    bool ok = true;
    for (const ZipFixtureEntry& entry : entries) {
        ok = entry.damage == ZipFixtureEntry::Intact ? writeIntact(zip, entry, info)
                                                      : writeDamaged(zip, entry, info);
        if (!ok)
            break;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool writeZip(const QString& zipPath, const QMap<QString, QByteArray>& files)
{
    QList<ZipFixtureEntry> entries;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        entries.append({it.key().toUtf8(), it.value(), ZipFixtureEntry::Intact});
    return writeZip(zipPath, entries);
}

QMap<QString, QByteArray> readTree(const QString& folder)
{
    QMap<QString, QByteArray> tree;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            tree.insert(root.relativeFilePath(path), f.readAll());
    }
    return tree;
}

bool zipFolder(const QString& folder, const QString& zipPath)
{
    return writeZip(zipPath, readTree(folder));
}

bool writeTree(const QString& folder, const QMap<QString, QByteArray>& files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = folder + QLatin1Char('/') + it.key();
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return false;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

QList<ZipFixtureEntry> readZipEntries(const QString& zipPath)
{
    QList<ZipFixtureEntry> result;
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    const QByteArray encoded = QFile::encodeName(zipPath);
    unzFile zip = unzOpen2_64(encoded.constData(), &functions);
    if (!zip)
        return result;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024] = {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK
            || unzOpenCurrentFile(zip) != UNZ_OK)
            break;
        QByteArray data;
        char buf[8192];
        int n;
        while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
            data.append(buf, n);
        unzCloseCurrentFile(zip);
        ZipFixtureEntry entry{QByteArray(name, int(qMin<ZPOS64_T>(info.size_filename, sizeof name - 1))), data,
                              ZipFixtureEntry::Intact};
        entry.flags = quint32(info.flag);
        result.append(entry);
    }
    unzClose(zip);
    return result;
}

QMap<QString, QByteArray> readZip(const QString& zipPath)
{
    QMap<QString, QByteArray> result;
    for (const ZipFixtureEntry& entry : readZipEntries(zipPath))
        result.insert(QString::fromUtf8(entry.name), entry.data);
    return result;
}

QStringList entryNames(const QString& zipPath)
{
    QStringList names;
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    const QByteArray encoded = QFile::encodeName(zipPath);
    unzFile zip = unzOpen2_64(encoded.constData(), &functions);
    if (!zip)
        return names;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024] = {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        names.append(QString::fromUtf8(name));
    }
    unzClose(zip);
    return names;
}

} // namespace ZipFixture
