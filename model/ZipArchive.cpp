#include "model/ZipArchive.h"
#include "model/ExtractFolders.h"
#include "model/FolderCopy.h"

#include "model/SafeWrite.h"
#include "model/ZipEntryName.h"
#include "model/ZipFileFunctions.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

#include <ioapi.h>
#ifdef Q_OS_WIN
// iowin32.h brings in windows.h: without its min and max macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <iowin32.h>
#include <string>
#endif

namespace {

constexpr int kChunkSize = 8192;
constexpr uLong kUnixHost = 3;
constexpr uLong kMacHost = 19;
constexpr uLong kFileTypeMask = 0170000;
constexpr uLong kSymlinkType = 0120000;

ArchiveRenameFunction& renameOverride()
{
    static ArchiveRenameFunction fn;
    return fn;
}

bool fail(ZipFailure* failure, ZipFailure::Kind kind, const QString& entryName = QString(),
          const QString& targetPath = QString(), qint64 limit = 0)
{
    if (failure) {
        failure->kind = kind;
        failure->entryName = entryName;
        failure->targetPath = targetPath;
        failure->limit = limit;
        failure->reason.clear();
    }
    return false;
}

bool failWriting(ZipFailure* failure, ZipFailure::Kind kind, const QString& entryName, const QString& targetPath,
                 const QString& reason)
{
    fail(failure, kind, entryName, targetPath);
    if (failure)
        failure->reason = reason;
    return false;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("extractZip", text);
}

// The reason a configuration could not be opened, in the user's words; empty
// where the archive is simply unreadable (the caller has its own words then).
QString userReason(const ZipFailure& failure)
{
    switch (failure.kind) {
    case ZipFailure::ArchiveTooLarge:
        return tr("The archive expands to more than %1 MiB, far more than a dash configuration holds.")
            .arg(failure.limit / (1024 * 1024));
    case ZipFailure::TooManyEntries:
        return tr("The archive holds more than %1 entries.").arg(failure.limit);
    case ZipFailure::UnsafeName:
        return tr("The archive holds an entry that would land outside its folder: %1").arg(failure.entryName);
    // The archive is fine; the place it is unpacked into is not (a full
    // temporary folder, for one).
    case ZipFailure::OpenForWrite:
    case ZipFailure::WriteFile:
    case ZipFailure::MakeFolder:
        return tr("%1 could not be unpacked into the temporary folder %2: %3")
            .arg(failure.entryName, QDir::toNativeSeparators(failure.targetPath),
                 failure.reason.isEmpty() ? tr("the folder could not be created") : failure.reason);
    default:
        return QString();
    }
}

bool isInsideRoot(const QString& candidate, const QString& root)
{
    return candidate == root || candidate.startsWith(root + QLatin1Char('/'));
}

bool isSymlinkEntry(const unz_file_info64& info)
{
    const uLong host = info.version >> 8;
    if (host != kUnixHost && host != kMacHost)
        return false;
    return ((info.external_fa >> 16) & kFileTypeMask) == kSymlinkType;
}

// One entry as the walk hands it on: its name after the name rules, and
// what the central directory says about it.
struct ZipEntry {
    QString name;
    unz_file_info64 info;
    bool isFolder() const { return name.endsWith(QLatin1Char('/')); }
};

bool decodeName(const QByteArray& raw, quint32 flags, const ExtractLimits& limits, QString& name,
                ZipFailure* failure)
{
    if (!limits.strictNames) {
        // Configurations: the name up to its first zero byte, as RS3 reads it.
        name = ZipEntryName::decode(raw, flags);
        return true;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    name = decoder(raw);
    if (decoder.hasError() || raw.contains('\0'))
        return fail(failure, ZipFailure::NameNotUtf8, QString::fromUtf8(raw.constData()));
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return true;
}

// The name rules that hold whatever the destination: no drive or stream
// component, and for strict archives no absolute name and no climb out.
bool nameIsSafe(const QString& name, const ExtractLimits& limits)
{
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.contains(QLatin1Char(':')))
            return false;
    }
    if (!limits.strictNames)
        return true;
    if (name.startsWith(QLatin1Char('/')))
        return false;
    const QString cleaned = QDir::cleanPath(name);
    return cleaned != QLatin1String("..") && !cleaned.startsWith(QLatin1String("../"));
}

