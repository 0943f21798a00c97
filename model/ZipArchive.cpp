#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>

#include <ioapi.h>

namespace {

constexpr int kNameBufferSize = 512;
constexpr int kChunkSize = 8192;

ArchiveRenameFunction& renameOverride()
{
    static ArchiveRenameFunction fn;
    return fn;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("extractZip", text);
}

bool isInsideRoot(const QString& candidate, const QString& root)
{
    return candidate == root || candidate.startsWith(root + QLatin1Char('/'));
}

// Copies the current entry into outPath. Any read error, CRC mismatch, short
// write or a total beyond the limit fails: a truncated file must never be
// accepted, since the next save would pack it over the original.
bool copyCurrentEntry(unzFile zip, const QString& outPath, qint64& totalBytes, qint64 maxTotalBytes,
                      QString& error)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    QFile out(outPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        unzCloseCurrentFile(zip);
        return false;
    }
    char buffer[kChunkSize];
    bool ok = true;
    for (;;) {
        const int n = unzReadCurrentFile(zip, buffer, kChunkSize);
        if (n == 0)
            break;
        if (n < 0) {
            qWarning() << "extractZip: read error" << n << "in entry" << outPath;
            ok = false;
            break;
        }
        totalBytes += n;
        if (totalBytes > maxTotalBytes) {
            qWarning() << "extractZip: archive expands beyond" << maxTotalBytes << "bytes";
            error = tr("The archive expands to more than %1 MiB, far more than a dash configuration holds.")
                        .arg(maxTotalBytes / (1024 * 1024));
            ok = false;
            break;
        }
        if (out.write(buffer, n) != n) {
            qWarning() << "extractZip: short write on" << outPath;
            ok = false;
            break;
        }
    }
    out.close();
    if (out.error() != QFileDevice::NoError)
        ok = false;
    const int closeResult = unzCloseCurrentFile(zip);
    if (ok && closeResult != UNZ_OK) {
        qWarning() << "extractZip: corrupt entry (CRC check failed)" << outPath;
        ok = false;
    }
    return ok;
}

// Reads the current entry's name; fails on names that do not fit the buffer
// instead of cutting them (possibly in the middle of a character).
bool currentEntryName(unzFile zip, QString& name)
{
    unz_file_info64 info;
    char buffer[kNameBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    if (unzGetCurrentFileInfo64(zip, &info, buffer, kNameBufferSize - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (info.size_filename >= static_cast<uLong>(kNameBufferSize)) {
        qWarning() << "extractZip: refusing entry with a name longer than" << (kNameBufferSize - 1) << "bytes";
        return false;
    }
    name = QString::fromUtf8(buffer);
    return true;
}

bool extractEntries(unzFile zip, const QString& destDir, const ExtractLimits& limits, QString& error)
{
    const QString root = QDir::cleanPath(QFileInfo(destDir).absoluteFilePath());
    const QDir dest(destDir);
    if (unzGoToFirstFile(zip) != UNZ_OK)
        return true;
    qint64 entries = 0;
    qint64 totalBytes = 0;
    for (;;) {
        if (++entries > limits.maxEntries) {
            qWarning() << "extractZip: archive has more than" << limits.maxEntries << "entries";
            error = tr("The archive holds more than %1 entries.").arg(limits.maxEntries);
            return false;
        }
        QString name;
        if (!currentEntryName(zip, name))
            return false;
        // Written at the cleaned path: "a/b/../c" must not need "a/b" to exist.
        const QString candidate = QDir::cleanPath(dest.absoluteFilePath(name));
        const QString& outPath = candidate;
        if (!isInsideRoot(candidate, root)) {
            qWarning() << "extractZip: refusing entry that escapes the destination:" << name;
            error = tr("The archive holds an entry that would land outside its folder: %1").arg(name);
            return false;
        }
        if (name.endsWith(QLatin1Char('/'))) {
            if (!QDir().mkpath(outPath))
                return false;
        } else {
            if (!QDir().mkpath(QFileInfo(outPath).absolutePath()))
                return false;
            if (!copyCurrentEntry(zip, outPath, totalBytes, limits.maxTotalBytes, error))
                return false;
        }
        if (unzGoToNextFile(zip) != UNZ_OK)
            return true;
    }
}

} // namespace

void setArchiveRenameFunction(ArchiveRenameFunction fn)
{
    renameOverride() = std::move(fn);
}

bool archiveRename(const QString& from, const QString& to)
{
    if (renameOverride())
        return renameOverride()(from, to);
    return QFile::rename(from, to);
}

unzFile openZipForRead(const QString& path)
{
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    const QByteArray encoded = QFile::encodeName(path);
    return unzOpen2_64(encoded.constData(), &functions);
}

bool extractZip(const QString& zipPath, const QString& destDir, const ExtractLimits& limits, QString* error)
{
    unzFile zip = openZipForRead(zipPath);
    if (!zip)
        return false;
    QString reason;
    const bool ok = extractEntries(zip, destDir, limits, reason);
    unzClose(zip);
    if (!ok && error)
        *error = reason;
    return ok;
}

void removeTempExtractDir(QTemporaryDir* dir)
{
    if (!dir)
        return;
    const QString path = dir->path();
    if (!dir->remove())
        qWarning() << "DashConfig: could NOT remove temp extract dir" << path
                   << "- something under it is still open; it will be left behind.";
    delete dir;
}

bool copyDirRecursive(const QString& srcDir, const QString& dstDir)
{
    const QDir src(srcDir);
    if (!src.exists())
        return false;
    if (!QDir().mkpath(dstDir))
        return false;
    const QFileInfoList entries = src.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString target = dstDir + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (entry.isSymLink())
                continue;
            if (!copyDirRecursive(entry.filePath(), target))
                return false;
            continue;
        }
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QFile::remove(target);
        }
        if (!QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}
