#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <unzip.h>

class QTemporaryDir;

// Bounds on what one extraction may write, so a hostile archive cannot fill
// the disk. The defaults are far above any real configuration (a few MB of
// XML and artwork) while keeping a small archive from writing gigabytes.
// There is no compression-ratio rule: a plain 16-bit background deflates
// beyond 1000:1.
struct ExtractLimits {
    qint64 maxTotalBytes = qint64(512) * 1024 * 1024;
    qint64 maxEntries = 100000;
};

// Extracts every entry of the archive into destDir. Entries that would land
// outside destDir, unreadable or corrupt entries, short writes and archives
// beyond the limits fail the whole extraction; the byte that crosses the
// total is never written. On failure error, when given, says why in words
// for the user (empty when the archive is simply unreadable).
bool extractZip(const QString& zipPath, const QString& destDir,
                const ExtractLimits& limits = ExtractLimits(), QString* error = nullptr);

// Removes the folder and deletes the object; a folder that cannot be removed
// is left behind with a warning. Null is ignored.
void removeTempExtractDir(QTemporaryDir* dir);

// Copies a folder tree, overwriting (even read-only) files. Symlinked
// folders are skipped so that a link cycle cannot recurse for ever.
bool copyDirRecursive(const QString& srcDir, const QString& dstDir);

// Opens an archive for reading with the 64-bit file functions; null on failure.
unzFile openZipForRead(const QString& path);

// The rename used when an archive is put in place. Tests replace it to
// provoke a failure of one particular step; an empty function restores
// QFile::rename.
using ArchiveRenameFunction = std::function<bool(const QString& from, const QString& to)>;
void setArchiveRenameFunction(ArchiveRenameFunction fn);
bool archiveRename(const QString& from, const QString& to);