bool readCurrentEntry(unzFile zip, const ExtractLimits& limits, ZipEntry& entry, ZipFailure* failure)
{
    QByteArray buffer(limits.maxNameBytes + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &entry.info, buffer.data(), uLong(buffer.size()), nullptr, 0, nullptr, 0)
        != UNZ_OK)
        return fail(failure, ZipFailure::EntryInfo);
    // A name that does not fit is refused, never cut (possibly mid-character).
    if (entry.info.size_filename > uLong(limits.maxNameBytes))
        return fail(failure, ZipFailure::NameTooLong, QString(), QString(), limits.maxNameBytes);
    buffer.truncate(int(entry.info.size_filename));
    if (!decodeName(buffer, quint32(entry.info.flag), limits, entry.name, failure))
        return false;
    if (!nameIsSafe(entry.name, limits))
        return fail(failure, ZipFailure::UnsafeName, entry.name);
    if (isSymlinkEntry(entry.info))
        return fail(failure, ZipFailure::SymlinkEntry, entry.name);
    if (!entry.isFolder() && entry.info.uncompressed_size > ZPOS64_T(limits.maxEntryBytes))
        return fail(failure, ZipFailure::EntryTooLarge, entry.name, QString(), limits.maxEntryBytes);
    return true;
}

// Streams the current entry's data into sink. Any read error, CRC mismatch,
// failed sink or size beyond a cap fails: a truncated file must never be
// accepted, since a later save would pack it over the original.
bool streamCurrentEntry(unzFile zip, const ZipEntry& entry, const ExtractLimits& limits, qint64& totalBytes,
                        const std::function<bool(const char*, int)>& sink, ZipFailure* failure)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return fail(failure, ZipFailure::OpenEntry, entry.name);
    char buffer[kChunkSize];
    qint64 entryBytes = 0;
    bool ok = true;
    for (;;) {
        const int n = unzReadCurrentFile(zip, buffer, kChunkSize);
        if (n == 0)
            break;
        if (n < 0) {
            ok = fail(failure, ZipFailure::ReadEntry, entry.name);
            break;
        }
        entryBytes += n;
        totalBytes += n;
        if (entryBytes > limits.maxEntryBytes) {
            ok = fail(failure, ZipFailure::EntryTooLarge, entry.name, QString(), limits.maxEntryBytes);
            break;
        }
        if (totalBytes > limits.maxTotalBytes) {
            ok = fail(failure, ZipFailure::ArchiveTooLarge, entry.name, QString(), limits.maxTotalBytes);
            break;
        }
        if (!sink(buffer, n)) {
            ok = false;
            break;
        }
    }
    // The reader stops quietly when an entry's stored data runs out before
    // its promised size, and then skips the checksum: a short entry is a
    // damaged one.
    if (ok && entryBytes != qint64(entry.info.uncompressed_size))
        ok = fail(failure, ZipFailure::ReadEntry, entry.name);
    const int closeResult = unzCloseCurrentFile(zip);
    if (ok && closeResult != UNZ_OK)
        ok = fail(failure, ZipFailure::CorruptEntry, entry.name);
    return ok;
}

// minizip cannot open an archive that holds nothing but its end record (it
// never looks for that record at offset 0); such a file is a valid, empty
// archive.
bool isEmptyArchive(const QString& zipPath)
{
    constexpr qint64 kEndRecordSize = 22;
    QFile file(zipPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kEndRecordSize || file.size() > kEndRecordSize + 0xffff)
        return false;
    const QByteArray bytes = file.readAll();
    const auto word = [&bytes](int at) { return int(uchar(bytes[at])) | (int(uchar(bytes[at + 1])) << 8); };
    return bytes.startsWith(QByteArrayLiteral("PK\x05\x06")) && word(8) == 0 && word(10) == 0
        && word(20) == bytes.size() - kEndRecordSize;
}

using EntryVisitor = std::function<bool(unzFile, const ZipEntry&, ZipFailure*)>;

// The one walk over an archive's entries: opens it, checks the entry count
// and every name, and hands each entry to the visitor in archive order.
bool walkEntries(const QString& zipPath, const ExtractLimits& limits, const EntryVisitor& visit,
                 ZipFailure* failure)
{
    if (failure)
        failure->zipPath = zipPath;
    unzFile zip = openZipForRead(zipPath);
    if (!zip)
        return isEmptyArchive(zipPath) || fail(failure, ZipFailure::OpenArchive);
    unz_global_info64 global{};
    bool ok = true;
    if (unzGetGlobalInfo64(zip, &global) == UNZ_OK && global.number_entry > ZPOS64_T(limits.maxEntries))
        ok = fail(failure, ZipFailure::TooManyEntries, QString(), QString(), limits.maxEntries);
    qint64 count = 0;
    for (int rc = ok ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; ok && rc == UNZ_OK;
         rc = unzGoToNextFile(zip)) {
        if (++count > limits.maxEntries) {
            ok = fail(failure, ZipFailure::TooManyEntries, QString(), QString(), limits.maxEntries);
            break;
        }
        ZipEntry entry;
        ok = readCurrentEntry(zip, limits, entry, failure) && visit(zip, entry, failure);
        if (ok && limits.progress)
            limits.progress(count, qint64(global.number_entry));
    }
    unzClose(zip);
    return ok;
}

// The file targets extracted so far, so that a repeated one is not
// written over the first.
using ExtractedTargets = QSet<QString>;

bool extractEntry(unzFile zip, const ZipEntry& entry, const QDir& dest, const QString& root,
                  const ExtractLimits& limits, qint64& totalBytes, ExtractedTargets& extracted,
                  ZipFailure* failure)
{
    // Written at the cleaned path: "a/b/../c" must not need "a/b" to exist.
    const QString target = QDir::cleanPath(dest.absoluteFilePath(entry.name));
    if (!isInsideRoot(target, root))
        return fail(failure, ZipFailure::UnsafeName, entry.name);
    const QString key = ZipEntryName::folderKey(target);
    if (limits.skipRepeatedTargets && !entry.isFolder() && extracted.contains(key)) {
        qInfo().noquote() << "extractZip: kept in the archive, as its name lands on an earlier entry's file:"
                          << entry.name;
        const auto discard = [](const char*, int) { return true; };
        return streamCurrentEntry(zip, entry, limits, totalBytes, discard, failure);
    }
    if (entry.isFolder()) {
        if (!QDir().mkpath(target))
            return fail(failure, ZipFailure::MakeFolder, entry.name, target);
        return true;
    }
    extracted.insert(key);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return fail(failure, ZipFailure::MakeFolder, entry.name, QFileInfo(target).absolutePath());
    // Unbuffered: a write cut short by a full disk is written again at once,
    // so the failure carries the system's reason.
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failWriting(failure, ZipFailure::OpenForWrite, entry.name, target, out.errorString());
    const auto sink = [&](const char* data, int n) {
        return writeWhole(out, data, n)
            || failWriting(failure, ZipFailure::WriteFile, entry.name, target, out.errorString());
    };
    bool ok = streamCurrentEntry(zip, entry, limits, totalBytes, sink, failure);
    out.close();
    if (ok && out.error() != QFileDevice::NoError)
        ok = failWriting(failure, ZipFailure::WriteFile, entry.name, target, out.errorString());
    return ok;
}

} // namespace

ExtractLimits packageExtractLimits()
{
    ExtractLimits limits;
    limits.maxEntryBytes = qint64(64) * 1024 * 1024;
    limits.maxTotalBytes = qint64(512) * 1024 * 1024;
    limits.maxEntries = 10000;
    limits.maxNameBytes = 1023;
    limits.strictNames = true;
    limits.skipRepeatedTargets = false;
    return limits;
}

// The system's reason after a text that names the file, when there is one.
QString ZipFailure::withReason() const
{
    return reason.isEmpty() ? QString() : QStringLiteral(": ") + reason;
}

QString ZipFailure::text() const
{
    switch (kind) {
    case None:
        return QString();
    case OpenArchive:
        return QStringLiteral("could not open zip: %1").arg(zipPath);
    case EntryInfo:
        return QStringLiteral("zip entry read failed");
    case NameTooLong:
        return QStringLiteral("zip entry name longer than %1 bytes").arg(limit);
    case NameNotUtf8:
        return QStringLiteral("zip entry name is not valid UTF-8: %1").arg(entryName);
    case UnsafeName:
        return QStringLiteral("unsafe zip entry (path traversal): %1").arg(entryName);
    case SymlinkEntry:
        return QStringLiteral("unsafe zip entry (symbolic link): %1").arg(entryName);
    case TooManyEntries:
        return QStringLiteral("zip archive has more than %1 entries").arg(limit);
    case EntryTooLarge:
        return QStringLiteral("zip entry larger than %1 bytes: %2").arg(limit).arg(entryName);
    case ArchiveTooLarge:
        return QStringLiteral("zip archive expands beyond %1 bytes").arg(limit);
    case OpenEntry:
        return QStringLiteral("zip open-current failed");
    case OpenForWrite:
        return QStringLiteral("open-for-write failed: %1").arg(targetPath) + withReason();
    case ReadEntry:
        return QStringLiteral("zip read failed");
    case WriteFile:
        return QStringLiteral("write failed: %1").arg(targetPath) + withReason();
    case CorruptEntry:
        return QStringLiteral("zip entry is damaged (checksum mismatch): %1").arg(entryName);
    case MakeFolder:
        return QStringLiteral("could not create folder %1").arg(targetPath) + withReason();
    }
    return QString();
}

bool extractZipEntries(const QString& zipPath, const QString& destDir, const ExtractLimits& limits,
                       ZipFailure* failure)
{
    const QString root = QDir::cleanPath(QFileInfo(destDir).absoluteFilePath());
    const QDir dest(root);
    qint64 totalBytes = 0;
    ExtractedTargets extracted;
    const EntryVisitor visit = [&](unzFile zip, const ZipEntry& entry, ZipFailure* f) {
        return extractEntry(zip, entry, dest, root, limits, totalBytes, extracted, f);
    };
    return walkEntries(zipPath, limits, visit, failure);
}

bool readZipEntries(const QString& zipPath, const std::function<bool(const QString&)>& wanted,
                    const ExtractLimits& limits, QMap<QString, QByteArray>* entries, ZipFailure* failure)
{
    QMap<QString, QByteArray> result;
    qint64 totalBytes = 0;
    const EntryVisitor visit = [&](unzFile zip, const ZipEntry& entry, ZipFailure* f) {
        const QString name = QDir::cleanPath(entry.name);
        if (entry.isFolder() || !wanted(name))
            return true;
        QByteArray data;
        const auto sink = [&data](const char* bytes, int n) {
            data.append(bytes, n);
            return true;
        };
        if (!streamCurrentEntry(zip, entry, limits, totalBytes, sink, f))
            return false;
        result.insert(name, data);
        return true;
    };
    if (!walkEntries(zipPath, limits, visit, failure))
        return false;
    if (entries)
        *entries = result;
    return true;
}

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
#ifdef Q_OS_WIN
    // As openZipForWrite: the wide-character road reaches every name.
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    const std::wstring wide = path.toStdWString();
    return unzOpen2_64(wide.c_str(), &functions);
#else
    ZipFileFunctions gate;
    const QByteArray encoded = QFile::encodeName(path);
    unzFile zip = unzOpen2_64(encoded.constData(), &gate.functions);
    if (!zip && !gate.reason.isEmpty())
        qWarning().noquote() << "openZipForRead:" << path << "not read:" << gate.reason;
    return zip;
#endif
}

bool extractZip(const QString& zipPath, const QString& destDir, const ExtractLimits& limits, QString* error)
{
    ZipFailure failure;
    if (extractZipEntries(zipPath, destDir, limits, &failure))
        return true;
    if (failure.kind == ZipFailure::UnsafeName)
        qWarning().noquote() << "extractZip: refusing entry that escapes the destination:" << failure.entryName;
    else
        qWarning().noquote() << "extractZip:" << failure.text();
    if (error)
        *error = userReason(failure);
    return false;
}

void removeTempExtractDir(QTemporaryDir* dir)
{
    ExtractFolders::release(dir);
}

bool copyDirRecursive(const QString& srcDir, const QString& dstDir)
{
    FolderCopy copy;
    return copy.addMissing(srcDir, dstDir);
}

bool renameOverFile(const QString& from, const QString& to, QString* reason)
{
#ifdef Q_OS_WIN
    const std::filesystem::path source(from.toStdWString());
    const std::filesystem::path target(to.toStdWString());
#else
    const std::filesystem::path source(QFile::encodeName(from).toStdString());
    const std::filesystem::path target(QFile::encodeName(to).toStdString());
#endif
    std::error_code ec;
    std::filesystem::rename(source, target, ec);
    if (ec) {
        qWarning().noquote() << "renameOverFile: cannot move" << from << "over" << to << "-" << QString::fromStdString(ec.message());
        if (reason)
            *reason = QString::fromLocal8Bit(ec.message());
    }
    return !ec;
}
